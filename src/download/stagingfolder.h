#pragma once

#include <QString>

#include <memory>

class QLockFile;

// A job's own folder beside the album folders, where pictures are
// downloaded before they take their name: locked while the job runs, so no
// start-up recovery takes it, and removed (its part files only) when dropped.
class StagingFolder
{
public:
    StagingFolder();
    ~StagingFolder();
    StagingFolder(const StagingFolder &) = delete;
    StagingFolder &operator=(const StagingFolder &) = delete;

    // False, with the system's reason, when it cannot be made.
    bool create(const QString &saveFolder, QString *error);
    void drop();
    QString path() const { return m_path; }
    // Where the n-th picture of the job is downloaded to.
    QString partFile(int index) const;

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
