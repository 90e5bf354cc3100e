#pragma once

#include <QString>

// Folder operations of the program. Each reports failure to its caller,
// which decides what follows.
namespace FileSystem {

bool FolderExists(const QString &path);
// Creates one folder; its parent must exist and the folder must not.
bool CreateFolder(const QString &path, QString *error = nullptr);
// Deletes a folder with everything in it. With `force`, read-only files and
// folders are made writable first so they go too.
bool DeleteFolder(const QString &path, bool force, QString *error = nullptr);
// Gives a folder a new path. Never replaces an existing folder or file.
bool MoveFolder(const QString &source, const QString &destination, QString *error = nullptr);

} // namespace FileSystem
