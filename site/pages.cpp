#include "pages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

QByteArray document(const QString &title, const QString &body, const QString &head = {})
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>\n"
                          "<style>body{font-family:sans-serif;margin:1em 2em}li{margin:.2em 0}</style>\n"
                          "%3</head><body>\n%2\n</body></html>\n")
        .arg(htmlEscaped(title), body, head)
        .toUtf8();
}

QString link(const QString &url, const QString &text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(url, htmlEscaped(text));
}

// Keeps a file name with a space, quote or the like a valid address; other
// characters stay as they are so the saved name matches the seed.
QString addressSegment(const QString &segment)
{
    QString out;
    for (const QChar c : segment) {
        if (QStringView(u" \"#%?<>\\").contains(c))
            out += u'%' + QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

} // namespace

// Every character outside ASCII as \uXXXX, as some JSON writers do.
static QString escapedOutsideAscii(const QString &json)
{
    QString out;
    for (const QChar c : json)
        out += c.unicode() < 0x80 ? QString(c) : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return out;
}

QString htmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString escapedJsonObject(const QString &id, const QString &largeUrl, const QString &summary)
{
    // QJsonObject keeps its keys sorted, which happens to be the site's order.
    QJsonObject object{{QStringLiteral("id"), id},
                       {QStringLiteral("largeurl"), largeUrl},
                       {QStringLiteral("summary"), summary}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)).replace(u'/', QStringLiteral("\\/"));
}

SitePages::SitePages(const Seed &seed, const QString &base, const QString &deadBase)
    : m_seed(seed)
    , m_base(base)
    , m_deadBase(deadBase)
{
}

QString SitePages::albumUrl(const QString &memberId, const QString &albumId, int curpage) const
{
    QString url = m_base + QStringLiteral("/photo/%1/album-%2").arg(memberId, albumId);
    if (curpage >= 0)
        url += QStringLiteral("?curpage=%1").arg(curpage);
    return url;
}

QString SitePages::pictureUrl(const QString &albumId, const SeedPicture &picture, const QString &file) const
{
    return m_base + QStringLiteral("/pic/%1/%2/%3").arg(albumId, picture.id, addressSegment(file));
}

QString SitePages::albumLinkItem(const QString &memberId, const SeedAlbum &album) const
{
    const QString name = htmlEscaped(album.name);
    return QStringLiteral("<li><a href=\"%1\" title=\"%2\">%2</a></li>\n").arg(albumUrl(memberId, album.id), name);
}

QByteArray SitePages::home() const
{
    QString body = QStringLiteral("<h1>Kestrelnet 首页</h1>\n<p>%1 | %2</p>\n<h2>成员相册</h2>\n<ul>\n")
                       .arg(link(m_base + QStringLiteral("/login"), QStringLiteral("登录")),
                            link(m_base + QStringLiteral("/quillmoor/start"), QStringLiteral("Quillmoor 使用说明")));
    for (const SeedMember &member : m_seed.members) {
        body += QStringLiteral("<li>%1<ul>\n")
                    .arg(link(m_base + QStringLiteral("/getalbumprofile.do?owner=") + member.id,
                              QStringLiteral("成员 %1 的相册").arg(member.id)));
        for (const SeedAlbum &album : member.albums)
            body += QStringLiteral("<li>%1</li>\n").arg(link(albumUrl(member.id, album.id), album.name));
        body += QStringLiteral("</ul></li>\n");
    }
    body += QStringLiteral("</ul>\n<p>%1 | %2</p>")
                .arg(link(m_base + QStringLiteral("/photo/%1/album/friends?fb").arg(m_seed.friendsId),
                          QStringLiteral("好友相册")),
                     link(m_base + QStringLiteral("/share/hotsharelist.do?t=8"), QStringLiteral("热门分享")));
    return document(QStringLiteral("Kestrelnet 首页"), body);
}

QByteArray SitePages::quillmoorStart() const
{
    QString body = QStringLiteral(
                       "<h1>Quillmoor 相册下载</h1>\n"
                       "<ol>\n<li>先%1 Kestrelnet（Log in first）。</li>\n"
                       "<li>打开一个相册页面（Open an album page）。</li>\n"
                       "<li>按“开始下载”（Press start）。相册会保存在下载目录下，以相册名命名。</li>\n</ol>\n"
                       "<h2>示例相册</h2>\n<ul>\n")
                       .arg(link(m_base + QStringLiteral("/login"), QStringLiteral("登录")));
    for (const SeedMember &member : m_seed.members) {
        for (const SeedAlbum &album : member.albums)
            body += QStringLiteral("<li>%1</li>\n").arg(link(albumUrl(member.id, album.id), album.name));
    }
    body += QStringLiteral("</ul>\n<p>%1 | %2</p>")
                .arg(link(m_base + QStringLiteral("/quillmoor/help"), QStringLiteral("帮助")),
                     link(m_base + QStringLiteral("/"), QStringLiteral("Kestrelnet 首页")));
    return document(QStringLiteral("Quillmoor - 开始"), body);
}

