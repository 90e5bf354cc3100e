#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The seed: the site's content as JSON. Every key is optional; the ones that
// make the site noisier are off by default.
//
// top level: "members": [...], "friendsId", "delayMs" (before every answer),
//   "pictureDelayMs" (before each picture-page and picture answer),
//   "maxInFlight": n with "throttleStatus" (429) and "throttleRetryAfter":
//   beyond n picture-page and picture requests at once, the further ones get
//   the throttle status (and a Retry-After header when given).
// member: "id", "albums": [...], "noAlbums", "profileRepeatsLinks",
//   "profileStatus" (the album profile answers it with its short error page).
// album: "id", "name", "pages", "perPage", "kind" (jpg, gif, both, none),
//   "inProfile", "repeatAcrossPages", "loopBack" (the last page's 下一页 leads
//   to the first), "firstPage" (0 or 1: the curpage of the bare address),
//   "nextLink" (normal, javascript, deadHost, redirectAway, error; see
//   NextLink), "pageStatus" (every album page answers it), "pictures": [...]
//   (generated ids and files when absent), "scriptLinks" (the picture links
//   are written by a script of the page), "decoys" (decoy 下一页 links, a
//   <base> and a relative real one, link texts with nested markup),
//   "titleSpaces" (the title wrapped in line breaks and tabs).
// picture: "id", "file", "kind", "width", "height", "status" (the bytes
//   answer it), "cut" (half the bytes, then the connection drops: true for
//   every request, a number for that many first ones),
//   "pageFails" / "pageStatus" (500) / "pageRetryAfter" for the picture page
//   and "fails" / "failStatus" (500) / "retryAfter" for the bytes (see
//   Failures), "body" (plain, gzip, gzipCut, deflateCut, partial, html,
//   empty, jpegHead; see PictureBody), "type" (the Content-Type sent),
//   "keyCase": "upper" (LARGEURL and SUMMARY in the page's data),
//   "trickleMs" / "pageTrickleMs" (the bytes / the picture page sent one
//   byte every so many ms), "trickleBytes" (bytes sent at each of those
//   steps, 1 by default: 12 every 10 ms is 1.2 kB/s), "pageBody": "gzipBomb"
//   (the picture page as a gzip bomb), "bombMb" (what a gzip bomb inflates
//   to, 1024 by default), "otherHost" (the bytes asked for at 127.0.0.1
//   answer 302 to the same address at the host name localhost, another host
//   to a cookie jar; /test/picturecookies lists the Cookie header each
//   picture request brought, with its host), "padKb" (the jpg's bytes
//   padded after its end to this many KiB, up to 64 MiB: a large picture
//   that costs no time to make).
//   "caption" (the page's "summary" value: a text, or null for a JSON null;
//   "<album> - <id>" when absent), "captionEscapes" (every character of the
//   caption outside ASCII written as \uXXXX), "date" (ISO 8601; the picture
//   is sent with it as Last-Modified, and without one when absent).
// A Retry-After is a number of seconds or a text sent as it is.

// What one picture page offers: a jpg, a gif, both entries, or no picture data.
enum class PictureKind { Jpg, Gif, Both, None };

// How the picture bytes are sent: as they are; gzip-encoded whole; gzip or
// deflate-encoded and cut half-way; an unrequested 206 with the first half;
// an HTML page with status 200; an empty 200 body; a gzip bomb (a small
// body that inflates to bombMb megabytes behind a JPEG signature); the first
// 64 bytes of the JPEG as a whole body (a picture no metadata reader reads).
enum class PictureBody { Plain, Gzip, GzipCut, DeflateCut, Partial, Html, Empty, GzipBomb, JpegHead };

// Where the album's 下一页 link leads: the next page; a javascript: link on
// the first page; a host that refuses connections; the second page
// redirecting off the photo host; the second page answering 500.
enum class NextLink { Normal, Javascript, DeadHost, RedirectAway, Error };

// A request that fails its first `count` times (-1: always) with `status`,
// and a Retry-After header when `retryAfter` is not empty.
struct Failures
{
    int count = 0;
    int status = 500;
    QString retryAfter;

    bool failsOn(int request) const { return count < 0 || request <= count; }
};

struct SeedPicture
{
    QString id;
    QString file; // name in the picture address; for Both, the jpg's name
    PictureKind kind = PictureKind::Jpg;
    int status = 200;
    Failures cuts; // count: the first requests cut; -1 every one
    int width = 0;
    int height = 0;
    Failures pageFailures;    // of the picture page
    Failures pictureFailures; // of the picture bytes
    PictureBody body = PictureBody::Plain;
    QString contentType;      // replaces the type the bytes would be sent with
    bool upperCaseKeys = false;
    int trickleMs = 0;        // the bytes go out one byte every so many ms
    int pageTrickleMs = 0;    // the picture page likewise
    int trickleBytes = 1;     // sent at each trickle step
    bool otherHost = false;   // the bytes redirect to the host name localhost
    int padKb = 0;            // the jpg padded to this many KiB
    bool bombPage = false;    // the picture page is a gzip bomb
    qint64 bombBytes = qint64(1024) * 1024 * 1024; // what a gzip bomb inflates to
    std::optional<QString> caption; // the "summary" text; the default one when unset
    bool captionNull = false;       // "summary" is null
    bool captionEscapes = false;    // written with \uXXXX outside ASCII
    QDateTime date;                 // Last-Modified of the bytes, when valid

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
    int firstPage = 1;  // the curpage of the album address without one
    NextLink nextLink = NextLink::Normal;
    int pageStatus = 0; // every album page answers this status when set
    // Ways a page can look different to a reader of its HTML than to a browser.
    bool scriptLinks = false;
    bool decoys = false;
    bool titleSpaces = false;
    // Set between two visits by /test/album: the album page of this index
    // (1 for the first) answers 200 with a notice and the album's title but
    // no link; the picture pages answer without picture data.
    int busyPage = 0;
    bool noPictureData = false;
    QList<SeedPicture> pictures;

    // Picture links shown on the page numbered `curpage`, including the
    // repeated link; nothing for a page that does not exist.
    QList<const SeedPicture *> picturesOnPage(int curpage) const;
    const SeedPicture *picture(const QString &pictureId) const;
    // 1 for the first page, whatever the numbering; 0 when out of range.
    int pageIndex(int curpage) const;
    int lastPage() const { return firstPage + pages - 1; }
    // Appends `count` generated pictures, adding pages as needed; returns them.
    QList<SeedPicture> grow(int count);
    bool remove(const QString &pictureId);
};

struct SeedMember
{
    QString id;
    bool noAlbums = false;
    bool profileRepeatsLinks = false;
    int profileStatus = 0; // the album profile answers this status when set
    QList<SeedAlbum> albums;

    const SeedAlbum *album(const QString &albumId) const;
};

struct Seed
{
    int delayMs = 0;
    // Each picture-page and picture answer waits this long.
    int pictureDelayMs = 0;
    // More picture-page and picture requests than this at once are refused
    // with throttleStatus (0: no limit).
    int maxInFlight = 0;
    int throttleStatus = 429;
    QString throttleRetryAfter;
    QString friendsId;
    QList<SeedMember> members;

    const SeedMember *member(const QString &memberId) const;
    SeedAlbum *album(const QString &albumId);
};

// Reads a seed; generated pictures are filled in so that every album has its
// final list. Returns nothing and sets error when the text is not usable.
std::optional<Seed> parseSeed(const QByteArray &json, QString *error);

// The content served when no seed is given: the demo run uses it.
Seed builtInSeed();
QByteArray builtInSeedJson();
