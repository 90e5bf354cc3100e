#include "htmlsnapshot.h"

#include <QStringDecoder>

#include <gumbo.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

using GumboOutputPtr = std::unique_ptr<GumboOutput, void (*)(GumboOutput *)>;

GumboOutputPtr parse(QByteArrayView utf8)
{
    GumboOptions options = kGumboDefaultOptions;
    // Parse errors are of no use here and would only cost memory.
    options.max_errors = 0;
    return GumboOutputPtr(gumbo_parse_with_options(&options, utf8.data(), size_t(utf8.size())),
                          [](GumboOutput *output) { gumbo_destroy_output(&kGumboDefaultOptions, output); });
}

bool isHtmlElement(const GumboNode *node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag
        && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const char *attribute(const GumboNode *node, const char *name)
{
    const GumboAttribute *found = gumbo_get_attribute(&node->v.element.attributes, name);
    return found ? found->value : nullptr;
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

bool isAsciiWhitespace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// The children of a template are its content, a fragment apart from the
// document; a browser that runs scripts keeps a <noscript>'s content as
// text, not as elements. Neither holds links of the document.
bool holdsDocumentElements(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT && !isHtmlElement(node, GUMBO_TAG_NOSCRIPT);
}

const GumboVector *children(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
        return &node->v.element.children;
    return nullptr;
}

// Calls `visit` for `root` and its descendants in tree order; a descendant
// is entered only when `enter` allows it. No recursion: a page may nest deep.
template<typename Enter, typename Visit>
void walk(const GumboNode *root, Enter enter, Visit visit)
{
    std::vector<const GumboNode *> stack{root};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        visit(node);
        const GumboVector *kids = (node == root || enter(node)) ? children(node) : nullptr;
        for (unsigned int i = kids ? kids->length : 0; i > 0; --i)
            stack.push_back(static_cast<const GumboNode *>(kids->data[i - 1]));
    }
}

// Node.textContent: every text below `node`, comments left out.
QString textContent(const GumboNode *node)
{
    QByteArray utf8;
    walk(node, [](const GumboNode *n) { return n->type != GUMBO_NODE_TEMPLATE; },
         [&utf8](const GumboNode *n) {
             if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE || n->type == GUMBO_NODE_CDATA)
                 utf8 += n->v.text.text;
             else if (isHtmlElement(n, GUMBO_TAG_NOSCRIPT) && n->v.element.original_end_tag.data) {
                 // Its content as written is the one text node a browser makes of it.
                 const GumboStringPiece open = n->v.element.original_tag;
                 const char *begin = open.data + open.length;
                 utf8 += QByteArrayView(begin, n->v.element.original_end_tag.data);
             }
         });
    return QString::fromUtf8(utf8);
}

// The charset named by <meta charset> or by <meta http-equiv> content.
QByteArray metaCharset(const GumboNode *meta)
{
    if (const char *charset = attribute(meta, "charset"))
        return QByteArray(charset).trimmed().toLower();
    const char *equiv = attribute(meta, "http-equiv");
    const char *content = attribute(meta, "content");
    if (!equiv || !content || qstricmp(equiv, "content-type") != 0)
        return {};
    const QByteArray value = QByteArray(content).toLower();
    const qsizetype at = value.indexOf("charset");
    if (at < 0)
        return {};
    QByteArray rest = value.mid(at + 7).trimmed();
    if (!rest.startsWith('='))
        return {};
    rest = rest.mid(1).trimmed();
    if (rest.startsWith('"') || rest.startsWith('\''))
        rest = rest.mid(1);
    qsizetype end = 0;
    while (end < rest.size() && !QByteArrayView(" \t\n\f\r;\"'").contains(rest.at(end)))
        ++end;
    return rest.left(end);
}

struct Found {
    const GumboNode *title = nullptr;
    const GumboNode *base = nullptr;
    std::vector<const GumboNode *> links;
    bool form = false;
    bool passwordField = false;
    QByteArray charset;
};

