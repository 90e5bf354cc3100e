#pragma once

#include "albumfolder.h"
#include "albumrecord.h"
#include "web/pagelink.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// An album folder under the save folder as its record describes it: what an
// update of every recorded album starts from.
struct RecordedAlbum {
    QString folder;      // folder name under the save folder
    QString title;       // as the record has it
    QString address;     // the album's address; empty for a folder saved before records named one
    QString firstPage;   // the album's first page when the record knows it
    int pictures = 0;
    QDateTime lastUpdate; // when the record was last written
    AlbumRecord::State state = AlbumRecord::State::Unknown;
    bool updatable() const { return !address.isEmpty(); }
};

// The albums recorded in `saveFolder`, by folder name; Quillmoor's own
// temporary, aside and staging folders are not albums.
QList<RecordedAlbum> RecordedAlbums(const QString &saveFolder);
// The album in the folder `name` of `saveFolder`, when it is one of those.
std::optional<RecordedAlbum> RecordedAlbumIn(const QString &saveFolder, const QString &name);
// When the record of `albumFolder` was last written (no record read).
QDateTime RecordTime(const QString &albumFolder);

// Whether the first page read of a recorded album shows the album gone from
// the site: it answered 404 or 410, or it is a page the site shows instead
// (no album title, no picture link). A login page is not: the login expired.
bool IsAlbumGonePage(const PageSnapshot &page, const QString &photoHostBase);

// Every recorded album folder of `saveFolder` (or those of `names`, when
// given) compared with its record. Reads every picture: run it off the
// window's thread.
QList<FolderCheck> CheckRecordedAlbums(const QString &saveFolder, const QStringList &names = {});
