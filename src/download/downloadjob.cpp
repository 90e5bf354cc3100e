#include "downloadjob.h"
#include "recordedalbums.h"

#include "jobrules.h"
#include "jobsettings.h"
#include "jobtally.h"
#include "storage/filesystem.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/picturetransfers.h"

#include <QFile>
#include <QJsonObject>
#include <QLockFile>

#include <utility>

DownloadJob::DownloadJob(const JobSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_collection(CollectionRulesFor(settings))
    , m_folder(settings.saveFolder)
    , m_schedule(settings.maxInFlight)
    , m_placer(m_folder, m_tally, settings.captions)
    , m_requests(new QObject(this))
{
    m_settings.maxInFlight = m_schedule.maxInFlight();
    m_clock.start();
    // Every request tells the job when the site asks it to slow down.
    const QPointer<DownloadJob> self(this);
    const auto callerThrottled = settings.requests.throttled;
    m_settings.requests.throttled = [self, callerThrottled](int retryAfterMs) {
        if (self)
            self->m_schedule.throttled(retryAfterMs, self->m_clock.elapsed());
        if (callerThrottled)
            callerThrottled(retryAfterMs);
    };
    m_pace.setSingleShot(true);
    m_pace.setInterval(settings.pauseMs);
    // The pause is the job's pace; a coarse timer would add up to 5 % to it.
    m_pace.setTimerType(Qt::PreciseTimer);
    connect(&m_pace, &QTimer::timeout, this, &DownloadJob::pump);
    m_pageWait.setSingleShot(true);
    m_pageWait.setInterval(qMax(1, settings.pageLoadTimeoutMs));
    connect(&m_pageWait, &QTimer::timeout, this, &DownloadJob::onPageWaitOver);
}

DownloadJob::~DownloadJob()
{
    // Answers of requests in flight must not reach a job being torn down.
    delete m_requests;
}

bool DownloadJob::takeContinueFolder(JobStartFailure *failure)
{
    const QString name = m_settings.continueFolder;
    if (!m_folder.resume(name)) {
        *failure = {JobStartFailure::Why::NotUnfinished, {}, m_folder.path(name)};
        return false;
    }
    const AlbumRecord &record = m_folder.record();
    // The album at the site as it is now, whatever address it was recorded at.
    if (m_settings.albumAddress.isEmpty())
        m_settings.albumAddress = AlbumAddressAtSite(AlbumAddressElseFirstPage(record.albumAddress(), record.firstPage()),
                                                     m_settings.photoHostBase);
    // The album is taken before its folder is touched: another job at work
    // on it (of any process) keeps it as it is.
    m_lock = m_settings.albumAddress.isEmpty() ? nullptr
                                               : TryLock(AlbumLockPath(m_settings.saveFolder, m_settings.albumAddress));
    if (!m_lock) {
        *failure = {JobStartFailure::Why::AlbumBusy, {}, m_settings.albumAddress};
        m_folder = AlbumFolder(m_settings.saveFolder);
        return false;
    }
    m_settings.mode = DownloadMode::OnlyNew;
    return true;
}

QString DownloadJob::temporaryFolderPath() const
{
    return m_folder.workPath();
}

QStringList DownloadJob::albumAddresses() const
{
    return {m_settings.albumAddress, m_firstPage};
}

bool DownloadJob::isWhole() const
{
    return !m_notWhole && m_tally.allCame() && m_collectionStop.isNone() && m_endedBy == HaltReason::None;
}

bool DownloadJob::start(JobStartFailure *failed)
{
    JobStartFailure unused;
    JobStartFailure &failure = failed ? *failed : unused;
    if (m_state != State::Ready)
        return false;
    if (!m_settings.continueFolder.isEmpty()) {
        if (!takeContinueFolder(&failure))
            return false;
    } else {
        FileError why;
        if (!m_folder.create(&why)) {
            failure = {JobStartFailure::Why::NoFolder, why, {}};
            return false;
        }
    }
    QString why;
    if (!m_staging.create(m_settings.saveFolder, &why)) {
        m_folder.abandon();
        failure = {JobStartFailure::Why::NoFolder, {FileError::Code::Other, {}, {}, why}, {}};
        return false;
    }
    // The folder is Quillmoor's from its first moment: a crash leaves it
    // recognisable, never mistaken for one of the user's.
    m_folder.journal(QJsonObject{{"album", m_settings.albumAddress}, {"state", "inProgress"}});
    m_state = State::Collecting;
    m_pageWait.start();
    return true;
}

bool DownloadJob::takeAlbum(const QString &firstPage)
{
    m_firstPage = firstPage;
    const QString address = AlbumAddressElseFirstPage(m_settings.albumAddress, firstPage);
    // A continued album was taken at the start already.
    if (!m_lock)
        m_lock = TryLock(AlbumLockPath(m_settings.saveFolder, address));
    if (!m_lock) {
        m_busy = true;
        return false;
    }
    m_folder.journal(QJsonObject{{"album", address}, {"firstPage", firstPage}});
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
    if (m_firstPage.isEmpty() && !takeAlbum(page.address)) {
        // Another job has the album: leave it alone.
        finishCollection();
        return {};
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
    if (streams() && m_state == State::Collecting) {
        lookForAlbumFolder();
        appendItems();
        if (!isPaused())
            schedule();
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
        m_folder.journal(QJsonObject{{"title", m_collection.albumName()}});
    const bool leaveAlbum = m_busy || m_gone;
    lookForAlbumFolder();
    if (!leaveAlbum)
        appendItems();
    m_state = State::Downloading;
    emit collectionFinished(collectedCount());
    if (m_state == State::Downloading)
        schedule();
}

void DownloadJob::lookForAlbumFolder()
{
    if (m_albumFolderLooked)
        return;
    // Once, from the first page's title: pictures that start while later
    // pages load must already know what the folder holds.
    m_albumFolderLooked = true;
    if (m_settings.mode == DownloadMode::OnlyNew && !m_busy && !m_gone)
        m_folder.lookFor(m_collection.albumName(), albumAddresses(), m_settings.targetFolder);
}

bool DownloadJob::streams() const
{
    return m_settings.startWhileCollecting;
}

bool DownloadJob::picturesMoving() const
{
    return m_state == State::Downloading || (m_state == State::Collecting && streams());
}

void DownloadJob::appendItems()
{
    // Picture pages become items in collection order, which is the order
    // they are named and reported in.
    m_schedule.appendPages(m_collection.picturePages());
}

void DownloadJob::schedule()
{
    // From the event loop even without a pause, so that no report (and no
    // completion message) comes from inside the call that handed the job
    // its last page.
    m_pace.start();
}

void DownloadJob::pump()
{
    if (!picturesMoving() || isPaused())
        return;
    if (m_schedule.allReported()) {
        if (m_state == State::Downloading)
            complete();
        return;
    }
    m_pace.setInterval(m_settings.pauseMs);
    // Pictures the folder already holds end at once and move the schedule
    // on, so they pass without waiting out the pause.
    const QPointer<DownloadJob> self(this);
    while (self && picturesMoving() && !isPaused()) {
        const PictureSchedule::Next next = m_schedule.next(m_state == State::Collecting, m_clock.elapsed());
        if (next.waitMs > 0)
            return m_pace.start(next.waitMs);
        if (next.index < 0)
            return;
        startItem(next.index);
    }
}

void DownloadJob::startItem(int index)
{
    ScheduledPicture &item = m_schedule.at(index);
    item.report.address = item.page;
    if (!item.picture.isEmpty()) {
        // Its page was read before a pause: only the picture is left to fetch.
        item.report.address = item.picture;
        return download(index);
    }
    if (m_settings.mode == DownloadMode::OnlyNew) {
        // Saved by an earlier run and still there as saved: nothing to ask
        // the site. One missing, emptied or cut is fetched again.
        AlbumRecord::Entry known;
        const AlbumFolder::Held held = m_folder.holds(item.page, &known);
        if (held == AlbumFolder::Held::Yes) {
            item.picture = known.picture;
            item.report.kind = PictureReport::Kind::AlreadyThere;
            item.report.address = known.picture.isEmpty() ? item.page : known.picture;
            item.report.fileName = known.file;
            if (!m_placer.wantsCaptions(known))
                return itemDone(index);
            if (!known.caption.isEmpty()) {
                m_placer.writeCaptionsOfKept(known, m_collection.albumName());
                return itemDone(index);
            }
            // Recorded before captions were kept: its page, once more, says
            // it; the picture itself is not asked for again.
            auto captioned = [this, index, known](const PageResult &page) mutable {
                if (page.ok())
                    known.caption = ResolvePicture(page.text).caption;
                m_placer.writeCaptionsOfKept(known, m_collection.albumName());
                itemDone(index);
            };
            if (m_settings.maxInFlight > 1)
                return PictureTransfers::forSession(m_settings.network)
                        ->fetchPage(QStringLiteral("UTF-8"), item.page, m_requests, captioned, m_settings.requests);
            return fetchPage(m_settings.network, QStringLiteral("UTF-8"), item.page, m_requests, captioned,
                             m_settings.requests);
        }
        item.report.refetched = held;
    }
    auto read = [this, index](const PageResult &page) { onPage(index, page); };
    if (m_settings.maxInFlight > 1)
        return PictureTransfers::forSession(m_settings.network)
                ->fetchPage(QStringLiteral("UTF-8"), item.page, m_requests, read, m_settings.requests);
    fetchPage(m_settings.network, QStringLiteral("UTF-8"), item.page, m_requests, read, m_settings.requests);
}

void DownloadJob::onPage(int index, const PageResult &page)
{
    ScheduledPicture &item = m_schedule.at(index);
    if (IsLoginAnswer(page.httpStatus, false))
        return loginExpired(item.page, index);
    if (!page.ok()) {
        item.report.kind = PictureReport::Kind::Failed;
        item.report.pageFailed = true;
        item.report.why = PictureReport::Why::Request;
        item.report.failure = page.failure;
        return itemDone(index);
    }
    const PictureData data = ResolvePicture(page.text);
    item.picture = data.address;
    item.caption = data.caption;
    if (item.picture.isEmpty()) {
        // A login form where the picture page should be: the session is gone.
        if (HasPasswordField(page.text))
            return loginExpired(item.page, index);
        item.report.kind = PictureReport::Kind::Skipped;
        item.report.noPictureAddress = true;
        return itemDone(index);
    }
    item.report.address = item.picture;
    // Named once, here: the same name is checked and saved.
    item.fileName = PictureName(item.picture);
    if (!IsUsableFolderName(item.fileName)) {
        item.report.kind = PictureReport::Kind::Failed;
        item.report.why = PictureReport::Why::NoFileName;
        return itemDone(index);
    }
    if (m_folder.adoptUnjournalled(item.fileName)) {
        item.report.kind = PictureReport::Kind::AlreadyThere;
        item.report.fileName = item.fileName;
        return itemDone(index);
    }
    if (m_placer.saved(item.picture) || m_picturesOnTheWay.contains(item.picture)) {
        // Decided in its turn: skipped if the first one was saved.
        item.sameAsEarlier = true;
        return itemDone(index);
    }
    if (sendsNothing()) {
        // No new request while paused: the picture waits for resume(), or
        // is not downloaded when the job is stopping.
        m_schedule.putBack(index);
        return stopWhenIdle();
    }
    download(index);
}

void DownloadJob::download(int index)
{
    ScheduledPicture &item = m_schedule.at(index);
    m_picturesOnTheWay.insert(item.picture);
    // Downloaded under a name of its own, outside the album's folder, so a
    // crash never leaves a part file among the pictures; named in its turn.
    const QString staging = m_staging.partFile(index);
    auto saved = [this, index, staging](const DownloadResult &result) {
                ScheduledPicture &item = m_schedule.at(index);
                if (result.ok()) {
                    item.staging = staging;
                    item.size = result.size;
                    item.sha256 = result.sha256;
                    item.date = result.lastModified;
                } else {
                    item.report.kind = PictureReport::Kind::Failed;
                    item.report.why = PictureReport::Why::Request;
                    item.report.failure = result.failure;
                    m_picturesOnTheWay.remove(item.picture);
                }
                itemDone(index);
            };
    if (m_settings.maxInFlight > 1)
        return PictureTransfers::forSession(m_settings.network)
                ->downloadPicture(item.picture, staging, m_requests, saved, m_settings.requests);
    downloadPicture(m_settings.network, item.picture, staging, m_requests, saved, m_settings.requests);
}

void DownloadJob::itemDone(int index)
{
    m_schedule.done(index, m_schedule.at(index).report.kind == PictureReport::Kind::Failed);
    const QPointer<DownloadJob> self(this);
    commitReady();
    if (self && m_stopAfterInFlight)
        return stopWhenIdle();
    if (self && picturesMoving())
        schedule();
}

void DownloadJob::commitReady()
{
    const QPointer<DownloadJob> self(this);
    while (self && picturesMoving() && m_schedule.nextToReportIsDone()) {
        if (!commit(m_schedule.nextToReport()))
            return;
    }
}

bool DownloadJob::commit(ScheduledPicture &item)
{
    PictureReport &report = item.report;
    if (item.sameAsEarlier) {
        item.sameAsEarlier = false;
        if (!m_placer.saved(item.picture)) {
            const int index = m_schedule.indexOf(item);
            // No request while paused: it starts again after resume().
            if (sendsNothing()) {
                m_schedule.putBack(index);
                return false;
            }
            // The first one failed: this one has its own try, as it would
            // have had one after the other.
            m_schedule.resumeWork(index);
            download(index);
            return false;
        }
        report.kind = PictureReport::Kind::Skipped;
        report.why = PictureReport::Why::SavedBefore;
    } else if (!item.staging.isEmpty()) {
        m_picturesOnTheWay.remove(item.picture);
        m_placer.place(item, m_collection.albumName());
    }
    m_tally.count(report);
    // Found by its name, or under another: the journal learns it at the end.
    if (report.kind == PictureReport::Kind::AlreadyThere)
        m_folder.keep({item.page, item.picture, report.fileName, item.size, item.sha256});
    m_schedule.reported();
    report.savedCount = m_tally.saved;
    // The window may end the job from here (closing it on the report).
    const QPointer<DownloadJob> self(this);
    emit pictureDone(report);
    return bool(self);
}

JobReport DownloadJob::counts() const
{
    JobReport result = CountedReport(m_tally, m_endedBy, m_loginPage);
    result.albumName = m_collection.albumName();
    result.folderName = m_folder.workName();
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
    m_pace.stop();
    m_state = State::Finished;

    JobReport result = counts();
    m_staging.drop();
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
    ending.saved = m_tally.saved;
    // Where the album's pictures ended up.
    static_cast<FolderFate &>(result) = m_folder.finish(ending);
    m_lock.reset();
    result.problems = m_folder.problems();
    emit finished(result);
}

void DownloadJob::loginExpired(const QString &answer, int index)
{
    // Not failed, not yet done: handed back for a later try.
    ScheduledPicture &item = m_schedule.at(index);
    m_schedule.putBack(index);
    item.picture.clear();
    item.report = PictureReport();
    // Stopping already: nothing waits for a new login; the picture is not
    // downloaded and the job ends with the others in flight.
    if (m_stopAfterInFlight)
        return stopWhenIdle();
    halt(HaltReason::LoginExpired, answer);
}

void DownloadJob::pause()
{
    if ((m_state != State::Collecting && m_state != State::Downloading) || isPaused() || m_stopAfterInFlight)
        return;
    m_pausedBy = HaltReason::User;
    m_pace.stop();
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
    if (m_state == State::Downloading)
        return schedule();
    if (streams())
        schedule();
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
    m_pace.stop();
    m_pageWait.stop();
    m_heldPage.clear();
    // Each transfer in flight has its own time limits: the wait is bounded.
    stopWhenIdle();
}

void DownloadJob::stopWhenIdle()
{
    if (m_stopAfterInFlight && m_schedule.inFlight() == 0)
        halt(HaltReason::User, QString());
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
    m_pace.stop();
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
    m_pace.stop();
    // Transfers in flight are cancelled: their answers never arrive.
    delete m_requests;
    m_requests = new QObject(this);
    m_schedule.dropInFlight();
    if (m_state == State::Collecting) {
        // Picture pages already begun are settled like those of a download.
        m_tally.notDownloaded = collectedCount() - m_schedule.size();
        m_state = State::Downloading;
        if (!settleForEnd())
            return;
    } else if (!settleForEnd()) {
        return;
    }
    // Ends from the event loop, as a job that ran to its end does.
    schedule();
}

bool DownloadJob::settleForEnd()
{
    // Pictures already downloaded are kept and reported in their turn; the
    // rest were never brought to an end.
    while (m_schedule.hasNextToReport()) {
        ScheduledPicture &item = m_schedule.nextToReport();
        const bool firstFailed = item.sameAsEarlier && !m_placer.saved(item.picture);
        if (item.stage != ScheduledPicture::Stage::Done || firstFailed) {
            ++m_tally.notDownloaded;
            m_schedule.reported();
            continue;
        }
        if (!commit(item))
            return false;
    }
    m_schedule.closeStarts();
    return true;
}

void DownloadJob::kill()
{
    if (m_state == State::Killed)
        return;
    const bool finished = m_state == State::Finished;
    m_pace.stop();
    m_pageWait.stop();
    delete m_requests;
    m_state = finished ? State::Finished : State::Killed;
}

void DownloadJob::discard()
{
    const bool ownsFolder = m_state != State::Finished;
    kill();
    m_state = State::Killed;
    m_staging.drop();
    if (ownsFolder)
        m_folder.discard();
    m_lock.reset();
}
