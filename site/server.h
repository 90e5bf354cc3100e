#pragma once

#include "pages.h"
#include "pictures.h"
#include "seed.h"

#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace httplib {
class Server;
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
    // Sleeps in small steps so that a stop is never held up for long.
    bool waitFor(int milliseconds) const;

    Seed m_seed;
    PictureStore m_pictures;
    std::unique_ptr<SitePages> m_pages;
    std::unique_ptr<httplib::Server> m_server;
    std::atomic<bool> m_stopping{false};
};