QByteArray SitePages::quillmoorHelp() const
{
    const QString body = QStringLiteral(
                             "<h1>Quillmoor 帮助</h1>\n"
                             "<p>在“下载热门相册”页登录并打开相册，然后按开始下载。"
                             "在“下载指定ID用户相册”页输入用户ID，列出相册后选择一个下载。</p>\n"
                             "<p>Log in in the browser tab, open an album and press start; or list a member's "
                             "albums by user id and download one of them.</p>\n<p>%1</p>")
                             .arg(link(m_base + QStringLiteral("/quillmoor/start"), QStringLiteral("返回")));
    return document(QStringLiteral("Quillmoor - 帮助"), body);
}

QByteArray SitePages::quillmoorFeedback() const
{
    const QString body = QStringLiteral("<h1>Quillmoor 反馈</h1>\n<p>欢迎提出意见和建议。"
                                        "Comments and suggestions are welcome.</p>\n<p>%1</p>")
                             .arg(link(m_base + QStringLiteral("/quillmoor/start"), QStringLiteral("返回")));
    return document(QStringLiteral("Quillmoor - 反馈"), body);
}

QByteArray SitePages::loginForm() const
{
    const QString body = QStringLiteral(
                             "<h1>登录 Kestrelnet</h1>\n"
                             "<form method=\"post\" action=\"%1/login\">\n"
                             "<p><label>用户名 <input type=\"text\" name=\"user\" id=\"user\"></label></p>\n"
                             "<p><label>密码 <input type=\"password\" name=\"password\" id=\"password\"></label></p>\n"
                             "<p><input type=\"submit\" id=\"login-button\" value=\"登录\"></p>\n</form>")
                             .arg(m_base);
    return document(QStringLiteral("Kestrelnet - 登录"), body);
}

QByteArray SitePages::notLoggedIn() const
{
    // The program tells a logged-out session by a page under 100 characters.
    return QByteArrayLiteral("<html><body><a href=\"/login\">请先登录</a></body></html>");
}

QByteArray SitePages::albumProfile(const QString &ownerId) const
{
    const SeedMember *member = m_seed.member(ownerId);
    QString body = QStringLiteral("<p>%1</p>\n<h1>%2 的相册</h1>\n")
                       .arg(link(m_base + QStringLiteral("/"), QStringLiteral("Kestrelnet 首页")),
                            htmlEscaped(ownerId));
    if (!member) {
        body += QStringLiteral("<p>该用户不存在。没有其他相册了</p>");
        return document(QStringLiteral("Kestrelnet Kampus - 相册"), body);
    }
    if (member->noAlbums)
        body += QStringLiteral("<p>没有其他相册了</p>\n");
    body += QStringLiteral("<div class=\"album-list-me\">\n<ul>\n");
    for (const SeedAlbum &album : member->albums) {
        if (!album.inProfile)
            continue;
        body += albumLinkItem(member->id, album);
        if (member->profileRepeatsLinks)
            body += albumLinkItem(member->id, album);
    }
    body += QStringLiteral("</ul>\n</div>");
    return document(QStringLiteral("Kestrelnet Kampus - 相册 - %1").arg(member->id), body);
}

