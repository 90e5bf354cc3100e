#include "demosite.h"
#include "testservers.h"
#include "web/cookiejar.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/networksession.h"
#include "web/picturetransfers.h"
#include "web/ratelimit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDeadlineTimer>
#include <QNetworkCookie>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <optional>

namespace {

// Pictures and pages that answer the same way every time, so both paths
// can be asked for each.
const QByteArray Seed = R"({ "members": [ { "id": "900", "albums": [ { "id": "90", "pictures": [
    {"id": "904", "pageFails": -1, "pageStatus": 503, "pageRetryAfter": 60},
    {"id": "906", "body": "gzip"},
    {"id": "907", "body": "gzipCut"},
    {"id": "909", "body": "partial"},
    {"id": "910", "body": "html"},
    {"id": "911", "body": "empty"},
    {"id": "915", "fails": -1},
    {"id": "920", "body": "gzipBomb", "bombMb": 8},
    {"id": "921", "pageBody": "gzipBomb", "bombMb": 8},
    {"id": "923", "otherHost": true},
    {"id": "924", "trickleMs": 10, "trickleBytes": 12, "padKb": 64},
    {"id": "925", "trickleMs": 25, "trickleBytes": 100, "padKb": 4},
    {"id": "926", "trickleMs": 600, "trickleBytes": 1000, "padKb": 4},
    {"id": "930", "date": "2024-05-01T10:00:00Z"}
] } ] } ] })";

QString picturePath(const QString &id)
{
    return QStringLiteral("/pic/90/%1/p%1.jpg").arg(id);
}

QStringList entriesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// What a caller can see of one request: its result, text or file, and
// what the throttle heard on which thread.
struct Seen {
    WebResult result;
    QString text;
    QByteArray file;
    qint64 size = 0;
    QByteArray sha256;
    QDateTime lastModified;
    QList<int> throttled;
    bool throttledElsewhere = false;
    QStringList leftInFolder;
};

enum class Path { CallersThread, TransferThread };
enum class Request { Page, Picture, PageThenPicture };

// One request through the free functions on `session` or through its
// transfer thread.
std::optional<Seen> run(Path path, NetworkSession *session, bool picture, const QString &address,
                        RequestOptions options, const QString &folder)
{
    QObject context;
    Seen seen;
    bool answered = false;
    options.throttled = [&seen](int ms) {
        seen.throttled << ms;
        seen.throttledElsewhere |= QThread::currentThread() != qApp->thread();
    };
    const QString file = folder + QStringLiteral("/p.jpg");
    auto pictureDone = [&](const DownloadResult &r) {
        seen.result = r;
        seen.size = r.size;
        seen.sha256 = r.sha256.toByteArray();
        seen.lastModified = r.lastModified;
        answered = true;
    };
    auto pageDone = [&](const PageResult &r) {
        seen.result = r;
        seen.text = r.text;
        answered = true;
    };
    PictureTransfers *transfers = PictureTransfers::forSession(session->manager());
    if (path == Path::CallersThread && picture)
        downloadPicture(session->manager(), address, file, &context, pictureDone, options);
    else if (path == Path::CallersThread)
        fetchPage(session->manager(), "UTF-8", address, &context, pageDone, options);
    else if (picture)
        transfers->downloadPicture(address, file, &context, pictureDone, options);
    else
        transfers->fetchPage("UTF-8", address, &context, pageDone, options);
    if (!QTest::qWaitFor([&] { return answered; }, 30000))
        return std::nullopt;
    QFile saved(file);
    if (saved.open(QIODevice::ReadOnly))
        seen.file = saved.readAll();
    seen.leftInFolder = entriesIn(folder);
    // Each path runs in a folder of its own.
    seen.result.failure.subject.replace(folder, QStringLiteral("FOLDER"));
    return seen;
}

// An https server that redirects every request to `to`.
void redirectEverything(QSslServer &server, const QString &to)
{
    const QSslCertificate certificate(TestCertificate);
    QSslConfiguration trusted = QSslConfiguration::defaultConfiguration();
    trusted.addCaCertificate(certificate);
    QSslConfiguration::setDefaultConfiguration(trusted);
    QSslConfiguration serving = QSslConfiguration::defaultConfiguration();
    serving.setLocalCertificate(certificate);
    serving.setPrivateKey(QSslKey(TestKey, QSsl::Ec));
    server.setSslConfiguration(serving);
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [&server, to] {
        QTcpSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, to] {
            if (socket->readAll().contains("\r\n\r\n"))
                socket->write("HTTP/1.1 302 Found\r\nLocation: " + to.toLatin1() + "\r\nContent-Length: 0\r\n\r\n");
        });
    });
}

} // namespace

