#include "albums/albumlist.h"
#include "demosite.h"
#include "testservers.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/contentdecoder.h"
#include "web/cookiejar.h"
#include "web/networksession.h"
#include "web/ratelimit.h"
#include "web/sha256.h"
#include "web/textutil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

// What a failure says, for a test's own message.
QString why(const WebResult &result)
{
    const WebFailure &f = result.failure;
    return QStringLiteral("reason %1 %2 %3 %4/%5")
        .arg(int(f.reason))
        .arg(f.subject, f.systemText)
        .arg(f.amount)
        .arg(f.limit);
}


// Pictures that fail in the ways a real site does, one per case, since the
// site counts the failures of each picture for its whole run.
const QByteArray FaultySeed = R"({ "members": [ { "id": "900", "albums": [ { "id": "90", "pictures": [
    {"id": "901", "pageFails": 1},
    {"id": "902", "pageFails": -1},
    {"id": "903", "pageFails": 1, "pageStatus": 429, "pageRetryAfter": 1},
    {"id": "904", "pageFails": -1, "pageStatus": 503, "pageRetryAfter": 60},
    {"id": "905", "fails": 2, "failStatus": 503},
    {"id": "906", "body": "gzip"},
    {"id": "907", "body": "gzipCut"},
    {"id": "908", "body": "deflateCut"},
    {"id": "909", "body": "partial"},
    {"id": "910", "body": "html"},
    {"id": "911", "body": "empty"},
    {"id": "912", "body": "html", "type": "image/jpeg"},
    {"id": "913", "type": "text/html"},
    {"id": "915", "fails": -1},
    {"id": "916", "fails": -1, "failStatus": 429, "retryAfter": 86400},
    {"id": "917", "fails": -1, "failStatus": 503, "retryAfter": 2},
    {"id": "918", "trickleMs": 40},
    {"id": "919", "pageTrickleMs": 40},
    {"id": "920", "body": "gzipBomb", "bombMb": 8},
    {"id": "921", "pageBody": "gzipBomb", "bombMb": 8},
    {"id": "922", "pageBody": "gzipBomb"},
    {"id": "923", "otherHost": true},
    {"id": "924", "trickleMs": 10, "trickleBytes": 12, "padKb": 64},
    {"id": "925", "cut": 1, "padKb": 64}
] } ] } ] })";

QString picturePath(const QString &id)
{
    return QStringLiteral("/pic/90/%1/p%1.jpg").arg(id);
}

int requestCount(const QJsonObject &counts)
{
    int total = 0;
    for (const QJsonValue &value : counts)
        total += value.toInt();
    return total;
}

RequestOptions quickRetries(int timeoutMs = 5000)
{
    RequestOptions options;
    options.timeoutMs = timeoutMs;
    options.retry.delaysMs = {20, 20};
    return options;
}

// The test's own network session, as the program has one.
NetworkSession *g_session = nullptr;
QNetworkAccessManager *network()
{
    return g_session ? g_session->manager() : nullptr;
}

const QString PageText = QStringLiteral("<html><body>汉字 Kestrelnet 相册</body></html>");

// The body /test/bytes and /test/cut send: byte i is (i*7+3) % 256.
QByteArray testPattern(int n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        bytes[i] = char((i * 7 + 3) % 256);
    return bytes;
}

// Runs one fetch to its end; nullopt when the callback never came.
std::optional<QString> fetch(const QString &address, const QString &charset = QStringLiteral("UTF-8"),
                             const QString &body = {}, int timeoutMs = 20000)
{
    QObject context;
    std::optional<QString> result;
    int calls = 0;
    fetchText(network(), charset, address, body, &context, [&](const QString &text) {
        result = text;
        ++calls;
    }, timeoutMs);
    if (!QTest::qWaitFor([&] { return calls > 0; }, 30000))
        return std::nullopt;
    // Exactly once: give a stray second call the chance to show up.
    QTest::qWait(20);
    return calls == 1 ? result : std::nullopt;
}

std::optional<DownloadResult> download(const QString &address, const QString &path, int timeoutMs = 20000,
                                      std::optional<RequestOptions> options = std::nullopt)
{
    QObject context;
    std::optional<DownloadResult> result;
    if (!options) {
        options = RequestOptions();
        options->timeoutMs = timeoutMs;
        options->retry = RetryPolicy::none();
    }
    downloadPicture(network(), address, path, &context, [&](const DownloadResult &r) { result = r; }, *options);
    if (!QTest::qWaitFor([&] { return result.has_value(); }, 30000))
        return std::nullopt;
    return result;
}

// A kB figure of /proc/self/status, e.g. "VmHWM" (the peak resident size).
qint64 statusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Runs one page fetch or picture download with `options` to its end.
std::optional<WebResult> request(bool picture, const QString &address, const QString &path,
                                 const RequestOptions &options, QString *text = nullptr, int waitMs = 20000)
{
    QObject context;
    std::optional<WebResult> result;
    if (picture) {
        downloadPicture(network(), address, path, &context, [&](const DownloadResult &r) { result = r; }, options);
    } else {
        fetchPage(network(), "UTF-8", address, &context, [&](const PageResult &r) {
            result = r;
            if (text)
                *text = r.text;
        }, options);
    }
    (void)QTest::qWaitFor([&] { return result.has_value(); }, waitMs); // the caller checks the result
    return result;
}

QString freePortAddress()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return {};
    const quint16 port = server.serverPort();
    server.close();
    return QStringLiteral("http://127.0.0.1:%1/x").arg(port);
}

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

Q_DECLARE_METATYPE(WebError)
Q_DECLARE_METATYPE(WebReason)

class TestWeb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void helpers_data();
    void helpers();

    void fetchKeepsEventLoopRunning();
    void fetchDecodesWithCallersCharset();
    void fetchReturnsErrorPageBodies();
    void fetchFailuresGiveEmptyText_data();
    void fetchFailuresGiveEmptyText();
    void fetchSendsSharedCookies();

    void pictureSavedByteForByte();
    void refusedBeforeTransfer_data();
    void refusedBeforeTransfer();
    void failuresCarryTheSystemsWords();
    void failedTransferLeavesNothing_data();
    void failedTransferLeavesNothing();
    void fileAppearingMeanwhileIsKept();
    void closedContextLeavesNoFile();
    void closedSessionStillAnswers();

    void retrySchedule();
    void transientFailuresAreRetried_data();
    void transientFailuresAreRetried();
    void throttledAnswersWaitAsAsked();
    void closingCancelsTheRetryWait();
    void onlyWholePicturesAreSaved_data();
    void onlyWholePicturesAreSaved();
    void savedPicturesAreOrdinaryFiles();
    void fullDiskIsReported();

    void longRetryAfterFailsAtOnce_data();
    void longRetryAfterFailsAtOnce();
    void tricklingBodiesTimeOut_data();
    void tricklingBodiesTimeOut();
    void bodiesAreCappedOnceDecoded_data();
    void bodiesAreCappedOnceDecoded();
    void gigabytePageKeepsMemoryBounded();
    void deadlineEndsEveryTransfer_data();
    void deadlineEndsEveryTransfer();

    void redirectTargets_data();
    void redirectTargets();
    void redirectsCarryOnlyTheirHostsCookies();
    void httpsNeverLeadsToHttp();
    void cookiesAndTheirFoldersAreOwnerOnly();

    void ratesReadAsCurlWritesThem_data();
    void ratesReadAsCurlWritesThem();
    void rateLimitIsSharedAndSparesTheDeadline();

