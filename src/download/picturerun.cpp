#include "picturerun.h"

#include "albumfolder.h"
#include "jobrules.h"
#include "stagingfolder.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/picturetransfers.h"

#include <QFile>
#include <QMap>

PictureRun::PictureRun(const JobSettings &settings, AlbumFolder &folder, const StagingFolder &staging,
                       QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_requestOptions(settings.requests)
    , m_folder(folder)
    , m_staging(staging)
    , m_schedule(settings.maxInFlight, settings.maxInFlight > 1)
    , m_placer(folder, m_tally, settings.captions, *m_claims)
    , m_requests(new QObject(this))
{
    m_clock.start();
    // Every request tells the run when the site asks it to slow down.
    const QPointer<PictureRun> self(this);
    const auto callerThrottled = settings.requests.throttled;
    m_requestOptions.throttled = [self, callerThrottled](int retryAfterMs) {
        if (self) {
            self->m_schedule.throttled(retryAfterMs, self->m_clock.elapsed());
            if (self->m_lane) {
                // Nothing new until the site's wait is over, nor what waits
                // in the lane: it starts again when the schedule lets it.
                self->takeBackWaiting();
                self->updateLane();
                self->startSoon();
            }
        }
        if (callerThrottled)
            callerThrottled(retryAfterMs);
    };
    m_pace.setSingleShot(true);
    m_pace.setInterval(settings.pauseMs);
    // The pause is the job's pace; a coarse timer would add up to 5 % to it.
    m_pace.setTimerType(Qt::PreciseTimer);
    connect(&m_pace, &QTimer::timeout, this, &PictureRun::pump);
}

PictureRun::~PictureRun()
{
    // Answers of requests in flight must not reach a run being torn down.
    delete m_requests;
}

QStringList PictureRun::picturesOnTheirWay() const
{
    // In the album's order: a picture fetched with its page is on its way
    // before its item knows its address.
    QMap<int, QString> claimed;
    const QHash<QString, int> holders = m_claims->holders();
    for (auto it = holders.cbegin(); it != holders.cend(); ++it)
        claimed.insert(it.value(), it.key());
    QStringList out;
    for (int index = m_schedule.nextToReportIndex(); index < m_schedule.size(); ++index) {
        const ScheduledPicture &item = m_schedule.at(index);
        if (item.stage == ScheduledPicture::Stage::Queued)
            continue;
        if (!item.picture.isEmpty())
            out << item.picture;
        else if (const auto it = claimed.constFind(index); it != claimed.cend())
            out << *it;
    }
    return out;
}

int PictureRun::inFlight() const
{
    return m_schedule.inFlight() - (m_lane ? m_lane->waiting() : 0);
}

int PictureRun::transferring() const
{
    return m_lane ? m_lane->running() : inFlight();
}

void PictureRun::updateLane()
{
    if (m_lane)
        m_lane->setCap(m_schedule.wireLimit(m_collecting));
}

void PictureRun::takeBackWaiting()
{
    if (!m_lane)
        return;
    for (const int index : m_lane->takeBackWaiting())
        m_schedule.putBack(index);
}

void PictureRun::go(bool collecting)
{
    m_moving = true;
    m_collecting = collecting;
    updateLane();
    startSoon();
}

void PictureRun::hold()
{
    m_held = true;
    updateClaims();
    m_pace.stop();
    takeBackWaiting();
}

void PictureRun::release()
{
    m_held = false;
    updateClaims();
    if (m_lane)
        m_lane->goOn();
    if (m_moving)
        startSoon();
}

void PictureRun::finishInFlight()
{
    m_finishing = true;
    updateClaims();
    m_pace.stop();
    takeBackWaiting();
    // Each transfer in flight has its own time limits: the wait is bounded.
    checkIdle();
}

void PictureRun::checkIdle()
{
    if (m_finishing && m_schedule.inFlight() == 0)
        emit idle();
}

void PictureRun::cancel()
{
    m_finishing = false;
    m_held = false;
    updateClaims();
    m_pace.stop();
    takeBackWaiting();
    delete m_requests;
    m_requests = new QObject(this);
    m_schedule.dropInFlight();
}

void PictureRun::stop()
{
    m_moving = false;
    m_pace.stop();
    takeBackWaiting();
    delete m_requests;
}

void PictureRun::startSoon()
{
    // From the event loop even without a pause, so that no report (and no
    // completion message) comes from inside the call that handed the job
    // its last page.
    m_pace.start();
}

void PictureRun::pump()
{
    if (!moving())
        return;
    if (m_schedule.allReported()) {
        if (!m_collecting)
            emit allReported();
        return;
    }
    m_pace.setInterval(m_settings.pauseMs);
    // Pictures the folder already holds end at once and move the schedule
    // on, so they pass without waiting out the pause.
    const QPointer<PictureRun> self(this);
    while (self && moving()) {
        const PictureSchedule::Next next = m_schedule.next(m_collecting, m_clock.elapsed());
        if (next.waitMs > 0)
            return m_pace.start(next.waitMs);
        if (next.index < 0)
            return;
        startItem(next.index);
    }
}

void PictureRun::startItem(int index)
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
        if (held == AlbumFolder::Held::Yes)
            return keepKnown(index, known);
        item.report.refetched = held;
    }
    if (m_settings.maxInFlight > 1)
        return readPageAndPicture(index);
    readPage(item.page,
             [this, index](const PageResult &page) { onPage(index, ReadPicturePage(page), page, std::nullopt); });
}

