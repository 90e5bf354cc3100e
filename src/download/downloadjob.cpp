#include "downloadjob.h"
#include "captionwriter.h"
#include "recordedalbums.h"

#include "jobrules.h"
#include "metadata/picturemetadata.h"
#include "storage/filesystem.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/textutil.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <limits>
#include <utility>

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
    , m_limit(qBound(1, settings.maxInFlight, JobSettings::MaxInFlight))
    , m_requests(new QObject(this))
{
    m_settings.maxInFlight = m_limit;
    // Every request tells the job when the site asks it to slow down.
    const QPointer<DownloadJob> self(this);
    const auto callerThrottled = settings.requests.throttled;
    m_settings.requests.throttled = [self, callerThrottled](int retryAfterMs) {
        if (self)
            self->onThrottled(retryAfterMs);
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
    dropStaging();
}

void DownloadJob::dropStaging()
{
    if (m_stagingFolder.isEmpty())
        return;
    m_stagingLock.reset();
    RemoveStagingFolder(std::exchange(m_stagingFolder, QString()));
}

bool DownloadJob::recordNamesFile(const QString &file) const
{
    for (const AlbumRecord::Entry &entry : m_record.entries())
        if (entry.file == file)
            return true;
    return false;
}

QString DownloadJob::knownFolderPath() const
{
    return m_continuing ? temporaryFolderPath() : targetFolderPath();
}

bool DownloadJob::takeContinueFolder(JobStartFailure *failure)
{
    const QString name = m_settings.continueFolder;
    const AlbumRecord record = AlbumRecord::load(folderPath(name));
    const bool resumable = record.state() == AlbumRecord::State::InProgress
        || record.state() == AlbumRecord::State::Stopped;
    // Only a folder of Quillmoor's, left by a download of an album that did
    // not reach its end, is gone on with.
    if (!IsUsableFolderName(name) || !FileSystem::FolderExists(folderPath(name)) || !record.exists()
        || record.isLegacy() || !resumable) {
        *failure = {JobStartFailure::Why::NotUnfinished, {}, folderPath(name)};
        return false;
    }
    if (m_settings.albumAddress.isEmpty())
        m_settings.albumAddress = record.albumAddress().isEmpty() ? record.firstPage() : record.albumAddress();
    // The album is taken before its folder is touched: another job at work
    // on it (of any process) keeps it as it is.
    m_lock = std::make_unique<QLockFile>(AlbumLockPath(m_settings.saveFolder, m_settings.albumAddress));
    m_lock->setStaleLockTime(0);
    if (m_settings.albumAddress.isEmpty() || !m_lock->tryLock(0)) {
        m_lock.reset();
        *failure = {JobStartFailure::Why::AlbumBusy, {}, m_settings.albumAddress};
        return false;
    }
    m_tempFolder = name;
    m_continuing = true;
    m_settings.mode = DownloadMode::OnlyNew;
    m_record = record;
    m_earlierRecord = record;
    return true;
}

QString DownloadJob::folderPath(const QString &name) const
{
    return m_settings.saveFolder + QLatin1Char('/') + name;
}

QString DownloadJob::temporaryFolderPath() const
{
    return m_tempFolder.isEmpty() ? QString() : folderPath(m_tempFolder);
}

QString DownloadJob::targetFolderPath() const
{
    return m_target.isEmpty() ? QString() : folderPath(m_target);
}

QStringList DownloadJob::albumAddresses() const
{
    return {m_settings.albumAddress, m_firstPage};
}

bool DownloadJob::isWhole() const
{
    return !m_notWhole && m_failed == 0 && m_collectionStop.isNone() && m_endedBy == HaltReason::None
        && m_notDownloaded == 0;
}

void DownloadJob::noteProblem(FolderProblem::Step step, const QString &path, const FileError &reason)
{
    m_problems.append({step, path, reason});
}

QStringList DownloadJob::pendingPages() const
{
    QStringList out;
    for (qsizetype i = m_nextToCommit; i < m_items.size(); ++i)
        out << m_items.at(i).page;
    return out;
}

QStringList DownloadJob::pendingPictures() const
{
    QStringList out;
    for (qsizetype i = m_nextToCommit; i < m_items.size(); ++i) {
        if (!m_items.at(i).picture.isEmpty() && m_items.at(i).stage != Item::Stage::Queued)
            out << m_items.at(i).picture;
    }
    return out;
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
        m_tempFolder = FileSystem::CreateNumberedFolder(m_settings.saveFolder, TempFolderBaseName,
                                                        MaxTempFolderNumber, &why);
        if (m_tempFolder.isEmpty()) {
            failure = {JobStartFailure::Why::NoFolder, why, {}};
            return false;
        }
    }
    QString why;
    m_stagingFolder = CreateStagingFolder(m_settings.saveFolder, &m_stagingLock, &why);
    if (m_stagingFolder.isEmpty()) {
        if (!m_continuing)
            QDir().rmdir(temporaryFolderPath());
        failure = {JobStartFailure::Why::NoFolder, {FileError::Code::Other, {}, {}, why}, {}};
        return false;
    }
    // The folder is Quillmoor's from its first moment: a crash leaves it
    // recognisable, never mistaken for one of the user's.
    FileError recordError;
    if (!AlbumRecord::appendLine(temporaryFolderPath(),
                                 QJsonObject{{"album", m_settings.albumAddress}, {"state", "inProgress"}},
                                 &recordError)) {
        m_recordFailed = true;
        noteProblem(FolderProblem::Step::SaveRecord, temporaryFolderPath(), recordError);
    }
    m_state = State::Collecting;
    m_pageWait.start();
    return true;
}