private:
    DemoSite m_site;
    DemoSite m_faulty{FaultySeed};
    QTemporaryDir m_dir;
};

void TestWeb::initTestCase()
{
    QVERIFY(m_site.start());
    QVERIFY(m_faulty.start());
    QVERIFY(m_dir.isValid());
}

void TestWeb::init()
{
    delete g_session;
    g_session = new NetworkSession;
}

void TestWeb::helpers_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("match");

    QTest::newRow("case ignored") << "http://[^\"]*\\.jpg" << "x=\"HTTP://H/A.JPG\""
                                  << "HTTP://H/A.JPG";
    QTest::newRow("dot stops at a line feed")
            << "largeurl.*jpg" << "largeurl: \"a\nb.jpg\"" << "";
    QTest::newRow("greedy to the end of its line only")
            << "a.*" << "xabc abc\nabc" << "abc abc";
    QTest::newRow("greedy within the line")
            << "\"largeurl\":\".*\"" << "{\"largeurl\":\"http://p/1.jpg\",\"x\":\"y\"}\nnext \"z\""
            << "\"largeurl\":\"http://p/1.jpg\",\"x\":\"y\"";
    QTest::newRow("dot still takes a carriage return") << "a.b" << "a\rb" << "a\rb";
    QTest::newRow("anchors at line breaks") << "^two$" << "one\ntwo\nthree" << "two";
    QTest::newRow("first match wins") << "p\\d" << "p1 p2" << "p1";
    QTest::newRow("no match") << "zzz" << "abc" << "";
    QTest::newRow("bad pattern") << "(" << "(" << "";
}

void TestWeb::helpers()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(QString, match);
    if (QByteArray(QTest::currentDataTag()) == "bad pattern")
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("bad pattern"));
    QCOMPARE(RegExMatch(pattern, text), match);
}

void TestWeb::fetchKeepsEventLoopRunning()
{
    QObject context;
    QStringList order;
    bool ticked = false;
    fetchText(network(), "UTF-8", m_site.url("/test/slow?ms=1500"), {}, &context,
              [&](const QString &text) { order << (text.contains(u"slow 慢") ? "slow" : "slow-empty"); });
    QTimer::singleShot(20, &context, [&] { ticked = true; });
    fetchText(network(), "UTF-8", m_site.url("/test/text?len=120"), {}, &context,
              [&](const QString &text) { order << (text.size() == 120 ? "quick" : "quick-wrong"); });
    QVERIFY(order.isEmpty()); // neither answer arrives inside the call
    QTRY_VERIFY_WITH_TIMEOUT(ticked, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 20000);
    QCOMPARE(order, QStringList({"quick", "slow"}));
}

void TestWeb::fetchDecodesWithCallersCharset()
{
    // The header declares GBK; the caller's charset decides.
    QCOMPARE(fetch(m_site.url("/test/charset?declared=GBK")), PageText);
    QCOMPARE(fetch(m_site.url("/test/charset?declared=UTF-8"), "ISO-8859-1"),
             QString::fromLatin1(PageText.toUtf8()));
    // A request body is sent as well and changes nothing for the page.
    QCOMPARE(fetch(m_site.url("/test/text?len=7"), "utf-8", "a=1&b=2"), QStringLiteral("abcdefg"));
    // A byte order mark is not part of the text.
    QCOMPARE(BytesToText("\xEF\xBB\xBFok", "UTF-8"), QStringLiteral("ok"));
}

void TestWeb::fetchReturnsErrorPageBodies()
{
    const std::optional<QString> notFound = fetch(m_site.url("/test/status?code=404"));
    QVERIFY(notFound.has_value());
    QVERIFY2(notFound->contains("status 404"), qPrintable(*notFound));
    const std::optional<QString> serverError = fetch(m_site.url("/test/status?code=500"));
    QVERIFY(serverError.has_value());
    QVERIFY2(serverError->contains("status 500"), qPrintable(*serverError));
}

void TestWeb::fetchFailuresGiveEmptyText_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<int>("timeoutMs");

    QTest::newRow("unreachable port") << freePortAddress() << "UTF-8" << 20000;
    QTest::newRow("no host") << "http:///page" << "UTF-8" << 20000;
    QTest::newRow("not an address") << "just words" << "UTF-8" << 20000;
    QTest::newRow("local file") << "file:///etc/hostname" << "UTF-8" << 20000;
    QTest::newRow("unknown charset") << m_site.url("/test/charset?declared=UTF-8") << "no-such-set" << 20000;
    QTest::newRow("empty body") << m_site.url("/test/text?len=0") << "UTF-8" << 20000;
    QTest::newRow("timeout") << m_site.url("/test/hang") << "UTF-8" << 300;
    QTest::newRow("cut off") << m_site.url("/test/cut?n=4000") << "ISO-8859-1" << 20000;
}

void TestWeb::fetchFailuresGiveEmptyText()
{
    QFETCH(QString, address);
    QFETCH(QString, charset);
    QFETCH(int, timeoutMs);
    QObject context;
    QStringList answers;
    fetchText(network(), charset, address, {}, &context, [&](const QString &text) { answers << text; }, timeoutMs);
    QVERIFY(answers.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 20000);
    QCOMPARE(answers.first(), QString());
    QTest::qWait(20);
    QCOMPARE(answers.size(), 1);
}