class TestTransfers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sameAnswersOnEitherThread_data();
    void sameAnswersOnEitherThread();
    void cookiesFollowTheSession();
    void pageAndPictureInOneStep_data();
    void pageAndPictureInOneStep();
    void leavingAbandonsEveryRequest_data();
    void leavingAbandonsEveryRequest();
    void aLaneKeepsItsStepsToItsCap();

private:
    DemoSite m_site;
    DemoSite m_faulty{Seed};
    NetworkSession *m_session = nullptr;
    PictureTransfers *m_transfers = nullptr;
};

void TestTransfers::initTestCase()
{
    QVERIFY(m_site.start());
    QVERIFY(m_faulty.start());
}

void TestTransfers::init()
{
    m_session = new NetworkSession;
    m_transfers = PictureTransfers::forSession(m_session->manager());
    QVERIFY(m_transfers->onOwnThread());
}

void TestTransfers::cleanup()
{
    delete m_session;
    m_session = nullptr;
}

void TestTransfers::sameAnswersOnEitherThread_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("deadlineMs");
    QTest::addColumn<qint64>("capBytes");
    QTest::addColumn<WebReason>("reason");
    QTest::addColumn<qint64>("bytesPerSecond");
    QTest::addColumn<int>("silenceMs"); // the time-out for no sign of life; 0: 5 s

    const qint64 none = 0;
    QTest::newRow("picture") << true << m_site.url("/test/bytes?n=300000") << 0 << none << WebReason::None << none << 0;
    // Held back by the limit, the transfer pauses and resumes many times.
    QTest::newRow("rate-limited picture") << true << m_site.url("/test/bytes?n=600000") << 0 << none << WebReason::None
                                          << qint64(400 << 10) << 0;
    QTest::newRow("dated picture") << true << m_faulty.url(picturePath("930")) << 0 << none << WebReason::None << none << 0;
    QTest::newRow("redirected to another host") << true << m_faulty.url(picturePath("923")) << 0 << none << WebReason::None << none << 0;
    QTest::newRow("page") << false << m_site.url("/photo/100000001/album-5001") << 0 << none << WebReason::None << none << 0;
    QTest::newRow("gzip picture") << true << m_faulty.url(picturePath("906")) << 0 << none << WebReason::None << none << 0;
    QTest::newRow("cut gzip") << true << m_faulty.url(picturePath("907")) << 0 << none << WebReason::Truncated << none << 0;
    QTest::newRow("206") << true << m_faulty.url(picturePath("909")) << 0 << none << WebReason::PartialContent << none << 0;
    QTest::newRow("page for a picture") << true << m_faulty.url(picturePath("910")) << 0 << none << WebReason::PageNotPicture << none << 0;
    QTest::newRow("empty") << true << m_faulty.url(picturePath("911")) << 0 << none << WebReason::EmptyBody << none << 0;
    QTest::newRow("always failing, retried") << true << m_faulty.url(picturePath("915")) << 0 << none << WebReason::HttpStatus << none << 0;
    QTest::newRow("503 for a minute") << false << m_faulty.url("/photo/900/photo-904") << 0 << none << WebReason::RetryTooLate << none << 0;
    QTest::newRow("404 page") << false << m_site.url("/test/status?code=404") << 0 << none << WebReason::HttpStatus << none << 0;
    QTest::newRow("picture bomb") << true << m_faulty.url(picturePath("920")) << 0 << qint64(1 << 20) << WebReason::TooLarge << none << 0;
    QTest::newRow("page bomb") << false << m_faulty.url("/photo/900/photo-921") << 0 << qint64(1 << 20) << WebReason::TooLarge << none << 0;
    QTest::newRow("deadline") << true << m_faulty.url(picturePath("924")) << 1500 << none << WebReason::DeadlinePassed << none << 0;
    QTest::newRow("https to http") << true << QString("https") << 0 << none << WebReason::InsecureRedirect << none << 0;
    // Bytes 25 ms apart for a second outlive a time-out of 0.15 s for no
    // sign of life; bytes 0.6 s apart do not.
    QTest::newRow("trickle, never silent") << true << m_faulty.url(picturePath("925")) << 0 << none << WebReason::None
                                           << none << 150;
    QTest::newRow("trickle, silent") << true << m_faulty.url(picturePath("926")) << 0 << none << WebReason::NoData
                                     << none << 150;
    QTest::newRow("picture already there") << true << m_site.url("/test/bytes?n=10") << 0 << none << WebReason::FileExists << none << 0;
}

