#pragma once

#include <QString>

#include <memory>

class QLockFile;

// The browser profile holds the login and cannot be shared by two processes:
// the window and the command line each hold this lock for their whole run.
//
// Taken before anything of the profile is opened, so a second process leaves
// the stored login untouched. Returns nullptr when another process holds it
// (`holder` then names its process id when known) or when the lock cannot be
// made (`holder` empty, `error` says why).
std::unique_ptr<QLockFile> lockBrowserProfile(qint64 *holder = nullptr, QString *error = nullptr);

// The lock file beside the profile's storage folder.
QString browserProfileLockPath();