bool DownloadJob::takeAlbum(const QString &firstPage)
{
    m_firstPage = firstPage;
    const QString address = m_settings.albumAddress.isEmpty() ? firstPage : m_settings.albumAddress;
    // A continued album was taken at the start already.
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(AlbumLockPath(m_settings.saveFolder, address));
        // A lock left by a process that died is taken over; a live one is
        // not, however old.
        m_lock->setStaleLockTime(0);
    }
    if (!m_lock->isLocked() && !m_lock->tryLock(0)) {
        m_lock.reset();
        m_busy = true;
        return false;
    }
    FileError error;
    if (!m_recordFailed
        && !AlbumRecord::appendLine(temporaryFolderPath(), QJsonObject{{"album", address}, {"firstPage", firstPage}},
                                    &error)) {
        m_recordFailed = true;
        noteProblem(FolderProblem::Step::SaveRecord, temporaryFolderPath(), error);
    }
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
    FileError error;
    if (!m_busy && !m_recordFailed && !m_collection.albumName().isEmpty()
        && !AlbumRecord::appendLine(temporaryFolderPath(), QJsonObject{{"title", m_collection.albumName()}}, &error)) {
        m_recordFailed = true;
        noteProblem(FolderProblem::Step::SaveRecord, temporaryFolderPath(), error);
    }
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
    if (m_settings.mode == DownloadMode::OnlyNew && !m_busy && !m_gone && !m_continuing) {
        // The folder whose record names this album, wherever it is; else
        // one of the album's name that no album claims yet is adopted.
        const QString name = AlbumFolderName(m_collection.albumName());
        const QString usable = IsUsableFolderName(name) && name != m_tempFolder ? name : QString();
        // An update names the folder; it is taken only while its record
        // still names the album, else the album is looked for as usual.
        const QString preferred = m_settings.targetFolder.isEmpty() ? usable : m_settings.targetFolder;
        m_target = FindAlbumFolder(m_settings.saveFolder, albumAddresses(), preferred, m_tempFolder);
        if (m_target.isEmpty() && !usable.isEmpty() && FileSystem::FolderExists(folderPath(usable))) {
            const AlbumRecord there = AlbumRecord::load(folderPath(usable));
            if (!there.exists() || there.isLegacy())
                m_target = usable;
        }
        if (!m_target.isEmpty())
            m_record = AlbumRecord::load(targetFolderPath());
    }
    m_hadRecord = !m_record.entries().isEmpty();
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
    const QStringList &pages = m_collection.picturePages();
    for (qsizetype i = m_items.size(); i < pages.size(); ++i) {
        Item item;
        item.page = pages.at(i);
        m_items.append(item);
    }
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
    if (m_nextToCommit == m_items.size()) {
        if (m_state == State::Downloading)
            complete();
        return;
    }
    if (!m_throttledUntil.hasExpired()) {
        m_pace.start(int(qMax<qint64>(1, m_throttledUntil.remainingTime())));
        return;
    }
    m_pace.setInterval(m_settings.pauseMs);
    // While album pages are read, one request of the limit is theirs.
    const int limit = m_state == State::Collecting ? qMax(1, m_limit - 1) : m_limit;
    // Look ahead a little only: downloaded pictures wait on disk for their
    // turn to be named. Pictures the folder already holds end at once and
    // move the window on, so they pass without waiting out the pause.
    const QPointer<DownloadJob> self(this);
    while (self && picturesMoving() && !isPaused() && m_working < limit
           && m_nextToStart < m_items.size() && m_nextToStart < m_nextToCommit + 4 * m_limit) {
        // An item handed back by a pause is started again in its turn.
        const int index = m_nextToStart++;
        if (m_items.at(index).stage == Item::Stage::Queued)
            startItem(index);
    }
}

