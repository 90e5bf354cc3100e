#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reading a member's album list out of the raw text of the site's pages.
// Pure text work: AlbumListRequest fetches the pages.

// A typed user id is accepted when, trimmed, it is not empty and reads as a
// finite number in the system locale or in the C locale (digits, a sign,
// decimal and group separators, an exponent).
bool IsValidUserId(const QString &typed);

// A page shorter than 100 characters (or none at all) is what the site sends
// to a visitor who has not logged in.
bool IsLoggedInPage(const QString &pageText);

// The profile page says so when the member has no albums to download.
bool HasNoAlbumsMarker(const QString &pageText);

struct AlbumEntry {
    QString url;
    QString title; // as written in the page, character entities not decoded

    friend bool operator==(const AlbumEntry &, const AlbumEntry &) = default;
};

// Every album page address of the member begins with this.
QString AlbumLinkPrefix(const QString &photoHostBase, const QString &typedUserId);

// One pass over a page: the albums linked from its album list section, in
// page order. An address equal to one of `alreadyListed` (exact comparison)
// is skipped together with its title. Each address found is deleted from the
// rest of the text, so a repeated link is listed once. A link without a
// closing quote, without a "title=" after it, or with an unclosed title ends
// the pass with what was listed until then.
QList<AlbumEntry> ParseAlbumPass(const QString &pageText, const QString &linkPrefix,
                                 const QStringList &alreadyListed);
