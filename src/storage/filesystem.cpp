#include "filesystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>


namespace FileSystem {

namespace {
void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

void makeWritable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner
                                    | QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}
} // namespace

bool FolderExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isDir() && !info.isSymLink();
}

bool CreateFolder(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        setError(error, QStringLiteral("已存在: %1").arg(path));
        return false;
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        setError(error, QStringLiteral("上级文件夹不存在: %1").arg(info.absolutePath()));
        return false;
    }
    if (!QDir().mkdir(path)) {
        setError(error, QStringLiteral("无法创建文件夹: %1").arg(path));
        return false;
    }
    return true;
}

bool DeleteFolder(const QString &path, bool force, QString *error)
{
    if (!FolderExists(path)) {
        setError(error, QStringLiteral("文件夹不存在: %1").arg(path));
        return false;
    }
    if (force) {
        // Read-only entries would make removeRecursively stop half-way.
        makeWritable(path);
        QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            if (!QFileInfo(entry).isSymLink())
                makeWritable(entry);
        }
    }
    if (!QDir(path).removeRecursively()) {
        setError(error, QStringLiteral("无法删除文件夹: %1").arg(path));
        return false;
    }
    return true;
}

bool MoveFolder(const QString &source, const QString &destination, QString *error)
{
    if (!FolderExists(source)) {
        setError(error, QStringLiteral("文件夹不存在: %1").arg(source));
        return false;
    }
    const QFileInfo target(destination);
    if (target.exists() || target.isSymLink()) {
        setError(error, QStringLiteral("目标已存在: %1").arg(destination));
        return false;
    }
    // rename(2) would silently replace an empty folder of the target name.
    if (!QDir().rename(source, destination)) {
        setError(error, QStringLiteral("无法重命名文件夹: %1").arg(destination));
        return false;
    }
    return true;
}

} // namespace FileSystem