void DownloadJob::startItem(int index)
{
    Item &item = m_items[index];
    item.stage = Item::Stage::Working;
    item.report.address = item.page;
    ++m_working;
    if (!item.picture.isEmpty()) {
        // Its page was read before a pause: only the picture is left to fetch.
        item.report.address = item.picture;
        return download(index);
    }
    if (m_settings.mode == DownloadMode::OnlyNew) {
        // Saved by an earlier run and still there: nothing to ask the site.
        const AlbumRecord::Entry *known = m_record.forPage(item.page);
        if (known && QFile::exists(knownFolderPath() + QLatin1Char('/') + known->file)) {
            item.picture = known->picture;
            item.report.kind = PictureReport::Kind::AlreadyThere;
            item.report.address = known->picture.isEmpty() ? item.page : known->picture;
            item.report.fileName = known->file;
            return itemDone(index);
        }
    }
    fetchPage(m_settings.network, QStringLiteral("UTF-8"), item.page, m_requests,
              [this, index](const PageResult &page) { onPage(index, page); }, m_settings.requests);
}

void DownloadJob::onPage(int index, const PageResult &page)
{
    Item &item = m_items[index];
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
    const QString name = PictureFileName(GetPicName(item.picture));
    if (!IsUsableFolderName(name)) {
        item.report.kind = PictureReport::Kind::Failed;
        item.report.why = PictureReport::Why::NoFileName;
        return itemDone(index);
    }
    if (m_settings.mode == DownloadMode::OnlyNew && !m_hadRecord && !m_target.isEmpty()
        && QFile::exists(targetFolderPath() + QLatin1Char('/') + FitFileName(name))) {
        // Without a record of the folder, a file of the picture's name stands for it.
        item.report.kind = PictureReport::Kind::AlreadyThere;
        item.report.fileName = FitFileName(name);
        return itemDone(index);
    }
    if (m_continuing && !m_adoptedUnrecorded && !recordNamesFile(FitFileName(name))
        && QFile::exists(temporaryFolderPath() + QLatin1Char('/') + FitFileName(name))) {
        // A kill can fall between a picture taking its name in this folder and
        // its journal line: that one picture is whole (only whole pictures are
        // renamed in) and stands for itself, so it is not fetched twice.
        m_adoptedUnrecorded = true;
        item.report.kind = PictureReport::Kind::AlreadyThere;
        item.report.fileName = FitFileName(name);
        return itemDone(index);
    }
    if (m_savedAddresses.contains(item.picture) || m_picturesOnTheWay.contains(item.picture)) {
        // Decided in its turn: skipped if the first one was saved.
        item.sameAsEarlier = true;
        return itemDone(index);
    }
    if (sendsNothing()) {
        // No new request while paused: the picture waits for resume(), or
        // is not downloaded when the job is stopping.
        item.stage = Item::Stage::Queued;
        --m_working;
        m_nextToStart = qMin(m_nextToStart, index);
        return stopWhenIdle();
    }
    download(index);
}

