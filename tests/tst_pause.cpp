// Pausing, continuing and stopping a job from the window, an expired login
// that waits for the user, and the progress bar: the real window, its menu,
// context menu and keyboard, against the demo site.
#include "albums/albumlistmodel.h"
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumrecord.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWebEnginePage>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int JobTimeout = 90000;

// Each request waits, so that a job can be caught between its pictures.
QByteArray slowSeed()
{
    return R"({
  "delayMs": 150,
  "members": [ { "id": "100000001", "albums": [
    { "id": "8001", "name": "暂停相册", "pages": 1, "perPage": 8 },
    { "id": "8002", "name": "停止相册", "pages": 1, "perPage": 10 },
    { "id": "8003", "name": "后面的相册", "pages": 1, "perPage": 2 }
  ] } ]
})";
}

QByteArray loginSeed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "8101", "name": "会过期的相册", "pages": 1, "perPage": 6 },
    { "id": "8102", "name": "三页会过期", "pages": 3, "perPage": 2 }
  ] } ]
})";
}

// Opens the progress list's context menu with the right button and clicks
// the item of that text.
bool chooseFromContextMenu(MainForm *w, QTreeView *list, const QString &text)
{
    const QPoint at = list->viewport()->mapTo(w, list->viewport()->rect().center());
    QTest::mouseClick(w->windowHandle(), Qt::RightButton, {}, at);
    if (!waitUntil([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }, 5000))
        return false;
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    for (QAction *action : menu->actions()) {
        if (action->text() == text && action->isEnabled()) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return true;
        }
    }
    menu->close();
    return false;
}

// Opens menu "程序" from the menu bar with the mouse and clicks `action`.
bool chooseFromMenu(MainForm *w, QAction *action)
{
    QMenuBar *bar = w->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(w->Pro->menuAction()).center());
    if (!waitUntil([&] { return w->Pro->isVisible(); }, 5000) || !action->isEnabled())
        return false;
    QTest::mouseClick(w->Pro, Qt::LeftButton, {}, w->Pro->actionGeometry(action).center());
    return true;
}

} // namespace

class TestPause : public QObject
{
    Q_OBJECT
private:
    DemoSite m_slow{slowSeed()};
    DemoSite m_login{loginSeed()};
    QTemporaryDir m_appDir;
    ScriptedDialogs *m_dialogs = nullptr;

    static QString albumUrl(const DemoSite &site, const QString &album)
    {
        return site.url("/photo/" + Member + "/album-" + album);
    }

    MainForm *openWindow(const QString &saveFolder)
    {
        auto *w = new MainForm(m_appDir.path());
        w->TxtPath->setText(saveFolder);
        w->show();
        w->activateWindow();
        // Shortcuts reach only the active window.
        if (!QTest::qWaitForWindowActive(w))
            return nullptr;
        return w;
    }

    static bool openAlbum(MainForm *w, const QString &url)
    {
        w->WebBrowser1->navigate(url);
        return waitForDocument(w->WebBrowser1, url) && waitUntil([&] { return w->CmdStartDown->isEnabled(); });
    }