void TestWeb::fetchSendsSharedCookies()
{
    const QString profile = m_site.url("/getalbumprofile.do?owner=100000001");
    QVERIFY(!IsLoggedInPage(fetch(profile).value_or("no answer")));

    // A cookie put into the shared jar (as the browser panes do) goes out.
    QNetworkCookie cookie("mirrored", "from-browser");
    cookie.setDomain("127.0.0.1");
    cookie.setPath("/");
    QVERIFY(g_session->cookieJar()->insertCookie(cookie));
    QVERIFY(fetch(m_site.url("/test/cookie")).value_or("").contains("mirrored=from-browser"));

    // Logging in through one fetch logs in every later one.
    QVERIFY(fetch(m_site.url("/login?user=tester")).has_value());
    QVERIFY(IsLoggedInPage(fetch(profile).value_or("")));
}

void TestWeb::pictureSavedByteForByte()
{
    const QString path = m_dir.filePath("p1.jpg");
    const std::optional<DownloadResult> first = download(m_site.url("/test/bytes?n=100000"), path);
    QVERIFY(first.has_value());
    QVERIFY2(first->ok(), qPrintable(why(*first)));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), testPattern(100000));
    file.close();
    QCOMPARE(entriesIn(m_dir.path()), QStringList{"p1.jpg"}); // no temporary file left
    // The digest recorded as it arrived, and read back from the file, is
    // the picture's own (Qt's hash as the reference).
    const auto digest = Sha256Digest::fromBytes(QCryptographicHash::hash(testPattern(100000), QCryptographicHash::Sha256));
    QCOMPARE(first->sha256, digest);
    QCOMPARE(Sha256::ofFile(path), digest);

    // Saving again under the same name keeps the first picture.
    const std::optional<DownloadResult> second = download(m_site.url("/test/bytes?n=10"), path);
    QVERIFY(second.has_value());
    QCOMPARE(second->error, WebError::FileExists);
    QCOMPARE(QFileInfo(path).size(), qint64(100000));
    QCOMPARE(entriesIn(m_dir.path()), QStringList{"p1.jpg"});
    QVERIFY(QFile::remove(path));
}

void TestWeb::refusedBeforeTransfer_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::addColumn<WebError>("error");
    QTest::addColumn<QString>("there"); // a file or a dangling link made before

    const QString bytes = m_site.url("/test/bytes?n=10");
    QTest::newRow("missing folder") << bytes << "missing/p.jpg" << WebError::NoFolder << QString();
    QTest::newRow("a file for its folder") << bytes << "taken/p.jpg" << WebError::NoFolder << "file:taken";
    QTest::newRow("a link to nowhere") << bytes << "p.jpg" << WebError::FileExists << "link:p.jpg";
    QTest::newRow("local file") << "file:///etc/hostname" << "p.jpg" << WebError::BadAddress << QString();
    QTest::newRow("no host") << "http:///p.jpg" << "p.jpg" << WebError::BadAddress << QString();
}

void TestWeb::refusedBeforeTransfer()
{
    QFETCH(QString, address);
    QFETCH(QString, name);
    QFETCH(WebError, error);
    QFETCH(QString, there);
    QTemporaryDir dir;
    const QString made = there.section(u':', 1);
    if (there.startsWith("file:"))
        QVERIFY(QFile(dir.filePath(made)).open(QIODevice::WriteOnly));
    else if (there.startsWith("link:"))
        QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath(made)));
    m_site.requests(true);
    const std::optional<DownloadResult> result = download(address, dir.filePath(name));
    QVERIFY(result.has_value());
    QCOMPARE(result->error, error);
    QCOMPARE(requestCount(m_site.requests()), 0);
    // Not even the missing folder, and what was there stays as it was.
    QCOMPARE(entriesIn(dir.path()), made.isEmpty() ? QStringList() : QStringList{made});
    if (!made.isEmpty())
        QCOMPARE(QFileInfo(dir.filePath(made)).size(), 0);
}

void TestWeb::failuresCarryTheSystemsWords()
{
    // A refused connection: the code, and Qt's own text for the same refusal.
    const QString address = freePortAddress();
    QNetworkAccessManager plain;
    QNetworkReply *reply = plain.get(QNetworkRequest(QUrl(address)));
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->error(), QNetworkReply::ConnectionRefusedError);
    RequestOptions once;
    once.retry = RetryPolicy::none();
    const std::optional<WebResult> refused = request(false, address, {}, once);
    QVERIFY(refused.has_value());
    QCOMPARE(refused->error, WebError::Network);
    QCOMPARE(refused->failure.reason, WebReason::ConnectionRefused);
    QCOMPARE(refused->failure.systemText, reply->errorString());
    QVERIFY(!refused->failure.systemText.isEmpty());
    delete reply;

    // A file that cannot be written: the path, and the system's words.
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/p.jpg");
    const std::optional<DownloadResult> nowhere = download(m_site.url("/test/bytes?n=10"), path);
    QVERIFY(nowhere.has_value());
    QCOMPARE(nowhere->failure.reason, WebReason::NoFolder);
    QCOMPARE(nowhere->failure.subject, path);
    QCOMPARE(nowhere->failure.systemText, QString::fromLocal8Bit(strerror(ENOENT)));
    const QString taken = dir.filePath("taken.jpg");
    QFile file(taken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const std::optional<DownloadResult> exists = download(m_site.url("/test/bytes?n=10"), taken);
    QVERIFY(exists.has_value());
    QCOMPARE(exists->failure.reason, WebReason::FileExists);
    QCOMPARE(exists->failure.subject, taken);
}

void TestWeb::failedTransferLeavesNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<WebError>("error");
    QTest::addColumn<int>("status");
    QTest::newRow("404") << "/test/status?code=404" << WebError::HttpStatus << 404;
    QTest::newRow("503") << "/test/status?code=503" << WebError::HttpStatus << 503;
    QTest::newRow("cut half-way") << "/test/cut?n=200000" << WebError::Truncated << 200;
    QTest::newRow("timeout") << "/test/hang" << WebError::Timeout << 0;
}

void TestWeb::failedTransferLeavesNothing()
{
    QFETCH(QString, path);
    QFETCH(WebError, error);
    QFETCH(int, status);
    QTemporaryDir dir;
    const std::optional<DownloadResult> result = download(m_site.url(path), dir.filePath("p.jpg"), 500);
    QVERIFY(result.has_value());
    QCOMPARE(result->error, error);
    QCOMPARE(result->httpStatus, status);
    QVERIFY2(entriesIn(dir.path()).isEmpty(), qPrintable(entriesIn(dir.path()).join(", ")));
}

