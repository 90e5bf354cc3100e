#pragma once

#include "download/albumrecord.h"

#include <QDir>
#include <QStringList>

// What an album folder holds, for tests that compare it with its record.

// What a folder holds beside the album's record, by name.
inline QStringList besideRecord(const QString &folder)
{
    QStringList out = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                             QDir::Name);
    out.removeAll(AlbumRecord::fileName());
    return out;
}

// The folders in a folder, by name.
inline QStringList subfolders(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The picture files of a folder, by name: everything but its record.
inline QStringList pictureFiles(const QString &folder)
{
    QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    out.removeAll(AlbumRecord::fileName());
    return out;
}

// The file names the folder's record holds, sorted.
inline QStringList recordedFiles(const QString &folder)
{
    QStringList out;
    // Held: a range-for over a temporary's member would read freed memory.
    const AlbumRecord record = AlbumRecord::load(folder);
    for (const AlbumRecord::Entry &e : record.entries())
        out << e.file;
    out.sort();
    return out;
}