    bool finished() const
    {
        for (const QString &text : m_dialogs->texts())
            if (text.startsWith(QStringLiteral("下载完毕")) || text.startsWith(QStringLiteral("已停止")))
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_slow.start());
        QVERIFY(m_login.start());
    }

    void init() { m_dialogs = new ScriptedDialogs; }

    void cleanup()
    {
        qDeleteAll(mainForms());
        delete m_dialogs;
        m_dialogs = nullptr;
    }

    void pauseSendsNothingAndContinueCompletes()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(w);
        // No job: nothing to pause, continue or stop.
        QVERIFY(!w->PauseDown->isEnabled() && !w->ResumeDown->isEnabled() && !w->StopDown->isEnabled());
        QVERIFY(openAlbum(w, albumUrl(m_slow, "8001")));
        m_slow.requests(true);
        w->CmdStartDown->Click();
        QVERIFY(w->PauseDown->isEnabled() && !w->ResumeDown->isEnabled() && w->StopDown->isEnabled());
        QVERIFY(w->JobProgress->isVisible());

        // Paused from the keyboard once two pictures are in.
        QVERIFY(waitUntil([&] { return w->JobProgress->value() >= 2; }, JobTimeout));
        QTest::keyClick(w, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(w->queue()->isPaused());
        QVERIFY(!w->PauseDown->isEnabled() && w->ResumeDown->isEnabled() && w->StopDown->isEnabled());
        QCOMPARE(w->Label1->text(), QString("已暂停下载"));
        QVERIFY(waitUntil([&] { return w->albumJob()->inFlight() == 0; }, 10000));
        const QJsonObject atPause = m_slow.requests();
        const int doneAtPause = w->JobProgress->value();
        QCOMPARE(w->JobProgress->maximum(), 8);
        QCOMPARE(w->JobProgress->format(), QString("%1/8 张，已暂停").arg(doneAtPause));

        // A while later (a slow answer of the site's own) nothing more was asked.
        m_slow.get("/test/slow?ms=1200");
        const QJsonObject later = m_slow.requests();
        QCOMPARE(later.value("pictures"), atPause.value("pictures"));
        QCOMPARE(later.value("picturePages"), atPause.value("picturePages"));
        QCOMPARE(w->JobProgress->value(), doneAtPause);
        QCOMPARE(w->Label1->text(), QString("已暂停下载"));

        // Continued from the progress list's context menu.
        QVERIFY(chooseFromContextMenu(w, w->ListView1, "继续下载"));
        QVERIFY(!w->queue()->isPaused());
        QVERIFY(w->PauseDown->isEnabled() && !w->ResumeDown->isEnabled());
        QVERIFY(!w->JobProgress->format().contains("已暂停"));
        // Once a few pictures are in, the bar gives the pace and time left.
        QVERIFY(waitUntil([&] { return !m_dialogs->messages.isEmpty() || w->JobProgress->format().contains("剩余"); },
                          JobTimeout));
        QVERIFY2(QRegularExpression("^\\d/8 张，\\d+\\.\\d 张/秒，剩余 \\d+秒$").match(w->JobProgress->format()).hasMatch(),
                 qPrintable(w->JobProgress->format()));

        QVERIFY(waitUntil([&] { return finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->lastText(), QString("下载完毕\n保存在 《暂停相册》"));
        QCOMPARE(pictureFiles(save.path() + "/暂停相册").size(), 8);
        // Every picture asked for once, the pause notwithstanding.
        QCOMPARE(m_slow.requests().value("pictures").toInt(), 8);
        QVERIFY(w->JobProgress->isHidden());
        QVERIFY(!w->PauseDown->isEnabled() && !w->ResumeDown->isEnabled() && !w->StopDown->isEnabled());
    }

    void stopKeepsTheAlbumAndEndsTheQueue()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(w);
        w->SSTab1->setCurrentIndex(1);
        w->albumList()->setAlbums({{albumUrl(m_slow, "8002"), "停止相册"}, {albumUrl(m_slow, "8003"), "后面的相册"}});
        w->downloadAllAlbums();
        QVERIFY(w->queue());
        QVERIFY(waitUntil([&] { return w->JobProgress->value() >= 3; }, JobTimeout));
        QVERIFY(w->JobProgress->format().startsWith("相册 1/2，"));

        // Stopped from menu "程序".
        QVERIFY(chooseFromMenu(w, w->StopDown));
        QVERIFY(waitUntil([&] { return !m_dialogs->messages.isEmpty(); }, JobTimeout));
        const QString message = m_dialogs->lastText();
        const QRegularExpressionMatch counts =
            QRegularExpression("相册《停止相册》：保存在 《停止相册》，已停止：保存了 (\\d+) 张，还有 (\\d+) 张未下载")
                .match(message);
        QVERIFY2(counts.hasMatch(), qPrintable(message));
        const int saved = counts.captured(1).toInt();
        QVERIFY(saved >= 3);
        QCOMPARE(saved + counts.captured(2).toInt(), 10);
        QVERIFY2(message.endsWith("已停止：其余 1 个相册未下载"), qPrintable(message));
        QCOMPARE(m_dialogs->messages.size(), 1);

        // The album keeps its name and what it saved; its record says stopped;
        // the next album never began.
        QCOMPARE(pictureFiles(save.path() + "/停止相册").size(), saved);
        QCOMPARE(AlbumRecord::load(save.path() + "/停止相册").state(), AlbumRecord::State::Stopped);
        QCOMPARE(QDir(save.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"停止相册"});
        QVERIFY(!w->queue());
        QVERIFY(!w->StopDown->isEnabled());
        QVERIFY(w->CmdDownloadThis->isEnabled());
    }

    void expiredLoginWaitsForTheUser_data()
    {
        QTest::addColumn<QString>("album");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("answeredAt");
        QTest::addColumn<bool>("memberTab");
        // Two picture pages answer, then the site asks for a login.
        QTest::newRow("downloading") << "8101" << "会过期的相册" << 2 << "/photo-" << false;
        // The second album page answers, the third is the login form; the
        // pane's pages while the user logs in are no pages of the album.
        QTest::newRow("collecting") << "8102" << "三页会过期" << 1 << "/album-8102" << false;
        // The member tab's pane collects; the user logs in on the browsing tab.
        QTest::newRow("member tab") << "8102" << "三页会过期" << 2 << "/album-8102" << true;
    }

    void expiredLoginWaitsForTheUser()
    {
        QFETCH(QString, album);
        QFETCH(QString, name);
        QFETCH(int, after);
        QFETCH(QString, answeredAt);
        QFETCH(bool, memberTab);
        setSiteAddresses(SiteAddresses::forBase(m_login.base()));
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(w);
        if (memberTab) {
            w->SSTab1->setCurrentIndex(1);
            w->albumList()->setAlbums({{albumUrl(m_login, album), name}});
        } else {
            QVERIFY(openAlbum(w, albumUrl(m_login, album)));
        }
        m_login.requests(true);
        QVERIFY(!m_login.get(QString("/test/expire?after=%1&answer=form").arg(after)).isEmpty());
        if (memberTab)
            w->downloadAllAlbums();
        else
            w->CmdStartDown->Click();
        QLabel *status = memberTab ? w->lblstate : w->Label1;

        const QString loginText = "登录已失效，请在浏览器窗口中重新登录，然后点击继续下载";
        QVERIFY(waitUntil([&] { return m_dialogs->texts().contains(loginText); }, JobTimeout));
        QCOMPARE(w->queue()->pausedBy(), HaltReason::LoginExpired);
        QVERIFY(w->ResumeDown->isEnabled() && !w->PauseDown->isEnabled());
        QCOMPARE(status->text(), loginText);
        // The list gives way to the pane, which shows the site's login form.
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QVERIFY(w->ListView1->isHidden());
        QVERIFY(w->WebBrowser1->isVisible());
        QVERIFY(waitUntil([&] {
            return w->WebBrowser1->Title().contains("登录") && w->WebBrowser1->locationUrl().contains(answeredAt);
        }, 30000));

        // The user logs in there.
        w->WebBrowser1->page()->runJavaScript(
            "document.getElementById('user').value = 'tester'; document.forms[0].submit();");
        QVERIFY(waitForDocument(w->WebBrowser1, "/quillmoor/start"));
        QVERIFY(!m_dialogs->texts().join('\n').contains("下载完毕"));

        // And goes on from the keyboard.
        QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(!w->queue()->isPaused());
        QCOMPARE(w->SSTab1->currentIndex(), memberTab ? 1 : 0);
        QCOMPARE(w->ListView1->isVisible(), !memberTab);
        QVERIFY(waitUntil([&] { return finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->lastText(), QString("下载完毕\n保存在 《%1》").arg(name));
        QCOMPARE(pictureFiles(save.path() + "/" + name).size(), 6);
        // No picture fetched twice.
        QCOMPARE(m_login.requests().value("pictures").toInt(), 6);
    }
};

QUILLMOOR_TEST_MAIN(TestPause)
#include "tst_pause.moc"