std::optional<QByteArray> SitePages::albumPage(const QString &memberId, const QString &albumId, int curpage) const
{
    const SeedMember *member = m_seed.member(memberId);
    const SeedAlbum *album = member ? member->album(albumId) : nullptr;
    const int index = album ? album->pageIndex(curpage) : 0;
    if (index == 0)
        return std::nullopt;

    QString body = QStringLiteral("<p>%1 | %2</p>\n<h1>%3</h1>\n<p>第 %4 / %5 页</p>\n<ul class=\"photos\">\n")
                       .arg(link(m_base + QStringLiteral("/"), QStringLiteral("Kestrelnet 首页")),
                            link(m_base + QStringLiteral("/quillmoor/help"), QStringLiteral("帮助")),
                            htmlEscaped(album->name))
                       .arg(index)
                       .arg(album->pages);
    body += pictureList(member->id, *album, curpage);
    body += QStringLiteral("</ul>\n<p class=\"pager\">");
    if (curpage > album->firstPage)
        body += link(albumUrl(member->id, album->id, curpage - 1), QStringLiteral("上一页")) + u' ';
    if (album->decoys)
        body += decoyLinks(member->id, *album);
    QString next;
    if (curpage < album->lastPage())
        next = albumUrl(member->id, album->id, curpage + 1);
    else if (album->loopBack)
        next = albumUrl(member->id, album->id, album->firstPage);
    if (!next.isEmpty() && index == 1 && album->nextLink == NextLink::Javascript)
        next = QStringLiteral("javascript:goPage('%1')").arg(next.mid(next.indexOf(u'?')));
    else if (!next.isEmpty() && index == 1 && album->nextLink == NextLink::DeadHost)
        next.replace(0, m_base.size(), m_deadBase);
    // Written relative to a <base> that differs from the page's own folder.
    const QString pagesBase = m_base + QStringLiteral("/photo/%1/pages/").arg(member->id);
    const QString memberFolder = m_base + QStringLiteral("/photo/%1/").arg(member->id);
    if (album->decoys && next.startsWith(memberFolder))
        body += QStringLiteral("<a href=\"../%1\">下一页</a>").arg(next.mid(memberFolder.size()));
    else if (!next.isEmpty())
        body += link(next, QStringLiteral("下一页"));
    body += QStringLiteral("</p>\n");

    // Every album of the member, listed ones or not: the program reads this
    // section to find albums the profile leaves out.
    body += QStringLiteral("<div class=\"album-list-me\">\n<h2>我的相册</h2>\n<ul>\n");
    for (const SeedAlbum &other : member->albums)
        body += albumLinkItem(member->id, other);
    body += QStringLiteral("</ul>\n</div>");
    QString title = QStringLiteral("Kestrelnet Kampus - 浏览相册 - ") + album->name;
    if (album->titleSpaces)
        title = QStringLiteral("\n\t ") + title + QStringLiteral(" \r\n\t");
    const QString head = album->decoys ? QStringLiteral("<base href=\"%1\">\n").arg(pagesBase) : QString();
    return document(title, body, head);
}

QString SitePages::pictureList(const QString &memberId, const SeedAlbum &album, int curpage) const
{
    QString list;
    QJsonArray scripted;
    for (const SeedPicture *picture : album.picturesOnPage(curpage)) {
        const QString url = m_base + QStringLiteral("/photo/%1/photo-%2").arg(memberId, picture->id);
        const QString text = QStringLiteral("图片 %1").arg(picture->id);
        if (album.scriptLinks)
            scripted.append(QJsonArray{url, text});
        else if (album.decoys)
            list += QStringLiteral("<li><a href=\"%1\">\n <span class=\"n\">图片</span>&nbsp;<b>%2</b>"
                                   "<!-- %2 --> &lt;&amp;&gt;</a></li>\n")
                        .arg(url, htmlEscaped(picture->id));
        else
            list += QStringLiteral("<li>%1</li>\n").arg(link(url, text));
    }
    if (!album.scriptLinks)
        return list;
    // The links exist only once the script ran: a reader of the HTML sees none.
    return QStringLiteral("<script>(function() {\n"
                          "var links = %1, list = document.currentScript.parentNode;\n"
                          "for (var i = 0; i < links.length; ++i) {\n"
                          "  var a = document.createElement('a'), li = document.createElement('li');\n"
                          "  a.href = links[i][0]; a.textContent = links[i][1];\n"
                          "  li.appendChild(a); list.appendChild(li);\n"
                          "}})();</script>\n")
        .arg(QString::fromUtf8(QJsonDocument(scripted).toJson(QJsonDocument::Compact)));
}

QString SitePages::decoyLinks(const QString &memberId, const SeedAlbum &album) const
{
    // Each looks like the next-page link to a careless reader: one lacks
    // curpage=, one is an <area> (no text), one has a trailing space.
    const QString wrong = albumUrl(memberId, album.id, album.lastPage() + 100);
    return QStringLiteral("%1 <map name=\"pager\"><area shape=\"rect\" coords=\"0,0,1,1\" href=\"%2\" "
                          "alt=\"下一页\"></map> <a href=\"%2\">下一页 </a> ")
        .arg(link(m_base + QStringLiteral("/quillmoor/help"), QStringLiteral("下一页")), wrong);
}

QString SitePages::pictureData(const QString &variable, const SeedAlbum &album, const SeedPicture &picture,
                               const QString &file) const
{
    const QString summary = picture.caption.value_or(QStringLiteral("%1 - %2").arg(album.name, picture.id));
    QString data = escapedJsonObject(picture.id, pictureUrl(album.id, picture, file), summary);
    if (picture.captionNull || picture.captionEscapes) {
        // The summary is the object's last value: rewritten in place.
        const qsizetype at = data.lastIndexOf(QStringLiteral("\"summary\":")) + 10;
        QString value = QStringLiteral("null");
        if (!picture.captionNull) {
            value = QString::fromUtf8(QJsonDocument(QJsonArray{summary}).toJson(QJsonDocument::Compact))
                        .chopped(1)
                        .sliced(1)
                        .replace(u'/', QStringLiteral("\\/"));
            if (picture.captionEscapes)
                value = escapedOutsideAscii(value);
        }
        data = data.left(at) + value + QLatin1Char('}');
    }
    if (picture.upperCaseKeys)
        data.replace(QStringLiteral("\"largeurl\":"), QStringLiteral("\"LARGEURL\":"))
            .replace(QStringLiteral("\"summary\":"), QStringLiteral("\"SUMMARY\":"));
    return QStringLiteral("<script type=\"text/javascript\">var %1 = %2;</script>\n").arg(variable, data);
}

