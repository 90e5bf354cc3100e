// The desktop notification at the end of a job: what it says, that it comes
// only when the window is behind another, and that it costs nothing where
// no notification service or session bus runs. The test starts a session
// bus of its own and serves org.freedesktop.Notifications on it.
#include "app/icons.h"
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "demosite.h"
#include "platform/desktopnotifier.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

const char *const Seed = R"({"members": [{"id": "100000001", "albums": [
    {"id": "8001", "name": "春游", "pages": 1, "perPage": 2},
    {"id": "8002", "name": "A&B <夏>", "pages": 1, "perPage": 2},
    {"id": "8003", "name": "秋游", "pages": 1, "perPage": 2}]}]})";

// A stand-in for the desktop's notification service: it keeps what it is
// asked to show.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        QString appName, summary, body;
        QVariantMap hints;
    };
    QList<Notice> notices;
    QStringList capabilities{"body", "body-markup"};

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        notices.append({appName, summary, body, hints});
        return uint(notices.size());
    }
};

} // namespace

class TestNotifications : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{Seed};
    QTemporaryDir m_busDir;
    QProcess m_bus;
    QString m_address;
    QTemporaryDir m_appDir;

    QString album(const QString &id) const { return m_site.url("/photo/100000001/album-" + id); }

    // Downloads an album from the browsing tab, the way a user starts one,
    // and waits for the message at its end.
    void download(MainForm *w, ScriptedDialogs &dialogs, const QString &id)
    {
        const qsizetype before = dialogs.messages.size();
        w->WebBrowser1->navigate(album(id));
        QVERIFY(waitForDocument(w->WebBrowser1, album(id)));
        QTRY_VERIFY(w->CmdStartDown->isEnabled());
        QTest::mouseClick(w->CmdStartDown, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return dialogs.messages.size() > before && !w->queue(); }, 60000));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
        // A session bus of the test's own, listening in a temporary folder.
        m_bus.start("dbus-daemon", {"--session", "--address=unix:dir=" + m_busDir.path(), "--print-address=1", "--nofork"});
        QVERIFY2(m_bus.waitForStarted(10000), "dbus-daemon (Debian package dbus-daemon) is needed");
        QVERIFY(waitUntil([&] { return m_bus.canReadLine(); }, 10000));
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        // Before anything asks for the session bus: the window's notifier finds this one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus("stand-in");
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }

    void noticeOfAMessage_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("body");
        QTest::newRow("album") << "下载完毕\n保存在 《春游》" << "下载完毕" << "保存在 《春游》";
        QTest::newRow("one line") << "这个相册正由另一个下载任务处理，本次未做任何改动"
                                  << "这个相册正由另一个下载任务处理，本次未做任何改动" << "";
        QTest::newRow("blank lines") << "更新完毕：检查了 2 个相册\n\n新图片：\n相册《甲》：3 张\n"
                                     << "更新完毕：检查了 2 个相册" << "新图片：\n相册《甲》：3 张";
        QTest::newRow("long") << "下载完毕\n1\n2\n3\n4\n5\n6\n7" << "下载完毕" << "1\n2\n3\n4\n5\n…";
        QTest::newRow("empty") << "" << "" << "";
    }
    void noticeOfAMessage()
    {
        QFETCH(QString, message);
        QFETCH(QString, summary);
        QFETCH(QString, body);
        const DesktopNotice notice = noticeFor(message);
        QCOMPARE(notice.summary, summary);
        QCOMPARE(notice.body, body);
    }

    // Neither a missing service nor a missing bus holds anything up: the
    // call fails by itself, within its bound, or is not made at all.
    void nothingToNotify()
    {
        DesktopNotifier onBus(QDBusConnection::sessionBus(), "quillmoor");
        QSignalSpy failed(&onBus, &DesktopNotifier::failed);
        onBus.notify({"下载完毕", "保存在 《春游》"});
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, DesktopNotifier::CallTimeoutMs + 1000);

        // Without an announced bus it does not try one (libdbus would
        // launch one of its own).
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", m_busDir.filePath("none").toUtf8());
        DesktopNotifier noBus("quillmoor");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        qputenv("XDG_RUNTIME_DIR", runtime);
        QSignalSpy failedAtOnce(&noBus, &DesktopNotifier::failed);
        noBus.notify({"下载完毕", {}});
        QCOMPARE(failedAtOnce.count(), 1);
    }

    // An album that ends while the window is active shows its message only;
    // one that ends behind another window also on the desktop, in short;
    // without a service the message and the window go on as ever.
    void albumEndsBehindAnotherWindow()
    {
        NotificationService service;
        QDBusConnection standIn = QDBusConnection::connectToBus(m_address, "stand-in");
        QVERIFY(standIn.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
        QVERIFY(standIn.registerService("org.freedesktop.Notifications"));

        ScriptedDialogs dialogs;
        QTemporaryDir save;
        auto *w = new MainForm(m_appDir.path());
        w->TxtPath->setText(save.path());
        w->show();
        QWidget other;
        other.setWindowTitle("another program");

        // Active: the message box alone.
        w->activateWindow();
        QTRY_VERIFY(w->isActiveWindow());
        download(w, dialogs, "8001");
        QCOMPARE(dialogs.lastText(), QString("下载完毕\n保存在 《春游》"));

        // Behind another window: the message on the desktop too. The site's
        // title reaches it as text, not as markup.
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!w->isActiveWindow());
        download(w, dialogs, "8002");
        QVERIFY(dialogs.lastText().startsWith("下载完毕\n保存在 《A&B"));
        QTRY_COMPARE(service.notices.size(), 1);
        const NotificationService::Notice notice = service.notices.constFirst();
        QCOMPARE(notice.appName, QString("Quillmoor"));
        QCOMPARE(notice.summary, QString("下载完毕"));
        QCOMPARE(notice.body, dialogs.lastText().section('\n', 1).toHtmlEscaped());
        QCOMPARE(notice.hints.value("desktop-entry").toString(), Icons::applicationId());

        // No service: nothing waits for one.
        QVERIFY(standIn.unregisterService("org.freedesktop.Notifications"));
        download(w, dialogs, "8003");
        QCOMPARE(dialogs.lastText(), QString("下载完毕\n保存在 《秋游》"));
        QCOMPARE(w->JobState(), QString("login"));
        QCOMPARE(service.notices.size(), 1);
        delete w;
    }
};

QUILLMOOR_TEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
