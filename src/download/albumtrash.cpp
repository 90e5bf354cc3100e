#include "albumtrash.h"

#include "albumrecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace {

// A record entry names a file of this folder only: no path, no link, no
// folder. A record edited by hand must not send anything else away.
bool isPlainFileOf(const QString &folder, const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\')))
        return false;
    const QFileInfo info(folder + QLatin1Char('/') + name);
    return info.exists() && info.isFile() && !info.isSymLink();
}

} // namespace

AlbumTrashPlan PlanAlbumTrash(const QString &folder)
{
    AlbumTrashPlan plan;
    const AlbumRecord record = AlbumRecord::load(folder);
    if (!record.exists())
        return plan;
    QStringList ours;
    for (const AlbumRecord::Entry &entry : record.entries()) {
        if (record.userFiles().contains(entry.file) || ours.contains(entry.file) || !isPlainFileOf(folder, entry.file))
            continue;
        // A picture of another size than saved was changed since: the user's
        // now, as far as throwing away goes.
        if (entry.size >= 0 && QFileInfo(folder + QLatin1Char('/') + entry.file).size() != entry.size)
            continue;
        ours << entry.file;
    }
    // The record goes last: until then it says what is ours here.
    for (const QString &own : {AlbumRecord::legacyFileName(), AlbumRecord::fileName()})
        if (isPlainFileOf(folder, own))
            ours << own;
    const QStringList all =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : all)
        if (!ours.contains(name))
            plan.kept << name;
    plan.ours = ours;
    return plan;
}

bool MoveAlbumToTrash(const QString &folder, QList<FolderProblem> *problems)
{
    // Not while a job (of this process or another) works on the album.
    const AlbumRecord record = AlbumRecord::load(folder);
    const QString address = record.albumAddress().isEmpty() ? record.firstPage() : record.albumAddress();
    std::unique_ptr<QLockFile> lock;
    if (!address.isEmpty()) {
        lock = TryLock(AlbumLockPath(QFileInfo(folder).absolutePath(), address));
        if (!lock) {
            if (problems)
                problems->append({FolderProblem::Step::Trash, folder,
                                  {FileError::Code::Other, folder, {}, QCoreApplication::translate("AlbumTrash", "另一个下载正在使用这个相册")}});
            return false;
        }
    }
    const AlbumTrashPlan plan = PlanAlbumTrash(folder);
    if (plan.ours.isEmpty())
        return false;
    bool allGone = true;
    for (const QString &name : plan.ours) {
        // A failed picture keeps the record, which still names the rest.
        if (!allGone && name == AlbumRecord::fileName())
            break;
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.moveToTrash()) {
            allGone = false;
            if (problems)
                problems->append({FolderProblem::Step::Trash, file.fileName(),
                                  {FileError::Code::Other, file.fileName(), {}, file.errorString()}});
        }
    }
    // Only an empty folder goes; the user's files keep it.
    if (allGone)
        QDir().rmdir(folder);
    return allGone;
}
