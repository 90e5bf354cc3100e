#include "albumqueue.h"

#include "pagesource.h"
#include "pagewalk.h"

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

bool AlbumQueue::start(QString *error)
{
    if (m_state != State::Ready || m_report.albums.isEmpty() || !beginAlbum(error))
        return false;
    m_walk->start(m_report.albums.at(m_current).address);
    return true;
}

bool AlbumQueue::startFromShownPage(const PageSnapshot &shown, QString *error)
{
    if (m_state != State::Ready || m_report.albums.isEmpty() || !beginAlbum(error))
        return false;
    m_walk->startFromShownPage(shown);
    return true;
}

DownloadJob *AlbumQueue::beginAlbum(QString *error)
{
    auto *job = new DownloadJob(m_settings, this);
    if (!job->start(error)) {
        delete job;
        return nullptr;
    }
    if (m_job)
        m_job->deleteLater();
    m_job = job;
    ++m_current;
    m_state = State::Running;
    m_walk = new PageWalk(job, m_source);
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
        QString error;
        if (beginAlbum(&error)) {
            m_walk->start(m_report.albums.at(m_current).address);
            return;
        }
        m_report.stop = Stop::NoTemporaryFolder;
        m_report.stopDetail = error;
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
