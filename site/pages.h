#pragma once

#include "seed.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Builds the site's HTML. Every address in a page is absolute, built on the
// address the site is served on.
class SitePages
{
public:
    // `deadBase` is an address on which nothing answers.
    SitePages(const Seed &seed, const QString &base, const QString &deadBase);

    QByteArray home() const;
    QByteArray quillmoorStart() const;
    QByteArray quillmoorHelp() const;
    QByteArray quillmoorFeedback() const;
    QByteArray loginForm() const;
    QByteArray notLoggedIn() const;
    QByteArray albumProfile(const QString &ownerId) const;
    // Nothing when the member, the album or the page numbered `curpage`
    // does not exist.
    std::optional<QByteArray> albumPage(const QString &memberId, const QString &albumId, int curpage) const;
    std::optional<QByteArray> picturePage(const QString &memberId, const QString &pictureId) const;
    QByteArray friendsAlbums(const QString &memberId) const;
    QByteArray hotShares() const;
    QByteArray newWindowTest() const;
    QByteArray linksTest() const;

    // With a curpage of -1, the album address without one.
    QString albumUrl(const QString &memberId, const QString &albumId, int curpage = -1) const;
    QString pictureUrl(const QString &albumId, const SeedPicture &picture, const QString &file) const;

    QString base() const { return m_base; }
    const Seed &seed() const { return m_seed; }

    static QByteArray statusPage(int status);

private:
    QString albumLinkItem(const QString &memberId, const SeedAlbum &album) const;
    QString pictureList(const QString &memberId, const SeedAlbum &album, int curpage) const;
    QString decoyLinks(const QString &memberId, const SeedAlbum &album) const;
    QString pictureData(const QString &variable, const SeedAlbum &album, const SeedPicture &picture,
                        const QString &file) const;

    const Seed &m_seed;
    QString m_base;
    QString m_deadBase;
};

// Escapes & < > " as the site does in titles and attributes.
QString htmlEscaped(const QString &text);
// The "largeurl" data of a picture page: compact JSON with every slash
// written as \/ , the way the real site writes it.
QString escapedJsonObject(const QString &id, const QString &largeUrl, const QString &summary);
