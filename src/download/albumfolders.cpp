#include "albumfolders.h"

#include "albumrecord.h"
#include "jobrules.h"
#include "storage/filesystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>

#include <utility>

namespace {

const QString AsidePrefix = QStringLiteral(".quillmoor-aside-");
const QString StagingPrefix = QStringLiteral(".quillmoor-staging-");
const QString StagingLock = QStringLiteral(".lock");

QString hashOf(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

QString join(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

// Folders directly under `folder`, not links to folders.
QStringList subfolders(const QString &folder)
{
    QStringList out;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks))
        out << info.fileName();
    return out;
}

void note(QList<FolderProblem> *problems, FolderProblem::Step step, const QString &path, const FileError &reason)
{
    if (problems)
        problems->append({step, path, reason});
}

} // namespace

QString AlbumLockPath(const QString &saveFolder, const QString &albumAddress)
{
    return join(saveFolder, QStringLiteral(".quillmoor-%1.lock").arg(hashOf(AddressKey(albumAddress))));
}

QString FindAlbumFolder(const QString &saveFolder, const QStringList &addresses, const QString &preferred,
                        const QString &exclude)
{
    const auto names = [&](const QString &name) {
        return FileSystem::FolderExists(join(saveFolder, name))
            && AlbumRecord::load(join(saveFolder, name)).namesAlbum(addresses);
    };
    if (!preferred.isEmpty() && names(preferred))
        return preferred;
    for (const QString &name : subfolders(saveFolder)) {
        if (name != preferred && name != exclude && !IsAsideFolderName(name) && names(name))
            return name;
    }
    return {};
}

QString AsideFolderName(const QString &folderName)
{
    return AsidePrefix + hashOf(folderName);
}

bool IsAsideFolderName(const QString &name)
{
    return name.startsWith(AsidePrefix);
}

bool MoveUserFiles(const QString &from, const QString &to, QList<FolderProblem> *problems)
{
    const QStringList ours = AlbumRecord::load(from).files();
    bool allMoved = true;
    const QDir dir(from);
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (ours.contains(name))
            continue;
        // A link moves as the link; what it points to stays where it is. A
        // name taken in between is tried again under the next free one.
        FileError error;
        bool taken = true;
        bool moved = false;
        for (int tries = 0; !moved && taken && tries < 100; ++tries)
            moved = FileSystem::RenameNoReplace(join(from, name), join(to, FreeFileName(to, name)), &error, &taken);
        if (!moved) {
            note(problems, FolderProblem::Step::Move, join(from, name), error);
            allMoved = false;
        }
    }
    return allMoved;
}

bool ReplaceAlbumFolder(const QString &saveFolder, const QString &folderName, const QString &newFolder,
                        QList<FolderProblem> *problems)
{
    const QString album = join(saveFolder, folderName);
    const QString aside = join(saveFolder, AsideFolderName(folderName));
    FileError error;
    // Tell a later start which name the folder left aside belongs to.
    if (!AlbumRecord::appendLine(album, QJsonObject{{"asideFrom", folderName}}, &error)) {
        note(problems, FolderProblem::Step::SaveRecord, album, error);
        return false;
    }
    if (!FileSystem::RenameNoReplace(album, aside, &error)) {
        note(problems, FolderProblem::Step::Rename, album, error);
        return false;
    }
    if (!FileSystem::RenameNoReplace(newFolder, album, &error)) {
        note(problems, FolderProblem::Step::Rename, newFolder, error);
        if (!FileSystem::RenameNoReplace(aside, album, &error))
            note(problems, FolderProblem::Step::Rename, aside, error);
        return false;
    }
    // From here the new copy has the name; the earlier one goes only once
    // nothing of the user's is left in it.
    if (MoveUserFiles(aside, album, problems) && !FileSystem::DeleteFolder(aside, true, &error))
        note(problems, FolderProblem::Step::Delete, aside, error);
    return true;
}

QString CreateStagingFolder(const QString &saveFolder, std::unique_ptr<QLockFile> *lock, QString *error)
{
    QTemporaryDir dir(join(saveFolder, StagingPrefix + QStringLiteral("XXXXXX")));
    if (!dir.isValid()) {
        if (error)
            *error = dir.errorString();
        return {};
    }
    dir.setAutoRemove(false);
    auto held = std::make_unique<QLockFile>(join(dir.path(), StagingLock));
    held->setStaleLockTime(0);
    if (!held->tryLock(0)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(join(dir.path(), StagingLock)).arg(int(held->error()));
        QDir().rmdir(dir.path());
        return {};
    }
    *lock = std::move(held);
    return dir.path();
}

