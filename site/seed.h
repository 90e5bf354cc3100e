#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What one picture page offers: a jpg, a gif, both entries, or no picture data.
enum class PictureKind { Jpg, Gif, Both, None };

struct SeedPicture
{
    QString id;
    QString file; // name in the picture address; for Both, the jpg's name
    PictureKind kind = PictureKind::Jpg;
    int status = 200;
    bool cut = false;
    int width = 0;
    int height = 0;

    bool hasJpg() const { return kind == PictureKind::Jpg || kind == PictureKind::Both; }
    bool hasGif() const { return kind == PictureKind::Gif || kind == PictureKind::Both; }
    QString jpgFile() const;
    QString gifFile() const;
};

struct SeedAlbum
{
    QString id;
    QString name;
    int pages = 1;
    int perPage = 4;
    PictureKind kind = PictureKind::Jpg;
    bool inProfile = true;
    bool repeatAcrossPages = false;
    bool loopBack = false;
    QList<SeedPicture> pictures;

    // Picture links shown on page (1-based), including the repeated link.
    QList<const SeedPicture *> picturesOnPage(int page) const;
    const SeedPicture *picture(const QString &pictureId) const;
};

struct SeedMember
{
    QString id;
    bool noAlbums = false;
    bool profileRepeatsLinks = false;
    QList<SeedAlbum> albums;

    const SeedAlbum *album(const QString &albumId) const;
};

struct Seed
{
    int delayMs = 0;
    QString friendsId;
    QList<SeedMember> members;

    const SeedMember *member(const QString &memberId) const;
};

// Reads a seed; generated pictures are filled in so that every album has its
// final list. Returns nothing and sets error when the text is not usable.
std::optional<Seed> parseSeed(const QByteArray &json, QString *error);

// The content served when no seed is given: the demo run uses it.
Seed builtInSeed();
QByteArray builtInSeedJson();
