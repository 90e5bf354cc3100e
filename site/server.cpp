#include "server.h"

#include "session.h"

#include <httplib.h>

#include <QByteArray>

#include <chrono>
#include <thread>

namespace {

constexpr char HtmlType[] = "text/html; charset=utf-8";
// Upper bounds for the sizes and waits a test endpoint accepts, so that a
// mistyped request cannot exhaust memory or hold a thread for hours.
constexpr qint64 MaxTestBytes = 64 * 1024 * 1024;
constexpr int MaxWaitMs = 10 * 60 * 1000;
constexpr int OneYearSeconds = 31536000;

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

std::string ss(const QByteArray &bytes)
{
    return bytes.toStdString();
}

void setHtml(httplib::Response &res, const QByteArray &html, int status = 200)
{
    res.status = status;
    res.set_content(ss(html), HtmlType);
}

void setStatusPage(httplib::Response &res, int status)
{
    setHtml(res, SitePages::statusPage(status), status);
}

// A number from the query, or fallback when absent or not a number.
qint64 numberParam(const httplib::Request &req, const char *name, qint64 fallback)
{
    if (!req.has_param(name))
        return fallback;
    bool ok = false;
    const qint64 value = qs(req.get_param_value(name)).trimmed().toLongLong(&ok);
    return ok ? value : fallback;
}

std::string testPattern(qint64 size)
{
    std::string bytes(size_t(size), '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[size_t(i)] = char((i * 7 + 3) % 256);
    return bytes;
}

// Sends the headers with the full length, then only the first half of the
// body, then drops the connection: a transfer cut off half way.
void setCutContent(httplib::Response &res, std::string bytes, const char *type)
{
    const size_t full = bytes.size();
    auto shared = std::make_shared<std::string>(std::move(bytes));
    res.set_content_provider(full, type, [shared, full](size_t offset, size_t, httplib::DataSink &sink) {
        const size_t half = full / 2;
        if (offset < half)
            sink.write(shared->data() + offset, half - offset);
        return false;
    });
}

void setSessionCookie(httplib::Response &res, const QByteArray &value, int maxAge)
{
    res.set_header("Set-Cookie", QStringLiteral("%1=%2; Path=/; Max-Age=%3")
                                     .arg(QLatin1String(SessionCookieName), QString::fromLatin1(value))
                                     .arg(maxAge)
                                     .toStdString());
}

} // namespace

DemoServer::DemoServer(Seed seed)
    : m_seed(std::move(seed))
    , m_server(std::make_unique<httplib::Server>())
{
    // Headers and body go out as two writes; without this each keep-alive
    // answer waits on Nagle and the client's delayed acknowledgement (~40 ms).
    // Set before binding: accepted sockets inherit it from the listening one.
    m_server->set_tcp_nodelay(true);
    m_pictures.generate(m_seed);
}

DemoServer::~DemoServer() = default;

std::optional<int> DemoServer::bind(int port)
{
    int bound = port;
    if (port == 0)
        bound = m_server->bind_to_any_port("127.0.0.1");
    else if (!m_server->bind_to_port("127.0.0.1", port))
        bound = -1;
    if (bound <= 0)
        return std::nullopt;
    m_pages = std::make_unique<SitePages>(m_seed, QStringLiteral("http://127.0.0.1:%1").arg(bound));
    installRoutes();
    return bound;
}

bool DemoServer::serve()
{
    return m_server->listen_after_bind();
}

void DemoServer::stop()
{
    m_stopping = true;
    m_server->stop();
}

bool DemoServer::waitFor(int milliseconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!m_stopping) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                                   std::chrono::milliseconds(20)));
    }
    return false;
}

