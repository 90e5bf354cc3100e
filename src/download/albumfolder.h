#pragma once

#include "albumrecord.h"

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

using AlbumRecordState = AlbumRecord::State;

// Whether a job fetches the whole album again (the album's earlier folder
// is replaced) or only the pictures its folder does not hold yet.
enum class DownloadMode { ReplaceAll, OnlyNew };

// A folder step that failed: what was tried on which path, and why.
struct FolderProblem {
    enum class Step { Create, Delete, Rename, Move, SaveRecord, Trash };
    Step step = Step::Rename;
    QString path;
    FileError reason; // the paths involved and the system's error text
};

// Where the pictures are when they are not where the album's name says.
enum class AlbumFolderNote { None, FolderGone, UnusableName, NotRenamed, NotAllMoved };

// What became of an album's folder at the end of its job.
struct FolderFate {
    // The album's folder under the save folder as it is now: the album's
    // name, or the temporary folder's when that name could not be given.
    QString folderName;
    AlbumFolderNote folderNote = AlbumFolderNote::None;
    QString folderNoteSubject;
    bool folderGone = false;
    // The name belongs to something else: the album took a free "name (n)".
    bool nameTaken = false;
    // An earlier copy kept under the album's name because this one is not
    // whole; the new pictures are in `folderName` beside it.
    QString earlierKept;
    // The earlier copy was replaced by this whole one; it went to the trash,
    // or, where the save folder has no usable trash, it stays beside the new
    // copy as `earlierBeside`.
    bool replacedEarlier = false;
    bool earlierTrashed = false;
    QString earlierBeside;
};

// What the job knows of the album when its folder's fate is decided.
struct AlbumEnding {
    QString title; // the album's name
    QString albumAddress;
    QString firstPage;
    DownloadMode mode = DownloadMode::ReplaceAll;
    // Every page read, every picture page gave a picture, every picture saved.
    bool whole = false;
    // The user stopped the job (or the login ran out): a later run may go on.
    bool stopped = false;
    // Another job has the album, or an update found it gone from the site:
    // nothing of the album is touched.
    bool busy = false;
    bool gone = false;
    // An update: the folder the album is recorded in (see lookFor).
    QString updateFolder;
    int saved = 0;
};

// The fate of one album's folder under the save folder, from the job's
// first moment to its end: the job's own numbered folder (or the unfinished
// folder it goes on with), the album's earlier folder it adds to or
// replaces, what a folder already holds, and at the end the name the
// pictures take. A folder is Quillmoor's only when it carries an album
// record; a name from the site never decides what is deleted, renamed or
// written into, and nothing of Quillmoor's is deleted outright: a replaced
// copy goes to the desktop's trash.
class AlbumFolder
{
public:
    explicit AlbumFolder(const QString &saveFolder = {});

    QString saveFolder() const { return m_saveFolder; }
    QString path(const QString &name) const;

    // The job's own folder: a new 相册文件夹N, or an unfinished album's
    // folder (its record must name an album whose download did not end).
    bool create(FileError *error);
    bool resume(const QString &name);
    // Removes the folder create() made when the job could not start.
    void abandon();
    QString workName() const { return m_work; }
    QString workPath() const;
    bool isContinuing() const { return m_continuing; }

    // Appends a line to the work folder's journal; a failure is noted once
    // and later lines are not tried.
    void journal(const QJsonObject &line);

    // Only new pictures: the folder whose record names the album at one of
    // `addresses` (the update's `updateFolder` first), else a folder of the
    // album's name that no album claims, adopted with what it holds as the
    // user's.
    void lookFor(const QString &albumName, const QStringList &addresses, const QString &updateFolder);
    QString targetName() const { return m_target; }
    QString targetPath() const;
    // What the album's folder holds: the record of the folder added to, or
    // of the folder gone on with.
    const AlbumRecord &record() const { return m_record; }

    // Whether the picture of `page` is already in the album's folder as
    // recorded. Missing, emptied or cut files are not: the picture is
    // fetched again, and `why` says so.
    enum class Held { No, Yes, Missing, Emptied, OtherSize };
    Held holds(const QString &page, AlbumRecord::Entry *entry) const;
    // A kill can fall between a picture taking its name in a continued folder
    // and its journal line: that one picture is whole (only whole pictures
    // take a name) and stands for itself, once.
    bool adoptUnjournalled(const QString &fileName);
    // An adopted folder's file of the user's under `fileName` that holds
    // exactly these bytes: it is the picture, so nothing is added. The name
    // the folder holds it under, or the empty text.
    QString userFileWithBytes(const QString &fileName, qint64 size, const Sha256Digest &sha256) const;
    // The folder of the pictures the album held before this run: the one
    // added to, or the one gone on with.
    QString heldPath() const;
    // A picture the folder held was rewritten in place (its captions): the
    // record follows the new bytes at once, in that folder's journal.
    void rewrote(const AlbumRecord::Entry &entry);
    // A picture the folder already held; the journal learns it at the end.
    void keep(const AlbumRecord::Entry &entry);
    // Gives a downloaded picture (`staging`, and its staged sidecar when
    // there is one) the first free name in the work folder whose sidecar
    // name is free too, and journals it; the name taken, or the empty text
    // with `error`. The sidecar is placed first, so the picture is never
    // seen without it; neither takes the place of a file that is there.
    QString place(const QString &staging, AlbumRecord::Entry entry, const QString &stagedSidecar, QString *error);