void TestWeb::fileAppearingMeanwhileIsKept()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    const QString path = dir.filePath("p.jpg");
    QObject context;
    std::optional<DownloadResult> result;
    downloadPicture(network(), QStringLiteral("http://127.0.0.1:%1/p.jpg").arg(server.serverPort()), path, &context,
            [&](const DownloadResult &r) { result = r; });
    QTcpSocket *socket = acceptRequest(server, "GET /p.jpg HTTP/1.1");
    QVERIFY(socket);

    // Another picture of the same name lands while this one is on its way.
    QFile other(path);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("mine");
    other.close();
    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + testPattern(1000));

    QTRY_VERIFY(result.has_value());
    QCOMPARE(result->error, WebError::FileExists);
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("mine"));
    QCOMPARE(entriesIn(dir.path()), QStringList{"p.jpg"});
}

void TestWeb::closedContextLeavesNoFile()
{
    // A server of the test's own, so the picture can be stopped half-way.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    auto *window = new QObject;
    bool called = false;
    downloadPicture(network(), QStringLiteral("http://127.0.0.1:%1/p.jpg").arg(server.serverPort()), dir.filePath("p.jpg"),
            window, [&](const DownloadResult &) { called = true; });

    QTcpSocket *socket = acceptRequest(server, "GET /p.jpg HTTP/1.1");
    QVERIFY(socket);
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 20000\r\n\r\n");
    socket->write(testPattern(10000));
    QTRY_COMPARE(socket->bytesToWrite(), qint64(0));
    QTest::qWait(100); // let the first half reach the file

    delete window;
    QVERIFY(entriesIn(dir.path()).isEmpty());
    // Had the transfer lived on, the rest of the picture would complete it now.
    socket->write(testPattern(10000));
    socket->disconnectFromHost();
    QTest::qWait(300);
    QVERIFY(entriesIn(dir.path()).isEmpty());
    QVERIFY(!called);

    // The same for a page fetch.
    auto *pane = new QObject;
    fetchText(network(), "UTF-8", m_site.url("/test/slow?ms=200"), {}, pane, [&](const QString &) { called = true; });
    delete pane;
    QTest::qWait(500);
    QVERIFY(!called);
}

void TestWeb::closedSessionStillAnswers()
{
    NetworkSession *session = g_session;
    QTemporaryDir dir;
    QObject context;
    QStringList pages;
    std::optional<DownloadResult> picture;
    fetchText(network(), "UTF-8", m_site.url("/test/hang"), {}, &context, [&](const QString &text) { pages << text; });
    downloadPicture(network(), m_site.url("/test/hang"), dir.filePath("p.jpg"), &context,
            [&](const DownloadResult &r) { picture = r; });
    QTest::qWait(100); // both requests leave
    delete session;
    g_session = nullptr;
    QTRY_COMPARE(pages, QStringList{QString()});
    QTRY_VERIFY(picture.has_value());
    QCOMPARE(picture->error, WebError::Aborted);
    QVERIFY(entriesIn(dir.path()).isEmpty());
    g_session = new NetworkSession;
    QCOMPARE(fetch(m_site.url("/test/text?len=3")), QStringLiteral("abc"));
}

void TestWeb::retrySchedule()
{
    using namespace WebRequest;
    const RetryPolicy standard;
    QCOMPARE(retryDelayMs(standard, 0, -1), 1000);
    QCOMPARE(retryDelayMs(standard, 1, -1), 3000);
    QCOMPARE(retryDelayMs(standard, 2, -1), std::nullopt);
    QCOMPARE(retryDelayMs(standard, 0, 12000), 12000);
    QCOMPARE(retryDelayMs(standard, 1, 30000), 30000);
    QCOMPARE(retryDelayMs(standard, 0, 30001), std::nullopt);
    QCOMPARE(retryDelayMs(RetryPolicy::none(), 0, -1), std::nullopt);

    const QDateTime now(QDate(2015, 10, 21), QTime(7, 27, 30), Qt::UTC);
    QCOMPARE(retryAfterMs(" 120 ", now), 120000);
    QCOMPARE(retryAfterMs("Wed, 21 Oct 2015 07:28:00 GMT", now), 30000);
    QCOMPARE(retryAfterMs("Wed, 21 Oct 2015 07:00:00 GMT", now), 0);
    QCOMPARE(retryAfterMs("-5", now), std::nullopt);
    QCOMPARE(retryAfterMs("soon", now), std::nullopt);
    QCOMPARE(retryAfterMs("", now), std::nullopt);
}

void TestWeb::transientFailuresAreRetried_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<WebError>("error");
    QTest::addColumn<int>("attempts");

    const QString page = m_faulty.url("/photo/900/photo-%1");
    QTest::newRow("page failing once") << false << page.arg(901) << 5000 << WebError::None << 2;
    QTest::newRow("page failing always") << false << page.arg(902) << 5000 << WebError::HttpStatus << 3;
    QTest::newRow("page not found") << false << m_faulty.url("/test/status?code=404") << 5000 << WebError::HttpStatus
                                    << 1;
    QTest::newRow("page refused") << false << freePortAddress() << 5000 << WebError::Network << 3;
    QTest::newRow("picture failing twice") << true << m_faulty.url(picturePath("905")) << 5000 << WebError::None << 3;
    QTest::newRow("picture cut once") << true << m_faulty.url(picturePath("925")) << 5000 << WebError::None << 2;
    QTest::newRow("picture cut") << true << m_faulty.url(picturePath("907")) << 5000 << WebError::Truncated << 3;
    QTest::newRow("picture timing out") << true << m_faulty.url("/test/hang") << 300 << WebError::Timeout << 3;
    QTest::newRow("picture not found") << true << m_faulty.url("/test/status?code=403") << 5000
                                       << WebError::HttpStatus << 1;
}

