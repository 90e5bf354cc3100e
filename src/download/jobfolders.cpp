#include "jobfolders.h"

#include "jobrules.h"

#include <QJsonObject>
#include <QLockFile>

JobFolders::JobFolders(const QString &saveFolder)
    : m_saveFolder(saveFolder)
    , m_album(saveFolder)
{
}

JobFolders::~JobFolders() = default;

bool JobFolders::open(JobSettings &settings, JobStartFailure &failure)
{
    if (!settings.continueFolder.isEmpty()) {
        if (!takeUp(settings, failure))
            return false;
    } else {
        FileError why;
        if (!m_album.create(&why)) {
            failure = {JobStartFailure::Why::NoFolder, why, {}};
            return false;
        }
    }
    QString why;
    if (!m_staging.create(m_saveFolder, &why)) {
        m_album.abandon();
        failure = {JobStartFailure::Why::NoFolder, {FileError::Code::Other, {}, {}, why}, {}};
        return false;
    }
    // The folder is Quillmoor's from its first moment: a crash leaves it
    // recognisable, never mistaken for one of the user's.
    m_album.journal(QJsonObject{{"album", settings.albumAddress}, {"state", "inProgress"}});
    return true;
}

bool JobFolders::takeUp(JobSettings &settings, JobStartFailure &failure)
{
    const QString name = settings.continueFolder;
    if (!m_album.resume(name)) {
        failure = {JobStartFailure::Why::NotUnfinished, {}, m_album.path(name)};
        return false;
    }
    const AlbumRecord &record = m_album.record();
    // The album at the site as it is now, whatever address it was recorded at.
    if (settings.albumAddress.isEmpty())
        settings.albumAddress = AlbumAddressAtSite(AlbumAddressElseFirstPage(record.albumAddress(), record.firstPage()),
                                                   settings.photoHostBase);
    // Another job at work on the album keeps it as it is.
    m_lock = settings.albumAddress.isEmpty() ? nullptr : TryLock(AlbumLockPath(m_saveFolder, settings.albumAddress));
    if (!m_lock) {
        failure = {JobStartFailure::Why::AlbumBusy, {}, settings.albumAddress};
        m_album = AlbumFolder(m_saveFolder);
        return false;
    }
    settings.mode = DownloadMode::OnlyNew;
    return true;
}

bool JobFolders::claim(const QString &albumAddress, const QString &firstPage)
{
    const QString address = AlbumAddressElseFirstPage(albumAddress, firstPage);
    // A continued album was claimed at the start already.
    if (!m_lock)
        m_lock = TryLock(AlbumLockPath(m_saveFolder, address));
    if (!m_lock)
        return false;
    m_album.journal(QJsonObject{{"album", address}, {"firstPage", firstPage}});
    return true;
}

FolderFate JobFolders::finish(const AlbumEnding &ending)
{
    m_staging.drop();
    const FolderFate fate = m_album.finish(ending);
    m_lock.reset();
    return fate;
}

void JobFolders::discard(bool ownsFolder)
{
    m_staging.drop();
    if (ownsFolder)
        m_album.discard();
    m_lock.reset();
}