    // Decides and carries out the folder's fate.
    FolderFate finish(const AlbumEnding &ending);
    // The job was thrown away: its folder goes, or a continued folder loses
    // only what this run added and gets its record back.
    void discard();

    const QList<FolderProblem> &problems() const { return m_problems; }

    // Replaces the earlier copy `folderName` (a finished record of the same
    // album) by `newFolder`, whole, in steps that a crash at any moment leaves
    // one whole copy after: the earlier folder is renamed aside, the new one
    // takes the name, files the user added to the earlier folder move in, and
    // the earlier folder goes to the trash (or stays beside, see FolderFate).
    // False (with the problems) when the new folder could not take the name;
    // the earlier copy is then as it was.
    static bool replace(const QString &saveFolder, const QString &folderName, const QString &newFolder,
                        FolderFate *fate, QList<FolderProblem> *problems);
    // At start-up: a copy set aside by an interrupted replacement goes to the
    // trash when the album's folder holds its whole replacement, and is put
    // back otherwise; staging folders of jobs that died are removed.
    static QList<FolderProblem> recover(const QString &saveFolder);
    // Moves the entries of `from` that its record does not account for as
    // Quillmoor's into `to` under free names; false when one could not move.
    static bool moveUserFiles(const QString &from, const QString &to, QList<FolderProblem> *problems);

private:
    void note(FolderProblem::Step step, const QString &path, const FileError &reason);
    void nameFolder(const AlbumEnding &ending, FolderFate &fate);
    bool merge(FolderFate &fate);
    void finishRecord(const QString &folder, const AlbumEnding &ending, AlbumRecord::State state);

    QString m_saveFolder;
    QString m_work;
    bool m_continuing = false;
    AlbumRecord m_earlierRecord;
    QStringList m_added;
    QString m_target;
    AlbumRecord m_record;
    // Entries of m_record that the album folder's journal has no line for.
    QList<AlbumRecord::Entry> m_notInJournal;
    QSet<QString> m_placedPages;
    bool m_adoptedUnjournalled = false;
    bool m_recordFailed = false;
    // The working folder's journal, open while pictures take their names.
    RecordJournal m_journal;
    QList<FolderProblem> m_problems;
};

// The lock file that keeps two jobs (of this process or another) off one
// album: in the save folder, not in the album folder (which is renamed),
// named after a hash of the album's address.
QString AlbumLockPath(const QString &saveFolder, const QString &albumAddress);
// Takes a lock file now or never: a lock left by a process that died is
// taken over, a live one is not, however old.
std::unique_ptr<QLockFile> TryLock(const QString &path);
// Whether a live process holds the lock at `path`. Without a lock file no
// one does, and nothing is written to find that out: a listing of many
// albums makes no lock files of its own.
bool IsLockHeld(const QString &path);

// The name of the folder under `saveFolder` whose record names the album at
// one of `addresses`: `preferred` first, then every other folder. Links are
// not followed; `exclude` (the job's own temporary folder) is passed over.
// The empty text when there is none.
QString FindAlbumFolder(const QString &saveFolder, const QStringList &addresses, const QString &preferred,
                        const QString &exclude = QString());

// The name a folder takes while it is moved aside for a new copy of the
// album; marked as Quillmoor's, so that start-up recovery finds it.
QString AsideFolderName(const QString &folderName);
bool IsAsideFolderName(const QString &name);
// Quillmoor's own working folders in the save folder (set aside, staging).
bool IsWorkingFolderName(const QString &name);

// A folder of Quillmoor's own in the save folder where one job's pictures
// are downloaded before each takes its name in the album's folder, so that
// an album's folder never holds a part file. Made at the job's start with a
// lock file in it; the empty text (and `error`) when it cannot be made.
// The lock is held as long as `lock` lives, so that no start-up recovery
// takes the folder of a job at work.
QString CreateStagingFolder(const QString &saveFolder, std::unique_ptr<QLockFile> *lock, QString *error = nullptr);
bool IsStagingFolderName(const QString &name);
// Removes a staging folder: its part files and lock only, then the folder
// if that left it empty.
void RemoveStagingFolder(const QString &path);

// An album folder whose download did not reach its end.
struct InterruptedAlbum {
    QString folderName;
    QString title;        // the album's title, the folder's name when unknown
    QString albumAddress;
    int saved = 0;        // pictures of the record that are in the folder
    AlbumRecordState state = AlbumRecordState::Unknown;
};

// The folders under `saveFolder` whose record says the download is in one
// of `states`, by name. Folders of a job at work (of any process) are left out.
QList<InterruptedAlbum> ListInterruptedAlbums(const QString &saveFolder, const QList<AlbumRecordState> &states);

// Deletes from `folder` only the files its record names and the record
// itself, then the folder if nothing else is left in it. False (with the
// problems) when one of them could not be deleted.
bool DeleteRecordedPictures(const QString &folder, QList<FolderProblem> *problems);

// A recorded album folder compared with its record: the pictures missing,
// emptied, or changed (another size, or other bytes at the same size).
struct FolderCheck {
    QString folder; // name under the save folder
    QString title;
    int pictures = 0;
    QStringList missing;
    QStringList emptied;
    QStringList changed;
    bool intact() const { return missing.isEmpty() && emptied.isEmpty() && changed.isEmpty(); }
};
FolderCheck CheckAlbumFolder(const QString &saveFolder, const QString &name);
