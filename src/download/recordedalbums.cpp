#include "recordedalbums.h"

#include "albumcollection.h"
#include "albumfolders.h"
#include "jobrules.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A job's temporary folder holds a record from its first page on, but it is
// the job's until the job has ended; hidden folders (set aside, staging) are
// Quillmoor's working folders.
bool isWorkingFolder(const QString &name)
{
    static const QRegularExpression temporary(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(TempFolderBaseName) + QStringLiteral("[0-9]+")));
    return name.startsWith(QLatin1Char('.')) || IsAsideFolderName(name) || temporary.match(name).hasMatch();
}

QDateTime recordTime(const QString &folder)
{
    const QFileInfo journal(folder + QLatin1Char('/') + AlbumRecord::fileName());
    if (journal.exists())
        return journal.lastModified();
    return QFileInfo(folder + QLatin1Char('/') + AlbumRecord::legacyFileName()).lastModified();
}

} // namespace

QList<RecordedAlbum> RecordedAlbums(const QString &saveFolder)
{
    QList<RecordedAlbum> albums;
    const QDir dir(saveFolder);
    // Links are not followed: what they lead to is not this save folder's.
    for (const QFileInfo &info : dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (isWorkingFolder(info.fileName()))
            continue;
        const AlbumRecord record = AlbumRecord::load(info.filePath());
        if (!record.exists())
            continue;
        RecordedAlbum album;
        album.folder = info.fileName();
        album.title = record.title();
        album.address = record.isLegacy() ? QString() : record.albumAddress();
        album.firstPage = record.firstPage();
        album.pictures = int(record.entries().size());
        album.lastUpdate = recordTime(info.filePath());
        album.state = record.state();
        albums.append(album);
    }
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
