// The program run without a window, as a scheduler runs it: a real process
// against the demo site, with its own home folder and save folder.
#include "cli/commandline.h"
#include "demosite.h"
#include "download/albumrecord.h"
#include "web/fetchpage.h"
#include "web/networksession.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int RunTimeout = 90000;

QByteArray seed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "7001", "name": "两页相册", "pages": 2, "perPage": 2 },
    { "id": "7002", "name": "单页相册", "pages": 1, "perPage": 3 }
  ] } ]
})";
}

// A site with an album whose title starts with dots, served at two addresses.
QByteArray dottedSeed()
{
    return R"({ "members": [ { "id": "100000001", "albums": [
    { "id": "7003", "name": "...旅行", "pages": 1, "perPage": 3 } ] } ] })";
}

// The pictures of an album folder, its record left out.
QStringList pictures(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    names.removeAll(AlbumRecord::fileName());
    return names;
}

struct Result {
    int code = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// Lines on standard error that are not Quillmoor's: all of its own are in
// Chinese, the engine's and Qt's reports are not.
QStringList foreignLines(const QString &err)
{
    QStringList foreign;
    for (const QString &line : err.split('\n', Qt::SkipEmptyParts))
        if (!line.contains(QRegularExpression("\\p{Han}")))
            foreign << line;
    return foreign;
}

// Standard output of a --json run, each line an object.
QList<QJsonObject> jsonLines(const QString &out)
{
    QList<QJsonObject> objects;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        objects << (error.error == QJsonParseError::NoError && document.isObject() ? document.object()
                                                                                   : QJsonObject{{"unparsed", line}});
    }
    return objects;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

    DemoSite m_site{seed()};
    QTemporaryDir m_home;
    QTemporaryDir m_save;

    // A copy of the program in a folder of the test's own: it runs portable
    // there, so its Settings.ini is not the build folder's.
    QString program() const { return m_home.filePath("app/quillmoor"); }

    QString album(const QString &id) const { return m_site.url("/photo/" + Member + "/album-" + id); }

    // Where the program keeps the login for this home folder.
    QString profileFolder() const { return m_home.filePath("data/Quillmoor/QtWebEngine/Quillmoor"); }

