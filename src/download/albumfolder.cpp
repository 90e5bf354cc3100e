#include "albumfolder.h"

#include "albumrecord.h"
#include "jobrules.h"
#include "metadata/picturemetadata.h"
#include "storage/filesystem.h"
#include "web/sha256.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLockFile>
#include <QStandardPaths>
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

void noteIn(QList<FolderProblem> *problems, FolderProblem::Step step, const QString &path, const FileError &reason)
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
        if (!FileSystem::FolderExists(join(saveFolder, name)))
            return false;
        // A copy that a whole one replaced is the album's no longer.
        const AlbumRecord record = AlbumRecord::load(join(saveFolder, name));
        return record.replacedBy().isEmpty() && record.namesAlbum(addresses);
    };
    if (!preferred.isEmpty() && names(preferred))
        return preferred;
    for (const QString &name : subfolders(saveFolder)) {
        if (name != preferred && name != exclude && !IsWorkingFolderName(name) && names(name))
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

bool AlbumFolder::moveUserFiles(const QString &from, const QString &to, QList<FolderProblem> *problems)
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
            noteIn(problems, FolderProblem::Step::Move, join(from, name), error);
            allMoved = false;
        }
    }
    return allMoved;
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
    auto held = TryLock(join(dir.path(), StagingLock));
    if (!held) {
        if (error)
            *error = join(dir.path(), StagingLock);
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
        if (IsWorkingFolderName(name))
            continue;
        const QString folder = join(saveFolder, name);
        const AlbumRecord record = AlbumRecord::load(folder);
        if (!record.exists() || record.isLegacy() || !states.contains(record.state()))
            continue;
        const QString address = record.albumAddress().isEmpty() ? record.firstPage() : record.albumAddress();
        if (address.isEmpty())
            continue;
        // A job at work holds the album's lock; its folder is not interrupted.
        if (IsLockHeld(AlbumLockPath(saveFolder, address)))
            continue;
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
            noteIn(problems, FolderProblem::Step::Delete, file.fileName(),
                 {FileError::Code::Other, file.fileName(), {}, file.errorString()});
            allGone = false;
        }
    }
    // Only an empty folder goes; the user's files keep it.
    QDir().rmdir(folder);
    return allGone;
}


std::unique_ptr<QLockFile> TryLock(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

bool IsLockHeld(const QString &path)
{
    const QFileInfo file(path);
    return (file.exists() || file.isSymLink()) && !TryLock(path);
}

bool IsWorkingFolderName(const QString &name)
{
    return IsAsideFolderName(name) || IsStagingFolderName(name);
}

namespace {

// The earlier copy of an album leaves its name: to the desktop's trash, or,
// where the save folder's file system has none, beside the new copy under
// a free name, marked as replaced. Never deleted outright.
// Qt falls back to the home trash when the file system's own has none, and
// then, should that folder not exist and not be made, moves the file to
// "files" below the current folder: only a trash that is there is used.
bool homeTrashUsable()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return !data.isEmpty() && QDir::isAbsolutePath(data) && QDir().mkpath(data + QStringLiteral("/Trash/files"))
        && QDir().mkpath(data + QStringLiteral("/Trash/info"));
}

void retire(const QString &saveFolder, const QString &folderName, const QString &earlier, FolderFate *fate,
            QList<FolderProblem> *problems)
{
    if (homeTrashUsable() && QFile::moveToTrash(earlier)) {
        if (fate)
            fate->earlierTrashed = true;
        return;
    }
    FileError error;
    AlbumRecord::appendLine(earlier, QJsonObject{{"replacedBy", folderName}}, &error);
    for (int n = 2; n <= MaxTempFolderNumber; ++n) {
        const QString beside = NumberedFolderName(folderName, n);
        bool taken = false;
        if (FileSystem::RenameNoReplace(earlier, join(saveFolder, beside), &error, &taken)) {
            if (fate)
                fate->earlierBeside = beside;
            return;
        }
        if (!taken)
            break;
    }
    // It keeps its hidden name; start-up recovery finds it again.
    noteIn(problems, FolderProblem::Step::Trash, earlier, error);
}

} // namespace

