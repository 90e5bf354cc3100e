#include "downloadjob.h"
#include "recordedalbums.h"

#include "jobrules.h"
#include "jobsettings.h"

#include <QJsonObject>

#include <utility>

DownloadJob::DownloadJob(const JobSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_collection(CollectionRulesFor(settings))
    , m_folders(settings.saveFolder)
    , m_run(m_settings, m_folders.album(), m_folders.staging())
{
    m_settings.maxInFlight = m_run.maxInFlight();
    connect(&m_run, &PictureRun::pictureDone, this, &DownloadJob::pictureDone);
    connect(&m_run, &PictureRun::loginMet, this,
            [this](const QString &answer) { halt(HaltReason::LoginExpired, answer); });
    connect(&m_run, &PictureRun::idle, this, [this] { halt(HaltReason::User, QString()); });
    connect(&m_run, &PictureRun::allReported, this, &DownloadJob::complete);
    m_pageWait.setSingleShot(true);
    m_pageWait.setInterval(qMax(1, settings.pageLoadTimeoutMs));
    connect(&m_pageWait, &QTimer::timeout, this, &DownloadJob::onPageWaitOver);
}

DownloadJob::~DownloadJob() = default;

QString DownloadJob::temporaryFolderPath() const
{
    return m_folders.album().workPath();
}

bool DownloadJob::isWhole() const
{
    return !m_notWhole && m_run.tally().allCame() && m_collectionStop.isNone() && m_endedBy == HaltReason::None;
}

bool DownloadJob::start(JobStartFailure *failed)
{
    JobStartFailure unused;
    if (m_state != State::Ready || !m_folders.open(m_settings, failed ? *failed : unused))
        return false;
    m_state = State::Collecting;
    m_pageWait.start();
    return true;
}

QString DownloadJob::pageLoaded(const PageSnapshot &page)
{
    // Stopping: no later album page is read, and none is asked for.
    if (m_state != State::Collecting || m_stopAfterInFlight)
        return {};
    // The blank page a pane shows before the album (at start-up or after an
    // earlier job) may complete late; it is no page of the album.
    if (page.address.startsWith(QLatin1String("about:")))
        return {};
    m_pageWait.stop();

    if (m_firstPage.isEmpty() && !m_settings.targetFolder.isEmpty()
        && IsAlbumGonePage(page, m_settings.photoHostBase)) {
        // The folder is left as it is: nothing of the album came.
        m_gone = page;
        finishCollection();
        return {};
    }
    if (m_firstPage.isEmpty()) {
        m_firstPage = page.address;
        // Another job has the album: leave it alone.
        m_busy = !m_folders.claim(m_settings.albumAddress, m_firstPage);
        if (m_busy) {
            finishCollection();
            return {};
        }
    }
    const int pagesBefore = m_collection.pagesRead();
    const AlbumCollection::Step step = m_collection.addPage(page);
    if (step.outcome == AlbumCollection::Outcome::LoginExpired) {
        halt(HaltReason::LoginExpired, step.nextAddress);
        return {};
    }
    // A page that could not be read collected nothing.
    if (m_collection.pagesRead() > pagesBefore || step.outcome == AlbumCollection::Outcome::LastPage)
        emit pageCollected(collectedCount());
    m_run.setAlbumName(m_collection.albumName());
    if (m_settings.startWhileCollecting && m_state == State::Collecting) {
        lookForAlbumFolder();
        m_run.append(m_collection.picturePages());
        m_run.go(true);
    }
    if (step.outcome == AlbumCollection::Outcome::NextPage) {
        m_expectedPage = step.nextAddress;
        // Paused meanwhile: the pane loads nothing more until resume().
        if (isPaused()) {
            m_heldPage = step.nextAddress;
            return {};
        }
        m_pageWait.start();
        return step.nextAddress;
    }

    if (step.outcome == AlbumCollection::Outcome::StoppedEarly) {
        m_collectionStop = step.stop;
        emit collectionStopped(step.stop);
    }
    finishCollection();
    return {};
}

void DownloadJob::onPageWaitOver()
{
    if (m_state != State::Collecting || isPaused())
        return;
    m_collectionStop = {CollectionStop::Why::PageTimedOut, m_collection.pagesRead() + 1, m_expectedPage, {},
                        (m_settings.pageLoadTimeoutMs + 999) / 1000};
    const QPointer<DownloadJob> self(this);
    emit collectionStopped(m_collectionStop);
    if (self && m_state == State::Collecting)
        finishCollection();
}

void DownloadJob::finishCollection()
{
    // The title, so that an interrupted folder can be offered by its name.
    if (!m_busy && !m_collection.albumName().isEmpty())
        m_folders.album().journal(QJsonObject{{"title", m_collection.albumName()}});
    const bool leaveAlbum = m_busy || m_gone;
    lookForAlbumFolder();
    // Picture pages become items in collection order, which is the order
    // they are named and reported in.
    if (!leaveAlbum)
        m_run.append(m_collection.picturePages());
    m_state = State::Downloading;
    emit collectionFinished(collectedCount());
    if (m_state == State::Downloading)
        m_run.go(false);
}

void DownloadJob::lookForAlbumFolder()
{
    if (m_albumFolderLooked)
        return;
    // Once, from the first page's title: pictures that start while later
    // pages load must already know what the folder holds.
    m_albumFolderLooked = true;
    if (m_settings.mode == DownloadMode::OnlyNew && !m_busy && !m_gone)
        m_folders.album().lookFor(m_collection.albumName(), {m_settings.albumAddress, m_firstPage}, m_settings.targetFolder);
}

JobReport DownloadJob::counts() const
{
    JobReport result = CountedReport(m_run.tally(), m_endedBy, m_loginPage);
    result.albumName = m_collection.albumName();
    result.folderName = m_folders.album().workName();
    result.mode = m_settings.mode;
    result.collectionStop = m_collectionStop;
    result.whole = isWhole();
    result.busy = m_busy;
    if (m_gone)
        MarkAlbumGone(result, *m_gone);
    return result;
}

void DownloadJob::complete()
{
    m_run.stop();
    m_state = State::Finished;

    JobReport result = counts();
    AlbumEnding ending;
    ending.title = result.albumName;
    ending.albumAddress = AlbumAddressElseFirstPage(m_settings.albumAddress, m_firstPage);
    ending.firstPage = m_firstPage;
    ending.mode = m_settings.mode;
    ending.whole = result.whole;
    // A job the user stopped, or that the site's login cut off, may be gone
    // on with later.
    ending.stopped = m_endedBy != HaltReason::None;
    ending.busy = m_busy;
    ending.gone = m_gone.has_value();
    ending.updateFolder = m_settings.targetFolder;
    ending.saved = m_run.tally().saved;
    // Where the album's pictures ended up.
    static_cast<FolderFate &>(result) = m_folders.finish(ending);
    result.problems = m_folders.album().problems();
    emit finished(result);
}

void DownloadJob::pause()
{
    if ((m_state != State::Collecting && m_state != State::Downloading) || isPaused() || m_stopAfterInFlight)
        return;
    m_pausedBy = HaltReason::User;
    m_run.hold();
    emit paused(HaltReason::User, QString());
}

void DownloadJob::resume()
{
    if ((m_state != State::Collecting && m_state != State::Downloading) || !isPaused() || m_stopAfterInFlight)
        return;
    m_pausedBy = HaltReason::None;
    m_loginPage.clear();
    const QPointer<DownloadJob> self(this);
    emit resumed();
    if (!self || isPaused())
        return;
    m_run.release();
    if (m_state == State::Downloading)
        return;
    m_pageWait.start();
    if (!m_heldPage.isEmpty())
        emit pageWanted(std::exchange(m_heldPage, QString()));
}

void DownloadJob::stop()
{
    if (m_state == State::Collecting || m_state == State::Downloading)
        halt(HaltReason::User, QString());
}

void DownloadJob::stopAfterInFlight()
{
    if ((m_state != State::Collecting && m_state != State::Downloading) || m_stopAfterInFlight)
        return;
    m_stopAfterInFlight = true;
    m_pageWait.stop();
    m_heldPage.clear();
    m_run.finishInFlight();
}

void DownloadJob::halt(HaltReason reason, const QString &loginPage)
{
    // Only a front end with a pane to log in again with waits for a new login.
    if (reason == HaltReason::LoginExpired && m_settings.pauseOnExpiredLogin)
        return pauseForLogin(loginPage);
    endEarly(reason, loginPage);
}

void DownloadJob::pauseForLogin(const QString &loginPage)
{
    m_run.hold();
    m_pageWait.stop();
    if (m_state == State::Collecting)
        m_heldPage = m_expectedPage;
    // Further pictures in flight may meet the login too: one pause.
    if (m_pausedBy == HaltReason::LoginExpired)
        return;
    m_pausedBy = HaltReason::LoginExpired;
    m_loginPage = loginPage;
    emit paused(HaltReason::LoginExpired, loginPage);
}

void DownloadJob::endEarly(HaltReason reason, const QString &loginPage)
{
    m_endedBy = reason;
    m_loginPage = loginPage;
    m_pausedBy = HaltReason::None;
    m_stopAfterInFlight = false;
    m_pageWait.stop();
    // Transfers in flight are cancelled: their answers never arrive.
    m_run.cancel();
    // Picture pages already begun are settled like those of a download.
    const int neverBegun = m_state == State::Collecting ? collectedCount() - m_run.schedule().size() : 0;
    m_state = State::Downloading;
    // Ends from the event loop, as a job that ran to its end does.
    if (m_run.settle(neverBegun))
        m_run.go(false);
}

void DownloadJob::kill()
{
    if (m_state == State::Killed)
        return;
    const bool finished = m_state == State::Finished;
    m_run.stop();
    m_pageWait.stop();
    m_state = finished ? State::Finished : State::Killed;
}

void DownloadJob::discard()
{
    const bool ownsFolder = m_state != State::Finished;
    kill();
    m_state = State::Killed;
    m_folders.discard(ownsFolder);
}
