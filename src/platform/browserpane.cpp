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

namespace {

// Read in an isolated world so the page's own scripts cannot change what we see.
// textContent keeps the link text exactly as written; innerText would trim it.
const char LinksScript[] = R"((function() {
    var out = [];
    var links = document.links;
    for (var i = 0; i < links.length; ++i)
        out.push([links[i].href, links[i].href, links[i].textContent]);
    // A login form shown where an album page should be means the login expired.
    var password = document.querySelector('input[type=password]') !== null;
    return JSON.stringify({ title: document.title, links: out, password: password });
})())";

} // namespace

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

PageReader::PageReader(QWebEnginePage *page)
    : QObject(page)
    , m_page(page)
{
    connect(page, &QWebEnginePage::loadStarted, this, [this] { ++m_loadSerial; });
    connect(page, &QWebEnginePage::loadFinished, this, &PageReader::onLoadFinished);
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            m_loadError.clear();
            m_loadStatus = 0;
        } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            m_loadError = loadErrorText(info);
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
                m_loadStatus = info.errorCode();
        }
    });
}

void PageReader::onLoadFinished(bool ok)
{
    const quint64 serial = ++m_loadSerial;
    const QString address = m_page->url().toString();
    if (!ok) {
        // What shows now is an error page: it has no title or links of the
        // site's. Answered from the event loop like a page that loaded.
        // The failure's details may arrive just after loadFinished.
        QTimer::singleShot(0, this, [this, serial, address] {
            if (m_loadSerial != serial)
                return;
            const WebFailure error = m_loadStatus > 0 ? WebFailure{WebReason::HttpStatus, {}, {}, m_loadStatus}
                                                      : WebFailure{WebReason::LoadFailed, {}, m_loadError};
            m_snapshot = {address, {}, {}, true, error, m_loadStatus};
            emit pageRead(m_snapshot);
        });
        return;
    }
    QPointer<PageReader> self(this);
    m_page->runJavaScript(QString::fromLatin1(LinksScript), QWebEngineScript::ApplicationWorld,
                          [self, serial, address](const QVariant &result) {
                              // A newer load started meanwhile: this snapshot is stale.
                              if (!self || self->m_loadSerial != serial)
                                  return;
                              const QJsonObject doc =
                                  QJsonDocument::fromJson(result.toString().toUtf8()).object();
                              PageSnapshot snapshot;
                              snapshot.address = address;
                              snapshot.title = doc.value(QLatin1String("title")).toString();
                              snapshot.passwordField = doc.value(QLatin1String("password")).toBool();
                              const QJsonArray links = doc.value(QLatin1String("links")).toArray();
                              snapshot.links.reserve(links.size());
                              for (const QJsonValue &v : links) {
                                  const QJsonArray l = v.toArray();
                                  snapshot.links.append(
                                      {l.at(0).toString(), l.at(1).toString(), l.at(2).toString()});
                              }
                              self->m_snapshot = snapshot;
                              emit self->pageRead(self->m_snapshot);
                          });
}

// The browser's own words for a failed load; an error status is reported
// by its number instead.
QString PageReader::loadErrorText(const QWebEngineLoadingInfo &info)
{
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return {};
    return info.errorString();
}

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

namespace BrowserProfile {
namespace {
QString g_storagePath;
std::unique_ptr<QWebEngineProfile> g_profile;
std::unique_ptr<NetworkSession> g_network;

void mirrorCookies(QWebEngineProfile *profile, NetworkSession *network)
{
    QWebEngineCookieStore *store = profile->cookieStore();
    QPointer<PersistentCookieJar> jar = network->cookieJar();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, profile,
                     [jar](const QNetworkCookie &cookie) {
                         if (jar)
                             jar->insertCookie(cookie);
                     });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, profile,
                     [jar](const QNetworkCookie &cookie) {
                         if (jar)
                             jar->deleteCookie(cookie);
                     });
}
// The highest folder that is the program's own for the profile's files of
// this kind: its data or cache folder, or the folder a test chose.
QString privateTop(QStandardPaths::StandardLocation location)
{
    if (!g_storagePath.isEmpty())
        return g_storagePath;
    return QStandardPaths::writableLocation(location);
}
} // namespace

void setStoragePath(const QString &path)
{
    g_storagePath = path;
}

QString storageFolder()
{
    if (!g_storagePath.isEmpty())
        return g_storagePath + QStringLiteral("/storage");
    // Qt WebEngine's own choice for a named profile without a path of its own.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/QtWebEngine/Quillmoor");
}

QWebEngineProfile *instance()
{
    if (!g_profile) {
        g_profile = std::make_unique<QWebEngineProfile>(QStringLiteral("Quillmoor"));
        if (!g_storagePath.isEmpty()) {
            g_profile->setPersistentStoragePath(g_storagePath + QStringLiteral("/storage"));
            g_profile->setCachePath(g_storagePath + QStringLiteral("/cache"));
        }
        // A login is a session cookie on most sites; keep it across restarts
        // the way a browser that restores its session does.
        g_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        // The login lives here: owner-only, also where an earlier version
        // made the folders with the umask's mode.
        makePrivateFolder(privateTop(QStandardPaths::AppDataLocation), g_profile->persistentStoragePath());
        makePrivateFolder(privateTop(QStandardPaths::CacheLocation), g_profile->cachePath());
        NetworkSession *session = network();
        PersistentCookieJar *jar = session->cookieJar();
        mirrorCookies(g_profile.get(), session);
        // The browser writes its cookies to disk only now and then; a run
        // that ended right after a login may not have stored it there. Hand
        // it the cookies the network session kept, so both agree.
        for (const QNetworkCookie &cookie : jar->storedCookies())
            g_profile->cookieStore()->setCookie(cookie);
    }
    return g_profile.get();
}

NetworkSession *network()
{
    if (!g_network) {
        // Kept beside the browser's own storage, so one profile folder holds the whole login.
        const QString folder = g_storagePath.isEmpty() ? instance()->persistentStoragePath() : storageFolder();
        makePrivateFolder(privateTop(QStandardPaths::AppDataLocation), folder);
        g_network = std::make_unique<NetworkSession>(folder + QStringLiteral("/NetworkCookies"));
    }
    return g_network.get();
}

void shutdown()
{
    g_profile.reset();
    // Writes the cookie file one last time.
    g_network.reset();
}
} // namespace BrowserProfile

void prepareWebEngine()
{
    // Chromium refuses to run its sandbox as root; only then is it turned off.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--disable-gpu"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --disable-gpu");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
