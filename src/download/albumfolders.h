#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

#include "albumrecord.h"

using AlbumRecordState = AlbumRecord::State;

// Finding, replacing and recovering album folders under the save folder.
// A folder is Quillmoor's only when it carries an album record; a name
// from the site never decides what is deleted, renamed or written into.

// A folder step that failed: what was tried on which path, and why.
struct FolderProblem {
    enum class Step { Create, Delete, Rename, Move, SaveRecord };
    Step step = Step::Rename;
    QString path;
    FileError reason; // the paths involved and the system's error text
};

// The lock file that keeps two jobs (of this process or another) off one
// album: in the save folder, not in the album folder (which is renamed),
// named after a hash of the album's address.
QString AlbumLockPath(const QString &saveFolder, const QString &albumAddress);

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

// Replaces the earlier copy `folderName` (a finished record of the same
// album) by `newFolder`, whole, in steps that a crash at any moment leaves
// one whole copy after: the earlier folder is renamed aside, the new one
// takes the name, files the user added to the earlier folder move in, and
// the earlier folder is deleted. False (with the problems) when the new
// folder could not take the name; the earlier copy is then as it was.
bool ReplaceAlbumFolder(const QString &saveFolder, const QString &folderName, const QString &newFolder,
                        QList<FolderProblem> *problems);

// Moves the entries of `from` that its record does not account for into
// `to` under free names; false when one could not be moved.
bool MoveUserFiles(const QString &from, const QString &to, QList<FolderProblem> *problems);

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

// At start-up: folders left aside by an interrupted replacement are deleted
// (their user files moved into the album's folder first) or, when the
// album's folder is missing, renamed back; staging folders of jobs that
// died are removed. What failed is returned.
QList<FolderProblem> RecoverAlbumFolders(const QString &saveFolder);
