#pragma once

#include <QString>

// Folder operations of the program. Each reports failure to its caller,
// which decides what follows; the error text names the path and the
// system's reason.
namespace FileSystem {

// A folder of that path, not a link to one: inside the save folder links are
// never followed.
bool FolderExists(const QString &path);
// A folder, also when reached through a link or a mount: the save folder
// itself may be one.
bool SaveFolderExists(const QString &path);
// Creates one folder; its parent must exist and the folder must not.
bool CreateFolder(const QString &path, QString *error = nullptr);
// Creates `parent`/`base`N for the smallest N in 1..maxNumber that is free
// at that moment, in one step per number (no test before the creation), so
// two jobs never share a number. The name made, or the empty text.
QString CreateNumberedFolder(const QString &parent, const QString &base, int maxNumber, QString *error = nullptr);
// Deletes a folder with everything in it; links inside are removed, never
// followed. With `force`, read-only files and folders are made writable
// first so they go too.
bool DeleteFolder(const QString &path, bool force, QString *error = nullptr);
// Gives a folder a new path. Never replaces an existing folder or file.
bool MoveFolder(const QString &source, const QString &destination, QString *error = nullptr);
// Gives any entry (file, folder, link) a new path in one step, never
// replacing an existing one. `*exists` tells a taken destination apart from
// other failures.
bool RenameNoReplace(const QString &source, const QString &destination, QString *error = nullptr,
                     bool *exists = nullptr);

} // namespace FileSystem
