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
QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

void setError(FileError *error, FileError::Code code, const QString &path, int systemCode = 0,
              const QString &destination = QString())
{
    if (error)
        *error = {code, path, destination, systemCode ? systemReason(systemCode) : QString()};
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

bool CreateFolder(const QString &path, FileError *error)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        setError(error, FileError::Code::Exists, path, EEXIST);
        return false;
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        setError(error, FileError::Code::NoParent, info.absolutePath());
        return false;
    }
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        setError(error, FileError::Code::NotCreated, path, errno);
        return false;
    }
    return true;
}

QString CreateNumberedFolder(const QString &parent, const QString &base, int maxNumber, FileError *error)
{
    if (!SaveFolderExists(parent)) {
        setError(error, FileError::Code::NoParent, parent);
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
            setError(error, FileError::Code::NotCreated, path, errno);
            return {};
        }
    }
    setError(error, FileError::Code::NumbersUsedUp, parent);
    return {};
}

bool DeleteFolder(const QString &path, bool force, FileError *error)
{
    if (!FolderExists(path)) {
        setError(error, FileError::Code::NotDeleted, path, ENOENT);
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
        setError(error, FileError::Code::NotDeleted, path, code.value());
        return false;
    }
    return true;
}

bool RenameNoReplace(const QString &source, const QString &destination, FileError *error, bool *exists)
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
    setError(error, FileError::Code::NotRenamed, source, code, destination);
    return false;
}

bool MoveFolder(const QString &source, const QString &destination, FileError *error)
{
    if (!FolderExists(source)) {
        setError(error, FileError::Code::NoFolder, source, ENOENT);
        return false;
    }
    return RenameNoReplace(source, destination, error);
}

} // namespace FileSystem