void TestWeb::transientFailuresAreRetried()
{
    QFETCH(bool, picture);
    QFETCH(QString, address);
    QFETCH(int, timeoutMs);
    QFETCH(WebError, error);
    QFETCH(int, attempts);
    m_faulty.requests(true);
    QTemporaryDir dir;
    const QString path = dir.filePath("p.jpg");
    QObject context;
    std::optional<WebResult> result;
    QString text;
    if (picture) {
        downloadPicture(network(), address, path, &context, [&](const DownloadResult &r) { result = r; },
                quickRetries(timeoutMs));
    } else {
        fetchPage(network(), "UTF-8", address, &context, [&](const PageResult &r) {
            result = r;
            text = r.text;
        }, quickRetries(timeoutMs));
    }
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 15000);
    QCOMPARE(result->error, error);
    QVERIFY2(result->ok() || result->failure.reason != WebReason::None, "a failure without a reason");
    QCOMPARE(result->attempts, attempts);
    if (address.startsWith(m_faulty.base()))
        QCOMPARE(requestCount(m_faulty.requests()), attempts);
    if (result->error == WebError::HttpStatus && !picture)
        QVERIFY2(text.contains(QStringLiteral("status %1").arg(result->httpStatus)), qPrintable(text));
    if (picture)
        QCOMPARE(entriesIn(dir.path()), result->ok() ? QStringList{"p.jpg"} : QStringList());
    if (picture && result->ok() && result->attempts > 1) {
        // The saved picture is the last try's bytes alone, byte for byte as
        // a later whole answer gives them.
        std::optional<WebResult> again;
        const QString whole = dir.filePath("whole.jpg");
        downloadPicture(network(), address, whole, &context, [&](const DownloadResult &r) { again = r; },
                quickRetries(timeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(again.has_value(), 15000);
        QVERIFY(again->ok());
        QCOMPARE(Sha256::ofFile(path), Sha256::ofFile(whole));
    }
}

void TestWeb::throttledAnswersWaitAsAsked()
{
    QObject context;
    QList<int> throttles;
    RequestOptions options = quickRetries();
    options.throttled = [&](int retryAfterMs) { throttles << retryAfterMs; };

    // 429 with "Retry-After: 1": the next try waits the second, not 20 ms.
    std::optional<PageResult> page;
    QElapsedTimer clock;
    clock.start();
    fetchPage(network(), "UTF-8", m_faulty.url("/photo/900/photo-903"), &context,
              [&](const PageResult &r) { page = r; }, options);
    QTRY_VERIFY_WITH_TIMEOUT(page.has_value(), 10000);
    QVERIFY2(page->ok(), qPrintable(why(*page)));
    QVERIFY(page->text.contains(QStringLiteral("largeurl")));
    QCOMPARE(page->attempts, 2);
    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(throttles, QList<int>{1000});

    // A wait longer than the policy takes ends the retries at once.
    page.reset();
    throttles.clear();
    fetchPage(network(), "UTF-8", m_faulty.url("/photo/900/photo-904"), &context,
              [&](const PageResult &r) { page = r; }, options);
    QTRY_VERIFY(page.has_value());
    QCOMPARE(page->error, WebError::HttpStatus);
    QCOMPARE(page->httpStatus, 503);
    QCOMPARE(page->attempts, 1);
    // The site asked for 60 s; the policy takes no more than 30 s.
    QCOMPARE(page->failure.reason, WebReason::RetryTooLate);
    QCOMPARE(page->failure.amount, 60000);
    QCOMPARE(page->failure.limit, 30000);
    QCOMPARE(throttles, QList<int>{30000}); // the caller's slow-down is capped too
}

void TestWeb::closingCancelsTheRetryWait()
{
    m_faulty.requests(true);
    QTemporaryDir dir;
    auto *window = new QObject;
    bool called = false;
    RequestOptions options;
    options.retry.delaysMs = {500};
    downloadPicture(network(), m_faulty.url(picturePath("915")), dir.filePath("p.jpg"), window,
            [&](const DownloadResult &) { called = true; }, options);
    QTRY_COMPARE(m_faulty.requests().value("pictures").toInt(), 1);
    delete window;
    QTest::qWait(800); // longer than the retry delay
    QCOMPARE(m_faulty.requests().value("pictures").toInt(), 1);
    QVERIFY(!called);
    QVERIFY(entriesIn(dir.path()).isEmpty());
}

void TestWeb::onlyWholePicturesAreSaved_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<WebError>("error");

    QTest::newRow("whole gzip body") << "906" << WebError::None;
    QTest::newRow("gzip body cut") << "907" << WebError::Truncated;
    QTest::newRow("deflate body cut") << "908" << WebError::Truncated;
    QTest::newRow("unrequested 206") << "909" << WebError::PartialContent;
    QTest::newRow("HTML page") << "910" << WebError::NotAPicture;
    QTest::newRow("empty body") << "911" << WebError::NotAPicture;
    QTest::newRow("HTML labelled image/jpeg") << "912" << WebError::NotAPicture;
    QTest::newRow("JPEG labelled text/html") << "913" << WebError::None;
}

void TestWeb::onlyWholePicturesAreSaved()
{
    QFETCH(QString, id);
    QFETCH(WebError, error);
    QTemporaryDir dir;
    const QString path = dir.filePath("p.jpg");
    const std::optional<DownloadResult> result = download(m_faulty.url(picturePath(id)), path);
    QVERIFY(result.has_value());
    QCOMPARE(result->error, error);
    if (!result->ok()) {
        QVERIFY2(result->failure.reason != WebReason::None, qPrintable(why(*result)));
        QVERIFY2(entriesIn(dir.path()).isEmpty(), qPrintable(entriesIn(dir.path()).join(", ")));
        return;
    }
    // What a client that decodes by itself receives, and a JPEG.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY(saved.startsWith("\xFF\xD8\xFF"));
    QCOMPARE(saved, m_faulty.get(picturePath(id)));
}

void TestWeb::savedPicturesAreOrdinaryFiles()
{
    QTemporaryDir dir;
    const QString address = m_site.url("/test/bytes?n=5000");
    const mode_t previous = ::umask(022);
    const auto restore = qScopeGuard([previous] { ::umask(previous); });
    QVERIFY(download(address, dir.filePath("a.jpg")).value_or(DownloadResult()).ok());
    ::umask(027);
    QVERIFY(download(address, dir.filePath("b.jpg")).value_or(DownloadResult()).ok());
    QCOMPARE(QFileInfo(dir.filePath("a.jpg")).permissions() & 0x0777, QFileDevice::Permissions(0x0644));
    QCOMPARE(QFileInfo(dir.filePath("b.jpg")).permissions() & 0x0777, QFileDevice::Permissions(0x0640));

    // A name that just fits the file system (250 bytes) is saved; one that
    // does not is reported as too long and leaves nothing.
    const QString fits = QString(82, QChar(0x957F)) + QStringLiteral(".jpg");
    QCOMPARE(fits.toUtf8().size(), 250);
    const std::optional<DownloadResult> saved = download(address, dir.filePath(fits));
    QVERIFY(saved.has_value());
    QVERIFY2(saved->ok(), qPrintable(why(*saved)));
    const std::optional<DownloadResult> tooLong = download(address, dir.filePath(QString(100, QChar(0x957F)) + ".jpg"));
    QVERIFY(tooLong.has_value());
    QCOMPARE(tooLong->error, WebError::NameTooLong);
    QCOMPARE(entriesIn(dir.path()), QStringList({"a.jpg", "b.jpg", fits}));
}