void DownloadJob::download(int index)
{
    Item &item = m_items[index];
    m_picturesOnTheWay.insert(item.picture);
    // Downloaded under a name of its own, outside the album's folder, so a
    // crash never leaves a part file among the pictures; named in its turn.
    const QString staging = m_stagingFolder + QStringLiteral("/.picture-%1.part").arg(index);
    downloadPicture(m_settings.network, item.picture, staging, m_requests,
            [this, index, staging](const DownloadResult &result) {
                Item &item = m_items[index];
                if (result.ok()) {
                    item.staging = staging;
                    item.date = result.lastModified;
                } else {
                    item.report.kind = PictureReport::Kind::Failed;
                    item.report.why = PictureReport::Why::Request;
                    item.report.failure = result.failure;
                    m_picturesOnTheWay.remove(item.picture);
                }
                itemDone(index);
            },
            m_settings.requests);
}

void DownloadJob::itemDone(int index)
{
    m_items[index].stage = Item::Stage::Done;
    --m_working;
    if (m_limit < m_settings.maxInFlight && m_items[index].report.kind != PictureReport::Kind::Failed
        && ++m_goodSinceThrottle >= 2 * m_limit) {
        // The site has kept up for a while: take one more at once again.
        ++m_limit;
        m_goodSinceThrottle = 0;
    }
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
    while (self && picturesMoving() && m_nextToCommit < m_items.size()
           && m_items.at(m_nextToCommit).stage == Item::Stage::Done) {
        if (!commit(m_items[m_nextToCommit]))
            return;
    }
}

bool DownloadJob::commit(Item &item)
{
    PictureReport &report = item.report;
    if (item.sameAsEarlier) {
        item.sameAsEarlier = false;
        if (!m_savedAddresses.contains(item.picture)) {
            const int index = int(&item - m_items.data());
            if (sendsNothing()) {
                // No request while paused: it starts again after resume().
                item.stage = Item::Stage::Queued;
                m_nextToStart = qMin(m_nextToStart, index);
                return false;
            }
            // The first one failed: this one has its own try, as it would
            // have had one after the other.
            item.stage = Item::Stage::Working;
            ++m_working;
            download(index);
            return false;
        }
        report.kind = PictureReport::Kind::Skipped;
        report.why = PictureReport::Why::SavedBefore;
    } else if (!item.staging.isEmpty()) {
        m_picturesOnTheWay.remove(item.picture);
        placeDownloaded(item);
    }
    if (report.kind == PictureReport::Kind::Failed)
        ++m_failed;
    if (report.noPictureAddress)
        ++m_noPictureAddress;
    if (report.kind == PictureReport::Kind::AlreadyThere) {
        ++m_alreadyThere;
        const AlbumRecord::Entry *known = m_record.forPage(item.page);
        // What the record knew of it (caption, date, sidecar) stays with it.
        AlbumRecord::Entry entry = known && known->file == report.fileName ? *known : AlbumRecord::Entry();
        entry.page = item.page;
        entry.picture = item.picture;
        entry.file = report.fileName;
        // Found by its name, or under another: the journal learns it at the end.
        if (!known || known->file != entry.file || known->picture != entry.picture)
            m_notInJournal << entry;
        m_record.add(entry);
    }
    ++m_nextToCommit;
    report.savedCount = m_saved;
    // The window may end the job from here (closing it on the report).
    const QPointer<DownloadJob> self(this);
    emit pictureDone(report);
    return bool(self);
}

