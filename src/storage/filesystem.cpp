#include "filesystem.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

namespace FileSystem {

namespace {
void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QString failure(const QString &what, const QString &path, const QString &reason)
{
    return QStringLiteral("%1 %2：%3").arg(what, path, reason);
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

bool SaveFolderExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool CreateFolder(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        setError(error, failure(QStringLiteral("已存在"), path, systemReason(EEXIST)));
        return false;
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        setError(error, QStringLiteral("上级文件夹不存在: %1").arg(info.absolutePath()));
        return false;
    }
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        setError(error, failure(QStringLiteral("无法创建文件夹"), path, systemReason(errno)));
        return false;
    }
    return true;
}

QString CreateNumberedFolder(const QString &parent, const QString &base, int maxNumber, QString *error)
{
    if (!SaveFolderExists(parent)) {
        setError(error, QStringLiteral("上级文件夹不存在: %1").arg(parent));
        return {};
    }
    for (int n = 1; n <= maxNumber; ++n) {
        const QString name = base + QString::number(n);
        const QString path = parent + QLatin1Char('/') + name;
        // mkdir itself decides: a number another job took in between fails
        // with EEXIST here instead of being shared.
        if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
            return name;
        if (errno != EEXIST) {
            setError(error, failure(QStringLiteral("无法创建文件夹"), path, systemReason(errno)));
            return {};
        }
    }
    setError(error, QStringLiteral("临时文件夹编号已用完。"));
    return {};
}

bool DeleteFolder(const QString &path, bool force, QString *error)
{
    if (!FolderExists(path)) {
        setError(error, failure(QStringLiteral("无法删除文件夹"), path, systemReason(ENOENT)));
        return false;
    }
    if (force) {
        // Read-only entries would make the removal stop half-way.
        makeWritable(path);
        QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString entry = it.next();
            if (!QFileInfo(entry).isSymLink())
                makeWritable(entry);
        }
    }
    // remove_all removes a link itself, never what it points to.
    std::error_code code;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path).toStdString()), code);
    if (code) {
        setError(error, failure(QStringLiteral("无法删除文件夹"), path, systemReason(code.value())));
        return false;
    }
    return true;
}

bool RenameNoReplace(const QString &source, const QString &destination, QString *error, bool *exists)
{
    if (exists)
        *exists = false;
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the no-replace flag: test, then rename.
        const QFileInfo target(destination);
        if (target.exists() || target.isSymLink())
            errno = EEXIST;
        else
            result = ::rename(from.constData(), to.constData());
    }
    if (result == 0)
        return true;
    const int code = errno;
    if (exists)
        *exists = code == EEXIST || code == ENOTEMPTY;
    setError(error, QStringLiteral("无法将 %1 改名为 %2：%3").arg(source, destination, systemReason(code)));
    return false;
}

bool MoveFolder(const QString &source, const QString &destination, QString *error)
{
    if (!FolderExists(source)) {
        setError(error, failure(QStringLiteral("文件夹不存在"), source, systemReason(ENOENT)));
        return false;
    }
    return RenameNoReplace(source, destination, error);
}

} // namespace FileSystem