Found findElements(const GumboNode *document)
{
    Found found;
    walk(document, holdsDocumentElements, [&found](const GumboNode *node) {
        if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
            return;
        switch (node->v.element.tag) {
        case GUMBO_TAG_TITLE:
            if (!found.title)
                found.title = node;
            break;
        case GUMBO_TAG_BASE:
            if (!found.base && attribute(node, "href"))
                found.base = node;
            break;
        case GUMBO_TAG_A:
        case GUMBO_TAG_AREA:
            if (attribute(node, "href"))
                found.links.push_back(node);
            break;
        case GUMBO_TAG_FORM:
            found.form = true;
            break;
        case GUMBO_TAG_INPUT: {
            const char *type = attribute(node, "type");
            found.passwordField = found.passwordField || (type && qstricmp(QByteArray(type).trimmed(), "password") == 0);
            break;
        }
        case GUMBO_TAG_META:
            if (found.charset.isEmpty())
                found.charset = metaCharset(node);
            break;
        default:
            break;
        }
    });
    return found;
}

// The title element's own text children, as document.title reads them.
QString titleText(const GumboNode *title)
{
    QByteArray utf8;
    const GumboVector &kids = title->v.element.children;
    for (unsigned int i = 0; i < kids.length; ++i) {
        const auto *kid = static_cast<const GumboNode *>(kids.data[i]);
        if (kid->type == GUMBO_NODE_TEXT || kid->type == GUMBO_NODE_WHITESPACE || kid->type == GUMBO_NODE_CDATA)
            utf8 += kid->v.text.text;
    }
    return collapsedAsciiWhitespace(QString::fromUtf8(utf8));
}

bool isSpecialScheme(const QString &scheme)
{
    return scheme == u"http" || scheme == u"https";
}

std::optional<QStringDecoder> decoderFor(const QByteArray &charset)
{
    QByteArray name = charset.trimmed().toLower();
    // A page cannot be UTF-16 once its <meta> was readable as ASCII.
    if (name == "utf-16" || name == "utf-16le" || name == "utf-16be")
        name = "utf-8";
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder;
}

QByteArray contentTypeCharset(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        if (part.toLower().startsWith("charset="))
            return part.mid(8).trimmed().replace('"', QByteArray()).toLower();
    }
    return {};
}

// A query as a browser writes it: its UTF-8 bytes, controls, spaces,
// " < > ' and all but ASCII percent-escaped; escapes already written stay.
QString queryEscaped(const QString &query)
{
    QString out;
    const QByteArray utf8 = query.toUtf8();
    out.reserve(utf8.size());
    for (const char byte : utf8) {
        const auto c = uchar(byte);
        if (c <= 0x20 || c >= 0x7f || QByteArrayView("\"<>'#").contains(char(c)))
            out += QStringLiteral("%%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += QLatin1Char(char(c));
    }
    return out;
}

// An href as the URL parser first cleans it: C0 controls and spaces at the
// ends go, tabs and line breaks anywhere, and a web address takes a
// backslash for a slash up to its query.
QString cleanedHref(const QString &href)
{
    qsizetype begin = 0;
    qsizetype end = href.size();
    while (begin < end && href.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && href.at(end - 1).unicode() <= 0x20)
        --end;
    QString written = href.mid(begin, end - begin);
    written.remove(u'\t').remove(u'\n').remove(u'\r');
    const QString scheme = QUrl(written, QUrl::TolerantMode).scheme().toLower();
    if (!scheme.isEmpty() && !isSpecialScheme(scheme))
        return written;
    for (qsizetype i = 0; i < written.size() && written.at(i) != u'?' && written.at(i) != u'#'; ++i) {
        if (written.at(i) == u'\\')
            written[i] = u'/';
    }
    return written;
}

} // namespace