void DownloadJob::placeDownloaded(Item &item)
{
    PictureReport &report = item.report;
    const QString staging = std::exchange(item.staging, QString());
    const auto refuse = [&](PictureReport::Why why, const WebFailure &details) {
        report.kind = PictureReport::Kind::Failed;
        report.why = why;
        report.failure = details;
        QFile::remove(staging);
    };
    if (m_savedAddresses.contains(item.picture)) {
        // An earlier page of the album showed the same picture and its
        // answer came later than this one's: the first in the album wins.
        report.kind = PictureReport::Kind::Skipped;
        report.why = PictureReport::Why::SavedBefore;
        QFile::remove(staging);
        return;
    }
    if (m_saved >= MaxSavedPictures)
        return refuse(PictureReport::Why::TooManyPictures, {WebReason::None, {}, {}, 0, MaxSavedPictures});
    const QString folder = temporaryFolderPath();
    QString stagedSidecar;
    const Metadata::Result written = StageCaptions(
        m_settings.captions, staging, {item.caption, m_collection.albumName(), item.page, item.date}, &stagedSidecar);
    // A picture with a sidecar takes a name whose sidecar's name is free too.
    const QString name = FreeFileName(folder, PictureFileName(GetPicName(item.picture)), MaxFileNameBytes,
                                      stagedSidecar.isEmpty() ? QString() : Metadata::sidecarName(QString()));
    if (!written.ok()) {
        if (!stagedSidecar.isEmpty())
            QFile::remove(stagedSidecar);
        return refuse(PictureReport::Why::MetadataNotWritten, {WebReason::None, name, written.detail});
    }
    const QString sidecar = stagedSidecar.isEmpty() ? QString() : Metadata::sidecarName(name);
    // The sidecar first, so the picture is never seen without it; neither
    // takes the place of a file that is there.
    FileError sidecarError;
    if (!sidecar.isEmpty()
        && !FileSystem::RenameNoReplace(stagedSidecar, folder + QLatin1Char('/') + sidecar, &sidecarError)) {
        QFile::remove(stagedSidecar);
        return refuse(PictureReport::Why::NotPlaced, {WebReason::None, sidecar, sidecarError.systemText});
    }
    if (QFile staged(staging); !staged.rename(folder + QLatin1Char('/') + name)) {
        const QString why = staged.errorString();
        if (!sidecar.isEmpty())
            QFile::remove(folder + QLatin1Char('/') + sidecar); // ours, placed just now
        return refuse(PictureReport::Why::NotPlaced, {WebReason::None, name, why});
    }
    report.kind = PictureReport::Kind::Saved;
    report.fileName = name;
    m_addedFiles << name;
    if (!sidecar.isEmpty())
        m_addedFiles << sidecar;
    if (!sidecar.isEmpty() && m_settings.captions == CaptionMode::Embed)
        ++m_sidecarsInstead;
    m_savedAddresses.insert(item.picture);
    ++m_saved;
    AlbumRecord::Entry entry{item.page, item.picture, name};
    entry.caption = item.caption;
    entry.date = item.date;
    entry.sidecar = !sidecar.isEmpty();
    m_record.add(entry);
    m_savedPages.insert(item.page);
    // Into the journal as it takes its name: after a crash the folder says
    // what it holds.
    FileError error;
    if (!m_recordFailed && !AlbumRecord::appendEntry(folder, entry, &error)) {
        m_recordFailed = true;
        noteProblem(FolderProblem::Step::SaveRecord, folder, error);
    }
}

void DownloadJob::onThrottled(int retryAfterMs)
{
    // Fewer at once, and nothing new until the site's wait is over; the
    // request itself waits and asks again.
    m_limit = qMax(1, m_limit / 2);
    m_goodSinceThrottle = 0;
    const int wait = retryAfterMs >= 0 ? retryAfterMs : 1000;
    if (m_throttledUntil.hasExpired() || m_throttledUntil.remainingTime() < wait)
        m_throttledUntil.setRemainingTime(wait);
}

