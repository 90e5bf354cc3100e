// The browser profile and the settings Qt WebEngine needs before it starts,
// without any widget of the browser.
#include "browserprofile.h"

#include "web/cookiejar.h"
#include "web/networksession.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkCookie>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <memory>
#include <unistd.h>

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
