#include "jobrules.h"

#include "albumcollection.h"
#include "web/fetchpage.h"
#include "web/textutil.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <QUrl>

QString CleanAlbumTitle(const QString &title)
{
    QString name = title;
    name.remove(AlbumTitlePrefix);
    for (QChar c : {u'?', u'|', u'/', u'\\', u'*', u':', u'<', u'>', u'"'})
        name.remove(c);
    return name;
}

QString ShortAlbumName(const QString &albumName)
{
    if (albumName.size() <= 30)
        return albumName;
    return albumName.left(30) + QStringLiteral("... ...");
}

bool IsUsableFolderName(const QString &name)
{
    // Dots alone name this folder, its parent or a hidden nothing.
    const bool dotsOnly = std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c == QLatin1Char('.'); });
    return !name.isEmpty() && !dotsOnly && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool IsPicturePageLink(const QString &address, const QString &photoHostBase)
{
    return address.contains(photoHostBase + QStringLiteral("/photo/"))
        && address.contains(QLatin1String("photo-"));
}

QStringList PicturePageLinks(const QList<PageLink> &links, const QString &photoHostBase)
{
    QStringList found;
    for (const PageLink &link : links) {
        if (IsPicturePageLink(link.address, photoHostBase))
            found << link.address;
    }
    return found;
}

QString PageAddressKey(const QString &address)
{
    const qsizetype hash = address.indexOf(QLatin1Char('#'));
    return hash < 0 ? address : address.left(hash);
}

QString AddressKey(const QString &address)
{
    const QUrl url(address);
    if (!url.isValid())
        return PageAddressKey(address);
    return url.adjusted(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment)
        .toString(QUrl::FullyEncoded);
}

QString VisibleName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool bidi = u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E)
            || (u >= 0x2066 && u <= 0x2069);
        if (!bidi && c.category() != QChar::Other_Control)
            out += c;
    }
    return out;
}

QString NumberedFolderName(const QString &folderName, int n)
{
    return folderName + QStringLiteral(" (%1)").arg(n);
}

QString PictureFileName(const QString &name)
{
    const QString visible = VisibleName(name);
    return visible.startsWith(QLatin1Char('.')) ? QLatin1Char('_') + visible : visible;
}

qsizetype NextPageLinkIndex(const QList<PageLink> &links, bool requireCurpage)
{
    for (qsizetype i = 0; i < links.size(); ++i) {
        const PageLink &link = links.at(i);
        if (link.innerText == QStringLiteral("下一页")
            && (!requireCurpage || link.href.contains(QLatin1String("curpage="))))
            return i;
    }
    return -1;
}

bool StartButtonEnabledFor(const QString &location, const QString &photoHostBase, bool idle)
{
    const bool albumPage = location.contains(QLatin1String("album-"))
        && location.contains(photoHostBase + QStringLiteral("/photo"));
    return (albumPage && idle)
        || location.contains(photoHostBase + QStringLiteral("/getalbum.do"));
}

namespace {

// The JSON string value after the key that ends at `from` (": \"...\""),
// decoded by Qt's JSON reader; the empty text when there is none.
QString jsonStringAfter(const QString &text, qsizetype from)
{
    qsizetype i = from;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
            ++i;
    };
    skipBlanks();
    if (i >= text.size() || text.at(i) != u':')
        return {};
    ++i;
    skipBlanks();
    if (i >= text.size() || text.at(i) != u'"')
        return {};
    const qsizetype start = i++;
    // To the closing quote on the same line; an escape takes the next character.
    for (; i < text.size() && text.at(i) != u'"'; ++i) {
        if (text.at(i) == u'\n')
            return {};
        if (text.at(i) == u'\\')
            ++i;
    }
    if (i >= text.size())
        return {};
    const QString literal = QLatin1Char('[') + text.sliced(start, i + 1 - start) + QLatin1Char(']');
    const QJsonDocument doc = QJsonDocument::fromJson(literal.toUtf8());
    return doc.isArray() ? doc.array().at(0).toString() : QString();
}

QString cleanCaption(const QString &raw)
{
    QString caption;
    caption.reserve(qMin<qsizetype>(raw.size(), MaxCaptionLength));
    for (const QChar c : raw) {
        if (c.category() == QChar::Other_Control && c != u'\t' && c != u'\n' && c != u'\r')
            continue;
        if (caption.size() >= MaxCaptionLength)
            break;
        caption += c;
    }
    // Never half a character at the cut.
    if (!caption.isEmpty() && caption.back().isHighSurrogate())
        caption.chop(1);
    return caption.trimmed().isEmpty() ? QString() : caption;
}

} // namespace

PictureData ResolvePicture(const QString &pageText)
{
    static const QString prefix = QStringLiteral("\"largeurl\":\"");
    static const QString suffix = QStringLiteral("\",\"summary\"");
    // jpg before gif as the site was first read; https and the longer or
    // newer extensions only after them, so a page that offers both keeps
    // yielding what it always did.
    static const QStringList patterns = [] {
        QStringList out;
        for (const char *ext : {"jpg", "gif", "jpeg", "png"})
            out << prefix + QStringLiteral("https?:.*.") + QLatin1String(ext) + suffix;
        return out;
    }();

    QString match;
    for (const QString &pattern : patterns) {
        match = RegExMatch(pattern, pageText);
        if (!match.isEmpty())
            break;
    }
    if (match.isEmpty())
        return {};
    // The pattern has no context of its own: the first place its text
    // stands is where it matched. The caption is the value after it.
    const qsizetype end = pageText.indexOf(match) + match.size();
    PictureData data;
    data.caption = cleanCaption(jsonStringAfter(pageText, end));
    // The search ignores case, so the clean-up must too.
    match.remove(prefix, Qt::CaseInsensitive);
    match.remove(suffix, Qt::CaseInsensitive);
    match.replace(QStringLiteral("\\/"), QStringLiteral("/"));
    // Kept for the whole job (the record, the report): without the room the
    // match had around it.
    match.squeeze();
    data.address = match;
    return data;
}