void TestWeb::fullDiskIsReported()
{
    // A full disk is made with a tiny tmpfs, mounted in a mount namespace of
    // a child run of this test so that nothing outside sees it.
    const QByteArray smallDisk = qgetenv("QUILLMOOR_SMALL_DISK");
    if (smallDisk.isEmpty()) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLMOOR_SMALL_DISK", "1");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("unshare", {"--map-root-user", "--mount", "--", QCoreApplication::applicationFilePath(),
                                "fullDiskIsReported"});
        if (!child.waitForStarted(10000))
            QSKIP("needs unshare(1) to mount a small disk");
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        if (output.contains(u"SKIP   : TestWeb::fullDiskIsReported") || !output.contains(u"TestWeb::"))
            QSKIP(qPrintable(QStringLiteral("no small disk here: ") + output.left(300)));
        QVERIFY2(child.exitCode() == 0 && output.contains(u"PASS   : TestWeb::fullDiskIsReported"),
                 qPrintable(output));
        return;
    }
    QTemporaryDir dir;
    if (::mount("quillmoor-small", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small tmpfs");
    const auto unmount = qScopeGuard([&dir] { ::umount(QFile::encodeName(dir.path()).constData()); });
    const std::optional<DownloadResult> result = download(m_site.url("/test/bytes?n=300000"), dir.filePath("p.jpg"));
    QVERIFY(result.has_value());
    QCOMPARE(result->error, WebError::DiskFull);
    QCOMPARE(result->failure.reason, WebReason::DiskFull);
    // The system's own words, for whoever shows more than the code.
    QCOMPARE(result->failure.systemText, QString::fromLocal8Bit(strerror(ENOSPC)));
    QVERIFY(entriesIn(dir.path()).isEmpty());
}

void TestWeb::longRetryAfterFailsAtOnce_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("capMs");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("asked");

    QTest::newRow("a day, default cap") << "916" << RetryPolicy().maxRetryAfterMs << 429 << "86400";
    QTest::newRow("2 s, cap shortened to 1 s") << "917" << 1000 << 503 << "2";
}

void TestWeb::longRetryAfterFailsAtOnce()
{
    QFETCH(QString, id);
    QFETCH(int, capMs);
    QFETCH(int, status);
    QFETCH(QString, asked);
    m_faulty.requests(true);
    QTemporaryDir dir;
    QList<int> throttles;
    RequestOptions options; // the standard retries: a wait they accept would take seconds
    options.retry.maxRetryAfterMs = capMs;
    options.throttled = [&](int retryAfterMs) { throttles << retryAfterMs; };
    QElapsedTimer clock;
    clock.start();
    const std::optional<WebResult> result = request(true, m_faulty.url(picturePath(id)), dir.filePath("p.jpg"), options);
    QVERIFY(result.has_value());
    QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(result->error, WebError::HttpStatus);
    QCOMPARE(result->httpStatus, status);
    QCOMPARE(result->attempts, 1);
    QCOMPARE(result->failure.reason, WebReason::RetryTooLate);
    QCOMPARE(QString::number((result->failure.amount + 999) / 1000), asked);
    QCOMPARE(result->failure.limit, capMs);
    QCOMPARE(m_faulty.requests().value("pictures").toInt(), 1);
    // Whoever slows down for the site hears the cap, never the day.
    QCOMPARE(throttles, QList<int>{capMs});
    QVERIFY(entriesIn(dir.path()).isEmpty());
}

void TestWeb::tricklingBodiesTimeOut_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("address");

    QTest::newRow("picture") << true << m_faulty.url(picturePath("918"));
    QTest::newRow("picture page") << false << m_faulty.url("/photo/900/photo-919");
}

void TestWeb::tricklingBodiesTimeOut()
{
    QFETCH(bool, picture);
    QFETCH(QString, address);
    m_faulty.requests(true);
    QTemporaryDir dir;
    // A byte every 40 ms never falls silent for the 5 s time-out, but moves
    // 25 bytes a second: far below 1,000 a second over half a second.
    RequestOptions options = quickRetries(5000);
    options.lowSpeedTimeMs = 500;
    QElapsedTimer clock;
    clock.start();
    const std::optional<WebResult> result = request(picture, address, dir.filePath("p.jpg"), options);
    QVERIFY2(result.has_value(), "the trickle held the request");
    QCOMPARE(result->error, WebError::Timeout);
    QCOMPARE(result->failure.reason, WebReason::TooSlow);
    QCOMPARE(result->failure.amount, 1000);
    QCOMPARE(result->failure.limit, 500);
    QCOMPARE(result->attempts, 3); // retried like any time-out
    QCOMPARE(requestCount(m_faulty.requests()), 3);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(entriesIn(dir.path()).isEmpty());
}

void TestWeb::bodiesAreCappedOnceDecoded_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("capBytes");
    QTest::addColumn<qint64>("size"); // -1: too large

    constexpr qint64 MB = 1024 * 1024;
    const QString pageBomb = QStringLiteral("/photo/900/photo-921");
    const QString pictureBomb = picturePath("920");
    QTest::newRow("page inflating past its cap") << false << pageBomb << MB << qint64(-1);
    QTest::newRow("page inflating within its cap") << false << pageBomb << 9 * MB << 8 * MB;
    QTest::newRow("picture inflating past its cap") << true << pictureBomb << MB << qint64(-1);
    QTest::newRow("picture inflating within its cap") << true << pictureBomb << 9 * MB << 8 * MB;
    QTest::newRow("plain picture past its cap") << true << QStringLiteral("/test/bytes?n=1048577") << MB << qint64(-1);
    QTest::newRow("plain picture at its cap") << true << QStringLiteral("/test/bytes?n=1048576") << MB << MB;
}

void TestWeb::bodiesAreCappedOnceDecoded()
{
    QFETCH(bool, picture);
    QFETCH(QString, path);
    QFETCH(qint64, capBytes);
    QFETCH(qint64, size);
    m_faulty.requests(true);
    QTemporaryDir dir;
    RequestOptions options = quickRetries();
    (picture ? options.maxPictureBytes : options.maxPageBytes) = capBytes;
    QString text;
    const std::optional<WebResult> result = request(picture, m_faulty.url(path), dir.filePath("p.jpg"), options, &text);
    QVERIFY(result.has_value());
    if (size < 0) {
        QCOMPARE(result->error, WebError::TooLarge);
        QCOMPARE(result->failure.reason, WebReason::TooLarge);
        QVERIFY(result->failure.limit > 0);
        QCOMPARE(result->attempts, 1); // the same body would come again
        QCOMPARE(requestCount(m_faulty.requests()), 1);
        QVERIFY(text.isEmpty());
        QVERIFY(entriesIn(dir.path()).isEmpty());
        return;
    }
    QVERIFY2(result->ok(), qPrintable(why(*result)));
    if (picture)
        QCOMPARE(QFileInfo(dir.filePath("p.jpg")).size(), size);
    else
        QCOMPARE(text.size(), size);
}

