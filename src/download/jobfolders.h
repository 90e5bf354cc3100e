#pragma once

#include "albumfolder.h"
#include "jobtypes.h"
#include "stagingfolder.h"

#include <QString>

#include <memory>

class QLockFile;

// Where a job works from its start to its end: the album's folder (new, or
// an unfinished one taken up again), the staging folder beside the album
// folders, and the album's lock, held from the first page to the end: one
// album, one job, of any process.
class JobFolders
{
public:
    explicit JobFolders(const QString &saveFolder);
    ~JobFolders();

    // Makes the album's and the staging folder, or takes up
    // `settings.continueFolder`: its album is claimed before the folder is
    // touched, and the settings learn the album's address and that only what
    // is missing is fetched. False, with the reason, when they cannot be
    // had; nothing has changed then.
    bool open(JobSettings &settings, JobStartFailure &failure);
    // Claims the album, known by its address (else its first page) once the
    // first page is in; false when another job has it.
    bool claim(const QString &albumAddress, const QString &firstPage);
    // The album folder's fate; the staging folder goes and the album is free.
    FolderFate finish(const AlbumEnding &ending);
    // A job that did not finish: its staging folder goes, and with
    // `ownsFolder` what it made of the album folder.
    void discard(bool ownsFolder);

    AlbumFolder &album() { return m_album; }
    const AlbumFolder &album() const { return m_album; }
    const StagingFolder &staging() const { return m_staging; }

private:
    bool takeUp(JobSettings &settings, JobStartFailure &failure);

    QString m_saveFolder;
    AlbumFolder m_album;
    StagingFolder m_staging;
    std::unique_ptr<QLockFile> m_lock;
};
