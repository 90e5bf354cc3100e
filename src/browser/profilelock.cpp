#include "profilelock.h"

#include "browserprofile.h"
#include "download/albumfolder.h"

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
    // A run may last hours: only a holder that is gone makes the lock stale,
    // never its age (TryLock's rule for every lock of the program).
    if (auto lock = TryLock(path))
        return lock;
    // Held by a live process, whose id the lock names; no lock info at all
    // means the lock could not be written.
    qint64 pid = 0;
    QString host, app;
    if (QLockFile(path).getLockInfo(&pid, &host, &app)) {
        if (holder)
            *holder = pid;
    } else if (error) {
        *error = path;
    }
    return nullptr;
}