JobReport DownloadJob::counts() const
{
    JobReport result;
    result.albumName = m_collection.albumName();
    result.folderName = m_tempFolder;
    result.saved = m_saved;
    result.failed = m_failed;
    result.alreadyThere = m_alreadyThere;
    result.mode = m_settings.mode;
    result.collectionStop = m_collectionStop;
    fillPictureCounts(result);
    result.whole = isWhole();
    result.busy = m_busy;
    if (m_gone) {
        result.albumGone = true;
        result.whole = false;
        result.goneAddress = m_gone->address;
        result.goneStatus = m_gone->httpStatus;
        result.goneTitle = m_gone->title;
    }
    return result;
}

void DownloadJob::complete()
{
    m_pace.stop();
    m_state = State::Finished;

    JobReport result = counts();
    const QString name = AlbumFolderName(result.albumName);
    bool merged = false;
    FileError error;
    dropStaging();
    const bool leaveTarget = leavesTargetAsItIs();
    if (m_busy || leaveTarget) {
        // Only the empty folder this job made goes; the album is another's,
        // or an update brought nothing and its folder stays as it is.
        result.folderName = !leaveTarget ? QString() : m_target.isEmpty() ? m_settings.targetFolder : m_target;
        if (!m_continuing && !FileSystem::DeleteFolder(temporaryFolderPath(), false, &error))
            noteProblem(FolderProblem::Step::Delete, temporaryFolderPath(), error);
    } else if (!FileSystem::SaveFolderExists(m_settings.saveFolder)
               || !FileSystem::FolderExists(temporaryFolderPath())) {
        result.folderGone = true;
        result.folderNote = JobReport::FolderNote::FolderGone;
        result.folderNoteSubject = temporaryFolderPath();
    } else if (!m_settings.targetFolder.isEmpty() && !m_target.isEmpty()) {
        // An update: the folder is known, whatever the album is called now.
        mergeIntoAlbumFolder(result);
        merged = true;
    } else if (name == m_tempFolder) {
        // The pictures are already where the album's name says.
    } else if (m_continuing && !result.whole) {
        // Still not the whole album: the folder stays as it is for a later run.
    } else if (!IsUsableFolderName(name)) {
        result.folderNote = JobReport::FolderNote::UnusableName;
    } else if (m_settings.mode == DownloadMode::OnlyNew && !m_target.isEmpty()) {
        mergeIntoAlbumFolder(result);
        merged = true;
    } else {
        nameAlbumFolder(result);
    }
    if (!m_busy && !leaveTarget && !result.folderGone && !merged)
        finishRecord(folderPath(result.folderName), result.albumName);
    m_lock.reset();
    result.problems = m_problems;
    emit finished(result);
}

bool DownloadJob::leavesTargetAsItIs() const
{
    if (m_gone)
        return true;
    // An update cut off before it saved anything (an expired login, a page
    // that failed) would only mark a whole folder as stopped.
    return !m_settings.targetFolder.isEmpty() && m_saved == 0 && !isWhole();
}