void PictureRun::readPageAndPicture(int index)
{
    // The page is read where it arrives and its picture fetched from there
    // at once, when the claims let it: no trip through this thread between
    // the two. What that means for the album is decided here, in onPage().
    PictureTransfers *transfers = PictureTransfers::forSession(m_settings.network);
    if (!m_lane)
        m_lane = transfers->lane(m_schedule.wireLimit(m_collecting));
    const auto reading = std::make_shared<PicturePageReading>();
    auto pictureOf = [reading, claims = m_claims, lane = std::weak_ptr<TransferLane>(m_lane),
                      index](const PageResult &page) {
        *reading = ReadPicturePage(page);
        // The next pages would meet the login too: none begins before the
        // job has heard of this one.
        if (reading->outcome == PicturePageReading::Outcome::Login)
            if (const std::shared_ptr<TransferLane> halted = lane.lock())
                halted->halt();
        const bool fetch = reading->outcome == PicturePageReading::Outcome::Picture
            && claims->claim(reading->picture.address, index);
        return fetch ? reading->picture.address : QString();
    };
    transfers->fetchPageAndPicture(
            m_schedule.at(index).page, m_staging.partFile(index), std::move(pictureOf), m_requests,
            [this, index, reading](const PageResult &page, const std::optional<DownloadResult> &fetched) {
                onPage(index, *reading, page, fetched);
            },
            m_requestOptions, m_lane, index);
}

void PictureRun::readPage(const QString &page, PageCallback done)
{
    // Fast mode's requests and file work run on a transfer thread of their
    // own, under the same rules; what they mean for the album is decided
    // here, on the job's thread.
    if (m_settings.maxInFlight > 1)
        return PictureTransfers::forSession(m_settings.network)
            ->fetchPage(QStringLiteral("UTF-8"), page, m_requests, std::move(done), m_requestOptions);
    fetchPage(m_settings.network, QStringLiteral("UTF-8"), page, m_requests, std::move(done), m_requestOptions);
}

void PictureRun::fetchPicture(const QString &picture, const QString &file, DownloadCallback done)
{
    if (m_settings.maxInFlight > 1)
        return PictureTransfers::forSession(m_settings.network)
            ->downloadPicture(picture, file, m_requests, std::move(done), m_requestOptions);
    downloadPicture(m_settings.network, picture, file, m_requests, std::move(done), m_requestOptions);
}

void PictureRun::keepKnown(int index, AlbumRecord::Entry known)
{
    ScheduledPicture &item = m_schedule.at(index);
    item.picture = known.picture;
    item.report.kind = PictureReport::Kind::AlreadyThere;
    item.report.address = known.picture.isEmpty() ? item.page : known.picture;
    item.report.fileName = known.file;
    if (!m_placer.wantsCaptions(known))
        return itemDone(index);
    if (!known.caption.isEmpty()) {
        m_placer.writeCaptionsOfKept(known, m_albumName);
        return itemDone(index);
    }
    // Recorded before captions were kept: its page, once more, says it; the
    // picture itself is not asked for again.
    readPage(item.page, [this, index, known](const PageResult &page) mutable {
        if (page.ok())
            known.caption = ResolvePicture(page.text).caption;
        m_placer.writeCaptionsOfKept(known, m_albumName);
        itemDone(index);
    });
}

void PictureRun::onPage(int index, const PicturePageReading &reading, const PageResult &page,
                        std::optional<DownloadResult> fetched)
{
    ScheduledPicture &item = m_schedule.at(index);
    // A picture fetched with its page that the album does not take after all.
    const auto dropFetched = [&] {
        if (!fetched)
            return;
        if (fetched->ok())
            QFile::remove(m_staging.partFile(index));
        m_claims->release(reading.picture.address, index);
        fetched.reset();
    };
    switch (reading.outcome) {
    case PicturePageReading::Outcome::Login:
        dropFetched();
        return loginExpired(index);
    case PicturePageReading::Outcome::Failed:
        dropFetched();
        item.report.kind = PictureReport::Kind::Failed;
        item.report.pageFailed = true;
        item.report.why = PictureReport::Why::Request;
        item.report.failure = page.failure;
        return itemDone(index);
    case PicturePageReading::Outcome::NoPicture:
        dropFetched();
        item.report.kind = PictureReport::Kind::Skipped;
        item.report.noPictureAddress = true;
        return itemDone(index);
    case PicturePageReading::Outcome::NoFileName:
    case PicturePageReading::Outcome::Picture:
        break;
    }
    item.picture = reading.picture.address;
    item.caption = reading.picture.caption;
    item.report.address = item.picture;
    // Named once, here: the same name is checked and saved.
    item.fileName = reading.fileName;
    if (reading.outcome == PicturePageReading::Outcome::NoFileName) {
        dropFetched();
        item.report.kind = PictureReport::Kind::Failed;
        item.report.why = PictureReport::Why::NoFileName;
        return itemDone(index);
    }
    if (m_folder.adoptUnjournalled(item.fileName)) {
        dropFetched();
        item.report.kind = PictureReport::Kind::AlreadyThere;
        item.report.fileName = item.fileName;
        return itemDone(index);
    }
    if (m_placer.saved(item.picture) || m_claims->heldByAnother(item.picture, index)) {
        dropFetched();
        // Decided in its turn: skipped if the first one was saved.
        item.sameAsEarlier = true;
        return itemDone(index);
    }
    // A picture already here is taken even while held: it was in flight.
    if (fetched && (fetched->ok() || !sendsNothing()))
        return pictureArrived(index, *fetched);
    dropFetched();
    if (sendsNothing()) {
        // No new request while held: the picture waits for release(), or is
        // not downloaded when the job is stopping.
        m_schedule.putBack(index);
        return checkIdle();
    }
    download(index);
}