void TestWeb::gigabytePageKeepsMemoryBounded()
{
    const QString address = m_faulty.url("/photo/900/photo-922");
    // The bomb is real: about a megabyte on the wire that inflates to 1 GB
    // (counted here without keeping it).
    QNetworkRequest raw{QUrl(address)};
    raw.setRawHeader("Accept-Encoding", "gzip");
    QNetworkReply *reply = network()->get(raw);
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
    const QByteArray wire = reply->readAll();
    ContentDecoder decoder(reply->rawHeader("Content-Encoding"));
    delete reply;
    qint64 inflated = 0;
    QVERIFY(decoder.decode(wire, [&](QByteArrayView piece) { return (inflated += piece.size()) > 0; }));
    QVERIFY(decoder.isComplete());
    QCOMPARE(inflated, qint64(1024) * 1024 * 1024);
    QVERIFY2(wire.size() < 2 * 1024 * 1024, qPrintable(QString::number(wire.size())));

    // The peak resident size starts again from the present one (Linux 4.0
    // and later), so earlier tests do not hide this one's peak.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
        QSKIP("cannot reset the peak resident size here");
    clearRefs.close();
    const qint64 before = statusKb("VmHWM");
    QVERIFY(before > 0);
    // The fetch as the program makes it: the default bounds.
    QString text;
    const std::optional<WebResult> result = request(false, address, {}, RequestOptions(), &text, 60000);
    QVERIFY(result.has_value());
    QCOMPARE(result->error, WebError::TooLarge);
    const qint64 grownKb = statusKb("VmHWM") - before;
    qInfo("peak resident size %lld kB before, grew by %lld kB", before, grownKb);
    QVERIFY2(grownKb < 100 * 1024, qPrintable(QString::number(grownKb)));
}

void TestWeb::deadlineEndsEveryTransfer_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("lowSpeed");

    // 1.2 kB/s passes a low-speed rule of 500 B/s; its 64 KiB would take a minute.
    QTest::newRow("picture at 1.2 kB/s") << true << m_faulty.url(picturePath("924")) << 500;
    QTest::newRow("picture page, no low-speed rule") << false << m_faulty.url("/photo/900/photo-919") << 0;
}

void TestWeb::deadlineEndsEveryTransfer()
{
    QFETCH(bool, picture);
    QFETCH(QString, address);
    QFETCH(int, lowSpeed);
    m_faulty.requests(true);
    QTemporaryDir dir;
    RequestOptions options = quickRetries(5000);
    options.lowSpeedBytesPerSecond = lowSpeed;
    options.lowSpeedTimeMs = 1000;
    options.deadlineMs = 1500;
    QElapsedTimer clock;
    clock.start();
    const std::optional<WebResult> result = request(picture, address, dir.filePath("p.jpg"), options);
    QVERIFY2(result.has_value(), "the trickle held the request");
    QCOMPARE(result->error, WebError::Timeout);
    QCOMPARE(result->failure.reason, WebReason::DeadlinePassed);
    QCOMPARE(result->failure.limit, 1500);
    // The deadline is the whole request's: no attempt after it.
    QCOMPARE(result->attempts, 1);
    QVERIFY2(clock.elapsed() >= 1400 && clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(entriesIn(dir.path()).isEmpty());
}

void TestWeb::redirectTargets_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QString>("target");
    QTest::addColumn<WebReason>("refused");

    QTest::newRow("relative") << "http://a/x/y" << QByteArray("../z?q=1") << "http://a/z?q=1" << WebReason::None;
    QTest::newRow("other host") << "http://a/p" << QByteArray(" http://b:81/q ") << "http://b:81/q" << WebReason::None;
    QTest::newRow("up to https") << "http://a/p" << QByteArray("https://a/p") << "https://a/p" << WebReason::None;
    QTest::newRow("https keeps its scheme") << "https://a/p" << QByteArray("//b/q") << "https://b/q" << WebReason::None;
    QTest::newRow("https down to http") << "https://a/p" << QByteArray("http://a/p") << "" << WebReason::InsecureRedirect;
    QTest::newRow("HTTPS down to http") << "HTTPS://a/p" << QByteArray("HTTP://b/") << "" << WebReason::InsecureRedirect;
    QTest::newRow("local file") << "http://a/p" << QByteArray("file:///etc/passwd") << "" << WebReason::BadRedirect;
    QTest::newRow("script") << "http://a/p" << QByteArray("javascript:alert(1)") << "" << WebReason::BadRedirect;
}

void TestWeb::redirectTargets()
{
    QFETCH(QString, from);
    QFETCH(QByteArray, location);
    QFETCH(QString, target);
    QFETCH(WebReason, refused);
    WebFailure why{WebReason::TooLarge};
    QCOMPARE(WebRequest::redirectTarget(QUrl(from), location, &why).toString(), target);
    QCOMPARE(why.reason, refused);
}

void TestWeb::redirectsCarryOnlyTheirHostsCookies()
{
    // localhost is another host to a cookie jar, though the same site answers it.
    const QString there = QStringLiteral("http://localhost:%1").arg(m_faulty.port());
    QVERIFY(fetch(m_faulty.url("/test/setcookie?name=login&value=secret")).has_value());
    QTemporaryDir dir;
    // Once while the jar holds nothing for the other host, once with a cookie of its own.
    for (const QString &name : {"a.jpg", "b.jpg"}) {
        if (name == "b.jpg")
            QVERIFY(fetch(there + "/test/setcookie?name=there&value=own").has_value());
        m_faulty.get("/test/picturecookies?reset=1");
        const std::optional<DownloadResult> saved = download(m_faulty.url(picturePath("923")), dir.filePath(name));
        QVERIFY(saved.has_value());
        QVERIFY2(saved->ok(), qPrintable(why(*saved)));
        const QJsonArray heard = QJsonDocument::fromJson(m_faulty.get("/test/picturecookies")).array();
        QCOMPARE(heard.size(), 2);
        QCOMPARE(heard.at(0)["host"].toString(), QString("127.0.0.1"));
        QVERIFY(heard.at(0)["cookie"].toString().contains("login=secret"));
        QCOMPARE(heard.at(1)["host"].toString(), QString("localhost"));
        QCOMPARE(heard.at(1)["cookie"].toString(), name == "a.jpg" ? QString() : QString("there=own"));
    }

    // A page likewise, through the same request base.
    const QString toThere = QString::fromLatin1(QUrl::toPercentEncoding(there + "/test/cookie"));
    QCOMPARE(fetch(m_faulty.url("/test/redirect?to=" + toThere)).value_or("no answer"), QString("there=own"));

    // A chain of redirects longer than allowed ends.
    const auto redirectTo = [this](const QString &to) {
        return m_faulty.url("/test/redirect?to=") + QString::fromLatin1(QUrl::toPercentEncoding(to));
    };
    RequestOptions options = quickRetries();
    options.maxRedirects = 1;
    const std::optional<WebResult> looped =
            request(false, redirectTo(redirectTo(m_faulty.url("/test/cookie"))), {}, options);
    QVERIFY(looped.has_value());
    QCOMPARE(looped->error, WebError::Network);
    QCOMPARE(looped->failure.reason, WebReason::TooManyRedirects);
}