bool AlbumFolder::replace(const QString &saveFolder, const QString &folderName, const QString &newFolder,
                          FolderFate *fate, QList<FolderProblem> *problems)
{
    const QString album = join(saveFolder, folderName);
    const QString aside = join(saveFolder, AsideFolderName(folderName));
    FileError error;
    // Tell a later start which name the folder left aside belongs to.
    if (!AlbumRecord::appendLine(album, QJsonObject{{"asideFrom", folderName}}, &error)) {
        noteIn(problems, FolderProblem::Step::SaveRecord, album, error);
        return false;
    }
    if (!FileSystem::RenameNoReplace(album, aside, &error)) {
        noteIn(problems, FolderProblem::Step::Rename, album, error);
        return false;
    }
    if (!FileSystem::RenameNoReplace(newFolder, album, &error)) {
        noteIn(problems, FolderProblem::Step::Rename, newFolder, error);
        if (!FileSystem::RenameNoReplace(aside, album, &error))
            noteIn(problems, FolderProblem::Step::Rename, aside, error);
        return false;
    }
    // From here the new copy has the name; the earlier one leaves only once
    // nothing of the user's is left in it.
    if (moveUserFiles(aside, album, problems))
        retire(saveFolder, folderName, aside, fate, problems);
    return true;
}