bool IsStagingFolderName(const QString &name)
{
    return name.startsWith(StagingPrefix);
}

void RemoveStagingFolder(const QString &path)
{
    const QDir dir(path);
    for (const QString &name : dir.entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(join(path, name));
    QFile::remove(join(path, StagingLock));
    // Anything else in it is not ours to delete: the folder then stays.
    QDir().rmdir(path);
}

QList<InterruptedAlbum> ListInterruptedAlbums(const QString &saveFolder, const QList<AlbumRecordState> &states)
{
    QList<InterruptedAlbum> out;
    QStringList names = subfolders(saveFolder);
    names.sort();
    for (const QString &name : std::as_const(names)) {
        if (IsAsideFolderName(name) || IsStagingFolderName(name))
            continue;
        const QString folder = join(saveFolder, name);
        const AlbumRecord record = AlbumRecord::load(folder);
        if (!record.exists() || record.isLegacy() || !states.contains(record.state()))
            continue;
        const QString address = record.albumAddress().isEmpty() ? record.firstPage() : record.albumAddress();
        if (address.isEmpty())
            continue;
        // A job at work holds the album's lock; its folder is not interrupted.
        QLockFile lock(AlbumLockPath(saveFolder, address));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        InterruptedAlbum album{name, record.title().isEmpty() ? name : record.title(), address, 0, record.state()};
        for (const AlbumRecord::Entry &entry : record.entries())
            album.saved += QFileInfo(join(folder, entry.file)).isFile() ? 1 : 0;
        out.append(album);
    }
    return out;
}

bool DeleteRecordedPictures(const QString &folder, QList<FolderProblem> *problems)
{
    const AlbumRecord record = AlbumRecord::load(folder);
    if (!record.exists())
        return false;
    bool allGone = true;
    // The record goes last: until then it still says what is ours here.
    QStringList files = record.files();
    files.removeAll(AlbumRecord::fileName());
    files.append(AlbumRecord::fileName());
    for (const QString &name : std::as_const(files)) {
        QFile file(join(folder, name));
        const QFileInfo info(file.fileName());
        if (!info.exists() && !info.isSymLink())
            continue;
        if (info.isDir() && !info.isSymLink()) {
            // A folder is never a picture of ours.
            continue;
        }
        if (!file.remove()) {
            note(problems, FolderProblem::Step::Delete, file.fileName(),
                 {FileError::Code::Other, file.fileName(), {}, file.errorString()});
            allGone = false;
        }
    }
    // Only an empty folder goes; the user's files keep it.
    QDir().rmdir(folder);
    return allGone;
}

QList<FolderProblem> RecoverAlbumFolders(const QString &saveFolder)
{
    QList<FolderProblem> problems;
    for (const QString &name : subfolders(saveFolder)) {
        if (IsStagingFolderName(name)) {
            // Left by a job that died; a live job holds its lock.
            QLockFile lock(join(join(saveFolder, name), StagingLock));
            lock.setStaleLockTime(0);
            if (lock.tryLock(0)) {
                lock.unlock();
                RemoveStagingFolder(join(saveFolder, name));
            }
            continue;
        }
        if (!IsAsideFolderName(name))
            continue;
        const QString aside = join(saveFolder, name);
        const AlbumRecord record = AlbumRecord::load(aside);
        const QString home = record.asideFrom();
        if (home.isEmpty() || !IsUsableFolderName(home) || AsideFolderName(home) != name)
            continue;
        // A job of another process may be swapping this album right now.
        QLockFile lock(AlbumLockPath(saveFolder, record.albumAddress()));
        if (!lock.tryLock(0))
            continue;
        const QString album = join(saveFolder, home);
        FileError error;
        const QFileInfo there(album);
        if (!there.exists() && !there.isSymLink()) {
            if (!FileSystem::RenameNoReplace(aside, album, &error))
                note(&problems, FolderProblem::Step::Rename, aside, error);
        } else if (FileSystem::FolderExists(album) && AlbumRecord::load(album).namesAlbum(
                       {record.albumAddress(), record.firstPage()})) {
            if (MoveUserFiles(aside, album, &problems) && !FileSystem::DeleteFolder(aside, true, &error))
                note(&problems, FolderProblem::Step::Delete, aside, error);
        }
        // Anything else holds the name now: the aside copy stays for the user.
    }
    return problems;
}
