// Download jobs as the window shows them: the real window and browser panes
// against the demo site, from the start button to the album folder on disk.
// The job's own rules are proven on the job object (tst_downloadjob).
#include "albums/albumlistmodel.h"
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumrecord.h"
#include "platform/browserpane.h"
#include "browser/headlesspage.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "web/fetchpage.h"
#include "web/networksession.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTabWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWebEnginePage>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int JobTimeout = 90000;

QByteArray fastSeed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "6011", "name": "三页相册", "pages": 3, "perPage": 2, "firstPage": 0 },
    { "id": "6002", "name": "单页相册", "pages": 1, "perPage": 3 },
    { "id": "6003", "name": "重复链接", "pages": 2, "perPage": 2, "repeatAcrossPages": true },
    { "id": "6004", "name": "各种图片", "perPage": 3, "pictures": [
        { "id": "6004001", "kind": "gif" },
        { "id": "6004002", "kind": "none" },
        { "id": "6004003", "status": 404 } ] },
    { "id": "6040", "name": "打不开", "pages": 1, "perPage": 2, "pageStatus": 500 },
    { "id": "6008", "name": "?*:", "pages": 1, "perPage": 1 }
  ] } ]
})";
}

// Every request of this site waits, so a job can be caught mid-flight.
QByteArray slowSeed()
{
    return R"({
  "delayMs": 400,
  "members": [ { "id": "100000001", "albums": [
    { "id": "7001", "name": "慢相册", "pages": 1, "perPage": 3 },
    { "id": "7002", "name": "慢相册二", "pages": 2, "perPage": 2 },
    { "id": "7003", "name": "慢相册三", "pages": 3, "perPage": 1 }
  ] } ]
})";
}

// Answers every box and notes what the window showed when each message came
// up: the completion message appears before the labels return to idle.
class JobDialogs : public ScriptedDialogs
{
public:
    struct Seen {
        QString label1, lblstate, frame1, jobState;
    };

    void information(QWidget *parent, const QString &title, const QString &text) override
    {
        if (window)
            seen.append(Seen{window->Label1->text(), window->lblstate->text(), window->Frame1->title(),
                             window->JobState()});
        else
            seen.append(Seen{});
        ScriptedDialogs::information(parent, title, text);
    }

    int completionIndex() const
    {
        for (qsizetype i = 0; i < messages.size(); ++i)
            if (messages.at(i).text.startsWith(QStringLiteral("下载完毕")))
                return int(i);
        return -1;
    }
    bool finished() const { return completionIndex() >= 0; }
    QString completion() const { return finished() ? messages.at(completionIndex()).text : QString(); }
    Seen atCompletion() const { return finished() ? seen.at(completionIndex()) : Seen{}; }
    void clear()
    {
        messages.clear();
        seen.clear();
    }

    QPointer<MainForm> window;
    QList<Seen> seen;
};

} // namespace

