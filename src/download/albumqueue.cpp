#include "albumqueue.h"
#include "jobrules.h"

#include "pagesource.h"
#include "pagewalk.h"
#include "recordedalbums.h"

AlbumQueue::AlbumQueue(const JobSettings &settings, PageSource *source, const QList<Album> &albums,
                       QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_source(source)
{
    m_report.albums = albums;
}

AlbumQueue::~AlbumQueue()
{
    // Answers of the album at work must not reach a queue being torn down.
    if (m_job)
        m_job->kill();
}

bool AlbumQueue::readFromShownPage() const
{
    return m_walk && !m_walk->askedForPages();
}

bool AlbumQueue::start(JobStartFailure *failure)
{
    if (m_state != State::Ready || m_report.albums.isEmpty() || !beginAlbum(failure))
        return false;
    m_walk->start(m_report.albums.at(m_current).address);
    return true;
}

bool AlbumQueue::startFromShownPage(const PageSnapshot &shown, JobStartFailure *failure)
{
    if (m_state != State::Ready || m_report.albums.isEmpty() || !beginAlbum(failure))
        return false;
    m_walk->startFromShownPage(shown);
    return true;
}

DownloadJob *AlbumQueue::beginAlbum(JobStartFailure *failure)
{
    const Album &next = m_report.albums.at(m_current + 1);
    JobSettings settings = m_settings;
    if (!next.targetFolder.isEmpty())
        settings.targetFolder = next.targetFolder;
    if (!next.albumAddress.isEmpty())
        settings.albumAddress = next.albumAddress;
    if (!next.continueFolder.isEmpty())
        settings.continueFolder = next.continueFolder;
    auto *job = new DownloadJob(settings, this);
    if (!job->start(failure)) {
        delete job;
        return nullptr;
    }
    if (m_job)
        m_job->deleteLater();
    m_job = job;
    ++m_current;
    m_state = State::Running;
    m_walk = new PageWalk(job, m_source);
    m_walk->setBlankWhenDone(m_current + 1 >= m_report.albums.size());
    if (!m_html && m_settings.readPagesAsHtml) {
        // The fast mode's reader, the same for every front end.
        auto *html = new HtmlPageSource(m_settings.network, this);
        html->setRequestOptions(m_settings.requests);
        html->setUserAgent(m_settings.userAgent);
        m_html = html;
    }
    if (m_html)
        m_walk->setHtmlSource(m_html);
    connect(m_walk, &PageWalk::paneChosen, this, &AlbumQueue::paneChosen);
    connect(job, &DownloadJob::pageCollected, this, &AlbumQueue::pageCollected);
    connect(job, &DownloadJob::collectionStopped, this, &AlbumQueue::collectionStopped);
    connect(job, &DownloadJob::collectionFinished, this, &AlbumQueue::collectionFinished);
    connect(job, &DownloadJob::pictureDone, this, &AlbumQueue::pictureDone);
    connect(job, &DownloadJob::finished, this, &AlbumQueue::onAlbumFinished);
    connect(job, &DownloadJob::paused, this, &AlbumQueue::paused);
    connect(job, &DownloadJob::resumed, this, &AlbumQueue::resumed);
    emit albumStarted(m_current);
    return job;
}

void AlbumQueue::onAlbumFinished(const JobReport &report)
{
    Album &album = m_report.albums[m_current];
    album.report = report;
    ++m_report.done;
    m_report.saved += report.saved;
    m_report.failed += report.failed;
    // Whoever shows the album's end may end the queue from there.
    const QPointer<AlbumQueue> self(this);
    emit albumFinished(m_current, report);
    if (!self || m_state != State::Running)
        return;
    if (m_stopping) {
        m_report.stop = Stop::ByUser;
    } else if (m_current + 1 < count()) {
        if (beginAlbum(&m_report.stopFailure)) {
            m_walk->start(m_report.albums.at(m_current).address);
            return;
        }
        m_report.stop = Stop::NoTemporaryFolder;
    }
    m_state = State::Finished;
    emit finished(m_report);
}

void AlbumQueue::pause()
{
    if (canPause())
        m_job->pause();
}

void AlbumQueue::resume()
{
    if (canResume())
        m_job->resume();
}

void AlbumQueue::stop()
{
    if (!canStop())
        return;
    // Set first: the album's end, which may come from inside stop(), must
    // not begin the next one.
    m_stopping = true;
    // A queue lets the pictures in flight come in, so that a long queue
    // stopped on its way loses none it had nearly got; a single album ends
    // now, as the command says.
    if (count() > 1)
        m_job->stopAfterInFlight();
    else
        m_job->stop();
}

void AlbumQueue::kill()
{
    if (m_job)
        m_job->kill();
    if (m_state != State::Finished)
        m_state = State::Killed;
}

void AlbumQueue::discard()
{
    if (m_job)
        m_job->discard();
    if (m_state != State::Finished)
        m_state = State::Killed;
}

AlbumQueue *MakeUpdateQueue(const JobSettings &settings, PageSource *source, const QList<RecordedAlbum> &albums,
                            QObject *parent)
{
    QList<AlbumQueue::Album> queued;
    for (const RecordedAlbum &recorded : albums) {
        if (!recorded.updatable())
            continue;
        AlbumQueue::Album album;
        album.title = recorded.title;
        // At the site as it is now: a site that moved keeps its albums.
        album.address = AlbumAddressAtSite(recorded.firstPage.isEmpty() ? recorded.address : recorded.firstPage,
                                           settings.photoHostBase);
        album.albumAddress = AlbumAddressAtSite(recorded.address, settings.photoHostBase);
        album.targetFolder = recorded.folder;
        queued.append(album);
    }
    if (queued.isEmpty())
        return nullptr;
    JobSettings update = settings;
    update.mode = DownloadMode::OnlyNew;
    return new AlbumQueue(update, source, queued, parent);
}

AlbumQueue *StartUpdateQueue(const JobSettings &settings, PageSource *source, const QList<RecordedAlbum> &albums,
                             QObject *parent, JobStartFailure *failure)
{
    if (failure)
        *failure = {};
    AlbumQueue *queue = MakeUpdateQueue(settings, source, albums, parent);
    if (queue && !queue->start(failure)) {
        delete queue;
        return nullptr;
    }
    return queue;
}
