#include "seed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

// Keeps a mistyped seed from making the site generate millions of pictures.
constexpr int MaxPictures = 20000;
constexpr int MaxPages = 1000;
constexpr int MaxPerPage = 1000;
constexpr int MaxSide = 4000;
// A trickle of one byte a minute, a bomb of 4 GB: hostile enough for any
// test, bounded so that a mistyped seed cannot hold the site for ever.
constexpr int MaxTrickleMs = 60000;
constexpr int MaxBombMb = 4096;

std::optional<PictureKind> kindFromText(const QString &text)
{
    if (text == u"jpg")
        return PictureKind::Jpg;
    if (text == u"gif")
        return PictureKind::Gif;
    if (text == u"both")
        return PictureKind::Both;
    if (text == u"none")
        return PictureKind::None;
    return std::nullopt;
}

// Ids may be written as JSON numbers or strings.
QString idText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(qint64(value.toDouble()));
    return value.toString().trimmed();
}

QString baseName(const QString &file)
{
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot > 0 ? file.left(dot) : file;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// A Retry-After as the seed writes it: seconds as a number, or any text
// (an HTTP date) sent as it is.
QString retryAfterText(const QJsonValue &value)
{
    QString text = value.isDouble() ? QString::number(value.toInt()) : value.toString();
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

bool isErrorStatus(int status)
{
    return status >= 400 && status <= 599;
}

bool readFailures(const QJsonObject &object, const char *countKey, const char *statusKey, const char *retryKey,
                  Failures *failures)
{
    failures->count = qMax(-1, object.value(QLatin1String(countKey)).toInt(0));
    failures->status = object.value(QLatin1String(statusKey)).toInt(500);
    failures->retryAfter = retryAfterText(object.value(QLatin1String(retryKey)));
    return isErrorStatus(failures->status);
}

template<typename T>
std::optional<T> fromText(const QString &text, std::initializer_list<std::pair<const char16_t *, T>> names)
{
    for (const auto &[name, value] : names) {
        if (text == name)
            return value;
    }
    return std::nullopt;
}

int generatedPages(const SeedAlbum &album)
{
    return int((album.pictures.size() + album.perPage - 1) / album.perPage);
}

// The answers that would hold a client for ever or fill its memory.
bool readHostileAnswers(const QJsonObject &object, const SeedAlbum &album, SeedPicture *picture, QString *error)
{
    picture->trickleMs = qBound(0, object.value(u"trickleMs").toInt(0), MaxTrickleMs);
    picture->pageTrickleMs = qBound(0, object.value(u"pageTrickleMs").toInt(0), MaxTrickleMs);
    picture->trickleBytes = qBound(1, object.value(u"trickleBytes").toInt(1), 1024 * 1024);
    picture->otherHost = object.value(u"otherHost").toBool(false);
    picture->padKb = qBound(0, object.value(u"padKb").toInt(0), 64 * 1024);
    const QString pageBody = object.value(u"pageBody").toString(QStringLiteral("plain"));
    if (pageBody != u"plain" && pageBody != u"gzipBomb")
        return fail(error, QStringLiteral("unknown picture page body in album %1").arg(album.id));
    picture->bombPage = pageBody == u"gzipBomb";
    picture->bombBytes = qint64(qBound(1, object.value(u"bombMb").toInt(1024), MaxBombMb)) * 1024 * 1024;
    return true;
}

bool readPicture(const QJsonObject &object, const SeedAlbum &album, SeedPicture *picture, QString *error)
{
    picture->id = idText(object.value(u"id"));
    if (picture->id.isEmpty() || picture->id.contains(u'/'))
        return fail(error, QStringLiteral("picture without a usable id in album %1").arg(album.id));
    const auto kind = kindFromText(object.value(u"kind").toString(QStringLiteral("")));
    if (object.contains(u"kind") && !kind)
        return fail(error, QStringLiteral("unknown picture kind in album %1").arg(album.id));
    picture->kind = kind.value_or(album.kind);
    picture->file = object.value(u"file").toString();
    if (picture->file.contains(u'/'))
        return fail(error, QStringLiteral("picture file name with a slash in album %1").arg(album.id));
    picture->status = object.value(u"status").toInt(200);
    if (picture->status < 200 || picture->status > 599)
        return fail(error, QStringLiteral("picture status out of range in album %1").arg(album.id));
    const QJsonValue cut = object.value(u"cut");
    picture->cuts.count = cut.isBool() ? (cut.toBool() ? -1 : 0) : qMax(0, cut.toInt());
    picture->width = qBound(0, object.value(u"width").toInt(0), MaxSide);
    picture->height = qBound(0, object.value(u"height").toInt(0), MaxSide);
    if (!readFailures(object, "pageFails", "pageStatus", "pageRetryAfter", &picture->pageFailures)
        || !readFailures(object, "fails", "failStatus", "retryAfter", &picture->pictureFailures))
        return fail(error, QStringLiteral("failure status out of range in album %1").arg(album.id));
    const auto body = fromText<PictureBody>(object.value(u"body").toString(QStringLiteral("plain")),
                                            {{u"plain", PictureBody::Plain}, {u"gzip", PictureBody::Gzip},
                                             {u"gzipCut", PictureBody::GzipCut}, {u"deflateCut", PictureBody::DeflateCut},
                                             {u"partial", PictureBody::Partial}, {u"html", PictureBody::Html},
                                             {u"empty", PictureBody::Empty}, {u"gzipBomb", PictureBody::GzipBomb},
                                             {u"jpegHead", PictureBody::JpegHead}});
    if (!body)
        return fail(error, QStringLiteral("unknown picture body in album %1").arg(album.id));
    picture->body = *body;
    picture->contentType = object.value(u"type").toString();
    picture->contentType.remove(u'\r');
    picture->contentType.remove(u'\n');
    picture->upperCaseKeys = object.value(u"keyCase").toString() == u"upper";
    if (object.contains(u"caption")) {
        picture->captionNull = object.value(u"caption").isNull();
        picture->caption = object.value(u"caption").toString();
    }
    picture->captionEscapes = object.value(u"captionEscapes").toBool(false);
    if (object.contains(u"date")) {
        picture->date = QDateTime::fromString(object.value(u"date").toString(), Qt::ISODate);
        if (!picture->date.isValid())
            return fail(error, QStringLiteral("picture date unreadable in album %1").arg(album.id));
    }
    return readHostileAnswers(object, album, picture, error);
}

bool readAlbum(const QJsonObject &object, SeedAlbum *album, int *pictureCount, QString *error)
{
    album->id = idText(object.value(u"id"));
    if (album->id.isEmpty() || album->id.contains(u'/'))
        return fail(error, QStringLiteral("album without a usable id"));
    album->name = object.value(u"name").toString(album->id);
    album->perPage = qBound(1, object.value(u"perPage").toInt(4), MaxPerPage);
    album->pages = qBound(1, object.value(u"pages").toInt(1), MaxPages);
    const auto kind = kindFromText(object.value(u"kind").toString(QStringLiteral("jpg")));
    if (!kind)
        return fail(error, QStringLiteral("unknown picture kind in album %1").arg(album->id));
    album->kind = *kind;
    album->inProfile = object.value(u"inProfile").toBool(true);
    album->repeatAcrossPages = object.value(u"repeatAcrossPages").toBool(false);
    album->loopBack = object.value(u"loopBack").toBool(false);
    album->scriptLinks = object.value(u"scriptLinks").toBool(false);
    album->decoys = object.value(u"decoys").toBool(false);
    album->titleSpaces = object.value(u"titleSpaces").toBool(false);
    album->firstPage = object.value(u"firstPage").toInt(1);
    if (album->firstPage != 0 && album->firstPage != 1)
        return fail(error, QStringLiteral("firstPage is 0 or 1 in album %1").arg(album->id));
    const auto next = fromText<NextLink>(object.value(u"nextLink").toString(QStringLiteral("normal")),
                                         {{u"normal", NextLink::Normal}, {u"javascript", NextLink::Javascript},
                                          {u"deadHost", NextLink::DeadHost}, {u"redirectAway", NextLink::RedirectAway},
                                          {u"error", NextLink::Error}});
    if (!next)
        return fail(error, QStringLiteral("unknown nextLink in album %1").arg(album->id));
    album->nextLink = *next;
    album->pageStatus = object.value(u"pageStatus").toInt(0);
    if (album->pageStatus != 0 && !isErrorStatus(album->pageStatus))
        return fail(error, QStringLiteral("pageStatus out of range in album %1").arg(album->id));

    if (object.contains(u"pictures")) {
        const QJsonArray pictures = object.value(u"pictures").toArray();
        for (const QJsonValue &value : pictures) {
            SeedPicture picture;
            if (!readPicture(value.toObject(), *album, &picture, error))
                return false;
            album->pictures.append(picture);
        }
        // Explicit pictures decide how many pages there are at least.
        album->pages = qBound(1, qMax(album->pages, generatedPages(*album)), MaxPages);
    } else {
        const int count = album->pages * album->perPage;
        if (*pictureCount + count > MaxPictures)
            return fail(error, QStringLiteral("too many pictures in the seed"));
        album->grow(count);
    }
    *pictureCount += int(album->pictures.size());
    if (*pictureCount > MaxPictures)
        return fail(error, QStringLiteral("too many pictures in the seed"));
    return true;
}

} // namespace

QString SeedPicture::jpgFile() const
{
    if (file.isEmpty())
        return QStringLiteral("p%1.jpg").arg(id);
    if (kind == PictureKind::Both && !file.endsWith(u".jpg", Qt::CaseInsensitive))
        return baseName(file) + QStringLiteral(".jpg");
    return file;
}

QString SeedPicture::gifFile() const
{
    if (file.isEmpty())
        return QStringLiteral("p%1.gif").arg(id);
    if (kind == PictureKind::Both && !file.endsWith(u".gif", Qt::CaseInsensitive))
        return baseName(file) + QStringLiteral(".gif");
    return file;
}

int SeedAlbum::pageIndex(int curpage) const
{
    const int index = curpage - firstPage + 1;
    return index >= 1 && index <= pages ? index : 0;
}

QList<SeedPicture> SeedAlbum::grow(int count)
{
    QList<SeedPicture> added;
    QSet<QString> taken;
    for (const SeedPicture &picture : std::as_const(pictures))
        taken.insert(picture.id);
    int number = int(pictures.size());
    while (added.size() < count && pictures.size() < MaxPictures) {
        SeedPicture picture;
        picture.id = id + QStringLiteral("%1").arg(++number, 3, 10, QLatin1Char('0'));
        picture.kind = kind;
        if (taken.contains(picture.id))
            continue;
        pictures.append(picture);
        added.append(picture);
    }
    pages = qBound(1, qMax(pages, generatedPages(*this)), MaxPages);
    return added;
}

bool SeedAlbum::remove(const QString &pictureId)
{
    return pictures.removeIf([&](const SeedPicture &picture) { return picture.id == pictureId; }) > 0;
}

QList<const SeedPicture *> SeedAlbum::picturesOnPage(int curpage) const
{
    QList<const SeedPicture *> result;
    const int page = pageIndex(curpage);
    if (page == 0)
        return result;
    const qsizetype first = qsizetype(page - 1) * perPage;
    const qsizetype end = qMin<qsizetype>(first + perPage, pictures.size());
    if (repeatAcrossPages && page > 1 && first - 1 < pictures.size())
        result.append(&pictures.at(first - 1));
    for (qsizetype i = first; i < end; ++i)
        result.append(&pictures.at(i));
    return result;
}

const SeedPicture *SeedAlbum::picture(const QString &pictureId) const
{
    for (const SeedPicture &picture : pictures) {
        if (picture.id == pictureId)
            return &picture;
    }
    return nullptr;
}

const SeedAlbum *SeedMember::album(const QString &albumId) const
{
    for (const SeedAlbum &album : albums) {
        if (album.id == albumId)
            return &album;
    }
    return nullptr;
}

SeedAlbum *Seed::album(const QString &albumId)
{
    for (SeedMember &member : members) {
        for (SeedAlbum &album : member.albums) {
            if (album.id == albumId)
                return &album;
        }
    }
    return nullptr;
}

const SeedMember *Seed::member(const QString &memberId) const
{
    for (const SeedMember &member : members) {
        if (member.id == memberId)
            return &member;
    }
    return nullptr;
}

std::optional<Seed> parseSeed(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        fail(error, QStringLiteral("seed is not a JSON object: %1").arg(parseError.errorString()));
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    Seed seed;
    seed.delayMs = qBound(0, root.value(u"delayMs").toInt(0), 60000);
    seed.pictureDelayMs = qBound(0, root.value(u"pictureDelayMs").toInt(0), 60000);
    seed.maxInFlight = qMax(0, root.value(u"maxInFlight").toInt(0));
    seed.throttleStatus = root.value(u"throttleStatus").toInt(429);
    seed.throttleRetryAfter = retryAfterText(root.value(u"throttleRetryAfter"));
    if (!isErrorStatus(seed.throttleStatus)) {
        fail(error, QStringLiteral("throttleStatus out of range"));
        return std::nullopt;
    }
    int pictureCount = 0;
    const QJsonArray members = root.value(u"members").toArray();
    for (const QJsonValue &memberValue : members) {
        const QJsonObject object = memberValue.toObject();
        SeedMember member;
        member.id = idText(object.value(u"id"));
        if (member.id.isEmpty() || member.id.contains(u'/')) {
            fail(error, QStringLiteral("member without a usable id"));
            return std::nullopt;
        }
        member.noAlbums = object.value(u"noAlbums").toBool(false);
        member.profileRepeatsLinks = object.value(u"profileRepeatsLinks").toBool(false);
        member.profileStatus = object.value(u"profileStatus").toInt(0);
        if (member.profileStatus != 0 && !isErrorStatus(member.profileStatus)) {
            fail(error, QStringLiteral("profileStatus out of range"));
            return std::nullopt;
        }
        const QJsonArray albums = object.value(u"albums").toArray();
        for (const QJsonValue &albumValue : albums) {
            SeedAlbum album;
            if (!readAlbum(albumValue.toObject(), &album, &pictureCount, error))
                return std::nullopt;
            member.albums.append(album);
        }
        seed.members.append(member);
    }
    seed.friendsId = idText(root.value(u"friendsId"));
    if (seed.friendsId.isEmpty())
        seed.friendsId = seed.members.isEmpty() ? QStringLiteral("100000001") : seed.members.first().id;
    return seed;
}

QByteArray builtInSeedJson()
{
    return R"({
  "friendsId": "100000001",
  "members": [
    { "id": "100000001",
      "albums": [
        { "id": "5001", "name": "春游 2026", "pages": 3, "perPage": 4, "kind": "jpg" },
        { "id": "5002", "name": "校园/风景", "pages": 1, "perPage": 4, "kind": "gif" },
        { "id": "5003", "name": "毕业照", "pages": 2, "perPage": 4, "kind": "jpg", "inProfile": false },
        { "id": "5004", "name": "家人 & 朋友", "pages": 1, "perPage": 3, "kind": "jpg", "pictures": [
            { "id": "5004001", "caption": "外婆说 \"开饭了\"", "captionEscapes": true, "date": "2025-10-01T08:30:00Z" },
            { "id": "5004002", "caption": "", "date": "2025-10-02T09:00:00Z" },
            { "id": "5004003", "caption": null } ] }
      ] },
    { "id": "100000002", "noAlbums": true, "albums": [] }
  ]
})";
}

Seed builtInSeed()
{
    QString error;
    const auto seed = parseSeed(builtInSeedJson(), &error);
    Q_ASSERT_X(seed, "builtInSeed", qPrintable(error));
    return seed.value_or(Seed{});
}
