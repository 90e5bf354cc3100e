// The member tab's list command against the demo site.
#include "albums/albumlistmodel.h"
#include "app/mainform.h"
#include "storage/settingsfile.h"
#include "demosite.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "addresses/siteaddresses.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {
const QByteArray Seed = R"({
  "members": [
    { "id": "100000001", "profileRepeatsLinks": true, "albums": [
        { "id": "11", "name": "春游", "pages": 1, "perPage": 1 },
        { "id": "12", "name": "家人 & 朋友", "pages": 1, "perPage": 1 },
        { "id": "13", "name": "毕业照", "pages": 1, "perPage": 1, "inProfile": false } ] },
    { "id": "100000002", "noAlbums": true, "albums": [
        { "id": "21", "name": "看不见", "pages": 1, "perPage": 1 } ] },
    { "id": "100000003", "profileStatus": 500, "albums": [] }
  ] })";

// What the list shows, row by row, and the address each row carries.
QStringList titles(const QAbstractItemModel *model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data().toString();
    return out;
}

QStringList addresses(const QAbstractItemModel *model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data(AlbumListModel::AddressRole).toString();
    return out;
}

} // namespace

class TestMemberList : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{Seed};
    QTemporaryDir m_appDir;
    QPointer<MainForm> m_w;

    QString album(const QString &id) const { return m_site.url("/photo/100000001/album-" + id); }

    // Runs the command and waits until it has ended (its button comes back).
    void list(const QString &typed)
    {
        m_w->TxtUserId->setText(typed);
        m_w->CmdList->Click();
        QVERIFY(waitUntil([&] { return m_w->CmdList->isEnabled(); }, 30000));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
        m_w = new MainForm(m_appDir.path());
        m_w->show();
    }
    void cleanupTestCase() { delete m_w; }

    // First, while the browser pane has not logged in.
    void notLoggedInSendsTheUserToTheBrowsingTab()
    {
        ScriptedDialogs dialogs;
        m_w->SSTab1->setCurrentIndex(1);
        m_w->albumList()->setAlbums({{"old-url", "old"}});
        list("100000001");
        QCOMPARE(dialogs.texts(), QStringList{"您还没有登录，请先在浏览器窗口登录"});
        QCOMPARE(dialogs.messages.constFirst().title, MainForm::caption());
        QCOMPARE(m_w->SSTab1->currentIndex(), 0);
        QCOMPARE(m_w->LstAlbumName->model()->rowCount(), 0);
        // The id was stored before the request.
        QCOMPARE(ReadSetting(m_w->settingsFile(), "Settings", "UserId"), QString("100000001"));
    }

    void invalidIdsAreRejectedWithoutTouchingAnything()
    {
        ScriptedDialogs dialogs;
        m_w->albumList()->setAlbums({{"keep-url", "keep"}});
        WriteSetting(m_w->settingsFile(), "Settings", "UserId", "555");
        for (const QString &typed : {"", "   ", "abc", "12ab", "inf"})
            list(typed);
        QCOMPARE(dialogs.texts(), QStringList(5, "用户ID输入有误"));
        QCOMPARE(titles(m_w->LstAlbumName->model()), QStringList{"keep"});
        QCOMPARE(addresses(m_w->LstAlbumName->model()), QStringList{"keep-url"});
        QCOMPARE(ReadSetting(m_w->settingsFile(), "Settings", "UserId"), QString("555"));
    }

    void logIn()
    {
        m_w->WebBrowser1->navigate(m_site.url("/login?user=demo"));
        QVERIFY(waitForDocument(m_w->WebBrowser1, "/quillmoor/start"));
    }

    void listsEveryAlbumOnceWithTitlesAsWritten()
    {
        ScriptedDialogs dialogs;
        m_w->SSTab1->setCurrentIndex(1);
        list("100000001");
        QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.lastText()));
        // The profile repeats every link; the third album is only on album pages.
        QCOMPARE(addresses(m_w->LstAlbumName->model()), QStringList({album("11"), album("12"), album("13")}));
        QCOMPARE(titles(m_w->LstAlbumName->model()), QStringList({"春游", "家人 &amp; 朋友", "毕业照"}));
        QCOMPARE(m_w->SSTab1->currentIndex(), 1);

        // A second run starts from empty lists.
        list("100000001");
        QCOMPARE(m_w->LstAlbumName->model()->rowCount(), 3);
    }

    // The keyboard alone picks albums; they are downloaded in the order of
    // the list, not in the order they were picked.
    void keyboardPicksTheAlbumsToDownload()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir save;
        m_w->TxtPath->setText(save.path());
        QListView *view = m_w->LstAlbumName;
        QCOMPARE(view->model()->rowCount(), 3);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_End);
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(view->selectionModel()->selectedIndexes().size(), 2);

        m_w->CmdDownloadThis->Click();
        QVERIFY(m_w->queue());
        QCOMPARE(m_w->queue()->count(), 2);
        QCOMPARE(m_w->queue()->album(0).title, QString("春游"));
        QCOMPARE(m_w->queue()->album(0).address, album("11"));
        QCOMPARE(m_w->queue()->album(1).title, QString("毕业照"));
        QCOMPARE(m_w->queue()->album(1).address, album("13"));
        QVERIFY(waitUntil([&] { return !m_w->queue(); }, 60000));
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(QDir(save.path()).exists("春游"), qPrintable(dialogs.lastText()));
        QVERIFY2(QDir(save.path()).exists("毕业照"), qPrintable(dialogs.lastText()));
        QVERIFY(!QDir(save.path()).exists("家人 &amp; 朋友"));
    }

    void memberWithoutAlbums()
    {
        ScriptedDialogs dialogs;
        m_w->SSTab1->setCurrentIndex(1);
        list("100000002");
        QCOMPARE(dialogs.texts(), QStringList{"该用户没有可供下载的相册"});
        QCOMPARE(dialogs.messages.constFirst().title, QCoreApplication::applicationName());
        QCOMPARE(m_w->LstAlbumName->model()->rowCount(), 0);
        QCOMPARE(m_w->SSTab1->currentIndex(), 1);
    }

    void unreachableSiteIsNoMissingLogin()
    {
        // An answer that is an error, or none at all, says so; the user is
        // not sent off to log in again.
        ScriptedDialogs dialogs;
        m_w->SSTab1->setCurrentIndex(1);
        list("100000003");
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.lastText().startsWith("无法连接到网站") && dialogs.lastText().contains("500"),
                 qPrintable(dialogs.lastText()));
        QCOMPARE(m_w->SSTab1->currentIndex(), 1);
        QCOMPARE(m_w->LstAlbumName->model()->rowCount(), 0);

        DemoSite gone;
        QVERIFY(gone.start());
        setSiteAddresses(SiteAddresses::forBase(gone.base()));
        gone.stop();
        list("100000001");
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY2(dialogs.lastText().startsWith("无法连接到网站"), qPrintable(dialogs.lastText()));
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }

    void windowClosedWhileTheFailureIsShown()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> other = new MainForm(m_appDir.path());
        other->show();
        dialogs.onInformation = [&] { delete other; };
        other->TxtUserId->setText("100000003");
        other->CmdList->Click();
        QVERIFY(waitUntil([&] { return !other; }, 30000));
        QCOMPARE(dialogs.messages.size(), 1);
        // Whatever the command still had to do must not reach the window.
        QTest::qWait(50);
        QVERIFY(m_w->CmdList->isEnabled());
    }

    void idWithBlanksIsStoredAndRequestedAsTyped()
    {
        ScriptedDialogs dialogs;
        list(" 100000001 ");
        QVERIFY(dialogs.messages.isEmpty());
        QFile file(m_w->settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("UserId= 100000001 \n"));
        // The links carry the id without blanks, so the typed prefix finds none.
        QCOMPARE(m_w->LstAlbumName->model()->rowCount(), 0);
    }

    void windowStaysAliveWhileTheSiteIsSlow()
    {
        DemoSite slow(R"({"delayMs": 1500, "members": [{"id": "7", "albums": [{"id": "1", "name": "慢"}]}]})");
        QVERIFY(slow.start());
        setSiteAddresses(SiteAddresses::forBase(slow.base()));
        ScriptedDialogs dialogs;
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);

        m_w->TxtUserId->setText("7");
        m_w->CmdList->Click();
        QVERIFY(!m_w->CmdList->isEnabled());
        // Another command runs and the timer fires while the request waits.
        m_w->CmdChangePath->Click();
        QCOMPARE(dialogs.folderDialogTitles.size(), 1);
        QVERIFY(waitUntil([&] { return ticks >= 5; }));
        QVERIFY(!m_w->CmdList->isEnabled());
        QVERIFY(waitUntil([&] { return m_w->CmdList->isEnabled(); }, 30000));
        QCOMPARE(titles(m_w->LstAlbumName->model()), QStringList{"慢"});
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }
};

QUILLMOOR_TEST_MAIN(TestMemberList)
#include "tst_memberlist.moc"
