#include "profilelock.h"

#include "browserprofile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

QString browserProfileLockPath()
{
    return BrowserProfile::storageFolder() + QStringLiteral(".lock");
}

std::unique_ptr<QLockFile> lockBrowserProfile(qint64 *holder, QString *error)
{
    if (holder)
        *holder = 0;
    const QString path = browserProfileLockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(path);
    // A run may last hours: only a holder that is gone makes the lock stale,
    // never its age.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    if (lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, app;
        if (lock->getLockInfo(&pid, &host, &app) && holder)
            *holder = pid;
    } else if (error) {
        *error = path;
    }
    return nullptr;
}
