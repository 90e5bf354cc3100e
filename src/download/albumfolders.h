#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Finding, replacing and recovering album folders under the save folder.
// A folder is Quillmoor's only when it carries an album record; a name
// from the site never decides what is deleted, renamed or written into.

// A folder step that failed: what was tried on which path, and why.
struct FolderProblem {
    enum class Step { Create, Delete, Rename, Move, SaveRecord };
    Step step = Step::Rename;
    QString path;
    QString reason; // the system's error text with the paths involved
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

// At start-up: folders left aside by an interrupted replacement are deleted
// (their user files moved into the album's folder first) or, when the
// album's folder is missing, renamed back. What failed is returned.
QList<FolderProblem> RecoverAlbumFolders(const QString &saveFolder);
