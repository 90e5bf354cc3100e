#include "jobrules.h"

#include "web/textutil.h"

#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

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
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
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

QString AlbumPageKey(const QString &address)
{
    QUrl url(address);
    QUrlQuery query(url);
    // A paged list opened without a page number shows its first page.
    const QString page = query.hasQueryItem(QStringLiteral("curpage"))
        ? query.queryItemValue(QStringLiteral("curpage"))
        : QStringLiteral("1");
    query.removeAllQueryItems(QStringLiteral("curpage"));
    url.setQuery(query);
    url.setFragment(QString());
    return url.toString() + QStringLiteral("#curpage=") + page;
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

bool StartButtonEnabledFor(const QString &location, const QString &photoHostBase,
                           const QString &jobState)
{
    const bool albumPage = location.contains(QLatin1String("album-"))
        && location.contains(photoHostBase + QStringLiteral("/photo"));
    return (albumPage && jobState == JobStates::Login)
        || location.contains(photoHostBase + QStringLiteral("/getalbum.do"));
}

QString NextTempFolderName(const QString &saveFolder)
{
    for (qint32 n = 1; n <= 32767; ++n) {
        const QString name = TempFolderBaseName + QString::number(n);
        // Any entry of that name blocks it, not only a folder: a file would
        // make the folder impossible to create.
        const QFileInfo info(saveFolder + QLatin1Char('/') + name);
        if (!info.exists() && !info.isSymLink())
            return name;
    }
    return {};
}

QString ResolvePictureAddress(const QString &pageText)
{
    static const QString prefix = QStringLiteral("\"largeurl\":\"");
    static const QString suffix = QStringLiteral("\",\"summary\"");
    static const QString jpgPattern = prefix + QStringLiteral("http:.*.jpg") + suffix;
    static const QString gifPattern = prefix + QStringLiteral("http:.*.gif") + suffix;

    QString match = RegExMatch(jpgPattern, pageText);
    if (match.isEmpty())
        match = RegExMatch(gifPattern, pageText);
    if (match.isEmpty())
        return {};
    match.remove(prefix);
    match.remove(suffix);
    match.replace(QStringLiteral("\\/"), QStringLiteral("/"));
    return match;
}

QString FreeFileName(const QString &folder, const QString &fileName)
{
    auto taken = [&](const QString &name) {
        const QFileInfo info(folder + QLatin1Char('/') + name);
        return info.exists() || info.isSymLink();
    };
    if (!taken(fileName))
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString ext = dot > 0 ? fileName.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral("(%1)").arg(n) + ext;
        if (!taken(candidate))
            return candidate;
    }
}