class TestJob : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{fastSeed()};
    DemoSite m_slow{slowSeed()};
    QTemporaryDir m_appDir;
    JobDialogs *m_dialogs = nullptr;

    QString albumUrl(const QString &album, const QString &base = {}) const
    {
        return (base.isEmpty() ? m_site.base() : base) + "/photo/" + Member + "/album-" + album;
    }
    QStringList generatedUrls(const QString &album, int count) const
    {
        QStringList out;
        for (int i = 1; i <= count; ++i) {
            const QString id = album + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
            out << m_site.base() + "/pic/" + album + "/" + id + "/p" + id + ".jpg";
        }
        return out;
    }
    static QStringList successTexts(const QStringList &urls)
    {
        QStringList out;
        for (const QString &u : urls)
            out << "图片" + u + "下载完毕.";
        return out;
    }

    MainForm *openWindow(const QString &saveFolder)
    {
        auto *w = new MainForm(m_appDir.path());
        w->TxtPath->setText(saveFolder);
        w->show();
        m_dialogs->window = w;
        return w;
    }

    // Loads a page into the browser pane and waits for its document-complete.
    static bool load(BrowserPane *pane, const QString &url)
    {
        QSignalSpy spy(pane, &BrowserPane::documentComplete);
        pane->navigate(url);
        return waitUntil([&] {
            for (const auto &args : spy)
                if (args.at(0).toString() == url)
                    return true;
            return false;
        });
    }

    // The album page is open and the start button usable.
    static bool openAlbum(MainForm *w, const QString &url)
    {
        return load(w->WebBrowser1, url) && w->CmdStartDown->isEnabled();
    }

    static void selectAlbum(MainForm *w, const QString &title, const QString &url)
    {
        w->albumList()->setAlbums({{url, title}});
        w->LstAlbumName->setCurrentIndex(w->albumList()->index(0));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        QVERIFY(m_slow.start());
    }

    void init()
    {
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
        m_dialogs = new JobDialogs;
    }

    void cleanup()
    {
        qDeleteAll(mainForms());
        // Each test starts from the default download mode and speed.
        QFile::remove(m_appDir.path() + "/Settings.ini");
        delete m_dialogs;
        m_dialogs = nullptr;
    }

    void browserPaneJobFromStartToFolder()
    {
        // Pages numbered from 0: the second page is ?curpage=1.
        QTemporaryDir save;
        QDir d(save.path());
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("6011");
        QVERIFY(openAlbum(w, album));

        w->CmdStartDown->Click();
        QCOMPARE(w->JobState(), QString("CollectPicture"));
        QCOMPARE(w->JobSource(), qint16(1));
        QCOMPARE(w->AlbumName(), QString("三页相册"));
        QCOMPARE(w->AlbumPageUrl, album);
        QCOMPARE(w->TempFolderName(), QString("相册文件夹1"));
        QVERIFY(d.exists("相册文件夹1"));
        QVERIFY(!w->CmdStartDown->isEnabled());
        QVERIFY(w->ListView1->isVisible());
        QCOMPARE(columnTexts(w->ListView1, 1), QStringList{"已采集2张图片列表，请稍等... ..."});

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《三页相册》"));
        QCOMPARE(m_dialogs->messages.at(m_dialogs->completionIndex()).title, MainForm::caption());
        QCOMPARE(m_dialogs->messages.size(), 1);
        const JobDialogs::Seen seen = m_dialogs->atCompletion();
        QCOMPARE(seen.jobState, QString("GetUrl"));
        QCOMPARE(seen.frame1, QString("相册《 三页相册 》共有6张图片"));
        QCOMPARE(seen.label1, QString("已下载6张图片 "));

        const QStringList urls = generatedUrls("6011", 6);
        QCOMPARE(columnTexts(w->ListView1, 0),
                 QStringList{"Collecting"} + QStringList(6, "Success") + QStringList{"Finished"});
        QCOMPARE(columnTexts(w->ListView1, 1),
                 QStringList{"共采集6张图片列表，开始下载"} + successTexts(urls) + QStringList{"相册下载完毕."});
        QCOMPARE(w->ListView1->currentIndex().row(), 7);

        // Back to idle.
        QCOMPARE(w->JobState(), QString("login"));
        QCOMPARE(w->JobSource(), qint16(0));
        QVERIFY(w->TempFolderName().isEmpty());
        QCOMPARE(w->AlbumName(), QString("三页相册"));
        QVERIFY(w->ListView1->isHidden());
        QCOMPARE(w->Frame1->title(), MainForm::IdleFrameText);
        QCOMPARE(w->Label1->text(), QString("图片下载完毕. "));
        QCOMPARE(besideRecord(save.path()), QStringList{"三页相册"});
        QCOMPARE(besideRecord(save.path() + "/三页相册").size(), 6);

        // The pane goes back to the album, where the button is usable again;
        // an album of one page keeps the pane where it is and says "有".
        QVERIFY(waitUntil([&] { return w->WebBrowser1->locationUrl() == album && w->CmdStartDown->isEnabled(); }, 30000));
        m_dialogs->clear();
        QVERIFY(openAlbum(w, albumUrl("6002")));
        w->CmdStartDown->Click();
        QCOMPARE(w->JobState(), QString("GetUrl"));
        QCOMPARE(w->Frame1->title(), QString("相册《 单页相册 》有 3 张图片"));
        QCOMPARE(w->TempFolderName(), QString("相册文件夹1"));
        QCOMPARE(w->WebBrowser1->locationUrl(), albumUrl("6002"));
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->atCompletion().label1, QString("已下载3张图片 "));
        QCOMPARE(columnTexts(w->ListView1, 1).constFirst(), QString("已采集3张图片列表，请稍等... ..."));
    }

    void memberListJobInItsOwnRows()
    {
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        const QString frameBefore = w->Frame1->title();
        const QString labelBefore = w->Label1->text();

        // Pages numbered from 0 in the hidden pane, repeats skipped there.
        selectAlbum(w, "三页相册", albumUrl("6011"));
        w->CmdDownloadThis->Click();
        QCOMPARE(w->JobState(), QString("CollectPicture2"));
        QCOMPARE(w->JobSource(), qint16(2));
        QVERIFY(!w->CmdDownloadThis->isEnabled());
        QCOMPARE(columnTexts(w->ListView2, 1), QStringList{"程序开始采集图片"});
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《三页相册》"));
        QCOMPARE(m_dialogs->atCompletion().lblstate, QString("已下载6张图片 "));
        QCOMPARE(columnTexts(w->ListView2, 1),
                 QStringList{"共采集6张图片列表，开始下载"} + successTexts(generatedUrls("6011", 6))
                     + QStringList{"相册下载完毕."});
        QCOMPARE(besideRecord(save.path() + "/三页相册").size(), 6);

        m_dialogs->clear();
        selectAlbum(w, "重复链接", albumUrl("6003"));
        w->CmdDownloadThis->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(columnTexts(w->ListView2, 0),
                 QStringList{"Collecting"} + QStringList(4, "Success") + QStringList{"Finished"});
        // The browsing tab is left alone.
        QCOMPARE(w->ListView1->model()->rowCount(), 0);
        QCOMPARE(w->Frame1->title(), frameBefore);
        QCOMPARE(w->Label1->text(), labelBefore);
        QVERIFY(w->lblstate->text().isEmpty());
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QCOMPARE(w->JobState(), QString("login"));
    }

    void failuresShowInRowsAndMessage()
    {
        QTemporaryDir save;
        QVERIFY(QDir(save.path()).mkpath("127.0.0.1/keep"));
        QVERIFY(QDir(save.path()).mkpath("500/keep"));
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(openAlbum(w, albumUrl("6004")));
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        // A page without data a skipped row; a missing picture a failed row
        // with its own icon, its address and its reason in Chinese.
        QCOMPARE(columnTexts(w->ListView1, 0), QStringList({"Collecting", "Success", "Skipped", "Failed", "Finished"}));
        QVERIFY(columnTexts(w->ListView1, 1).at(2).contains(m_site.url("/photo/" + Member + "/photo-6004002")));
        const QString failed = columnTexts(w->ListView1, 1).at(3);
        QVERIFY(failed.contains(m_site.url("/pic/6004/6004003/p6004003.jpg")));
        QVERIFY2(failed.contains("失败") && failed.contains("404"), qPrintable(failed));
        QCOMPARE(w->ListView1->model()->index(3, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 w->ImageList1.at(4).cacheKey());
        QCOMPARE(columnTexts(w->ListView1, 1).at(4),
                 QString("相册下载完毕. 其中 1 张图片下载失败，详见下载进度 1 个图片页中没有找到图片地址，已跳过"));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《各种图片》\n其中 1 张图片下载失败，详见下载进度"
                                                  "\n1 个图片页中没有找到图片地址，已跳过"));

        // A member-list album whose page does not load: the browser's error
        // page names no album and deletes nothing; the job still completes.
        m_dialogs->clear();
        selectAlbum(w, "打不开", albumUrl("6040"));
        w->CmdDownloadThis->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(columnTexts(w->ListView2, 0), QStringList({"Collecting", "Stopped", "Finished"}));
        QVERIFY2(m_dialogs->completion().contains("提前结束"), qPrintable(m_dialogs->completion()));
        QVERIFY(QDir(save.path()).exists("127.0.0.1/keep"));
        QVERIFY(QDir(save.path()).exists("500/keep"));
        QVERIFY(w->AlbumName().isEmpty());
    }

    void memberTabQueueOfAlbums()
    {
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        w->SSTab1->setCurrentIndex(1);
        const QStringList titles{"单页相册", "?*: 的相册", "打不开"};
        const QStringList ids{"6002", "6008", "6040"};
        QList<AlbumEntry> albums;
        for (int i = 0; i < 3; ++i)
            albums.append({albumUrl(ids.at(i)), titles.at(i)});
        w->albumList()->setAlbums(albums);
        // The list's own menu, opened with the right button: "全部下载".
        const QPoint at = w->LstAlbumName->viewport()->mapTo(w, w->LstAlbumName->visualRect(w->albumList()->index(1)).center());
        QTest::mouseClick(w->windowHandle(), Qt::RightButton, {}, at);
        QVERIFY(waitUntil([] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }, 5000));
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions().at(0)->text(), QString("全部下载"));
        QCOMPARE(menu->actions().at(1)->text(), QString("下载选中相册"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(0)).center());
        QVERIFY(!w->CmdDownloadThis->isEnabled());

        // One album after another, each in its own folder and rows; an
        // unusable name and a page that does not load do not stop the rest.
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->messages.size(), 1);
        const QStringList rows = columnTexts(w->ListView2, 0);
        QCOMPARE(rows, QStringList({"Album", "Collecting", "Success", "Success", "Success", "Finished",
                                    "Album", "Collecting", "Success", "Finished",
                                    "Album", "Collecting", "Stopped", "Finished"}));
        QCOMPARE(columnTexts(w->ListView2, 1).at(6), QString("相册《?*: 的相册》 (2/3)"));
        const QString message = m_dialogs->completion();
        QVERIFY2(message.contains("相册《单页相册》：保存在 《单页相册》"), qPrintable(message));
        QVERIFY2(message.contains("相册《?*: 的相册》：保存在 《相册文件夹1》"), qPrintable(message));
        QVERIFY2(message.contains("相册《打不开》") && message.contains("提前结束"), qPrintable(message));
        QCOMPARE(m_dialogs->atCompletion().lblstate, QString("已下载4张图片（第3/3个相册） "));
        QCOMPARE(besideRecord(save.path()), QStringList({"单页相册", "相册文件夹1", "相册文件夹2"}));
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QCOMPARE(w->JobState(), QString("login"));

        // Only new pictures: a run over the first album's folder fetches
        // nothing it holds, and says so in its rows and in its message.
        m_dialogs->clear();
        w->OnlyNew->trigger();
        // A plain click selects the first album alone.
        QTest::mouseClick(w->LstAlbumName->viewport(), Qt::LeftButton, {},
                          w->LstAlbumName->visualRect(w->albumList()->index(0)).center());
        QCOMPARE(w->LstAlbumName->selectionModel()->selectedIndexes().size(), 1);
        w->CmdDownloadThis->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(columnTexts(w->ListView2, 0), QStringList({"Collecting", "Exists", "Exists", "Exists", "Finished"}));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《单页相册》\n新增 0 张图片，3 张已在相册中"));
        // The folder now keeps its record beside the pictures.
        QVERIFY(QFile::exists(save.path() + "/单页相册/" + AlbumRecord::fileName()));
        QCOMPARE(besideRecord(save.path() + "/单页相册"), QStringList({"p6002001.jpg", "p6002002.jpg", "p6002003.jpg"}));
    }

    void closingDuringAQueue()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        w->albumList()->setAlbums({{albumUrl("7001", m_slow.base()), "慢7001"},
                                   {albumUrl("7002", m_slow.base()), "慢7002"}});
        w->downloadAllAlbums();
        QVERIFY(waitUntil([&] { return w->albumJob() && !w->albumJob()->pendingPictures().isEmpty(); }, 30000));
        // One question; Yes abandons the running album and the one not begun.
        m_dialogs->answerYes = true;
        QVERIFY(w->close());
        QVERIFY(waitUntil([&] { return !w; }));
        QCOMPARE(m_dialogs->questions.size(), 1);
        QVERIFY(m_dialogs->messages.isEmpty());
        QVERIFY(besideRecord(save.path()).isEmpty());
    }

    void paneSentAwayEndsCollection()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(openAlbum(w, albumUrl("7003", m_slow.base())));
        w->CmdStartDown->Click();
        QCOMPARE(w->JobState(), QString("CollectPicture"));
        // The home-page button has no guard: the pane leaves the album while
        // its next page is on the way.
        QTest::mouseClick(w->CmdHomePage, Qt::LeftButton, {}, w->CmdHomePage->rect().center());
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(columnTexts(w->ListView1, 0), QStringList({"Collecting", "Stopped", "Success", "Finished"}));
        QVERIFY(columnTexts(w->ListView1, 1).at(1).contains("第"));
        QVERIFY2(m_dialogs->completion().startsWith("下载完毕\n保存在 《慢相册三》"), qPrintable(m_dialogs->completion()));
        QCOMPARE(besideRecord(save.path() + "/慢相册三").size(), 1);
    }

    void startsRefusedWithoutChange()
    {
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path() + "/不存在");
        QVERIFY(openAlbum(w, albumUrl("6002")));

        // A save folder that is not there: a message, and nothing has moved.
        w->CmdStartDown->Click();
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY2(m_dialogs->lastText().contains("无法在保存路径中创建临时文件夹"), qPrintable(m_dialogs->lastText()));
        QCOMPARE(w->JobState(), QString("login"));
        QCOMPARE(w->JobSource(), qint16(0));
        QVERIFY(w->CmdStartDown->isEnabled());
        QVERIFY(w->ListView1->isHidden());
        QVERIFY(besideRecord(save.path()).isEmpty());

        selectAlbum(w, "单页相册", albumUrl("6002"));
        w->CmdDownloadThis->Click();
        QCOMPARE(m_dialogs->messages.size(), 2);
        QCOMPARE(w->JobState(), QString("login"));
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QCOMPARE(w->ListView2->model()->rowCount(), 0);

        // Member list with nothing selected.
        w->LstAlbumName->clearSelection();
        w->LstAlbumName->setCurrentIndex({});
        w->CmdDownloadThis->Click();
        QCOMPARE(m_dialogs->lastText(), QString("您没有选中任何相册"));
        QVERIFY(w->CmdDownloadThis->isEnabled());
    }

    void closingDuringAJob()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QDir d(save.path());
        QVERIFY(d.mkdir("旧相册"));
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("7001", m_slow.base());
        QVERIFY(openAlbum(w, album));
        w->CmdStartDown->Click();
        QCOMPARE(w->JobState(), QString("GetUrl"));

        // While it downloads: the two fixed pages and the member list are refused ...
        w->CmdFriendAlbum->Click();
        QCOMPARE(m_dialogs->lastText(), QString("当前状态不可进行此操作"));
        w->CmdViewHot->Click();
        QCOMPARE(m_dialogs->texts(), QStringList(2, "当前状态不可进行此操作"));
        selectAlbum(w, "慢相册", album);
        w->CmdDownloadThis->Click();
        QCOMPARE(m_dialogs->lastText(), QString("上一个操作正在进行，请等待下载结束"));
        QCOMPARE(w->JobSource(), qint16(1));

        // ... and closing with No changes nothing while a picture is on its way.
        QVERIFY(waitUntil([&] { return !w->albumJob()->pendingPictures().isEmpty(); }, 30000));
        QVERIFY(!w->close());
        QCOMPARE(m_dialogs->questions.size(), 1);
        QCOMPARE(m_dialogs->questions.at(0).title, QString("提示"));
        QVERIFY(w->isVisible());
        QCOMPARE(w->JobState(), QString("GetUrl"));
        QVERIFY(d.exists("相册文件夹1"));
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(besideRecord(save.path() + "/慢相册").size(), 3);

        // A second job, closed with Yes while a picture is on its way.
        QVERIFY(waitUntil([&] { return w->WebBrowser1->locationUrl() == album && w->CmdStartDown->isEnabled(); }, 30000));
        w->CmdStartDown->Click();
        QCOMPARE(w->TempFolderName(), QString("相册文件夹1"));
        QVERIFY(waitUntil([&] { return !w->albumJob()->pendingPictures().isEmpty(); }, 30000));
        m_dialogs->answerYes = true;
        QVERIFY(w->close());
        QVERIFY(waitUntil([&] { return !w; }));
        // The close removed the new folder; the album's earlier copy stays.
        QCOMPARE(besideRecord(save.path()), QStringList({"慢相册", "旧相册"}));

        // The abandoned picture would have arrived by the time a later,
        // slower request to the same site answers: nothing may appear.
        bool answered = false;
        fetchText(BrowserProfile::network()->manager(), "UTF-8", m_slow.url("/test/slow?ms=1000"), QString(),
                  nullptr, [&](const QString &) { answered = true; });
        QVERIFY(waitUntil([&] { return answered; }, 30000));
        QTest::qWait(0); // lets queued answers of earlier requests run
        QCOMPARE(besideRecord(save.path()), QStringList({"慢相册", "旧相册"}));
    }

    void memberListJobGuards()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkpath("相册文件夹1/keep"));
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(load(w->WebBrowser1, m_slow.url("/test/newwindow")));

        selectAlbum(w, "慢相册二", albumUrl("7002", m_slow.base()));
        w->CmdDownloadThis->Click();
        QCOMPARE(w->JobState(), QString("CollectPicture2"));
        const QString temp = w->TempFolderName();

        // No new window while a member-list job runs.
        w->WebBrowser1->page()->runJavaScript("document.getElementById('nw').click();");
        QVERIFY(waitUntil([&] { return m_dialogs->texts().contains("此时不能打开新窗口，请等待下载完毕"); }, 15000));
        QCOMPARE(mainForms().size(), 1);

        // getalbum.do enables the start button in any state; the press is refused,
        // and so is a change of the save folder, start button or not.
        const QString getalbum = m_slow.url("/getalbum.do?owner=" + Member + "&id=7002");
        QVERIFY(load(w->WebBrowser1, getalbum));
        QVERIFY(w->CmdStartDown->isEnabled());
        w->CmdStartDown->Click();
        QCOMPARE(m_dialogs->lastText(), QString("当前状态不可进行此操作"));
        QCOMPARE(w->TempFolderName(), temp);
        QVERIFY(w->ListView1->isHidden());
        m_dialogs->folderAnswer = other.path();
        w->CmdChangePath->Click();
        QCOMPARE(m_dialogs->lastText(), QString("此时无法更改路径，请等待下载完毕"));
        QVERIFY(m_dialogs->folderDialogTitles.isEmpty());
        QCOMPARE(w->TxtPath->text(), save.path());

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《慢相册二》"));
        QCOMPARE(besideRecord(save.path()), QStringList{"慢相册二"});
        QCOMPARE(besideRecord(save.path() + "/慢相册二").size(), 4);
        QCOMPARE(besideRecord(other.path() + "/相册文件夹1"), QStringList{"keep"});
        QCOMPARE(w->WebBrowser1->locationUrl(), getalbum);
    }

    void queueStoppedShortSaysAllInOneMessage()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir parent;
        const QString save = parent.path() + "/保存";
        QVERIFY(QDir().mkdir(save));
        QPointer<MainForm> w = openWindow(save);
        w->albumList()->setAlbums({{albumUrl("7001", m_slow.base()), "慢7001"},
                                   {albumUrl("7002", m_slow.base()), "慢7002"}});
        w->downloadAllAlbums();
        // The save folder moves away while the first album downloads: the
        // second can get no temporary folder.
        QVERIFY(waitUntil([&] { return w->JobState() == "GetUrl"; }, 30000));
        QVERIFY(QDir().rename(save, parent.path() + "/挪走"));
        QVERIFY(waitUntil([&] { return !m_dialogs->messages.isEmpty(); }, JobTimeout));
        QTest::qWait(0);
        QCOMPARE(m_dialogs->messages.size(), 1);
        const QString message = m_dialogs->messages.constFirst().text;
        QVERIFY2(message.startsWith("下载完毕\n相册《慢7001》："), qPrintable(message));
        QVERIFY2(!message.contains("慢7002"), qPrintable(message));
        QVERIFY2(message.contains("无法在保存路径中创建临时文件夹") && message.contains(save), qPrintable(message));
        QCOMPARE(w->JobState(), QString("login"));
        QVERIFY(!w->queue());
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QVERIFY(w->lblstate->text().isEmpty());
    }

    void pageWithoutViewCollectsAsThePane()
    {
        // An album walked by a page without a view, on the window's profile.
        QTemporaryDir save;
        HeadlessPage page(BrowserProfile::instance());
        QList<PageSnapshot> seen;
        connect(&page, &PageSource::pageReady, this, [&](const PageSnapshot &p) { seen.append(p); });
        JobSettings settings;
        settings.source = JobSource::HiddenPane;
        settings.saveFolder = save.path();
        settings.photoHostBase = m_site.base();
        settings.network = BrowserProfile::network()->manager();
        settings.pauseMs = 0;
        AlbumQueue queue(settings, &page, {{"三页相册", albumUrl("6011"), {}}});
        QSignalSpy finished(&queue, &AlbumQueue::finished);
        QVERIFY(queue.start());
        QVERIFY(waitUntil([&] { return finished.size() == 1; }, JobTimeout));
        QCOMPARE(queue.report().saved, 6);
        QCOMPARE(besideRecord(save.path() + "/三页相册").size(), 6);
        const QStringList pages{albumUrl("6011"), albumUrl("6011") + "?curpage=1", albumUrl("6011") + "?curpage=2"};
        QVERIFY(waitUntil([&] { return seen.size() == 4; }));
        QCOMPARE(seen.constLast().address, QString("about:blank"));

        // Each album page reads exactly as the pane reads it: title, and
        // every link with its text as written.
        BrowserPane pane(BrowserProfile::instance());
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(seen.at(i).address, pages.at(i));
            QVERIFY(load(&pane, pages.at(i)));
            QCOMPARE(seen.at(i).title, pane.snapshot().title);
            QCOMPARE(seen.at(i).links.size(), pane.links().size());
            QVERIFY(!pane.links().isEmpty());
            for (qsizetype l = 0; l < pane.links().size(); ++l) {
                QCOMPARE(seen.at(i).links.at(l).address, pane.links().at(l).address);
                QCOMPARE(seen.at(i).links.at(l).innerText, pane.links().at(l).innerText);
            }
        }

        // Nobody sees the page: a picture page's picture is not fetched with it.
        QString picturePage;
        for (const PageLink &link : seen.constFirst().links)
            if (link.address.contains("/photo-"))
                picturePage = link.address;
        QVERIFY(!picturePage.isEmpty());
        seen.clear();
        m_site.requests(true);
        page.load(picturePage);
        QVERIFY(waitUntil([&] { return seen.size() == 1; }, 30000));
        const QJsonObject asked = m_site.requests(true);
        QCOMPARE(asked.value("picturePages").toInt(), 1);
        QCOMPARE(asked.value("pictures").toInt(), 0);

        // A page that does not finish within the bound is given up as failed,
        // once; the next load is answered as usual.
        seen.clear();
        page.setLoadTimeout(300);
        page.load(m_slow.url("/test/slow?ms=3000"));
        QVERIFY(waitUntil([&] { return !seen.isEmpty(); }, 2500));
        QVERIFY(seen.constFirst().failed);
        page.setLoadTimeout(HeadlessPage::DefaultLoadTimeoutMs);
        page.load(albumUrl("6002"));
        QVERIFY(waitUntil([&] { return seen.size() == 2; }, 30000));
        QCOMPARE(seen.at(1).address, albumUrl("6002"));
        QVERIFY(!seen.at(1).failed);
        QTest::qWait(0);
        QCOMPARE(seen.size(), 2);
    }
};

QUILLMOOR_TEST_MAIN(TestJob)
#include "tst_job.moc"
