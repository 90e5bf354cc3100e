#include "pagewalk.h"

#include "downloadjob.h"
#include "pagesource.h"

PageWalk::PageWalk(DownloadJob *job, PageSource *source)
    : QObject(job)
    , m_job(job)
    , m_source(source)
{
    connect(job, &DownloadJob::collectionFinished, this, &PageWalk::finish);
    // After a pause the job names the album page to load again.
    connect(job, &DownloadJob::pageWanted, this, &PageWalk::ask);
}

void PageWalk::start(const QString &firstAddress)
{
    if (!m_source)
        return;
    m_pages = connect(m_source, &PageSource::pageReady, this, &PageWalk::onPage);
    ask(firstAddress);
}

void PageWalk::startFromShownPage(const PageSnapshot &shown)
{
    if (!m_source)
        return;
    m_pages = connect(m_source, &PageSource::pageReady, this, &PageWalk::onPage);
    onPage(shown);
}

void PageWalk::onPage(const PageSnapshot &page)
{
    // A page the source completes after the job stopped collecting (or was
    // killed) is no page of the album.
    if (!m_job || m_job->state() != DownloadJob::State::Collecting)
        return;
    // While an expired login waits, the pane is the user's to log in with;
    // what it shows then is no page of the album.
    if (m_job->pausedBy() == HaltReason::LoginExpired)
        return;
    const QPointer<PageWalk> self(this);
    const QString next = m_job->pageLoaded(page);
    if (self && !next.isEmpty())
        ask(next);
}

void PageWalk::ask(const QString &address)
{
    m_asked = true;
    if (m_source)
        m_source->load(address);
}

void PageWalk::finish()
{
    disconnect(m_pages);
    // The last album page would otherwise stay loaded (and running its
    // scripts) while the pictures download.
    if (m_asked && m_source)
        m_source->load(QStringLiteral("about:blank"));
}
