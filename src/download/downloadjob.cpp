#include "downloadjob.h"

#include "jobrules.h"
#include "storage/filesystem.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/textutil.h"

#include <limits>

namespace {

CollectionRules rulesFor(const JobSettings &settings)
{
    return settings.source == JobSource::BrowserPane ? CollectionRules::browserPane(settings.photoHostBase)
                                                     : CollectionRules::memberList(settings.photoHostBase);
}

// The picture count is shown as a 16-bit number.
constexpr int MaxSavedPictures = std::numeric_limits<qint16>::max();

} // namespace

DownloadJob::DownloadJob(const JobSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_collection(rulesFor(settings))
    , m_requests(new QObject(this))
{
    m_pace.setSingleShot(true);
    m_pace.setInterval(settings.pauseMs);
    // The pause is the job's pace; a coarse timer would add up to 5 % to it.
    m_pace.setTimerType(Qt::PreciseTimer);
    connect(&m_pace, &QTimer::timeout, this, &DownloadJob::tick);
}

DownloadJob::~DownloadJob()
{
    // Answers of requests in flight must not reach a job being torn down.
    delete m_requests;
}

QString DownloadJob::folderPath(const QString &name) const
{
    return m_settings.saveFolder + QLatin1Char('/') + name;
}

QString DownloadJob::temporaryFolderPath() const
{
    return m_tempFolder.isEmpty() ? QString() : folderPath(m_tempFolder);
}

bool DownloadJob::start(QString *error)
{
    if (m_state != State::Ready)
        return false;
    const QString name = NextTempFolderName(m_settings.saveFolder);
    QString why;
    if (name.isEmpty())
        why = QStringLiteral("临时文件夹编号已用完。");
    else if (FileSystem::CreateFolder(folderPath(name), &why))
        m_tempFolder = name;
    if (m_tempFolder.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    m_state = State::Collecting;
    return true;
}

QString DownloadJob::pageLoaded(const PageSnapshot &page)
{
    if (m_state != State::Collecting)
        return {};
    // The blank page a pane shows before the album (at start-up or after an
    // earlier job) may complete late; it is no page of the album.
    if (page.address.startsWith(QLatin1String("about:")))
        return {};

    const int pagesBefore = m_collection.pagesRead();
    const AlbumCollection::Step step = m_collection.addPage(page);
    if (m_collection.pagesRead() == 1 && pagesBefore == 0
        && m_settings.source == JobSource::BrowserPane)
        removeEarlierAlbumFolder();
    // A page that could not be read collected nothing.
    if (m_collection.pagesRead() > pagesBefore || step.outcome == AlbumCollection::Outcome::LastPage)
        emit pageCollected(collectedCount());
    if (step.outcome == AlbumCollection::Outcome::NextPage)
        return step.nextAddress;

    if (step.outcome == AlbumCollection::Outcome::StoppedEarly) {
        m_collectionNote = step.stopReason;
        emit collectionStopped(step.stopReason);
    }
    finishCollection();
    return {};
}

void DownloadJob::removeEarlierAlbumFolder()
{
    // An album downloaded before under the same name makes room for this one.
    // Never a name that would reach outside the save folder, and never the
    // job's own temporary folder.
    const QString name = m_collection.albumName();
    if (IsUsableFolderName(name) && name != m_tempFolder && FileSystem::FolderExists(folderPath(name)))
        FileSystem::DeleteFolder(folderPath(name), true);
}

void DownloadJob::finishCollection()
{
    if (m_settings.source == JobSource::MemberList)
        removeEarlierAlbumFolder();
    m_pendingPages = m_collection.picturePages();
    m_state = State::Downloading;
    emit collectionFinished(collectedCount());
    if (m_state == State::Downloading)
        m_pace.start();
}

void DownloadJob::tick()
{
    if (m_state != State::Downloading)
        return;
    if (m_pendingPages.isEmpty()) {
        complete();
        return;
    }
    const QString pageAddress = m_pendingPages.constFirst();
    fetchPage(m_settings.network, QStringLiteral("UTF-8"), pageAddress, m_requests,
              [this, pageAddress](const PageResult &page) {
                  m_pendingPages.removeFirst();
                  if (!page.ok()) {
                      PictureReport failed;
                      failed.kind = PictureReport::Kind::Failed;
                      failed.address = pageAddress;
                      failed.pageFailed = true;
                      failed.reason = page.message;
                      report(failed);
                      return;
                  }
                  const QString picture = ResolvePictureAddress(page.text);
                  // A page without picture data is dropped without a word.
                  if (picture.isEmpty()) {
                      m_pace.start();
                      return;
                  }
                  m_pendingPictures.append(picture);
                  savePicture();
              },
              m_settings.requests);
}

void DownloadJob::savePicture()
{
    const QString address = m_pendingPictures.constFirst();
    PictureReport picture;
    picture.address = address;
    picture.kind = PictureReport::Kind::Failed;

    if (m_savedAddresses.contains(address)) {
        picture.kind = PictureReport::Kind::Skipped;
        picture.reason = QStringLiteral("已保存过，不再重复下载");
        return report(picture);
    }
    const QString name = GetPicName(address);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        picture.reason = QStringLiteral("地址中没有文件名");
        return report(picture);
    }
    if (m_saved >= MaxSavedPictures) {
        picture.reason = QStringLiteral("一次最多下载%1张图片").arg(MaxSavedPictures);
        return report(picture);
    }
    // Two pictures of one album may share a name; neither may be lost.
    const QString folder = temporaryFolderPath();
    picture.fileName = FreeFileName(folder, name);
    DownPic(m_settings.network, address, folder + QLatin1Char('/') + picture.fileName, m_requests,
            [this, picture](const DownPicResult &result) mutable {
                if (result.ok()) {
                    picture.kind = PictureReport::Kind::Saved;
                    m_savedAddresses.insert(picture.address);
                    ++m_saved;
                } else {
                    picture.reason = result.message;
                    picture.fileName.clear();
                }
                report(picture);
            },
            m_settings.requests);
}

void DownloadJob::report(PictureReport picture)
{
    if (picture.kind == PictureReport::Kind::Failed)
        ++m_failed;
    if (!picture.pageFailed)
        m_pendingPictures.removeFirst();
    picture.savedCount = m_saved;
    // The window may end the job from here (closing it on the report).
    const QPointer<DownloadJob> self(this);
    emit pictureDone(picture);
    if (self && m_state == State::Downloading)
        m_pace.start();
}

void DownloadJob::complete()
{
    m_pace.stop();
    m_state = State::Finished;

    JobReport result;
    result.albumName = m_collection.albumName();
    result.folderName = m_tempFolder;
    result.saved = m_saved;
    result.failed = m_failed;
    result.collectionNote = m_collectionNote;

    const QString name = result.albumName;
    if (!FileSystem::FolderExists(m_settings.saveFolder) || !FileSystem::FolderExists(temporaryFolderPath())) {
        result.folderGone = true;
        result.folderNote = QStringLiteral("但文件夹 %1 已不存在，图片没能保存下来。").arg(temporaryFolderPath());
    } else if (name == m_tempFolder) {
        // The pictures are already where the album's name says.
    } else if (!IsUsableFolderName(name)) {
        result.folderNote = QStringLiteral("相册名称不能用作文件夹名，图片保留在临时文件夹中。");
    } else if (QString why; FileSystem::MoveFolder(temporaryFolderPath(), folderPath(name), &why)) {
        result.folderName = name;
    } else {
        result.folderNote = QStringLiteral("无法将临时文件夹改名为《%1》，图片保留在临时文件夹中。").arg(name);
    }
    emit finished(result);
}

void DownloadJob::kill()
{
    if (m_state == State::Killed)
        return;
    const bool finished = m_state == State::Finished;
    m_pace.stop();
    delete m_requests;
    m_state = finished ? State::Finished : State::Killed;
}

void DownloadJob::discard()
{
    const bool ownsFolder = m_state != State::Finished;
    kill();
    m_state = State::Killed;
    // Clean-up failures are passed over: the window closes all the same.
    if (ownsFolder && !m_tempFolder.isEmpty() && FileSystem::FolderExists(temporaryFolderPath()))
        FileSystem::DeleteFolder(temporaryFolderPath(), false);
}