QString ResolvePictureAddress(const QString &pageText)
{
    return ResolvePicture(pageText).address;
}

namespace {

qsizetype utf8Size(QStringView text)
{
    return text.toUtf8().size();
}

// `stem` cut at a character boundary so that stem + tail fits in maxBytes.
QString fitStem(const QString &stem, const QString &tail, int maxBytes)
{
    const qsizetype room = maxBytes - utf8Size(tail);
    QString cut = stem;
    while (!cut.isEmpty() && utf8Size(cut) > room) {
        cut.chop(1);
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1);
    }
    return cut;
}

// Splits off an extension worth keeping: a short one after the last dot.
std::pair<QString, QString> stemAndExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || fileName.size() - dot > 16)
        return {fileName, QString()};
    return {fileName.left(dot), fileName.mid(dot)};
}

} // namespace

QString AlbumFolderName(const QString &albumName, int maxBytes)
{
    // Room for the largest " (n)" a free name can need.
    const QString widest = NumberedFolderName(QString(), MaxTempFolderNumber);
    // A leading dot would hide the folder (and keep updates from it), a
    // leading space would sort and show it apart; a title of dots alone
    // stays what it is, a name no folder can take.
    QString name = VisibleName(albumName);
    qsizetype lead = 0;
    while (lead < name.size() && (name.at(lead) == QLatin1Char('.') || name.at(lead).isSpace()))
        ++lead;
    if (lead < name.size())
        name.remove(0, lead);
    return fitStem(name, widest, maxBytes);
}

QString AlbumAddressAtSite(const QString &recorded, const QString &photoHostBase)
{
    QUrl address(recorded);
    const QUrl site(photoHostBase);
    if (!address.isValid() || address.isRelative() || !site.isValid() || site.host().isEmpty())
        return recorded;
    address.setScheme(site.scheme());
    address.setAuthority(site.authority());
    return address.toString(QUrl::FullyEncoded);
}

QString FitFileName(const QString &fileName, int maxBytes)
{
    if (utf8Size(fileName) <= maxBytes)
        return fileName;
    const auto [stem, ext] = stemAndExtension(fileName);
    return fitStem(stem, ext, maxBytes) + ext;
}

QString FreeFileName(const QString &folder, const QString &fileName, int maxBytes,
                     const QString &companionSuffix)
{
    auto takenAs = [&](const QString &name) {
        const QFileInfo info(folder + QLatin1Char('/') + name);
        return info.exists() || info.isSymLink();
    };
    auto taken = [&](const QString &name) {
        return takenAs(name) || (!companionSuffix.isEmpty() && takenAs(name + companionSuffix));
    };
    maxBytes -= int(utf8Size(companionSuffix));
    const QString fitted = FitFileName(fileName, maxBytes);
    if (!taken(fitted))
        return fitted;
    const auto [stem, ext] = stemAndExtension(fileName);
    for (int n = 2;; ++n) {
        const QString tail = QStringLiteral("(%1)").arg(n) + ext;
        const QString candidate = fitStem(stem, tail, maxBytes) + tail;
        if (!taken(candidate))
            return candidate;
    }
}

bool SnapshotsAgreeForCollection(const PageSnapshot &a, const PageSnapshot &b, const QString &photoHostBase,
                                 bool requireCurpage)
{
    if (a.failed || b.failed || a.title != b.title
        || PicturePageLinks(a.links, photoHostBase) != PicturePageLinks(b.links, photoHostBase))
        return false;
    const qsizetype nextA = NextPageLinkIndex(a.links, requireCurpage);
    const qsizetype nextB = NextPageLinkIndex(b.links, requireCurpage);
    if (nextA < 0 || nextB < 0)
        return nextA == nextB;
    return a.links.at(nextA).href == b.links.at(nextB).href;
}

QString AlbumAddressElseFirstPage(const QString &albumAddress, const QString &firstPage)
{
    return albumAddress.isEmpty() ? firstPage : albumAddress;
}

QString PictureName(const QString &pictureAddress)
{
    // The text after the last "/", query and fragment included, as the site
    // has always named its pictures; none without a "/".
    const qsizetype slash = pictureAddress.lastIndexOf(QLatin1Char('/'));
    const QString last = slash < 0 ? QString() : pictureAddress.mid(slash + 1);
    return FitFileName(PictureFileName(last));
}

PicturePageReading ReadPicturePage(const PageResult &page)
{
    using Outcome = PicturePageReading::Outcome;
    PicturePageReading reading;
    if (IsLoginAnswer(page.httpStatus, false))
        return {Outcome::Login, {}, {}};
    if (!page.ok())
        return {Outcome::Failed, {}, {}};
    reading.picture = ResolvePicture(page.text);
    if (reading.picture.address.isEmpty()) {
        reading.outcome = HasPasswordField(page.text) ? Outcome::Login : Outcome::NoPicture;
        return reading;
    }
    reading.fileName = PictureName(reading.picture.address);
    reading.outcome = IsUsableFolderName(reading.fileName) ? Outcome::Picture : Outcome::NoFileName;
    return reading;
}
