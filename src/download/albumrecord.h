#pragma once

#include "storage/filesystem.h"
#include "web/sha256.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// An album folder's journal held open for a run of appends: each line then
// costs one write, where opening it anew costs a dozen calls. Closed before
// anything replaces the journal, since its lines would go to the old file.
class RecordJournal
{
public:
    // Appends `bytes` to the journal of `albumFolder`, opening it (and
    // starting it) when this is the first line or another folder's.
    bool append(const QString &albumFolder, QByteArray bytes, FileError *error);
    void close();

private:
    std::unique_ptr<QFile> m_file; // open while it holds a folder's journal
    QString m_folder;
};

// The record of an album folder that Quillmoor filled: which album it holds
// (its address), what state the download is in, and each picture saved. It
// is the only thing that ties a folder to an album; a folder without one is
// not Quillmoor's to replace.
//
// On disk it is a hidden journal of JSON lines: a header, one line per
// picture as it takes its name, state lines. A line is only ever appended,
// so a crash leaves at most a torn last line, which reading ignores; reading
// replays the lines, a later one of a page taking the place of an earlier.
// A job ends its journal with what it lacks; the whole record is written
// anew, under a temporary name, only where there is no journal to end.
// The single JSON file of earlier versions (pictures only) is still read.
class AlbumRecord
{
public:
    enum class State { Unknown, InProgress, Stopped, Finished };
    struct Entry {
        QString page;    // the picture page's address
        QString picture; // the picture's address
        QString file;    // its file name in the album folder
        // As saved: what proves the file whole later. -1 and empty in the
        // records of versions that kept neither.
        qint64 size = -1;
        Sha256Digest sha256;
        QString caption; // the site's caption; empty when it had none
        QDateTime date;  // the site's date of the picture (Last-Modified); invalid when none
        // Quillmoor wrote the picture's XMP sidecar, sidecarFile(), beside it.
        bool sidecar = false;
        // Quillmoor wrote the caption and album into the picture itself.
        bool embedded = false;
        QString sidecarFile() const { return sidecar ? file + QStringLiteral(".xmp") : QString(); }
    };

    static QString fileName();
    static QString legacyFileName();

    // The record of `albumFolder`; an empty one (exists() false) when there
    // is none or it cannot be read.
    static AlbumRecord load(const QString &albumFolder);
    // Appends one line to the journal of `albumFolder`, starting it when
    // there is none. An error names the record's path and the system's reason.
    static bool appendLine(const QString &albumFolder, const QJsonObject &line, FileError *error = nullptr);
    static bool appendEntry(const QString &albumFolder, const Entry &entry, FileError *error = nullptr);
    // The journal line of `entry`.
    static QByteArray entryBytes(const Entry &entry);
    // Writes the whole record under a temporary name and renames it in; the
    // record of an earlier version goes once this one is in place.
    bool save(const QString &albumFolder, FileError *error = nullptr) const;
    // Brings the journal of `albumFolder` to this record by appending, in
    // one write, `notInJournal` (entries it lacks), the header and the
    // state: a large album's end costs no rewrite. A folder with no journal,
    // or only an earlier version's file, is saved whole instead.
    bool finish(const QString &albumFolder, const QList<Entry> &notInJournal, FileError *error = nullptr) const;

    // A record was found (the journal, or the file of an earlier version).
    bool exists() const { return m_exists; }
    // Written by an earlier version: pictures, but no album address.
    bool isLegacy() const { return m_legacy; }
    // Whether this record is of the album at any of `addresses` (start
    // address or first page), compared by path and query.
    bool namesAlbum(const QStringList &addresses) const;

    QString albumAddress() const { return m_albumAddress; }
    void setAlbumAddress(const QString &address) { m_albumAddress = address; }
    QString firstPage() const { return m_firstPage; }
    void setFirstPage(const QString &address) { m_firstPage = address; }
    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    State state() const { return m_state; }
    void setState(State state) { m_state = state; }
    // Set on a folder moved aside while the album's new copy takes its
    // name: the name it had.
    QString asideFrom() const { return m_asideFrom; }
    // Set on an earlier copy that a whole new one replaced but that could
    // not go to the trash: it is no longer the album's folder.
    QString replacedBy() const { return m_replacedBy; }
    // Files that were in the folder before Quillmoor adopted it: the user's,
    // whatever their names.
    const QStringList &userFiles() const { return m_userFiles; }
    void addUserFiles(const QStringList &names);

    // The entry of a picture page, or nullptr; found by path and query.
    const Entry *forPage(const QString &page) const;
    // Adds an entry or replaces the one of the same page.
    void add(const Entry &entry);
    const QList<Entry> &entries() const { return m_entries; }
    // The file names the record accounts for as Quillmoor's, its own file
    // and the sidecars Quillmoor wrote included.
    QStringList files() const;

private:
    void readLine(const QJsonObject &line);
    static bool appendBytes(const QString &albumFolder, QByteArray bytes, FileError *error);
    QByteArray headerLine() const;
    QByteArray stateLine() const;
    static AlbumRecord loadLegacy(const QString &albumFolder);

    qsizetype indexOfPage(const QString &page, const QString &key) const;

    QList<Entry> m_entries;
    // Entries by the hash of their page's key: a large album's keys are not
    // kept a second time beside its pages.
    QMultiHash<size_t, qsizetype> m_byPage;
    QString m_albumAddress;
    QString m_firstPage;
    QString m_title;
    QString m_asideFrom;
    QString m_replacedBy;
    QStringList m_userFiles;
    State m_state = State::Unknown;
    bool m_exists = false;
    bool m_legacy = false;
};

// Its members are all relocatable: a large album's list of entries grows in
// place (realloc) instead of holding an old and a new copy at once.
Q_DECLARE_TYPEINFO(AlbumRecord::Entry, Q_RELOCATABLE_TYPE);