QList<FolderProblem> AlbumFolder::recover(const QString &saveFolder)
{
    QList<FolderProblem> problems;
    for (const QString &name : subfolders(saveFolder)) {
        if (IsStagingFolderName(name)) {
            // Left by a job that died; a live job holds its lock.
            if (auto lock = TryLock(join(join(saveFolder, name), StagingLock))) {
                lock.reset();
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
        const auto lock = TryLock(AlbumLockPath(saveFolder, record.albumAddress()));
        if (!lock)
            continue;
        const QString album = join(saveFolder, home);
        FileError error;
        const QFileInfo there(album);
        if (!there.exists() && !there.isSymLink()) {
            if (!FileSystem::RenameNoReplace(aside, album, &error))
                noteIn(&problems, FolderProblem::Step::Rename, aside, error);
            continue;
        }
        const AlbumRecord replacement = AlbumRecord::load(album);
        if (!FileSystem::FolderExists(album) || !replacement.namesAlbum({record.albumAddress(), record.firstPage()}))
            continue; // anything else holds the name now: the aside copy stays for the user
        if (replacement.state() == AlbumRecord::State::Finished) {
            if (moveUserFiles(aside, album, &problems))
                retire(saveFolder, home, aside, nullptr, &problems);
            continue;
        }
        // The copy under the name is not whole: the earlier one takes its
        // name back, the other stays beside it, unfinished, for a later run.
        for (int n = 2; n <= MaxTempFolderNumber; ++n) {
            bool taken = false;
            if (FileSystem::RenameNoReplace(album, join(saveFolder, NumberedFolderName(home, n)), &error, &taken)) {
                if (!FileSystem::RenameNoReplace(aside, album, &error))
                    noteIn(&problems, FolderProblem::Step::Rename, aside, error);
                break;
            }
            if (!taken) {
                noteIn(&problems, FolderProblem::Step::Rename, album, error);
                break;
            }
        }
    }
    return problems;
}

FolderCheck CheckAlbumFolder(const QString &saveFolder, const QString &name)
{
    const QString folder = join(saveFolder, name);
    const AlbumRecord record = AlbumRecord::load(folder);
    FolderCheck check{name, record.title().isEmpty() ? name : record.title(), int(record.entries().size()), {}, {}, {}};
    for (const AlbumRecord::Entry &entry : record.entries()) {
        QFile file(join(folder, entry.file));
        const QFileInfo info(file.fileName());
        if (!info.isFile()) {
            check.missing << entry.file;
        } else if (info.size() == 0 && entry.size != 0) {
            check.emptied << entry.file;
        } else if (entry.size >= 0 && info.size() != entry.size) {
            check.changed << entry.file;
        } else if (!entry.sha256.isEmpty()) {
            if (Sha256::ofFile(file.fileName()) != entry.sha256)
                check.changed << entry.file;
        }
    }
    return check;
}

AlbumFolder::AlbumFolder(const QString &saveFolder)
    : m_saveFolder(saveFolder)
{
}

QString AlbumFolder::path(const QString &name) const
{
    return join(m_saveFolder, name);
}

QString AlbumFolder::workPath() const
{
    return m_work.isEmpty() ? QString() : path(m_work);
}

QString AlbumFolder::targetPath() const
{
    return m_target.isEmpty() ? QString() : path(m_target);
}

void AlbumFolder::note(FolderProblem::Step step, const QString &where, const FileError &reason)
{
    m_problems.append({step, where, reason});
}

bool AlbumFolder::create(FileError *error)
{
    m_work = FileSystem::CreateNumberedFolder(m_saveFolder, TempFolderBaseName, MaxTempFolderNumber, error);
    return !m_work.isEmpty();
}

bool AlbumFolder::resume(const QString &name)
{
    const AlbumRecord record = AlbumRecord::load(path(name));
    const bool resumable = record.state() == AlbumRecord::State::InProgress
        || record.state() == AlbumRecord::State::Stopped;
    // Only a folder of Quillmoor's, left by a download of an album that did
    // not reach its end, is gone on with.
    if (!IsUsableFolderName(name) || IsWorkingFolderName(name) || !FileSystem::FolderExists(path(name))
        || !record.exists() || record.isLegacy() || !resumable)
        return false;
    m_work = name;
    m_continuing = true;
    m_record = record;
    m_earlierRecord = record;
    return true;
}

void AlbumFolder::abandon()
{
    if (!m_continuing && !m_work.isEmpty())
        QDir().rmdir(workPath());
}

void AlbumFolder::journal(const QJsonObject &line)
{
    FileError error;
    if (!m_recordFailed && !AlbumRecord::appendLine(workPath(), line, &error)) {
        m_recordFailed = true;
        note(FolderProblem::Step::SaveRecord, workPath(), error);
    }
}

void AlbumFolder::lookFor(const QString &albumName, const QStringList &addresses, const QString &updateFolder)
{
    if (m_continuing)
        return;
    // The folder whose record names this album, wherever it is; else one of
    // the album's name that no album claims yet is adopted.
    const QString name = AlbumFolderName(albumName);
    const QString usable = IsUsableFolderName(name) && name != m_work ? name : QString();
    // An update names the folder; it is taken only while its record still
    // names the album, else the album is looked for as usual.
    m_target = FindAlbumFolder(m_saveFolder, addresses, updateFolder.isEmpty() ? usable : updateFolder, m_work);
    if (m_target.isEmpty() && !usable.isEmpty() && FileSystem::FolderExists(path(usable))) {
        const AlbumRecord there = AlbumRecord::load(path(usable));
        if (!there.exists() || there.isLegacy())
            m_target = usable;
    }
    if (m_target.isEmpty())
        return;
    m_record = AlbumRecord::load(targetPath());
    if (!m_record.exists()) {
        // Whatever it holds was put there by someone else: it stays theirs,
        // also under a picture's name.
        const QStringList found = QDir(targetPath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                               | QDir::NoDotAndDotDot);
        m_record.addUserFiles(found);
    } else if (m_record.isLegacy()) {
        // Written by an earlier version that kept no sizes: its pictures stand
        // for themselves, everything else is the user's.
        QStringList others;
        const QStringList ours = m_record.files();
        for (const QString &found : QDir(targetPath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                                 | QDir::NoDotAndDotDot))
            if (!ours.contains(found))
                others << found;
        m_record.addUserFiles(others);
    }
}

AlbumFolder::Held AlbumFolder::holds(const QString &page, AlbumRecord::Entry *entry) const
{
    const AlbumRecord::Entry *known = m_record.forPage(page);
    if (!known)
        return Held::No;
    *entry = *known;
    if (heldPath().isEmpty())
        return Held::No;
    const QFileInfo file(heldPath() + QLatin1Char('/') + known->file);
    if (!file.isFile())
        return Held::Missing;
    if (file.size() == 0 && known->size != 0)
        return Held::Emptied;
    if (known->size >= 0 && file.size() != known->size)
        return Held::OtherSize;
    return Held::Yes;
}

bool AlbumFolder::adoptUnjournalled(const QString &fileName)
{
    if (!m_continuing || m_adoptedUnjournalled || m_record.files().contains(fileName)
        || !QFileInfo(workPath() + QLatin1Char('/') + fileName).isFile())
        return false;
    m_adoptedUnjournalled = true;
    return true;
}

QString AlbumFolder::userFileWithBytes(const QString &fileName, qint64 size, const Sha256Digest &sha256) const
{
    const QString &name = fileName;
    if (m_target.isEmpty() || sha256.isEmpty() || !m_record.userFiles().contains(name))
        return {};
    const QString theirs = targetPath() + QLatin1Char('/') + name;
    if (QFileInfo(theirs).size() != size || Sha256::ofFile(theirs) != sha256)
        return {};
    return name;
}

QString AlbumFolder::heldPath() const
{
    return m_continuing ? workPath() : targetPath();
}

void AlbumFolder::rewrote(const AlbumRecord::Entry &entry)
{
    m_record.add(entry);
    FileError error;
    if (!AlbumRecord::appendEntry(heldPath(), entry, &error))
        note(FolderProblem::Step::SaveRecord, heldPath(), error);
}

void AlbumFolder::keep(const AlbumRecord::Entry &entry)
{
    const AlbumRecord::Entry *known = m_record.forPage(entry.page);
    // What the record knew of the same file (size, hash, caption, date,
    // sidecar) stays with it.
    AlbumRecord::Entry kept = known && known->file == entry.file ? *known : entry;
    kept.page = entry.page;
    kept.picture = entry.picture;
    if (!entry.sha256.isEmpty()) {
        kept.size = entry.size;
        kept.sha256 = entry.sha256;
    }
    if (!known || known->file != kept.file || known->picture != kept.picture || known->sha256 != kept.sha256)
        m_notInJournal << kept;
    m_record.add(kept);
}

QString AlbumFolder::place(const QString &staging, AlbumRecord::Entry entry, const QString &stagedSidecar,
                           QString *error)
{
    const QString folder = workPath() + QLatin1Char('/');
    const QString suffix = stagedSidecar.isEmpty() ? QString() : Metadata::sidecarName(QString());
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        QFile::remove(staging);
        if (!stagedSidecar.isEmpty())
            QFile::remove(stagedSidecar);
        return QString();
    };
    // The name is the one PictureName made; anything else is refused, not remade.
    if (entry.file != FitFileName(PictureFileName(entry.file)))
        return fail(QStringLiteral("not a picture name"));
    const QString name = FreeFileName(workPath(), entry.file, MaxFileNameBytes, suffix);
    const QString sidecar = suffix.isEmpty() ? QString() : Metadata::sidecarName(name);
    FileError sidecarError;
    if (!sidecar.isEmpty() && !FileSystem::RenameNoReplace(stagedSidecar, folder + sidecar, &sidecarError))
        return fail(sidecarError.systemText);
    // Never over a file that took the name since it was found free.
    if (FileError renameError; !FileSystem::RenameNoReplace(staging, folder + name, &renameError)) {
        if (!sidecar.isEmpty())
            QFile::remove(folder + sidecar); // ours, placed just now
        return fail(renameError.systemText);
    }
    entry.file = name;
    entry.sidecar = !sidecar.isEmpty();
    m_added << name;
    if (entry.sidecar)
        m_added << sidecar;
    m_placedPages.insert(entry.page);
    m_record.add(entry);
    // Into the journal as it takes its name: after a crash the folder says
    // what it holds.
    FileError failure;
    if (!m_recordFailed && !m_journal.append(workPath(), AlbumRecord::entryBytes(entry), &failure)) {
        m_recordFailed = true;
        note(FolderProblem::Step::SaveRecord, workPath(), failure);
    }
    return name;
}

FolderFate AlbumFolder::finish(const AlbumEnding &ending)
{
    // The journal may be ended, replaced or moved from here on.
    m_journal.close();
    FolderFate fate;
    fate.folderName = m_work;
    const QString name = AlbumFolderName(ending.title);
    const bool update = !ending.updateFolder.isEmpty();
    FileError error;
    // An update cut off before it saved anything (an expired login, a page
    // that failed) would only mark a whole folder as stopped.
    const bool leaveTarget = ending.gone || (update && ending.saved == 0 && !ending.whole);
    const auto unfinished = ending.stopped ? AlbumRecord::State::Stopped : AlbumRecord::State::InProgress;
    const auto state = [&](bool placed) { return ending.whole && placed ? AlbumRecord::State::Finished : unfinished; };
    if (ending.busy || leaveTarget) {
        // Only the empty folder this job made goes; the album is another's,
        // or an update brought nothing and its folder stays as it is.
        fate.folderName = !leaveTarget ? QString() : m_target.isEmpty() ? ending.updateFolder : m_target;
        if (!m_continuing && !FileSystem::DeleteFolder(workPath(), false, &error))
            note(FolderProblem::Step::Delete, workPath(), error);
    } else if (!FileSystem::SaveFolderExists(m_saveFolder) || !FileSystem::FolderExists(workPath())) {
        fate.folderGone = true;
        fate.folderNote = AlbumFolderNote::FolderGone;
        fate.folderNoteSubject = workPath();
    } else if (update && !m_target.isEmpty()) {
        // An update: the folder is known, whatever the album is called now.
        finishRecord(targetPath(), ending, state(merge(fate)));
    } else if (name == m_work) {
        // The pictures are already where the album's name says.
        finishRecord(workPath(), ending, state(true));
    } else if (m_continuing && !ending.whole) {
        // Still not the whole album: the folder stays as it is for a later run.
        finishRecord(workPath(), ending, unfinished);
    } else if (!IsUsableFolderName(name)) {
        fate.folderNote = AlbumFolderNote::UnusableName;
        finishRecord(workPath(), ending, unfinished);
    } else if (ending.mode == DownloadMode::OnlyNew && !m_target.isEmpty()) {
        finishRecord(targetPath(), ending, state(merge(fate)));
    } else {
        // Whole before it takes the name: a crash during the swap leaves the
        // new copy recognisable as the replacement it is.
        finishRecord(workPath(), ending, state(true));
        nameFolder(ending, fate);
        if (fate.folderNote == AlbumFolderNote::NotRenamed && ending.whole)
            AlbumRecord::appendLine(path(fate.folderName), QJsonObject{{"state", "inProgress"}});
    }
    return fate;
}

void AlbumFolder::nameFolder(const AlbumEnding &ending, FolderFate &fate)
{
    const QString name = AlbumFolderName(ending.title);
    const QString album = path(name);
    FileError error;
    bool taken = false;
    bool sameAlbum = false;
    if (ending.mode == DownloadMode::ReplaceAll && FileSystem::FolderExists(album)) {
        // Only an earlier finished copy of this very album is replaced, and
        // only by a whole one.
        const AlbumRecord earlier = AlbumRecord::load(album);
        sameAlbum = earlier.namesAlbum({ending.albumAddress, ending.firstPage}) && earlier.replacedBy().isEmpty();
        if (sameAlbum && earlier.state() == AlbumRecord::State::Finished) {
            if (!ending.whole) {
                fate.earlierKept = name;
            } else if (replace(m_saveFolder, name, workPath(), &fate, &m_problems)) {
                fate.folderName = name;
                fate.replacedEarlier = true;
                return;
            }
        }
    } else if (FileSystem::RenameNoReplace(workPath(), album, &error, &taken)) {
        fate.folderName = name;
        return;
    } else if (!taken) {
        note(FolderProblem::Step::Rename, workPath(), error);
        fate.folderNote = AlbumFolderNote::NotRenamed;
        fate.folderNoteSubject = name;
        return;
    }
    // The name belongs to something else: the first free "name (n)".
    fate.nameTaken = !sameAlbum;
    for (int n = 2; n <= MaxTempFolderNumber; ++n) {
        const QString candidate = NumberedFolderName(name, n);
        if (FileSystem::RenameNoReplace(workPath(), path(candidate), &error, &taken)) {
            fate.folderName = candidate;
            return;
        }
        if (!taken)
            break;
    }
    note(FolderProblem::Step::Rename, workPath(), error);
    fate.folderNote = AlbumFolderNote::NotRenamed;
    fate.folderNoteSubject = name;
}

bool AlbumFolder::merge(FolderFate &fate)
{
    // The new pictures join the album's folder beside the old ones; nothing
    // there is replaced.
    const QString album = targetPath();
    bool allMoved = true;
    const QList<AlbumRecord::Entry> entries = m_record.entries();
    for (AlbumRecord::Entry entry : entries) {
        if (!m_placedPages.contains(entry.page))
            continue;
        const QString from = workPath() + QLatin1Char('/') + entry.file;
        const QString sidecar = entry.sidecarFile();
        const QString name = FreeFileName(album, entry.file, MaxFileNameBytes,
                                          entry.sidecar ? Metadata::sidecarName(QString()) : QString());
        FileError error;
        if (FileSystem::RenameNoReplace(from, album + QLatin1Char('/') + name, &error)) {
            // Its sidecar goes with it, under the name that goes with the
            // picture's; one left behind keeps the temporary folder.
            if (entry.sidecar
                && !FileSystem::RenameNoReplace(workPath() + QLatin1Char('/') + sidecar,
                                                album + QLatin1Char('/') + Metadata::sidecarName(name), &error)) {
                entry.sidecar = false;
                allMoved = false;
                note(FolderProblem::Step::Move, workPath() + QLatin1Char('/') + sidecar, error);
            }
            entry.file = name;
            m_record.add(entry);
            m_notInJournal << entry;
        } else {
            allMoved = false;
            note(FolderProblem::Step::Move, from, error);
        }
    }
    // The temporary folder goes only when nothing but its journal is left;
    // else it keeps its journal for the pictures still in it.
    const QString journal = workPath() + QLatin1Char('/') + AlbumRecord::fileName();
    if (allMoved && QFile::remove(journal) && QDir().rmdir(workPath())) {
        fate.folderName = m_target;
    } else {
        fate.folderNote = AlbumFolderNote::NotAllMoved;
        fate.folderNoteSubject = m_target;
    }
    return allMoved;
}

void AlbumFolder::finishRecord(const QString &folder, const AlbumEnding &ending, AlbumRecord::State state)
{
    const QString address = AlbumAddressElseFirstPage(ending.albumAddress, ending.firstPage);
    // What the site said when it could not be read does not blank what the
    // record knew.
    const QString title = ending.title.isEmpty() ? m_record.title() : ending.title;
    // An album folder this run only read from, and that gains nothing,
    // stays byte for byte as it was.
    if (!m_target.isEmpty() && folder == targetPath() && !m_recordFailed && m_notInJournal.isEmpty()
        && m_record.albumAddress() == address && m_record.firstPage() == ending.firstPage
        && m_record.title() == title && m_record.state() == state)
        return;
    m_record.setAlbumAddress(address);
    m_record.setFirstPage(ending.firstPage);
    m_record.setTitle(title);
    m_record.setState(state);
    FileError error;
    // One that may have missed a line is written anew whole; an adopted
    // folder's journal starts with what was the user's.
    const bool whole = m_recordFailed || (!m_record.userFiles().isEmpty() && folder == targetPath()
                                          && !QFile::exists(folder + QLatin1Char('/') + AlbumRecord::fileName()));
    if (!(whole ? m_record.save(folder, &error) : m_record.finish(folder, m_notInJournal, &error)))
        note(FolderProblem::Step::SaveRecord, folder, error);
}

void AlbumFolder::discard()
{
    // Clean-up failures are passed over: the window closes all the same.
    if (m_continuing && FileSystem::FolderExists(workPath())) {
        // What earlier runs saved stays, with the record it had.
        for (const QString &name : std::as_const(m_added))
            QFile::remove(workPath() + QLatin1Char('/') + name);
        m_earlierRecord.save(workPath());
    } else if (!m_work.isEmpty() && FileSystem::FolderExists(workPath())) {
        FileSystem::DeleteFolder(workPath(), false);
    }
}
