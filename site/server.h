#pragma once

#include "pages.h"
#include "pictures.h"
#include "seed.h"

#include <QString>

#include <QHash>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>

namespace httplib {
class Server;
struct Response;
}

// The HTTP side of the demo site: routes every address to a page, a picture
// or one of the test endpoints.
class DemoServer
{
public:
    explicit DemoServer(Seed seed);
    ~DemoServer();

    // Binds 127.0.0.1; port 0 picks a free one. Returns the bound port.
    std::optional<int> bind(int port);
    // Serves until stop() is called.
    bool serve();
    // Safe from another thread; waiting handlers notice it and return.
    void stop();

private:
    void installRoutes();
    void installTestRoutes();
    // Sleeps in small steps so that a stop is never held up for long.
    bool waitFor(int milliseconds) const;
    // Counts one more request for `key`; true when it is one that must fail.
    bool failsNow(const QString &key, const Failures &failures);
    // Waits the seeded picture delay, or answers the throttle status and
    // returns false when too many picture requests are being answered.
    bool admitPictureRequest(int inFlight, httplib::Response &res);
    void countRequest(const QString &path);
    // Once the session has expired, album pages and picture pages answer as
    // a site does to a visitor whose login is gone; true when it answered.
    bool answeredAsExpired(httplib::Response &res);

    // Test endpoints change the seed while other threads serve pages from it.
    mutable std::shared_mutex m_seedLock;
    Seed m_seed;
    PictureStore m_pictures;
    std::unique_ptr<SitePages> m_pages;
    std::unique_ptr<httplib::Server> m_server;
    std::atomic<bool> m_stopping{false};
    // Bound but never listening: connections to its port are refused.
    int m_deadSocket = -1;

    std::atomic<int> m_inFlight{0};
    std::atomic<int> m_albumPageRequests{0};
    std::atomic<int> m_picturePageRequests{0};
    std::atomic<int> m_pictureRequests{0};
    std::atomic<int> m_otherRequests{0};
    // Set by /test/expire: after this many more album-page and picture-page
    // requests (-1: never) the session counts as expired, until a login.
    std::mutex m_sessionLock;
    int m_expireAfter = -1;
    QString m_expiredAnswer;
    std::mutex m_hitsLock;
    QHash<QString, int> m_hits;
    // The host and Cookie header of each picture request, for /test/picturecookies.
    std::mutex m_pictureCookiesLock;
    QList<std::pair<QString, QString>> m_pictureCookies;
};
