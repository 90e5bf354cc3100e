#include "recordedalbums.h"

#include "albumcollection.h"
#include "albumfolder.h"
#include "jobrules.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>

namespace {

QDateTime recordTime(const QString &folder)
{
    const QFileInfo journal(folder + QLatin1Char('/') + AlbumRecord::fileName());
    if (journal.exists())
        return journal.lastModified();
    return QFileInfo(folder + QLatin1Char('/') + AlbumRecord::legacyFileName()).lastModified();
}

} // namespace

std::optional<RecordedAlbum> RecordedAlbumIn(const QString &saveFolder, const QString &name)
{
    // Every folder that carries a record is an album, a 相册文件夹N or a
    // hidden one too; not Quillmoor's working folders, nor a copy that
    // a whole one replaced, nor the folder of a job at work.
    if (IsWorkingFolderName(name))
        return std::nullopt;
    const QString path = saveFolder + QLatin1Char('/') + name;
    const AlbumRecord record = AlbumRecord::load(path);
    if (!record.exists() || !record.replacedBy().isEmpty())
        return std::nullopt;
    const QString address = AlbumAddressElseFirstPage(record.albumAddress(), record.firstPage());
    if (!record.isLegacy() && !address.isEmpty() && IsLockHeld(AlbumLockPath(saveFolder, address)))
        return std::nullopt;
    RecordedAlbum album;
    album.folder = name;
    album.title = record.title();
    album.address = record.isLegacy() ? QString() : record.albumAddress();
    album.firstPage = record.firstPage();
    album.pictures = int(record.entries().size());
    album.lastUpdate = recordTime(path);
    album.state = record.state();
    return album;
}

QDateTime RecordTime(const QString &albumFolder)
{
    return recordTime(albumFolder);
}

QList<RecordedAlbum> RecordedAlbums(const QString &saveFolder)
{
    QList<RecordedAlbum> albums;
    const QDir dir(saveFolder);
    // Links are not followed: what they lead to is not this save folder's.
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks))
        if (const std::optional<RecordedAlbum> album = RecordedAlbumIn(saveFolder, name))
            albums.append(*album);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(albums.begin(), albums.end(),
              [&](const RecordedAlbum &a, const RecordedAlbum &b) { return collator.compare(a.folder, b.folder) < 0; });
    return albums;
}

bool IsAlbumGonePage(const PageSnapshot &page, const QString &photoHostBase)
{
    if (IsLoginAnswer(page.httpStatus, page.passwordField))
        return false;
    if (page.failed)
        return page.httpStatus == 404 || page.httpStatus == 410;
    // An empty album still carries the site's album title.
    return !page.title.startsWith(AlbumTitlePrefix) && PicturePageLinks(page.links, photoHostBase).isEmpty();
}

QList<FolderCheck> CheckRecordedAlbums(const QString &saveFolder, const QStringList &names)
{
    QList<FolderCheck> checks;
    const QList<RecordedAlbum> albums = RecordedAlbums(saveFolder);
    for (const RecordedAlbum &album : albums)
        if (names.isEmpty() || names.contains(album.folder))
            checks.append(CheckAlbumFolder(saveFolder, album.folder));
    return checks;
}
