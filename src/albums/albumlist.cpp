#include "albumlist.h"

#include <QLocale>

#include <cmath>

bool IsValidUserId(const QString &typed)
{
    const QString id = typed.trimmed();
    if (id.isEmpty())
        return false;
    bool ok = false;
    double value = QLocale::system().toDouble(id, &ok);
    if (!ok)
        value = QLocale::c().toDouble(id, &ok);
    // "inf" and "nan" convert too, but are no user id.
    return ok && std::isfinite(value);
}

bool IsLoggedInPage(const QString &pageText)
{
    return pageText.size() >= 100;
}

bool HasNoAlbumsMarker(const QString &pageText)
{
    return pageText.contains(QStringLiteral("没有其他相册了"));
}

QString AlbumLinkPrefix(const QString &photoHostBase, const QString &typedUserId)
{
    return photoHostBase + QLatin1String("/photo/") + typedUserId + QLatin1String("/album-");
}

QList<AlbumEntry> ParseAlbumPass(const QString &pageText, const QString &linkPrefix,
                                 const QStringList &alreadyListed)
{
    QList<AlbumEntry> found;
    // With an empty prefix every position would start a "link".
    if (linkPrefix.isEmpty())
        return found;

    const QChar quote = QLatin1Char('"');
    const QLatin1String titleMarker("title=");
    QString text = pageText;
    if (const qsizetype section = text.indexOf(QLatin1String("album-list-me")); section > 0)
        text.remove(0, section);

    // Each round deletes the link it found (at least the prefix), so the text
    // shrinks every time and the loop ends on any input.
    for (qsizetype at = text.indexOf(linkPrefix); at >= 0; at = text.indexOf(linkPrefix)) {
        text.remove(0, at);
        const qsizetype addressEnd = text.indexOf(quote, linkPrefix.size());
        if (addressEnd < 0)
            break;
        const QString address = text.left(addressEnd);
        // Also cuts the address out of longer ones that begin with it, such as
        // the album's own "?curpage=" links, so those are not taken for albums.
        text.remove(address);

        // The title starts behind title= and its opening quote.
        const qsizetype marker = text.indexOf(titleMarker);
        if (marker < 0)
            break;
        const qsizetype titleStart = marker + titleMarker.size() + 1;
        const qsizetype titleEnd = text.indexOf(quote, titleStart);
        if (titleEnd < 0)
            break;

        if (!alreadyListed.contains(address, Qt::CaseSensitive))
            found.append({address, text.mid(titleStart, titleEnd - titleStart)});
    }
    return found;
}