void TestTransfers::sameAnswersOnEitherThread()
{
    QFETCH(bool, picture);
    QFETCH(QString, address);
    QFETCH(int, deadlineMs);
    QFETCH(qint64, capBytes);
    QFETCH(WebReason, reason);
    QFETCH(qint64, bytesPerSecond);
    QFETCH(int, silenceMs);
    QSslServer https;
    if (address == "https") {
        QVERIFY(https.listen(QHostAddress::LocalHost));
        redirectEverything(https, m_site.url("/test/cookie"));
        address = QStringLiteral("https://127.0.0.1:%1/p.jpg").arg(https.serverPort());
    }
    RequestOptions options;
    options.timeoutMs = silenceMs ? silenceMs : 5000;
    options.retry.delaysMs = {20, 20};
    options.deadlineMs = deadlineMs;
    options.lowSpeedBytesPerSecond = deadlineMs ? 500 : options.lowSpeedBytesPerSecond;
    options.lowSpeedTimeMs = deadlineMs ? 1000 : options.lowSpeedTimeMs;
    if (capBytes)
        options.maxPageBytes = options.maxPictureBytes = capBytes;
    options.rateLimit = RateLimiter::make(bytesPerSecond);

    std::optional<Seen> seen[2];
    for (const Path path : {Path::CallersThread, Path::TransferThread}) {
        QTemporaryDir dir;
        if (reason == WebReason::FileExists) {
            QFile earlier(dir.filePath("p.jpg"));
            QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("mine") == 4);
        }
        seen[int(path)] = run(path, m_session, picture, address, options, dir.path());
        QVERIFY2(seen[int(path)], "no answer");
    }
    const Seen &mine = *seen[0];
    const Seen &theirs = *seen[1];
    QCOMPARE(theirs.result.failure.reason, reason);
    QCOMPARE(theirs.result.error, mine.result.error);
    QCOMPARE(theirs.result.failure, mine.result.failure);
    QCOMPARE(theirs.result.httpStatus, mine.result.httpStatus);
    QCOMPARE(theirs.result.attempts, mine.result.attempts);
    QCOMPARE(theirs.text, mine.text);
    QCOMPARE(theirs.file, mine.file);
    QCOMPARE(theirs.size, mine.size);
    QCOMPARE(theirs.sha256, mine.sha256);
    QCOMPARE(theirs.lastModified, mine.lastModified);
    QCOMPARE(theirs.lastModified.isValid(), QTest::currentDataTag() == QByteArray("dated picture"));
    QCOMPARE(theirs.throttled, mine.throttled);
    QVERIFY(!theirs.throttledElsewhere);
    QCOMPARE(theirs.leftInFolder, mine.leftInFolder);
    if (theirs.result.ok() && picture)
        QCOMPARE(QCryptographicHash::hash(theirs.file, QCryptographicHash::Sha256), theirs.sha256);
}

void TestTransfers::cookiesFollowTheSession()
{
    auto sent = [this](const QString &path) {
        std::optional<Seen> seen = run(Path::TransferThread, m_session, false, m_site.url(path), {}, QDir::tempPath());
        return seen ? seen->text : QStringLiteral("no answer");
    };
    // The thread runs before the cookie exists.
    QCOMPARE(sent("/test/cookie"), QString());
    QNetworkCookie cookie("mirrored", "from-browser");
    cookie.setDomain("127.0.0.1");
    cookie.setPath("/");
    QVERIFY(m_session->cookieJar()->insertCookie(cookie));
    QCOMPARE(sent("/test/cookie"), QStringLiteral("mirrored=from-browser"));

    // One the site sets on the transfer thread reaches the session's jar,
    // and is sent again at once.
    QVERIFY(sent("/test/setcookie?name=set&value=there").contains("cookie set"));
    QVERIFY(sent("/test/cookie").contains("set=there"));
    QTRY_COMPARE(m_session->cookieJar()->cookiesForUrl(QUrl(m_site.base())).size(), 2);

    // One the session drops is no longer sent.
    QVERIFY(m_session->cookieJar()->deleteCookie(cookie));
    QCOMPARE(sent("/test/cookie"), QStringLiteral("set=there"));
}