void DemoServer::installRoutes()
{
    httplib::Server &svr = *m_server;
    const SitePages &pages = *m_pages;

    // Enough workers for a browser, the program's own requests and tests that
    // park requests on /test/hang at the same time.
    svr.new_task_queue = [] { return new httplib::ThreadPool(48); };
    svr.set_keep_alive_max_count(1000);
    // Idle keep-alive connections hold a worker; a short idle time lets the
    // site stop promptly.
    svr.set_keep_alive_timeout(2);

    svr.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &) {
        // The library would gzip pages for clients that accept it, and the
        // Content-Length would then no longer be the length of the page. The
        // request object is the library's own non-const local.
        const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
        if (m_seed.delayMs > 0)
            waitFor(m_seed.delayMs);
        return httplib::Server::HandlerResponse::Unhandled;
    });

    svr.Get("/", [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.home()); });
    svr.Get("/quillmoor/start",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.quillmoorStart()); });
    svr.Get("/quillmoor/help",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.quillmoorHelp()); });
    svr.Get("/quillmoor/feedback",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.quillmoorFeedback()); });

    auto logIn = [&pages](const httplib::Request &req, httplib::Response &res) {
        setSessionCookie(res, sessionValue(qs(req.get_param_value("user"))), OneYearSeconds);
        res.set_redirect((pages.base() + QStringLiteral("/quillmoor/start")).toStdString());
    };
    svr.Get("/login", [&pages, logIn](const httplib::Request &req, httplib::Response &res) {
        if (req.has_param("user"))
            logIn(req, res);
        else
            setHtml(res, pages.loginForm());
    });
    svr.Post("/login", logIn);
    svr.Get("/logout", [&pages](const httplib::Request &, httplib::Response &res) {
        setSessionCookie(res, QByteArray(), 0);
        res.set_redirect((pages.base() + QStringLiteral("/")).toStdString());
    });

    svr.Get("/getalbumprofile.do", [&pages](const httplib::Request &req, httplib::Response &res) {
        if (!hasValidSession(QByteArray::fromStdString(req.get_header_value("Cookie"))))
            return setHtml(res, pages.notLoggedIn());
        setHtml(res, pages.albumProfile(qs(req.get_param_value("owner")).trimmed()));
    });

    auto albumPage = [&pages](const QString &member, const QString &album, const httplib::Request &req,
                              httplib::Response &res) {
        const int page = int(qBound<qint64>(0, numberParam(req, "curpage", 1), qint64(INT_MAX)));
        if (const auto html = pages.albumPage(member, album, page))
            setHtml(res, *html);
        else
            setStatusPage(res, 404);
    };
    svr.Get(R"(/photo/([^/]+)/album-([^/]+))", [albumPage](const httplib::Request &req, httplib::Response &res) {
        albumPage(qs(req.matches[1]), qs(req.matches[2]), req, res);
    });
    svr.Get("/getalbum.do", [albumPage](const httplib::Request &req, httplib::Response &res) {
        albumPage(qs(req.get_param_value("owner")).trimmed(), qs(req.get_param_value("id")).trimmed(), req, res);
    });
    svr.Get(R"(/photo/([^/]+)/photo-([^/]+))", [&pages](const httplib::Request &req, httplib::Response &res) {
        if (const auto html = pages.picturePage(qs(req.matches[1]), qs(req.matches[2])))
            setHtml(res, *html);
        else
            setStatusPage(res, 404);
    });
    svr.Get(R"(/photo/([^/]+)/album/friends)", [&pages](const httplib::Request &req, httplib::Response &res) {
        setHtml(res, pages.friendsAlbums(qs(req.matches[1])));
    });
    svr.Get("/share/hotsharelist.do",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.hotShares()); });

    svr.Get(R"(/pic/([^/]+)/([^/]+)/([^/]+))", [this](const httplib::Request &req, httplib::Response &res) {
        const QString albumId = qs(req.matches[1]);
        const QString pictureId = qs(req.matches[2]);
        const QString file = qs(req.matches[3]);
        const QByteArray bytes = m_pictures.bytes(albumId, pictureId, file);
        const SeedPicture *picture = nullptr;
        for (const SeedMember &member : m_seed.members) {
            for (const SeedAlbum &album : member.albums) {
                if (!picture && album.id == albumId)
                    picture = album.picture(pictureId);
            }
        }
        if (!picture || bytes.isEmpty())
            return setStatusPage(res, 404);
        if (picture->status != 200)
            return setStatusPage(res, picture->status);
        const char *type = bytes.startsWith("GIF8") ? "image/gif" : "image/jpeg";
        if (picture->cut)
            setCutContent(res, ss(bytes), type);
        else
            res.set_content(ss(bytes), type);
    });

    // Endpoints the test suite relies on.
    svr.Get("/test/slow", [this](const httplib::Request &req, httplib::Response &res) {
        waitFor(int(qBound<qint64>(0, numberParam(req, "ms", 0), qint64(MaxWaitMs))));
        setHtml(res, "<html><head><meta charset=\"utf-8\"><title>slow</title></head><body>slow 慢</body></html>");
    });
    svr.Get("/test/hang", [this](const httplib::Request &, httplib::Response &res) {
        waitFor(INT_MAX);
        setStatusPage(res, 503);
    });
    svr.Get("/test/status", [](const httplib::Request &req, httplib::Response &res) {
        const qint64 code = numberParam(req, "code", 0);
        setStatusPage(res, code >= 200 && code <= 599 ? int(code) : 400);
    });
    svr.Get("/test/charset", [](const httplib::Request &req, httplib::Response &res) {
        std::string declared = req.get_param_value("declared");
        // A header value must not be able to carry a line break.
        std::erase_if(declared, [](char c) { return c == '\r' || c == '\n'; });
        res.set_content(ss(QStringLiteral("<html><body>汉字 Kestrelnet 相册</body></html>").toUtf8()),
                        "text/html; charset=" + declared);
    });
    svr.Get("/test/bytes", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(testPattern(qBound<qint64>(0, numberParam(req, "n", 0), MaxTestBytes)),
                        "application/octet-stream");
    });
    svr.Get("/test/cut", [](const httplib::Request &req, httplib::Response &res) {
        setCutContent(res, testPattern(qBound<qint64>(0, numberParam(req, "n", 0), MaxTestBytes)),
                      "application/octet-stream");
    });
    svr.Get("/test/cookie", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain; charset=utf-8");
    });
    svr.Get("/test/setcookie", [](const httplib::Request &req, httplib::Response &res) {
        const QByteArray name = QByteArray::fromStdString(req.get_param_value("name"));
        const QByteArray value = QByteArray::fromStdString(req.get_param_value("value"));
        // Separators in a name or value would change the meaning of the header.
        static const QByteArray forbidden(";,= \t\r\n\"");
        auto usable = [](const QByteArray &text, bool isName) {
            for (const char c : text) {
                if (forbidden.contains(c) && !(c == '=' && !isName))
                    return false;
            }
            return !isName || !text.isEmpty();
        };
        if (!usable(name, true) || !usable(value, false))
            return setStatusPage(res, 400);
        res.set_header("Set-Cookie", ss(name + '=' + value + "; Path=/; Max-Age=" + QByteArray::number(OneYearSeconds)));
        setHtml(res, "<html><head><meta charset=\"utf-8\"><title>setcookie</title></head><body>cookie set</body></html>");
    });
    svr.Get("/test/newwindow", [&pages](const httplib::Request &, httplib::Response &res) {
        setHtml(res, pages.newWindowTest());
    });
    svr.Get("/test/links",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.linksTest()); });
    svr.Get("/test/text", [](const httplib::Request &req, httplib::Response &res) {
        const qint64 length = qBound<qint64>(0, numberParam(req, "len", 0), MaxTestBytes);
        std::string text(size_t(length), 'x');
        for (qint64 i = 0; i < length; ++i)
            text[size_t(i)] = char('a' + i % 26);
        res.set_content(text, HtmlType);
    });

    svr.Get(".*", [](const httplib::Request &, httplib::Response &res) { setStatusPage(res, 404); });
    svr.Post(".*", [](const httplib::Request &, httplib::Response &res) { setStatusPage(res, 404); });
}
