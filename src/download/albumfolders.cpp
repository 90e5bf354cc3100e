#include "albumfolders.h"

#include "albumrecord.h"
#include "jobrules.h"
#include "storage/filesystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

namespace {

const QString AsidePrefix = QStringLiteral(".quillmoor-aside-");

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

void note(QList<FolderProblem> *problems, FolderProblem::Step step, const QString &path, const QString &reason)
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
        QString error;
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
    QString error;
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

QList<FolderProblem> RecoverAlbumFolders(const QString &saveFolder)
{
    QList<FolderProblem> problems;
    for (const QString &name : subfolders(saveFolder)) {
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
        QString error;
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
