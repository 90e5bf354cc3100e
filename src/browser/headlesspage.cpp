#include "headlesspage.h"

#include "pagereader.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

HeadlessPage::HeadlessPage(QWebEngineProfile *profile, QObject *parent)
    : PageSource(parent)
    , m_profile(profile)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(DefaultLoadTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &HeadlessPage::onTimeout);
    makePage();
}

HeadlessPage::~HeadlessPage()
{
    // The page must go before the profile does.
    dropPage();
}

void HeadlessPage::makePage()
{
    m_page = new QWebEnginePage(m_profile, this);
    // Nobody sees this page and collection reads its title and links alone:
    // the pictures and icons an album page shows are not fetched.
    m_page->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    m_page->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    m_reader = new PageReader(m_page);
    connect(m_reader, &PageReader::pageRead, this, &HeadlessPage::onPageRead);
}

void HeadlessPage::dropPage()
{
    // Deleting the page answers its pending scripts; nobody wants them now.
    m_reader->forget();
    delete m_page;
    m_page = nullptr;
    m_reader = nullptr;
}

void HeadlessPage::load(const QString &address)
{
    m_loading = address;
    m_timeout.start();
    m_page->load(QUrl(address));
}

void HeadlessPage::onPageRead(const PageSnapshot &page)
{
    m_timeout.stop();
    emit pageReady(page);
}

void HeadlessPage::onTimeout()
{
    // A fresh page: whatever the abandoned load still reports (its error
    // page, a late document) must not pass for the next load's answer.
    dropPage();
    makePage();
    emit pageReady({m_loading, {}, {}, true, WebFailure{WebReason::LoadTimedOut}});
}