void PictureRun::download(int index)
{
    ScheduledPicture &item = m_schedule.at(index);
    m_claims->take(item.picture, index);
    // Downloaded under a name of its own, outside the album's folder, so a
    // crash never leaves a part file among the pictures; named in its turn.
    fetchPicture(item.picture, m_staging.partFile(index),
                 [this, index](const DownloadResult &result) { pictureArrived(index, result); });
}

void PictureRun::pictureArrived(int index, const DownloadResult &result)
{
    ScheduledPicture &item = m_schedule.at(index);
    if (result.ok()) {
        item.staging = m_staging.partFile(index);
        item.size = result.size;
        item.sha256 = result.sha256;
        item.date = result.lastModified;
    } else {
        item.report.kind = PictureReport::Kind::Failed;
        item.report.why = PictureReport::Why::Request;
        item.report.failure = result.failure;
        m_claims->release(item.picture, index);
    }
    itemDone(index);
}

void PictureRun::itemDone(int index)
{
    m_schedule.done(index, m_schedule.at(index).report.kind == PictureReport::Kind::Failed);
    updateLane();
    const QPointer<PictureRun> self(this);
    commitReady();
    if (self && m_finishing)
        return checkIdle();
    if (self && moving())
        startSoon();
}

void PictureRun::commitReady()
{
    const QPointer<PictureRun> self(this);
    while (self && m_moving && m_schedule.nextToReportIsDone()) {
        if (!commit(m_schedule.nextToReport()))
            return;
    }
}

bool PictureRun::commit(ScheduledPicture &item)
{
    PictureReport &report = item.report;
    if (item.sameAsEarlier && !m_placer.saved(item.picture) && !takeFromLater(item))
        return false;
    if (item.sameAsEarlier) {
        item.sameAsEarlier = false;
        if (!m_placer.saved(item.picture)) {
            const int index = m_schedule.nextToReportIndex();
            // No request while held: it starts again after release().
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
        // Saved, the placer marks it in the claims: it is never fetched again.
        m_placer.place(item, m_albumName);
        m_claims->release(item.picture, m_schedule.nextToReportIndex());
    }
    m_tally.count(report);
    // Found by its name, or under another: the journal learns it at the end.
    if (report.kind == PictureReport::Kind::AlreadyThere)
        m_folder.keep({item.page, item.picture, report.fileName, item.size, item.sha256});
    report.savedCount = m_tally.saved;
    // The item is gone once reported: its report is sent from here.
    const PictureReport done = std::move(report);
    m_schedule.reported();
    // The window may end the job from here (closing it on the report).
    const QPointer<PictureRun> self(this);
    emit pictureDone(done);
    return self && m_requests;
}

bool PictureRun::takeFromLater(ScheduledPicture &item)
{
    // A later link to the same picture whose page answered first fetched
    // it: this one, the first in the album, is saved with what that one
    // fetched, once it is in, as if it had fetched it itself.
    const int index = m_schedule.nextToReportIndex();
    const int later = m_claims->holder(item.picture);
    if (later <= index || later >= m_schedule.size())
        return true;
    ScheduledPicture &other = m_schedule.at(later);
    if (other.stage != ScheduledPicture::Stage::Done)
        return false; // tried again as that one ends
    if (!other.staging.isEmpty()) {
        item.staging = std::exchange(other.staging, QString());
        item.size = other.size;
        item.sha256 = other.sha256;
        item.date = other.date;
        item.sameAsEarlier = false;
        other.sameAsEarlier = true;
        m_claims->take(item.picture, index);
    }
    return true;
}

bool PictureRun::settle(int neverBegun)
{
    m_tally.notDownloaded += neverBegun;
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

void PictureRun::loginExpired(int index)
{
    // Not failed, not yet done: handed back for a later try.
    ScheduledPicture &item = m_schedule.at(index);
    const QString page = item.page;
    m_schedule.putBack(index);
    item.picture.clear();
    item.report = PictureReport();
    // Stopping already: nothing waits for a new login; the picture is not
    // downloaded and the job ends with the others in flight.
    if (m_finishing)
        return checkIdle();
    emit loginMet(page);
}
