#include "browserpane.h"

#include "web/cookiejar.h"
#include "web/networksession.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QSaveFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>
#include <utility>
#include <unistd.h>

// The page forwards window requests to its pane, whose owner decides.
class BrowserPane::Page : public QWebEnginePage
{
public:
    Page(QWebEngineProfile *profile, BrowserPane *pane)
        : QWebEnginePage(profile, pane)
        , m_pane(pane)
    {
    }

protected:
    QWebEnginePage *createWindow(WebWindowType) override { return m_pane->createWindowPage(); }

private:
    BrowserPane *m_pane;
};

// The pane's side of a job's page walk.
class BrowserPane::Source : public PageSource
{
public:
    explicit Source(BrowserPane *pane)
        : PageSource(pane)
        , m_pane(pane)
    {
    }

    void load(const QString &address) override { m_pane->navigate(address); }
    void hand(const PageSnapshot &page) { emit pageReady(page); }

private:
    BrowserPane *m_pane;
};

BrowserPane::BrowserPane(QWebEngineProfile *profile, QWidget *parent)
    : QWidget(parent)
    , m_view(new QWebEngineView(this))
    , m_page(new Page(profile, this))
    , m_reader(new PageReader(m_page))
    , m_source(new Source(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setPage(m_page);
    connect(m_reader, &PageReader::pageRead, this, &BrowserPane::onPageRead);
    m_holdWait = new QTimer(this);
    m_holdWait->setSingleShot(true);
    m_holdWait->setInterval(5000);
    connect(m_holdWait, &QTimer::timeout, this, &BrowserPane::loadHeld);
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] { m_loading = true; });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] {
        m_loading = false;
        loadHeld();
    });
}

BrowserPane::~BrowserPane()
{
    // Deleting the page answers its pending scripts; those answers are stale
    // and must not raise documentComplete into an owner being torn down.
    m_reader->forget();
    // The page must go before the profile; make sure it does not outlive us.
    m_view->setPage(nullptr);
    delete m_page;
    m_page = nullptr;
}

QWebEnginePage *BrowserPane::page() const
{
    return m_page;
}

void BrowserPane::navigate(const QString &address)
{
    // Qt WebEngine folds a load begun while another is under way into that
    // one and never reports the new page complete. The load under way is
    // stopped and the new one begins once it has ended (within a bound, in
    // case the end is never reported).
    if (m_loading) {
        m_heldAddress = address;
        m_holdWait->start();
        m_page->triggerAction(QWebEnginePage::Stop);
        return;
    }
    m_page->load(QUrl(address));
}

void BrowserPane::loadHeld()
{
    m_holdWait->stop();
    if (m_heldAddress.isEmpty())
        return;
    // Nobody waits for the page it replaces, nor for its failure.
    m_reader->forget();
    m_loading = false;
    m_page->load(QUrl(std::exchange(m_heldAddress, QString())));
}

PageSource *BrowserPane::pageSource() const
{
    return m_source;
}

QString BrowserPane::locationUrl() const
{
    return m_page->url().toString();
}

void BrowserPane::onPageRead(const PageSnapshot &page)
{
    // The owner sees the document first (it may close the pane on it); a job
    // walking the pane gets it next.
    const QPointer<BrowserPane> self(this);
    emit documentComplete(page.address);
    if (self)
        m_source->hand(page);
}

QWebEnginePage *BrowserPane::createWindowPage()
{
    NewWindowRequest request;
    emit newWindow(request);
    if (request.cancel || !request.target)
        return nullptr;
    return request.target->page();
}