void TestTransfers::pageAndPictureInOneStep_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("picture"); // what the page names, if it answers; empty: nothing
    QTest::addColumn<WebReason>("pageReason");
    QTest::addColumn<WebReason>("pictureReason");

    const QString page = m_faulty.url("/photo/900/photo-930");
    QTest::newRow("picture named") << page << m_faulty.url(picturePath("930")) << WebReason::None << WebReason::None;
    QTest::newRow("nothing named") << page << QString() << WebReason::None << WebReason::None;
    QTest::newRow("page fails") << m_faulty.url("/test/status?code=404") << m_faulty.url(picturePath("930"))
                                << WebReason::HttpStatus << WebReason::None;
    QTest::newRow("picture fails") << page << m_faulty.url(picturePath("915")) << WebReason::None
                                   << WebReason::HttpStatus;
}

void TestTransfers::pageAndPictureInOneStep()
{
    QFETCH(QString, page);
    QFETCH(QString, picture);
    QFETCH(WebReason, pageReason);
    QFETCH(WebReason, pictureReason);
    QTemporaryDir dir;
    const QString file = dir.filePath("p.jpg");
    RequestOptions options;
    options.retry.delaysMs = {20};
    std::atomic<bool> readHere = false;
    auto pictureOf = [&](const PageResult &answer) {
        readHere = QThread::currentThread() == qApp->thread();
        return answer.ok() ? picture : QString();
    };
    std::optional<PageResult> pageSeen;
    std::optional<DownloadResult> pictureSeen;
    int calls = 0;
    QObject context;
    m_faulty.requests(true);
    m_transfers->fetchPageAndPicture(
            page, file, pictureOf, &context,
            [&](const PageResult &p, const std::optional<DownloadResult> &d) {
                ++calls;
                pageSeen = p;
                pictureSeen = d;
            },
            options);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 30000);
    QVERIFY(!readHere);
    QCOMPARE(pageSeen->failure.reason, pageReason);
    const bool named = pageSeen->ok() && !picture.isEmpty();
    QCOMPARE(pictureSeen.has_value(), named);
    QCOMPARE(m_faulty.requests().value("pictures").toInt() > 0, named);
    if (!named) {
        QVERIFY(entriesIn(dir.path()).isEmpty());
        return;
    }
    QCOMPARE(pictureSeen->failure.reason, pictureReason);
    QTemporaryDir apart;
    const std::optional<Seen> alone = run(Path::TransferThread, m_session, true, picture, options, apart.path());
    QVERIFY(alone);
    QCOMPARE(pictureSeen->sha256.toByteArray(), alone->sha256);
    QCOMPARE(pictureSeen->lastModified, alone->lastModified);
    QCOMPARE(entriesIn(dir.path()), alone->leftInFolder);
    QTest::qWait(0);
    QCOMPARE(calls, 1);
}

