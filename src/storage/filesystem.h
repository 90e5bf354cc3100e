#pragma once

#include <QString>

// What a file or folder step ran into: the code, the paths involved and the
// system's own error text. The window's layer words it.
struct FileError {
    enum class Code {
        None,
        Exists,           // `path` is taken
        NoParent,         // the folder `path` should be made in is missing
        NotCreated,       // mkdir refused `path`
        NumbersUsedUp,    // every numbered name is taken
        NotDeleted,       // `path` could not be removed (or is no folder)
        NotRenamed,       // `path` could not take the name `destination`
        NoFolder,         // the folder `path` to move is missing
        RecordNotWritten, // the album record `path` could not be written
        Other,            // only the system's text is known
    };
    Code code = Code::None;
    QString path;
    QString destination;
    QString systemText; // as the system says it (strerror, QFile::errorString)
};

// Folder operations of the program. Each reports failure to its caller,
// which decides what follows, as a FileError.
namespace FileSystem {

// A folder of that path, not a link to one: inside the save folder links are
// never followed.
bool FolderExists(const QString &path);
// A folder, also when reached through a link or a mount: the save folder
// itself may be one.
bool SaveFolderExists(const QString &path);
// Creates one folder; its parent must exist and the folder must not.
bool CreateFolder(const QString &path, FileError *error = nullptr);
// Creates `parent`/`base`N for the smallest N in 1..maxNumber that is free
// at that moment, in one step per number (no test before the creation), so
// two jobs never share a number. The name made, or the empty text.
QString CreateNumberedFolder(const QString &parent, const QString &base, int maxNumber, FileError *error = nullptr);
// Deletes a folder with everything in it; links inside are removed, never
// followed. With `force`, read-only files and folders are made writable
// first so they go too.
bool DeleteFolder(const QString &path, bool force, FileError *error = nullptr);
// Gives a folder a new path. Never replaces an existing folder or file.
bool MoveFolder(const QString &source, const QString &destination, FileError *error = nullptr);
// Gives any entry (file, folder, link) a new path in one step, never
// replacing an existing one. `*exists` tells a taken destination apart from
// other failures.
bool RenameNoReplace(const QString &source, const QString &destination, FileError *error = nullptr,
                     bool *exists = nullptr);

} // namespace FileSystem