    // The environment of a scheduled run: no display, nothing of this
    // machine's user.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QTWEBENGINE_CHROMIUM_FLAGS",
                                 "QT_LOGGING_RULES", "QUILLMOOR_DEBUG_LOG"})
            env.remove(QString::fromLatin1(name));
        env.insert("HOME", m_home.path());
        env.insert("XDG_DATA_HOME", m_home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("XDG_CACHE_HOME", m_home.filePath("cache"));
        env.insert("XDG_RUNTIME_DIR", m_home.filePath("runtime"));
        return env;
    }

    void begin(QProcess &process, const QStringList &arguments, const QString &site = {},
               const QString &save = {}, const QProcessEnvironment &extra = {}) const
    {
        QProcessEnvironment env = environment();
        for (const QString &name : extra.keys())
            env.insert(name, extra.value(name));
        process.setProcessEnvironment(env);
        process.start(program(),
                      QStringList{"--site", site.isEmpty() ? m_site.base() : site, "--save-folder",
                                  save.isEmpty() ? m_save.path() : save}
                          + arguments);
    }

    static Result collect(QProcess &process)
    {
        Result result;
        if (!process.waitForFinished(RunTimeout)) {
            process.kill();
            process.waitForFinished(5000);
            return result;
        }
        result.crashed = process.exitStatus() != QProcess::NormalExit;
        result.code = process.exitCode();
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    Result run(const QStringList &arguments, const QString &site = {}, const QString &save = {},
               const QProcessEnvironment &extra = {}) const
    {
        QProcess process;
        begin(process, arguments, site, save, extra);
        return collect(process);
    }

    // An address nobody listens on: a port taken and released again.
    static QString closedBase()
    {
        QTcpServer closed;
        if (!closed.listen(QHostAddress::LocalHost))
            return {};
        return QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    }

    // Logs in the way the window's pane would: the site's cookie, kept where
    // the program's network session keeps the profile's cookies.
    bool logIn() const
    {
        QDir().mkpath(profileFolder());
        bool done = false;
        {
            NetworkSession session(profileFolder() + "/NetworkCookies");
            QObject context;
            fetchPage(session.manager(), "utf-8", m_site.url("/login?user=demo"), &context,
                      [&done](const PageResult &answer) { done = answer.ok(); });
            if (!QTest::qWaitFor([&done] { return done; }, 10000))
                return false;
        }
        return QFile::exists(profileFolder() + "/NetworkCookies");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid() && m_save.isValid());
        QVERIFY(QDir().mkpath(m_home.filePath("app")));
        QVERIFY(QFile::copy(QStringLiteral(QUILLMOOR_PATH), program()));
        QVERIFY(m_site.start());
    }

    void wrongUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("two kinds") << QStringList{"--album", "http://127.0.0.1/a", "--member", "1"};
        QTest::newRow("two members") << QStringList{"--member", "1", "--member", "2"};
        QTest::newRow("no value") << QStringList{"--album"};
        QTest::newRow("unknown option") << QStringList{"--update-al"};
        QTest::newRow("stray argument") << QStringList{"--update-all", "now"};
        QTest::newRow("in-flight too high") << QStringList{"--album", "http://127.0.0.1/a", "--in-flight", "9"};
        QTest::newRow("in-flight no number") << QStringList{"--album", "http://127.0.0.1/a", "--in-flight", "x"};
        QTest::newRow("not an address") << QStringList{"--album", "album-7001"};
        QTest::newRow("option of a run alone") << QStringList{"--replace"};
        QTest::newRow("update replaces nothing") << QStringList{"--update-all", "--replace"};
        QTest::newRow("bad site") << QStringList{"--site", "ftp://x", "--update-all"};
        QTest::newRow("rate no rate") << QStringList{"--update-all", "--limit-rate", "fast"};
        QTest::newRow("captions unknown") << QStringList{"--update-all", "--captions", "all"};
        QTest::newRow("verify and update") << QStringList{"--verify", "--update-all"};
    }

    void wrongUsage()
    {
        QFETCH(QStringList, arguments);
        const CommandLineRequest request = parseCommandLine(QStringList{"quillmoor"} + arguments, "1");
        QCOMPARE(request.action, CommandLineRequest::Action::UsageError);
        QVERIFY(!request.text.isEmpty());
    }

    void readsWhatARunNeeds()
    {
        CommandLineRequest request = parseCommandLine(
            {"quillmoor", "--album", "http://127.0.0.1/a", "--album", "http://127.0.0.1/b", "--in-flight", "3"}, "1");
        QCOMPARE(request.action, CommandLineRequest::Action::Run);
        QCOMPARE(request.albums, QStringList({"http://127.0.0.1/a", "http://127.0.0.1/b"}));
        // A count of pictures at once is the fast mode.
        QVERIFY(request.fast);
        QCOMPARE(request.inFlight, 3);
        QVERIFY(!request.replace);

        request = parseCommandLine({"quillmoor", "--update", "a", "--update", "b", "--quiet"}, "1");
        QCOMPARE(request.action, CommandLineRequest::Action::Run);
        QCOMPARE(request.updateFolders, QStringList({"a", "b"}));
        QVERIFY(request.quiet);
        QCOMPARE(request.limitRate, -1);

        request = parseCommandLine({"quillmoor", "--verify", "a", "b", "--limit-rate", "500k", "--captions", "xmp"}, "1");
        QCOMPARE(request.action, CommandLineRequest::Action::Run);
        QVERIFY(request.verify);
        QCOMPARE(request.verifyFolders, QStringList({"a", "b"}));
        QCOMPARE(request.limitRate, 500 * 1024);
        QCOMPARE(request.captions, QString("xmp"));

        // Without a run, the window opens as before.
        request = parseCommandLine({"quillmoor", "--site", "http://127.0.0.1:1", "--no-theme"}, "1");
        QCOMPARE(request.action, CommandLineRequest::Action::Window);
        QVERIFY(request.noTheme);
        QCOMPARE(parseCommandLine({"quillmoor", "--version"}, "9.9").text, QString("Quillmoor 9.9"));
        QVERIFY(parseCommandLine({"quillmoor", "--help"}, "1").text.contains("--update-all"));
    }

    void exitCodesInTheirOrder()
    {
        RunOutcome outcome;
        QCOMPARE(outcome.exitCode(), 0);
        outcome.notWhole = true;
        QCOMPARE(outcome.exitCode(), 1);
        outcome.usage = true;
        QCOMPARE(outcome.exitCode(), 2);
        outcome.busy = true;
        QCOMPARE(outcome.exitCode(), 5);
        outcome.unreachable = true;
        QCOMPARE(outcome.exitCode(), 4);
        outcome.notLoggedIn = true;
        QCOMPARE(outcome.exitCode(), 3);
    }

    void wrongUsageEndsTheProcessWithTwo()
    {
        const Result result = run({"--album", "http://127.0.0.1/a", "--member", "1"});
        QCOMPARE(result.code, 2);
        QVERIFY(result.err.contains("--help"));
        QVERIFY(result.out.isEmpty());
    }

    void memberWithoutLoginSaysToLogIn()
    {
        const Result result = run({"--member", Member});
        QCOMPARE(result.code, 3);
        QVERIFY2(result.err.contains("登录"), qPrintable(result.err));
        QVERIFY(pictures(m_save.path()).isEmpty());
        QCOMPARE(QDir(m_save.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }

    void albumWithoutADisplay()
    {
        const Result result = run({"--album", album("7001")});
        QVERIFY2(result.code == 0 && !result.crashed, qPrintable(result.err + result.out));
        const QString folder = m_save.filePath("两页相册");
        QCOMPARE(pictures(folder).size(), 4);
        QVERIFY(AlbumRecord::load(folder).namesAlbum({album("7001")}));
        // One line for the album, then the total; the progress on the error stream.
        QVERIFY2(result.out.contains(QRegularExpression("两页相册.*4.*两页相册")), qPrintable(result.out));
        QVERIFY(result.out.trimmed().split('\n').constLast().contains("共 1 个相册"));
        // Not a terminal: a line as the album starts and one as it ends, no redrawn progress.
        QVERIFY2(result.err.contains("：开始\n"), qPrintable(result.err));
        QCOMPARE(result.err.count(QRegularExpression("两页相册：\\d+/4 张")), 1);
        QCOMPARE(foreignLines(result.err), QStringList());
    }

    // On a terminal the progress line is drawn in place; the engine's
    // reports stay off the terminal there too.
    void progressRedrawnOnATerminal()
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        auto closeMaster = qScopeGuard([master] { ::close(master); });
        const QByteArray slavePath = ::ptsname(master);
        QTemporaryDir save;
        QVERIFY(save.isValid());
        QProcess process;
        process.setChildProcessModifier([slavePath] {
            const int slave = ::open(slavePath.constData(), O_RDWR | O_NOCTTY);
            if (slave < 0 || ::dup2(slave, STDERR_FILENO) < 0)
                ::_exit(9);
        });
        begin(process, {"--album", album("7002")}, {}, save.path());
        QByteArray terminal;
        // Read as it comes, so the program never waits on a full terminal.
        QSocketNotifier readable(master, QSocketNotifier::Read);
        connect(&readable, &QSocketNotifier::activated, this, [&] {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                terminal.append(buffer, n);
        });
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, RunTimeout);
        QCOMPARE(process.exitCode(), 0);
        const QString text = QString::fromLocal8Bit(terminal);
        QVERIFY2(text.contains(QRegularExpression("\r\\x1b\\[K\\[1/1\\] 单页相册：3/3 张")), qPrintable(text));
        QVERIFY2(!text.contains("：开始"), qPrintable(text));
        QCOMPARE(foreignLines(QString(text).remove(QRegularExpression("\r\\x1b\\[K"))), QStringList());
    }

    void jsonLinesForScripts()
    {
        QTemporaryDir save;
        QVERIFY(save.isValid());
        for (int pass : {1, 2}) {
            const Result result = run({"--album", album("7001"), "--json"}, {}, save.path());
            QVERIFY2(result.code == 0, qPrintable(result.err + result.out));
            const QList<QJsonObject> lines = jsonLines(result.out);
            QCOMPARE(lines.size(), 2);
            const QJsonObject &done = lines.constFirst();
            QCOMPARE(done.value("type").toString(), "album");
            QCOMPARE(done.value("title").toString(), "两页相册");
            QCOMPARE(done.value("address").toString(), album("7001"));
            QCOMPARE(done.value("folder").toString(), save.filePath("两页相册"));
            // The second run finds the four pictures there already.
            QCOMPARE(done.value("new").toInt(), pass == 1 ? 4 : 0);
            QCOMPARE(done.value("alreadyThere").toInt(), pass == 1 ? 0 : 4);
            QCOMPARE(done.value("failed").toInt(), 0);
            QCOMPARE(done.value("whole").toBool(), true);
            const QJsonObject &total = lines.constLast();
            QCOMPARE(total.value("type").toString(), "total");
            QCOMPARE(total.value("albums").toInt(), 1);
            QCOMPARE(total.value("exitCode").toInt(), 0);
            QCOMPARE(total.value("exit").toString(), "whole");
            // The sentences for a person moved to standard error.
            QVERIFY(result.err.contains("共 1 个相册"));
        }
        const Result wrong = run({"--album", "album-7001", "--json"});
        QCOMPARE(wrong.code, 2);
        const QList<QJsonObject> lines = jsonLines(wrong.out);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.constFirst().value("exit").toString(), "usage");
    }

    // Chromium's and Qt's reports about the platform stay off the terminal
    // (as root, as a server's timer runs it); Quillmoor's own lines and
    // warnings reach it.
    void engineReportsStayOffTheTerminal()
    {
        // A save folder of its own: the failed album's folder records the album.
        QTemporaryDir save;
        QVERIFY(save.isValid());
        const QString base = closedBase();
        const QStringList arguments{"--album", base + "/photo/" + Member + "/album-7001"};
        const Result quiet = run(arguments, base, save.path());
        QCOMPARE(quiet.code, 4);
        QVERIFY2(quiet.err.contains("无法连接网站"), qPrintable(quiet.err));
        QCOMPARE(foreignLines(quiet.err), QStringList());

        const QString log = m_home.filePath("debug.log");
        QProcessEnvironment extra;
        extra.insert("QUILLMOOR_DEBUG_LOG", log);
        const Result logged = run(arguments, base, save.path(), extra);
        QCOMPARE(logged.code, 4);
        QCOMPARE(foreignLines(logged.err), QStringList());
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().contains("qt.webenginecontext"), qPrintable(log));

        // A warning of Quillmoor's own, through Qt's messages, still shows.
        extra.insert("QUILLMOOR_DEBUG_LOG", m_home.filePath("no-such-folder/debug.log"));
        const Result unwritable = run(arguments, base, save.path(), extra);
        QVERIFY2(unwritable.err.contains("无法写入调试日志"), qPrintable(unwritable.err));
        QCOMPARE(foreignLines(unwritable.err), QStringList());
    }

    void memberOnceLoggedIn()
    {
        QVERIFY(logIn());
        const Result result = run({"--member", Member, "--fast", "--quiet"});
        QVERIFY2(result.code == 0, qPrintable(result.err + result.out));
        QCOMPARE(pictures(m_save.filePath("两页相册")).size(), 4);
        QCOMPARE(pictures(m_save.filePath("单页相册")).size(), 3);
        // Quiet: no progress, and only the total for albums that came whole.
        QVERIFY2(!result.err.contains("张/秒"), qPrintable(result.err));
        QCOMPARE(result.out.trimmed().split('\n').size(), 1);
        QVERIFY2(result.out.contains("共 2 个相册"), qPrintable(result.out + result.err));
    }

    void updateAllFetchesOnlyWhatGrew()
    {
        QCOMPARE(m_site.grow("7002", 2), 5);
        // A folder of the user's beside the albums is no album to update.
        QVERIFY(QDir(m_save.path()).mkdir("我的照片"));
        m_site.requests(true);
        const Result result = run({"--update-all"});
        QVERIFY2(result.code == 0, qPrintable(result.err + result.out));
        QCOMPARE(pictures(m_save.filePath("单页相册")).size(), 5);
        QCOMPARE(pictures(m_save.filePath("两页相册")).size(), 4);
        QVERIFY2(result.out.contains(QRegularExpression("单页相册：新图片 2 张")), qPrintable(result.out));
        QVERIFY(result.out.contains("共 2 个相册"));
        const QJsonObject requests = m_site.requests();
        QCOMPARE(requests.value("pictures").toInt(), 2);

        // --update names one folder; an unknown one is wrong usage and nothing runs.
        QCOMPARE(run({"--update", m_save.filePath("我的照片")}).code, 2);
        const Result one = run({"--update", m_save.filePath("两页相册")});
        QCOMPARE(one.code, 0);
        QVERIFY(one.out.contains("共 1 个相册"));
    }

    // A title that starts with dots makes a visible folder; the site moves
    // to another address and every recorded album is still updated there,
    // nothing fetched twice; --verify proves the folder against its record.
    void movedSiteAndVerify()
    {
        QTemporaryDir save;
        DemoSite site(dottedSeed());
        DemoSite moved(dottedSeed());
        QVERIFY(site.start() && moved.start());
        QCOMPARE(run({"--album", site.url("/photo/" + Member + "/album-7003")}, site.base(), save.path()).code, 0);
        QCOMPARE(pictures(save.filePath("旅行")).size(), 3);

        QCOMPARE(moved.grow("7003", 1), 4);
        const Result update = run({"--update-all"}, moved.base(), save.path());
        QVERIFY2(update.code == 0, qPrintable(update.err + update.out));
        QCOMPARE(moved.requests().value("pictures").toInt(), 1);
        QCOMPARE(pictures(save.filePath("旅行")).size(), 4);

        QCOMPARE(run({"--verify"}, moved.base(), save.path()).code, 0);
        const QStringList names = pictures(save.filePath("旅行"));
        QVERIFY(QFile::remove(save.filePath("旅行/" + names.at(0))));
        QVERIFY(QFile::resize(save.filePath("旅行/" + names.at(1)), 10));
        QFile same(save.filePath("旅行/" + names.at(2)));
        QVERIFY(same.open(QIODevice::ReadWrite));
        const char first = same.read(1).at(0);
        same.seek(0);
        same.write(QByteArray(1, char(first ^ 1)));
        same.close();
        const Result verify = run({"--verify", save.filePath("旅行")}, moved.base(), save.path());
        QCOMPARE(verify.code, 1);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(verify.out.contains(names.at(i)), qPrintable(verify.out));
        QVERIFY2(!verify.out.contains(names.at(3)), qPrintable(verify.out));
    }

    void expiredLoginEndsWithThree()
    {
        QVERIFY(!m_site.get("/test/expire?after=0&answer=form").isNull());
        const Result result = run({"--album", album("7001"), "--album", album("7002")});
        // Logging in again on the site ends the expiry for the tests after.
        m_site.get("/login?user=demo");
        QCOMPARE(result.code, 3);
        QVERIFY2(result.err.contains("登录一次"), qPrintable(result.err));
        // The queue ended at the first album: the second was never begun.
        QVERIFY2(result.out.contains("1 个相册未开始"), qPrintable(result.out));
        QCOMPARE(pictures(m_save.filePath("两页相册")).size(), 4);
    }

    void unreachableSiteEndsWithFour()
    {
        const QString base = closedBase();
        const Result result = run({"--album", base + "/photo/" + Member + "/album-7001"}, base);
        QCOMPARE(result.code, 4);
        QVERIFY2(result.err.contains("无法连接网站"), qPrintable(result.err));

        // A page that answers but holds no album is no network failure.
        const Result gone = run({"--album", album("9999")});
        QCOMPARE(gone.code, 1);
    }

    void secondProcessAndStopSignal()
    {
        DemoSite slow(R"({ "pictureDelayMs": 400, "members": [ { "id": "100000001", "albums": [
            { "id": "7100", "name": "慢相册", "pages": 1, "perPage": 10 } ] } ] })");
        QVERIFY(slow.start());
        QTemporaryDir save;
        QVERIFY(save.isValid());
        QVERIFY(logIn());
        QFile cookies(profileFolder() + "/NetworkCookies");
        QVERIFY(cookies.open(QIODevice::ReadOnly));
        const QByteArray login = cookies.readAll();
        cookies.close();

        QProcess first;
        begin(first, {"--album", slow.url("/photo/" + Member + "/album-7100")}, slow.base(), save.path());
        // At work once its first picture has taken its name in the record.
        auto saved = [&save] {
            qsizetype count = 0;
            for (const QString &folder : QDir(save.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                count += AlbumRecord::load(save.filePath(folder)).entries().size();
            return count;
        };
        QTRY_VERIFY_WITH_TIMEOUT(saved() > 0, 30000);

        const Result second = run({"--update-all"}, slow.base(), save.path());
        QCOMPARE(second.code, 5);
        QVERIFY2(second.err.contains("已经在运行"), qPrintable(second.err));
        QVERIFY(cookies.open(QIODevice::ReadOnly));
        QCOMPARE(cookies.readAll(), login);
        cookies.close();

        // Stopped like the window's stop: what is saved stays, with its record.
        QCOMPARE(::kill(pid_t(first.processId()), SIGTERM), 0);
        const Result stopped = collect(first);
        QVERIFY(!stopped.crashed);
        QCOMPARE(stopped.code, 1);
        const QStringList folders = QDir(save.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1);
        const QString folder = save.filePath(folders.constFirst());
        const int kept = int(pictures(folder).size());
        QVERIFY2(kept > 0 && kept < 10, qPrintable(QString::number(kept) + stopped.out));
        QCOMPARE(AlbumRecord::load(folder).entries().size(), kept);
        QVERIFY2(stopped.out.contains("共 1 个相册，完整 0 个"), qPrintable(stopped.out));
    }

    void windowHoldsTheLoginToo()
    {
        QProcess window;
        QProcessEnvironment env = environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        window.setProcessEnvironment(env);
        window.start(program(), {"--site", m_site.base()});
        auto stopWindow = qScopeGuard([&window] {
            window.kill();
            window.waitForFinished(10000);
        });
        const QString lock = profileFolder() + ".lock";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 30000);
        const Result second = run({"--update-all"});
        QCOMPARE(second.code, 5);
        QVERIFY(second.out.isEmpty());

        // A window that died leaves its lock behind; it does not hold the next run.
        window.kill();
        QVERIFY(window.waitForFinished(10000));
        QVERIFY(QFile::exists(lock));
        // A save folder of its own: the shared one holds an album that is gone.
        QTemporaryDir save;
        const Result next = run({"--update-all", "--quiet"}, {}, save.path());
        QVERIFY2(next.code == 0, qPrintable(next.err + next.out));
        QVERIFY(!QFile::exists(lock));
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