void DownloadJob::nameAlbumFolder(JobReport &result)
{
    const QString name = AlbumFolderName(result.albumName);
    const QString album = folderPath(name);
    FileError error;
    bool taken = false;
    bool sameAlbum = false;
    if (m_settings.mode == DownloadMode::ReplaceAll && FileSystem::FolderExists(album)) {
        // Only an earlier finished copy of this very album is replaced, and
        // only by a whole one.
        const AlbumRecord earlier = AlbumRecord::load(album);
        sameAlbum = earlier.namesAlbum(albumAddresses());
        if (sameAlbum && earlier.state() == AlbumRecord::State::Finished) {
            if (!result.whole) {
                result.earlierKept = name;
            } else if (ReplaceAlbumFolder(m_settings.saveFolder, name, temporaryFolderPath(), &m_problems)) {
                result.folderName = name;
                result.replacedEarlier = true;
                return;
            }
        }
    } else if (FileSystem::RenameNoReplace(temporaryFolderPath(), album, &error, &taken)) {
        result.folderName = name;
        return;
    } else if (!taken) {
        noteProblem(FolderProblem::Step::Rename, temporaryFolderPath(), error);
        result.folderNote = JobReport::FolderNote::NotRenamed;
        result.folderNoteSubject = name;
        return;
    }
    // The name belongs to something else: the first free "name (n)".
    result.nameTaken = !sameAlbum;
    for (int n = 2; n <= MaxTempFolderNumber; ++n) {
        const QString candidate = NumberedFolderName(name, n);
        if (FileSystem::RenameNoReplace(temporaryFolderPath(), folderPath(candidate), &error, &taken)) {
            result.folderName = candidate;
            return;
        }
        if (!taken)
            break;
    }
    noteProblem(FolderProblem::Step::Rename, temporaryFolderPath(), error);
    result.folderNote = JobReport::FolderNote::NotRenamed;
    result.folderNoteSubject = name;
}

void DownloadJob::finishRecord(const QString &folder, const QString &title)
{
    // The journal of the folder the pictures are in now gets what it lacks;
    // one that may have missed a line is written anew whole.
    const QString address = m_settings.albumAddress.isEmpty() ? m_firstPage : m_settings.albumAddress;
    // A job the user stopped, or that the site's login cut off, is not the
    // album whole: a later run may go on with it.
    const auto state = m_endedBy == HaltReason::None ? AlbumRecord::State::Finished : AlbumRecord::State::Stopped;
    // An album folder this run only read from, and that gains nothing,
    // stays byte for byte as it was.
    if (!m_target.isEmpty() && folder == targetFolderPath() && !m_recordFailed && m_notInJournal.isEmpty()
        && m_record.albumAddress() == address && m_record.firstPage() == m_firstPage && m_record.title() == title
        && m_record.state() == state)
        return;
    m_record.setAlbumAddress(address);
    m_record.setFirstPage(m_firstPage);
    m_record.setTitle(title);
    m_record.setState(state);
    FileError error;
    if (!(m_recordFailed ? m_record.save(folder, &error) : m_record.finish(folder, m_notInJournal, &error)))
        noteProblem(FolderProblem::Step::SaveRecord, folder, error);
}

void DownloadJob::mergeIntoAlbumFolder(JobReport &result)
{
    // The new pictures join the album's folder beside the old ones; nothing
    // there is replaced.
    const QString album = targetFolderPath();
    bool allMoved = true;
    const QList<AlbumRecord::Entry> entries = m_record.entries();
    for (AlbumRecord::Entry entry : entries) {
        if (!m_savedPages.contains(entry.page))
            continue;
        const QString from = temporaryFolderPath() + QLatin1Char('/') + entry.file;
        const QString sidecar = entry.sidecarFile();
        const QString name = FreeFileName(album, entry.file, MaxFileNameBytes,
                                          entry.sidecar ? Metadata::sidecarName(QString()) : QString());
        FileError error;
        if (FileSystem::RenameNoReplace(from, album + QLatin1Char('/') + name, &error)) {
            // Its sidecar goes with it, under the name that goes with the
            // picture's; one left behind keeps the temporary folder.
            if (entry.sidecar
                && !FileSystem::RenameNoReplace(temporaryFolderPath() + QLatin1Char('/') + sidecar,
                                                album + QLatin1Char('/') + Metadata::sidecarName(name), &error)) {
                entry.sidecar = false;
                allMoved = false;
                noteProblem(FolderProblem::Step::Move, temporaryFolderPath() + QLatin1Char('/') + sidecar, error);
            }
            entry.file = name;
            m_record.add(entry);
            m_notInJournal << entry;
        } else {
            allMoved = false;
            noteProblem(FolderProblem::Step::Move, from, error);
        }
    }
    finishRecord(album, result.albumName);
    // The temporary folder goes only when nothing but its journal is left;
    // else it keeps its journal for the pictures still in it.
    const QString journal = temporaryFolderPath() + QLatin1Char('/') + AlbumRecord::fileName();
    if (allMoved && QFile::remove(journal) && QDir().rmdir(temporaryFolderPath())) {
        result.folderName = m_target;
    } else {
        result.folderNote = JobReport::FolderNote::NotAllMoved;
        result.folderNoteSubject = m_target;
    }
}

