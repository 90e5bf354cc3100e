#include "server.h"

#include "session.h"

#include <httplib.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// Answers a failure as the seed asks for it.
void setFailure(httplib::Response &res, int status, const QString &retryAfter)
{
    setStatusPage(res, status);
    if (!retryAfter.isEmpty())
        res.set_header("Retry-After", retryAfter.toStdString());
}

// Counts each request and restores the count when the answer is written.
class InFlight
{
public:
    explicit InFlight(std::atomic<int> &count) : m_count(count), m_value(++count) {}
    ~InFlight() { --m_count; }
    int value() const { return m_value; }

private:
    std::atomic<int> &m_count;
    int m_value;
};

// Sends the headers with the full length, then only the first half of the
// body, then drops the connection: a transfer cut off half way.
void setCutContent(httplib::Response &res, std::string bytes, const std::string &type)
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

DemoServer::~DemoServer()
{
    if (m_deadSocket >= 0)
        ::close(m_deadSocket);
}

std::optional<int> DemoServer::bind(int port)
{
    int bound = port;
    if (port == 0)
        bound = m_server->bind_to_any_port("127.0.0.1");
    else if (!m_server->bind_to_port("127.0.0.1", port))
        bound = -1;
    if (bound <= 0)
        return std::nullopt;

    // A port held without listening stays refused for as long as the site
    // runs; a port merely believed free could be taken meanwhile.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    m_deadSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_deadSocket < 0 || ::bind(m_deadSocket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::getsockname(m_deadSocket, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return std::nullopt;

    m_pages = std::make_unique<SitePages>(m_seed, QStringLiteral("http://127.0.0.1:%1").arg(bound),
                                          QStringLiteral("http://127.0.0.1:%1").arg(ntohs(address.sin_port)));
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

bool DemoServer::failsNow(const QString &key, const Failures &failures)
{
    if (failures.count == 0)
        return false;
    std::lock_guard lock(m_hitsLock);
    return failures.failsOn(++m_hits[key]);
}

bool DemoServer::admitPictureRequest(int inFlight, httplib::Response &res)
{
    if (m_seed.maxInFlight > 0 && inFlight > m_seed.maxInFlight) {
        setFailure(res, m_seed.throttleStatus, m_seed.throttleRetryAfter);
        return false;
    }
    waitFor(m_seed.pictureDelayMs);
    return true;
}

void DemoServer::countRequest(const QString &path)
{
    if (path.startsWith(u"/pic/"))
        ++m_pictureRequests;
    else if (path.startsWith(u"/photo/") && path.contains(u"/photo-"))
        ++m_picturePageRequests;
    else if ((path.startsWith(u"/photo/") && path.contains(u"/album-")) || path == u"/getalbum.do")
        ++m_albumPageRequests;
    else if (path != u"/test/requests")
        ++m_otherRequests;
}

bool DemoServer::answeredAsExpired(httplib::Response &res)
{
    QString answer;
    {
        std::lock_guard lock(m_sessionLock);
        if (m_expireAfter < 0)
            return false;
        if (m_expireAfter > 0) {
            --m_expireAfter;
            return false;
        }
        answer = m_expiredAnswer;
    }
    if (answer == u"redirect")
        res.set_redirect((m_pages->base() + QStringLiteral("/login")).toStdString());
    else if (answer == u"403" || answer == u"401")
        setStatusPage(res, answer.toInt());
    else
        setHtml(res, m_pages->loginForm());
    return true;
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
        countRequest(qs(req.path));
        // The library would gzip pages for clients that accept it, and the
        // Content-Length would then no longer be the length of the page. The
        // request object is the library's own non-const local.
        const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
        if (m_seed.delayMs > 0)
            waitFor(m_seed.delayMs);
        return httplib::Server::HandlerResponse::Unhandled;
    });

    // Pages built from the seed read it under the lock that the test
    // endpoints take to change it.
    auto reading = [this](httplib::Server::Handler handler) {
        return [this, handler](const httplib::Request &req, httplib::Response &res) {
            std::shared_lock lock(m_seedLock);
            handler(req, res);
        };
    };

    svr.Get("/", reading([&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.home()); }));
    svr.Get("/quillmoor/start", reading([&pages](const httplib::Request &, httplib::Response &res) {
                setHtml(res, pages.quillmoorStart());
            }));
    svr.Get("/quillmoor/help",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.quillmoorHelp()); });
    svr.Get("/quillmoor/feedback",
            [&pages](const httplib::Request &, httplib::Response &res) { setHtml(res, pages.quillmoorFeedback()); });

    auto logIn = [this, &pages](const httplib::Request &req, httplib::Response &res) {
        {
            // Logging in again renews an expired session.
            std::lock_guard lock(m_sessionLock);
            m_expireAfter = -1;
        }
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

    svr.Get("/getalbumprofile.do", reading([&pages](const httplib::Request &req, httplib::Response &res) {
                const QString owner = qs(req.get_param_value("owner")).trimmed();
                // A broken server fails whether or not one is logged in.
                if (const SeedMember *member = pages.seed().member(owner); member && member->profileStatus)
                    return setStatusPage(res, member->profileStatus);
                if (!hasValidSession(QByteArray::fromStdString(req.get_header_value("Cookie"))))
                    return setHtml(res, pages.notLoggedIn());
                setHtml(res, pages.albumProfile(owner));
            }));

    auto albumPage = [this, &pages](const QString &memberId, const QString &albumId, const httplib::Request &req,
                                    httplib::Response &res) {
        if (answeredAsExpired(res))
            return;
        const SeedMember *member = pages.seed().member(memberId);
        const SeedAlbum *album = member ? member->album(albumId) : nullptr;
        if (!album)
            return setStatusPage(res, 404);
        if (album->pageStatus)
            return setStatusPage(res, album->pageStatus);
        const int page = int(qBound<qint64>(-1, numberParam(req, "curpage", album->firstPage), qint64(INT_MAX)));
        if (album->pageIndex(page) == 2 && album->nextLink == NextLink::RedirectAway) {
            // The same machine under another name: off the photo host.
            QString away = pages.base();
            away.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
            return res.set_redirect((away + u'/').toStdString());
        }
        if (album->pageIndex(page) == 2 && album->nextLink == NextLink::Error)
            return setStatusPage(res, 500);
        if (album->busyPage > 0 && album->pageIndex(page) == album->busyPage)
            return setHtml(res, QStringLiteral("<html><head><title>Kestrelnet Kampus - 浏览相册 - %1</title></head>"
                                               "<body><p>服务器繁忙，请稍后再试</p></body></html>")
                                    .arg(htmlEscaped(album->name))
                                    .toUtf8());
        if (const auto html = pages.albumPage(memberId, albumId, page))
            setHtml(res, *html);
        else
            setStatusPage(res, 404);
    };
    svr.Get(R"(/photo/([^/]+)/album-([^/]+))", reading([albumPage](const httplib::Request &req, httplib::Response &res) {
                albumPage(qs(req.matches[1]), qs(req.matches[2]), req, res);
            }));
    svr.Get("/getalbum.do", reading([albumPage](const httplib::Request &req, httplib::Response &res) {
                albumPage(qs(req.get_param_value("owner")).trimmed(), qs(req.get_param_value("id")).trimmed(), req,
                          res);
            }));
    // Picture pages and pictures are what a job asks for many at a time: they
    // are the ones held back and throttled.
    auto picturePart = [this](httplib::Server::Handler handler) {
        return [this, handler](const httplib::Request &req, httplib::Response &res) {
            const InFlight busy(m_inFlight);
            if (!admitPictureRequest(busy.value(), res))
                return;
            std::shared_lock lock(m_seedLock);
            handler(req, res);
        };
    };
    svr.Get(R"(/photo/([^/]+)/photo-([^/]+))", picturePart([this, &pages](const httplib::Request &req,
                                                                          httplib::Response &res) {
        const QString memberId = qs(req.matches[1]);
        const QString pictureId = qs(req.matches[2]);
        if (answeredAsExpired(res))
            return;
        const SeedPicture *found = nullptr;
        if (const SeedMember *member = m_seed.member(memberId)) {
            for (const SeedAlbum &album : member->albums) {
                const SeedPicture *picture = album.picture(pictureId);
                if (picture && album.noPictureData)
                    return setHtml(res, "<html><head><title>Kestrelnet</title></head><body>photo</body></html>");
                found = found ? found : picture;
                const Failures *failures = picture ? &picture->pageFailures : nullptr;
                if (failures && failsNow(QStringLiteral("page/") + album.id + u'/' + pictureId, *failures))
                    return setFailure(res, failures->status, failures->retryAfter);
            }
        }
        if (found && found->bombPage) {
            res.set_header("Content-Encoding", "gzip");
            return res.set_content(ss(gzipBomb("<html><body>", ' ', found->bombBytes)), HtmlType);
        }
        const auto html = pages.picturePage(memberId, pictureId);
        if (html && found && found->pageTrickleMs > 0)
            return res.set_content_provider(html->size(), HtmlType,
                                            trickleProvider(ss(*html), found->pageTrickleMs,
                                                            [this](int ms) { return waitFor(ms); },
                                                            found->trickleBytes));
        if (html)
            setHtml(res, *html);
        else
            setStatusPage(res, 404);
    }));
    svr.Get(R"(/photo/([^/]+)/album/friends)", reading([&pages](const httplib::Request &req, httplib::Response &res) {
                setHtml(res, pages.friendsAlbums(qs(req.matches[1])));
            }));
    svr.Get("/share/hotsharelist.do", reading([&pages](const httplib::Request &, httplib::Response &res) {
                setHtml(res, pages.hotShares());
            }));

    svr.Get(R"(/pic/([^/]+)/([^/]+)/([^/]+))", picturePart([this](const httplib::Request &req, httplib::Response &res) {
        const QString albumId = qs(req.matches[1]);
        const QString pictureId = qs(req.matches[2]);
        const QByteArray bytes = m_pictures.bytes(albumId, pictureId, qs(req.matches[3]));
        const SeedAlbum *album = m_seed.album(albumId);
        const SeedPicture *picture = album ? album->picture(pictureId) : nullptr;
        const QString host = qs(req.get_header_value("Host"));
        const QString hostName = host.section(u':', 0, 0);
        {
            std::lock_guard lock(m_pictureCookiesLock);
            // Bounded: a long run must not grow the site without end.
            if (m_pictureCookies.size() < 100000)
                m_pictureCookies.append({hostName, qs(req.get_header_value("Cookie"))});
        }
        if (!picture || bytes.isEmpty())
            return setStatusPage(res, 404);
        if (picture->otherHost && hostName != u"localhost") {
            const QString port = host.section(u':', 1, 1);
            return res.set_redirect(
                (QStringLiteral("http://localhost:") + port + qs(req.path)).toStdString());
        }
        const Failures &failures = picture->pictureFailures;
        if (failsNow(QStringLiteral("picture/") + albumId + u'/' + pictureId, failures))
            return setFailure(res, failures.status, failures.retryAfter);
        if (picture->status != 200)
            return setStatusPage(res, picture->status);
        if (picture->date.isValid())
            res.set_header("Last-Modified", QLocale::c()
                                                .toString(picture->date.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                                                .toStdString());
        const std::string type = !picture->contentType.isEmpty() ? picture->contentType.toStdString()
                : bytes.startsWith("GIF8")                      ? "image/gif"
                                                                : "image/jpeg";
        if (picture->trickleMs > 0)
            return res.set_content_provider(bytes.size(), type, trickleProvider(ss(bytes), picture->trickleMs,
                                                                                [this](int ms) { return waitFor(ms); },
                                                                                picture->trickleBytes));
        switch (picture->body) {
        case PictureBody::Plain:
            if (failsNow(QStringLiteral("cut/") + albumId + u'/' + pictureId, picture->cuts))
                return setCutContent(res, ss(bytes), type);
            return res.set_content(ss(bytes), type);
        case PictureBody::Gzip:
            res.set_header("Content-Encoding", "gzip");
            return res.set_content(ss(compressed(bytes, true)), type);
        case PictureBody::GzipCut:
        case PictureBody::DeflateCut:
            res.set_header("Content-Encoding", picture->body == PictureBody::GzipCut ? "gzip" : "deflate");
            return setCutContent(res, ss(compressed(bytes, picture->body == PictureBody::GzipCut)), type);
        case PictureBody::Partial:
            res.status = 206;
            res.set_header("Content-Range", QStringLiteral("bytes 0-%1/%2")
                                                .arg(bytes.size() / 2 - 1)
                                                .arg(bytes.size())
                                                .toStdString());
            return res.set_content(ss(bytes.left(bytes.size() / 2)), type);
        case PictureBody::Html:
            return res.set_content(ss(SitePages::statusPage(200)),
                                   picture->contentType.isEmpty() ? std::string(HtmlType) : type);
        case PictureBody::Empty:
            return res.set_content(std::string(), type);
        case PictureBody::JpegHead:
            return res.set_content(ss(bytes.left(64)), type);
        case PictureBody::GzipBomb:
            res.set_header("Content-Encoding", "gzip");
            return res.set_content(ss(gzipBomb("\xFF\xD8\xFF\xE0", '\0', picture->bombBytes)), type);
        }
    }));

    installTestRoutes();
    // Last: the first route that matches answers.
    svr.Get(".*", [](const httplib::Request &, httplib::Response &res) { setStatusPage(res, 404); });
    svr.Post(".*", [](const httplib::Request &, httplib::Response &res) { setStatusPage(res, 404); });
}

// Endpoints the test suite relies on.
void DemoServer::installTestRoutes()
{
    httplib::Server &svr = *m_server;
    const SitePages &pages = *m_pages;

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
    // The host and Cookie header of every picture request since the start or
    // the last reset, oldest first: [{"host", "cookie"}].
    svr.Get("/test/picturecookies", [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard lock(m_pictureCookiesLock);
        QJsonArray heard;
        for (const auto &[host, cookie] : std::as_const(m_pictureCookies))
            heard.append(QJsonObject{{QStringLiteral("host"), host}, {QStringLiteral("cookie"), cookie}});
        if (req.get_param_value("reset") == "1")
            m_pictureCookies.clear();
        res.set_content(ss(QJsonDocument(heard).toJson(QJsonDocument::Compact)), "application/json");
    });
    // A redirect of the given `code` (302 by default) to `to`, an http(s) address.
    svr.Get("/test/redirect", [](const httplib::Request &req, httplib::Response &res) {
        const QString to = qs(req.get_param_value("to"));
        if (!to.startsWith(u"http://") && !to.startsWith(u"https://"))
            return setStatusPage(res, 400);
        const qint64 code = numberParam(req, "code", 302);
        res.set_redirect(to.toStdString(), code >= 300 && code <= 308 ? int(code) : 302);
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

    // Expires the session after `after` more album-page and picture-page
    // requests, answered then as `answer` says: the login form itself
    // ("form"), a redirect to it ("redirect"), "401" or "403".
    svr.Get("/test/expire", [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard lock(m_sessionLock);
        m_expireAfter = int(qBound<qint64>(0, numberParam(req, "after", 0), qint64(1000000)));
        m_expiredAnswer = qs(req.get_param_value("answer"));
        res.set_content("expiring", "text/plain");
    });
    svr.Get("/test/requests", [this](const httplib::Request &req, httplib::Response &res) {
        const bool reset = req.get_param_value("reset") == "1";
        auto take = [reset](std::atomic<int> &count) { return reset ? count.exchange(0) : count.load(); };
        const QJsonObject counts{{QStringLiteral("albumPages"), take(m_albumPageRequests)},
                                 {QStringLiteral("picturePages"), take(m_picturePageRequests)},
                                 {QStringLiteral("pictures"), take(m_pictureRequests)},
                                 {QStringLiteral("other"), take(m_otherRequests)}};
        res.set_content(ss(QJsonDocument(counts).toJson(QJsonDocument::Compact)), "application/json");
    });
    // Changes an album between two runs of a job: adds generated pictures
    // (and pages), or takes one away. Both answer the album's new count.
    svr.Get("/test/grow", [this](const httplib::Request &req, httplib::Response &res) {
        std::unique_lock lock(m_seedLock);
        SeedAlbum *album = m_seed.album(qs(req.get_param_value("album")).trimmed());
        if (!album)
            return setStatusPage(res, 404);
        for (const SeedPicture &picture : album->grow(int(qBound<qint64>(0, numberParam(req, "n", 0), qint64(1000)))))
            m_pictures.add(album->id, picture);
        res.set_content(std::to_string(album->pictures.size()), "text/plain");
    });
    // Changes an album between two runs: renames it ("name"), makes every
    // page of it answer a status ("status", 404 for an album taken away),
    // makes one of its pages a notice ("busyPage", 0 for none) or its picture
    // pages lose their data ("noPictureData" 1 or 0).
    svr.Get("/test/album", [this](const httplib::Request &req, httplib::Response &res) {
        std::unique_lock lock(m_seedLock);
        SeedAlbum *album = m_seed.album(qs(req.get_param_value("album")).trimmed());
        if (!album)
            return setStatusPage(res, 404);
        if (req.has_param("name"))
            album->name = qs(req.get_param_value("name"));
        if (req.has_param("status"))
            album->pageStatus = int(qBound<qint64>(0, numberParam(req, "status", 0), qint64(599)));
        if (req.has_param("busyPage"))
            album->busyPage = int(qBound<qint64>(0, numberParam(req, "busyPage", 0), qint64(100000)));
        if (req.has_param("noPictureData"))
            album->noPictureData = req.get_param_value("noPictureData") == "1";
        res.set_content("changed", "text/plain");
    });
    svr.Get("/test/remove", [this](const httplib::Request &req, httplib::Response &res) {
        std::unique_lock lock(m_seedLock);
        SeedAlbum *album = m_seed.album(qs(req.get_param_value("album")).trimmed());
        if (!album || !album->remove(qs(req.get_param_value("picture")).trimmed()))
            return setStatusPage(res, 404);
        res.set_content(std::to_string(album->pictures.size()), "text/plain");
    });
}
