#include "pagewalk.h"

#include "downloadjob.h"
#include "jobrules.h"
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

void PageWalk::setHtmlSource(HtmlPageSource *html)
{
    m_html = html;
}

void PageWalk::start(const QString &firstAddress)
{
    if (!m_source)
        return;
    m_pages = connect(m_source, &PageSource::pageReady, this, &PageWalk::onPanePage);
    if (m_html) {
        m_mode = Mode::Deciding;
        m_htmlPages = connect(m_html, &PageSource::pageReady, this, &PageWalk::onHtmlPage);
        m_html->load(firstAddress);
    }
    ask(firstAddress);
}

void PageWalk::startFromShownPage(const PageSnapshot &shown)
{
    if (!m_source)
        return;
    m_pages = connect(m_source, &PageSource::pageReady, this, &PageWalk::onPanePage);
    if (m_html && !shown.failed) {
        m_mode = Mode::Deciding;
        m_paneFirst = shown;
        m_htmlPages = connect(m_html, &PageSource::pageReady, this, &PageWalk::onHtmlPage);
        m_html->load(shown.address);
        return;
    }
    onPage(shown);
}

void PageWalk::onPanePage(const PageSnapshot &page)
{
    switch (m_mode) {
    case Mode::Deciding:
        // The blank page a pane shows before the album is none of it.
        if (m_paneFirst || page.address.startsWith(QLatin1String("about:")))
            return;
        m_paneFirst = page;
        return decide();
    case Mode::Html:
        // The pane is idle meanwhile; what it shows is not the album's.
        return;
    case Mode::PaneConfirms:
        m_mode = Mode::Pane;
        return onPage(page);
    case Mode::Pane:
        return onPage(page);
    }
}

void PageWalk::onHtmlPage(const PageSnapshot &page)
{
    if (m_mode == Mode::Deciding) {
        if (!m_htmlFirst)
            m_htmlFirst = page;
        return decide();
    }
    if (m_mode != Mode::Html)
        return;
    if (!page.failed && m_job
        && NextPageLinkIndex(page.links, m_job->source() == JobSource::BrowserPane) < 0) {
        // Seemingly the last page: the pane has the last word on that.
        m_mode = Mode::PaneConfirms;
        m_asked = m_paneAsked = true;
        if (m_source)
            m_source->load(page.address);
        return;
    }
    onPage(page);
}

void PageWalk::decide()
{
    if (!m_paneFirst || !m_htmlFirst || !m_job || !m_html)
        return;
    const bool requireCurpage = m_job->source() == JobSource::BrowserPane;
    const PaneFallback why = CompareReadings(*m_paneFirst, m_html->lastResult(), m_job->settings().photoHostBase,
                                             requireCurpage);
    const PageSnapshot first = *m_paneFirst;
    m_htmlFirst.reset();
    m_paneFirst.reset();
    if (why == PaneFallback::None) {
        m_mode = Mode::Html;
    } else {
        m_mode = Mode::Pane;
        disconnect(m_htmlPages);
        // A failed pane load ends collection and says so itself.
        const QPointer<PageWalk> self(this);
        if (why != PaneFallback::PaneFailed)
            emit paneChosen(why, first.address);
        if (!self)
            return;
    }
    onPage(first);
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
    if (m_mode == Mode::Html && m_html)
        return m_html->load(address);
    m_paneAsked = true;
    if (m_source)
        m_source->load(address);
}

void PageWalk::finish()
{
    disconnect(m_pages);
    disconnect(m_htmlPages);
    if (m_html)
        m_html->cancel();
    if (!m_paneAsked || !m_source || !m_blankWhenDone || !m_job)
        return;
    // The last album page would otherwise stay loaded (and running its
    // scripts) while the pictures download. An album with nothing left to
    // fetch (a second run over an unchanged one) ends at once: its pane is
    // not sent to a blank page it would leave again straight away.
    if (m_job->inFlight() > 0)
        return blank();
    m_blankOnFetch = connect(m_job, &DownloadJob::pictureDone, this, [this](const PictureReport &report) {
        if (report.kind == PictureReport::Kind::Saved || report.kind == PictureReport::Kind::Failed)
            blank();
    });
    // While a login waits the pane is the user's; it is not blanked after.
    connect(m_job, &DownloadJob::paused, this, [this] { disconnect(m_blankOnFetch); });
}

void PageWalk::blank()
{
    disconnect(m_blankOnFetch);
    if (m_source)
        m_source->load(QStringLiteral("about:blank"));
}