std::optional<QByteArray> SitePages::picturePage(const QString &memberId, const QString &pictureId) const
{
    const SeedMember *member = m_seed.member(memberId);
    if (!member)
        return std::nullopt;
    for (const SeedAlbum &album : member->albums) {
        const SeedPicture *picture = album.picture(pictureId);
        if (!picture)
            continue;
        QString body = QStringLiteral("<p>%1 | %2</p>\n<h1>%3 - 图片 %4</h1>\n")
                           .arg(link(m_base + QStringLiteral("/"), QStringLiteral("Kestrelnet 首页")),
                                link(albumUrl(member->id, album.id), album.name), htmlEscaped(album.name),
                                htmlEscaped(picture->id));
        if (picture->hasGif())
            body += pictureData(QStringLiteral("photoGif"), album, *picture, picture->gifFile());
        if (picture->hasJpg())
            body += pictureData(QStringLiteral("photo"), album, *picture, picture->jpgFile());
        if (picture->kind == PictureKind::None)
            body += QStringLiteral("<p>图片已删除</p>\n");
        else
            body += QStringLiteral("<p><img src=\"%1\" alt=\"\"></p>")
                        .arg(pictureUrl(album.id, *picture, picture->hasJpg() ? picture->jpgFile() : picture->gifFile()));
        return document(QStringLiteral("Kestrelnet Kampus - 浏览图片 - ") + album.name, body);
    }
    return std::nullopt;
}

QByteArray SitePages::friendsAlbums(const QString &memberId) const
{
    QString body = QStringLiteral("<p>%1</p>\n<h1>好友相册</h1>\n<ul>\n")
                       .arg(link(m_base + QStringLiteral("/"), QStringLiteral("Kestrelnet 首页")));
    for (const SeedMember &member : m_seed.members) {
        if (member.id == memberId)
            continue;
        for (const SeedAlbum &album : member.albums)
            body += QStringLiteral("<li>%1</li>\n").arg(link(albumUrl(member.id, album.id), album.name));
    }
    // With a single demo member the friends' page would be empty; show the
    // member's own albums too so that the page is useful in the demo run.
    if (const SeedMember *self = m_seed.member(memberId)) {
        for (const SeedAlbum &album : self->albums)
            body += QStringLiteral("<li>%1</li>\n").arg(link(albumUrl(self->id, album.id), album.name));
    }
    body += QStringLiteral("</ul>");
    return document(QStringLiteral("Kestrelnet Kampus - 好友相册"), body);
}

QByteArray SitePages::hotShares() const
{
    QString body = QStringLiteral("<p>%1</p>\n<h1>热门分享</h1>\n<ol>\n")
                       .arg(link(m_base + QStringLiteral("/"), QStringLiteral("Kestrelnet 首页")));
    for (const SeedMember &member : m_seed.members) {
        for (const SeedAlbum &album : member.albums)
            body += QStringLiteral("<li>%1</li>\n").arg(link(albumUrl(member.id, album.id), album.name));
    }
    body += QStringLiteral("</ol>");
    return document(QStringLiteral("Kestrelnet - 热门分享"), body);
}

QByteArray SitePages::newWindowTest() const
{
    const QString body = QStringLiteral("<a id=\"nw\" href=\"%1/quillmoor/help\" target=\"_blank\">open</a>\n"
                                        "<button id=\"wo\" onclick=\"window.open('%1/quillmoor/feedback')\">"
                                        "window.open</button>")
                             .arg(m_base);
    return document(QStringLiteral("newwindow"), body);
}

QByteArray SitePages::linksTest() const
{
    const QString body = QStringLiteral("<a href=\"/quillmoor/help\"> 下一页</a>\n"
                                        "<a href=\"photo/1/photo-2\">相对</a>\n"
                                        "<a href=\"%1/quillmoor/start?curpage=2\">下一页</a>")
                             .arg(m_base);
    return document(QStringLiteral("links"), body);
}

QByteArray SitePages::statusPage(int status)
{
    const QString text = status == 404 ? QStringLiteral(" 页面不存在") : QString();
    return QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                          "<body>status %1%2</body></html>")
        .arg(status)
        .arg(text)
        .toUtf8();
}