void TestWeb::httpsNeverLeadsToHttp()
{
    QVERIFY(QSslSocket::supportsSsl());
    // The demo site speaks http alone: an https server of the test's own
    // redirects to it.
    const QSslCertificate certificate(TestCertificate);
    QSslConfiguration trusted = QSslConfiguration::defaultConfiguration();
    trusted.addCaCertificate(certificate);
    QSslConfiguration::setDefaultConfiguration(trusted);
    QSslConfiguration serving = QSslConfiguration::defaultConfiguration();
    serving.setLocalCertificate(certificate);
    serving.setPrivateKey(QSslKey(TestKey, QSsl::Ec));
    QSslServer server;
    server.setSslConfiguration(serving);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString http = m_site.url("/test/cookie");
    connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [&server, http] {
        QTcpSocket *socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket, http] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + http.toLatin1() + "\r\nContent-Length: 0\r\n\r\n");
        });
    });
    const QString https = QStringLiteral("https://127.0.0.1:%1/p.jpg").arg(server.serverPort());
    m_site.requests(true);
    for (const bool picture : {true, false}) {
        QTemporaryDir dir;
        const std::optional<WebResult> result = request(picture, https, dir.filePath("p.jpg"), quickRetries());
        QVERIFY(result.has_value());
        QCOMPARE(result->error, WebError::Network);
        QCOMPARE(result->failure.reason, WebReason::InsecureRedirect);
        QCOMPARE(result->failure.subject, http);
        QCOMPARE(result->attempts, 1);
        QVERIFY(entriesIn(dir.path()).isEmpty());
    }
    QCOMPARE(requestCount(m_site.requests()), 0);
}

void TestWeb::cookiesAndTheirFoldersAreOwnerOnly()
{
    auto mode = [](const QString &path) {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };
    QTemporaryDir dir;
    // The most open umask: only the modes the code asks for count.
    const mode_t umask = ::umask(0);
    const QString top = dir.filePath("data");
    // As an earlier version left them: open to everyone.
    QVERIFY(QDir().mkpath(top + "/profile"));
    for (const QString &folder : {dir.path(), top, top + "/profile"})
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const QString file = top + "/profile/NetworkCookies";
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old=1; expires=Fri, 01-Jan-2100 00:00:00 GMT; domain=127.0.0.1; path=/\n");
    old.close();
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0644), 0);

    QVERIFY(makePrivateFolder(top, top + "/profile/storage/deep"));
    QVERIFY(!makePrivateFolder(top + "/profile", top));
    for (const QString &folder : {top, top + "/profile", top + "/profile/storage", top + "/profile/storage/deep"})
        QCOMPARE(mode(folder), 0700);
    QCOMPARE(mode(dir.path()), 0755); // above the top: not the program's

    {
        PersistentCookieJar jar(file);
        QCOMPARE(mode(file), 0600);
        QCOMPARE(jar.storedCookies().size(), 1);
        QNetworkCookie login("login", "secret");
        login.setDomain("127.0.0.1");
        login.setPath("/");
        QVERIFY(jar.insertCookie(login));
        QTRY_VERIFY(fileText(file).contains("login=secret"));
        QCOMPARE(mode(file), 0600);
    }
    ::umask(umask);
    QCOMPARE(entriesIn(top + "/profile"), QStringList({"NetworkCookies", "storage"}));
}

void TestWeb::ratesReadAsCurlWritesThem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("rate"); // -1: refused

    QTest::newRow("kibibytes") << "500k" << qint64(512000);
    QTest::newRow("mebibytes") << "2M" << qint64(2097152);
    QTest::newRow("bytes") << "1024" << qint64(1024);
    QTest::newRow("either case") << "3m" << qint64(3145728);
    QTest::newRow("blanks around") << " 10K " << qint64(10240);
    for (const char *bad : {"", "0", "0k", "-5k", "+5k", "k", "1.5M", "12x", "5 k", "5kb", "٥k",
                            "99999999999999999999", "9223372036854775807M"})
        QTest::newRow(bad[0] ? bad : "empty") << QString::fromUtf8(bad) << qint64(-1);
}

void TestWeb::ratesReadAsCurlWritesThem()
{
    QFETCH(QString, text);
    QFETCH(qint64, rate);
    QCOMPARE(parseRate(text).value_or(-1), rate);
}

void TestWeb::rateLimitIsSharedAndSparesTheDeadline()
{
    constexpr qint64 Limit = 256 * 1024;
    constexpr int Size = 300000;
    RequestOptions options = quickRetries();
    // Far shorter than the limit makes the two take: time held back by the
    // limit must not count against it.
    options.deadlineMs = 1000;
    options.rateLimit = RateLimiter::make(Limit);
    QTemporaryDir dir;
    QObject context;
    QList<DownloadResult> results;
    QElapsedTimer clock;
    clock.start();
    for (const char *name : {"a", "b"})
        downloadPicture(network(), m_site.url(QStringLiteral("/test/bytes?n=%1").arg(Size)), dir.filePath(name), &context,
                        [&](const DownloadResult &r) { results << r; }, options);
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 20000);
    const qint64 elapsed = clock.elapsed();
    for (const DownloadResult &result : std::as_const(results))
        QVERIFY2(result.ok(), qPrintable(why(result)));
    for (const char *name : {"a", "b"})
        QCOMPARE(fileText(dir.filePath(name)), testPattern(Size));
    // Both at once within one limit: beyond the budget's first tenth of a
    // second, every byte of the two waited its turn.
    const qint64 least = (2 * Size - Limit / 10) * 1000 / Limit;
    QVERIFY2(elapsed >= least - 20 && elapsed < 3 * least, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(TestWeb)
#include "tst_web.moc"