QString collapsedAsciiWhitespace(QStringView text)
{
    QString out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (const QChar c : text) {
        if (isAsciiWhitespace(c)) {
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (pendingSpace)
            out += u' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

QString resolvedHref(const QString &href, const QUrl &base)
{
    const QString written = cleanedHref(href);
    if (written.isEmpty()) {
        // The document's own address, without its fragment.
        const QUrl url = base.adjusted(QUrl::RemoveFragment);
        return url.isValid() ? url.toString(QUrl::FullyEncoded) : href;
    }
    const QUrl reference(written, QUrl::TolerantMode);
    if (!reference.isValid() || (reference.isRelative() && !base.isValid()))
        return href;
    QUrl url = base.resolved(reference);
    if (!url.isValid())
        return href;
    if (isSpecialScheme(url.scheme())) {
        if (url.port() == (url.scheme() == u"https" ? 443 : 80))
            url.setPort(-1);
        if (url.path().isEmpty())
            url.setPath(QStringLiteral("/"));
    }
    if (!url.hasQuery())
        return url.toString(QUrl::FullyEncoded);
    // Qt escapes more of a query than a browser does (| ^ { \ ...) and
    // cannot tell a written %7B from a written {: escape the query as written.
    QString out = url.toString(QUrl::FullyEncoded | QUrl::RemoveQuery | QUrl::RemoveFragment);
    const qsizetype fragment = written.indexOf(u'#');
    const qsizetype query = written.left(fragment < 0 ? written.size() : fragment).indexOf(u'?');
    if (query >= 0)
        out += u'?' + queryEscaped(written.mid(query + 1, fragment < 0 ? -1 : fragment - query - 1));
    else
        out += u'?' + url.query(QUrl::FullyEncoded).replace(u'\'', QStringLiteral("%27"));
    if (url.hasFragment())
        out += u'#' + url.fragment(QUrl::FullyEncoded);
    return out;
}

HtmlPage readHtmlPage(QByteArrayView utf8, const QUrl &address)
{
    const GumboOutputPtr output = parse(utf8);
    const Found found = findElements(output->document);

    HtmlPage page;
    page.hasPasswordForm = found.form && found.passwordField;
    page.metaCharset = found.charset;
    page.snapshot.address = address.toString();
    if (found.title)
        page.snapshot.title = titleText(found.title);

    QUrl base = address;
    if (found.base) {
        const QUrl frozen(resolvedHref(text(attribute(found.base, "href")), address));
        if (frozen.isValid() && !frozen.isRelative())
            base = frozen;
    }
    page.snapshot.links.reserve(qsizetype(found.links.size()));
    for (const GumboNode *link : found.links) {
        const QString href = resolvedHref(text(attribute(link, "href")), base);
        page.snapshot.links.append({href, href, textContent(link)});
    }
    return page;
}

HtmlPage readHtmlBody(const QByteArray &body, const QByteArray &contentType, const QUrl &address)
{
    if (auto bom = QStringConverter::encodingForData(body)) {
        QStringDecoder decoder(*bom);
        return readHtmlPage(QString(decoder.decode(body)).toUtf8(), address);
    }
    const QByteArray declared = contentTypeCharset(contentType);
    if (!declared.isEmpty()) {
        if (auto decoder = decoderFor(declared))
            return readHtmlPage(QString(decoder->decode(body)).toUtf8(), address);
        HtmlPage page = readHtmlPage(body, address);
        page.unsupportedCharset = declared;
        return page;
    }
    // Read as UTF-8 first: a <meta> that names the charset is ASCII in every
    // charset a page may use; read again only when it names another one.
    HtmlPage page = readHtmlPage(body, address);
    if (page.metaCharset.isEmpty())
        return page;
    auto decoder = decoderFor(page.metaCharset);
    if (!decoder)
        page.unsupportedCharset = page.metaCharset;
    else if (QByteArrayView(decoder->name()) != QByteArrayView("UTF-8"))
        page = readHtmlPage(QString(decoder->decode(body)).toUtf8(), address);
    return page;
}