void TestTransfers::aLaneKeepsItsStepsToItsCap()
{
    // Slow pages naming no picture, more of them than the cap: never more
    // than the cap at once, the next begun as one ends; halted, none begins
    // until it goes on; those taken back never begin or answer.
    for (const bool ownThread : {true, false}) {
        QNetworkAccessManager plain;
        PictureTransfers here(&plain);
        PictureTransfers *transfers = ownThread ? m_transfers : &here;
        QCOMPARE(transfers->onOwnThread(), ownThread);
        const std::shared_ptr<TransferLane> lane = transfers->lane(2);
        QObject context;
        QTemporaryDir dir;
        QList<int> answered;
        int mostAtOnce = 0;
        const auto ask = [&](int key) {
            transfers->fetchPageAndPicture(
                    m_site.url("/test/slow?ms=300"), dir.filePath(QString::number(key)),
                    [](const PageResult &) { return QString(); }, &context,
                    [&, key](const PageResult &page, const std::optional<DownloadResult> &) {
                        QVERIFY(page.ok());
                        answered << key;
                    },
                    {}, lane, key);
        };
        for (int key = 0; key < 5; ++key)
            ask(key);
        QTimer sample;
        connect(&sample, &QTimer::timeout, [&] { mostAtOnce = qMax(mostAtOnce, lane->running()); });
        sample.start(5);
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(lane->running(), 2, 10000);
        lane->halt();
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 4, 10000);
        QTest::qWait(500);
        QCOMPARE(answered.size(), 4);
        QCOMPARE(lane->running(), 0);
        lane->goOn();
        QTRY_COMPARE_WITH_TIMEOUT(lane->running(), 1, 10000);
        lane->halt();
        ask(5);
        ask(6);
        QCOMPARE(lane->takeBackWaiting(), (QList<int>{5, 6}));
        lane->goOn();
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 5, 10000);
        QTest::qWait(500);
        std::sort(answered.begin(), answered.end());
        QCOMPARE(answered, (QList<int>{0, 1, 2, 3, 4}));
        QCOMPARE(mostAtOnce, 2);
        QCOMPARE(lane->waiting(), 0);
    }
}

void TestTransfers::leavingAbandonsEveryRequest_data()
{
    QTest::addColumn<Request>("request");
    QTest::addColumn<int>("leaveAfter"); // -1: in the same turn as the call; else after that many bytes

    QTest::newRow("picture still queued") << Request::Picture << -1;
    QTest::newRow("picture half-way") << Request::Picture << 10000;
    QTest::newRow("picture whole, not yet named") << Request::Picture << 20000;
    QTest::newRow("page still queued") << Request::Page << -1;
    QTest::newRow("page half-way") << Request::Page << 10000;
    QTest::newRow("picture after its page, half-way") << Request::PageThenPicture << 10000;
}

void TestTransfers::leavingAbandonsEveryRequest()
{
    QFETCH(Request, request);
    QFETCH(int, leaveAfter);
    const bool picture = request != Request::Page;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    auto *context = new QObject;
    bool called = false;
    const QString address = QStringLiteral("http://127.0.0.1:%1/p.jpg").arg(server.serverPort());
    if (request == Request::Picture)
        m_transfers->downloadPicture(address, dir.filePath("p.jpg"), context, [&](const DownloadResult &) { called = true; });
    else if (request == Request::Page)
        m_transfers->fetchPage("UTF-8", address, context, [&](const PageResult &) { called = true; });
    else
        m_transfers->fetchPageAndPicture(
                address, dir.filePath("p.jpg"), [address](const PageResult &) { return address; }, context,
                [&](const PageResult &, const std::optional<DownloadResult> &) { called = true; });
    const QByteArray body(20000, '\xFF');
    QTcpSocket *socket = nullptr;
    if (request == Request::PageThenPicture) {
        // The picture's request follows on the same connection, kept alive.
        socket = acceptRequest(server);
        QVERIFY(socket);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\npage");
        QByteArray head;
        QVERIFY(QTest::qWaitFor([&] { return (head += socket->readAll()).contains("\r\n\r\n"); }, 10000));
    } else if (leaveAfter >= 0) {
        socket = acceptRequest(server);
        QVERIFY(socket);
    }
    if (leaveAfter >= 0) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 20000\r\n\r\n");
        socket->write(body.first(leaveAfter));
        QTRY_COMPARE(socket->bytesToWrite(), qint64(0));
        if (picture)
            QTRY_VERIFY(!entriesIn(dir.path()).isEmpty()); // the part file is there
        if (leaveAfter == body.size()) {
            // The whole picture in its part file, its answer on the way or
            // about to be: this thread runs no event meanwhile.
            QDeadlineTimer limit(10000);
            while (QFileInfo(dir.filePath(entriesIn(dir.path()).value(0))).size() < body.size() && !limit.hasExpired())
                QThread::usleep(1000);
            QThread::usleep(20000);
        }
    }
    delete context;
    QVERIFY(entriesIn(dir.path()).isEmpty());
    if (socket && leaveAfter < body.size()) {
        // Had the request lived on, the rest would complete it now.
        socket->write(body.sliced(leaveAfter));
        socket->disconnectFromHost();
    }
    QTest::qWait(300);
    QVERIFY(entriesIn(dir.path()).isEmpty());
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