void DownloadJob::loginExpired(const QString &answer, int index)
{
    // Not failed, not yet done: handed back for a later try.
    Item &item = m_items[index];
    --m_working;
    item.stage = Item::Stage::Queued;
    item.picture.clear();
    item.report = PictureReport();
    m_nextToStart = qMin(m_nextToStart, index);
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
    m_haltedBy = HaltReason::User;
    m_pace.stop();
    emit paused(HaltReason::User, QString());
}

void DownloadJob::resume()
{
    if ((m_state != State::Collecting && m_state != State::Downloading) || !isPaused() || m_stopAfterInFlight)
        return;
    m_haltedBy = HaltReason::None;
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
    if (m_stopAfterInFlight && m_working == 0)
        halt(HaltReason::User, QString());
}

void DownloadJob::halt(HaltReason reason, const QString &loginPage)
{
    if (reason == HaltReason::LoginExpired && m_settings.pauseOnExpiredLogin) {
        m_pace.stop();
        m_pageWait.stop();
        if (m_state == State::Collecting)
            m_heldPage = m_expectedPage;
        // Further pictures in flight may meet the login too: one pause.
        if (m_haltedBy == HaltReason::LoginExpired)
            return;
        m_haltedBy = reason;
        m_loginPage = loginPage;
        emit paused(reason, loginPage);
        return;
    }
    m_endedBy = reason;
    m_loginPage = loginPage;
    m_haltedBy = HaltReason::None;
    m_stopAfterInFlight = false;
    m_pageWait.stop();
    m_pace.stop();
    // Transfers in flight are cancelled: their answers never arrive.
    delete m_requests;
    m_requests = new QObject(this);
    m_working = 0;
    if (m_state == State::Collecting) {
        // Picture pages already begun are settled like those of a download.
        m_notDownloaded = collectedCount() - int(m_items.size());
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
    while (m_nextToCommit < m_items.size()) {
        Item &item = m_items[m_nextToCommit];
        const bool firstFailed = item.sameAsEarlier && !m_savedAddresses.contains(item.picture);
        if (item.stage != Item::Stage::Done || firstFailed) {
            ++m_notDownloaded;
            ++m_nextToCommit;
            continue;
        }
        if (!commit(item))
            return false;
    }
    m_nextToStart = int(m_items.size());
    return true;
}

void DownloadJob::fillPictureCounts(JobReport &result) const
{
    result.noPictureAddress = m_noPictureAddress;
    result.sidecarsInstead = m_sidecarsInstead;
    result.haltedBy = m_endedBy;
    result.loginPage = m_endedBy == HaltReason::LoginExpired ? m_loginPage : QString();
    result.notDownloaded = m_notDownloaded;
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
    dropStaging();
    // Clean-up failures are passed over: the window closes all the same.
    if (ownsFolder && m_continuing && FileSystem::FolderExists(temporaryFolderPath())) {
        // What earlier runs saved stays, with the record it had.
        for (const QString &name : std::as_const(m_addedFiles))
            QFile::remove(temporaryFolderPath() + QLatin1Char('/') + name);
        m_earlierRecord.save(temporaryFolderPath());
    } else if (ownsFolder && !m_tempFolder.isEmpty() && FileSystem::FolderExists(temporaryFolderPath())) {
        FileSystem::DeleteFolder(temporaryFolderPath(), false);
    }
    m_lock.reset();
}
