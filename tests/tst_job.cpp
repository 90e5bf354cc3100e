// Whole download jobs: the real window and browser panes against the demo
// site, from the start button to the album folder on disk.
#include "app/mainform.h"
#include "demosite.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/networksession.h"
#include "app/siteaddresses.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int JobTimeout = 90000;

QByteArray fastSeed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "6001", "name": "三页相册", "pages": 3, "perPage": 2 },
    { "id": "6002", "name": "单页相册", "pages": 1, "perPage": 3 },
    { "id": "6003", "name": "重复链接", "pages": 2, "perPage": 2, "repeatAcrossPages": true },
    { "id": "6004", "name": "各种图片", "perPage": 6, "pictures": [
        { "id": "6004001", "kind": "gif" },
        { "id": "6004002", "kind": "none" },
        { "id": "6004003", "status": 404 },
        { "id": "6004004", "file": "same.jpg" },
        { "id": "6004005", "file": "same.jpg" },
        { "id": "6004006", "kind": "both" } ] },
    { "id": "6005", "name": "..", "pages": 1, "perPage": 2 },
    { "id": "6006", "name": "占位相册", "pages": 1, "perPage": 2 },
    { "id": "6007", "name": "环形相册", "pages": 2, "perPage": 2, "loopBack": true },
    { "id": "6008", "name": "?*:", "pages": 1, "perPage": 1 }
  ] } ]
})";
}

// Every request of this site waits, so a job can be caught mid-flight.
QByteArray slowSeed()
{
    return R"({
  "delayMs": 500,
  "members": [ { "id": "100000001", "albums": [
    { "id": "7001", "name": "慢相册", "pages": 1, "perPage": 3 },
    { "id": "7002", "name": "慢相册二", "pages": 2, "perPage": 2 }
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
                             window->JobState});
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

    QPointer<MainForm> window;
    QList<Seen> seen;
};

QStringList column(const QTreeWidget *list, int c)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(c);
    return out;
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The site's own bytes of a picture, fetched apart from the program.
QByteArray siteBytes(const QString &url)
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!done.wait(15000))
        return {};
    const QByteArray bytes = reply->readAll();
    delete reply;
    return bytes;
}


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
    QString pictureUrl(const QString &album, const QString &picture, const QString &file,
                       const QString &base = {}) const
    {
        return (base.isEmpty() ? m_site.base() : base) + "/pic/" + album + "/" + picture + "/" + file;
    }
    // The generated pictures of an album: ids <album>001, <album>002 ...
    QStringList generatedUrls(const QString &album, int count, const QString &base = {}) const
    {
        QStringList out;
        for (int i = 1; i <= count; ++i) {
            const QString id = album + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
            out << pictureUrl(album, id, "p" + id + ".jpg", base);
        }
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
        w->LstAlbumName->clear();
        w->LstUrl->clear();
        w->LstAlbumName->addItem(title);
        w->LstUrl->addItem(url);
        w->LstAlbumName->setCurrentRow(0);
    }

    static QStringList successTexts(const QStringList &urls)
    {
        QStringList out;
        for (const QString &u : urls)
            out << "图片" + u + "下载完毕.";
        return out;
    }

    // Every file of `folder` holds the bytes the site serves at its address.
    static void compareWithSite(const QString &folder, const QMap<QString, QString> &urlOfFile)
    {
        QCOMPARE(files(folder), QStringList(urlOfFile.keys()));
        for (auto it = urlOfFile.cbegin(); it != urlOfFile.cend(); ++it) {
            const QByteArray expected = siteBytes(it.value());
            QVERIFY2(!expected.isEmpty(), qPrintable(it.value()));
            QVERIFY2(fileBytes(folder + "/" + it.key()) == expected, qPrintable(it.key()));
        }
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
        delete m_dialogs;
        m_dialogs = nullptr;
    }

    void threePageAlbumEndsInItsFolder()
    {
        QTemporaryDir save;
        QDir d(save.path());
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("6001");
        QVERIFY(openAlbum(w, album));

        w->CmdStartDown->Click();
        QCOMPARE(w->JobState, QString("CollectPicture"));
        QCOMPARE(w->JobSource, qint16(1));
        QCOMPARE(w->AlbumName, QString("三页相册"));
        QCOMPARE(w->AlbumPageUrl, album);
        QCOMPARE(w->TempFolderName, QString("相册文件夹1"));
        QVERIFY(d.exists("相册文件夹1"));
        QVERIFY(!w->CmdStartDown->isEnabled());
        QVERIFY(w->ListView1->isVisible());
        QCOMPARE(column(w->ListView1, 0), QStringList{"Collecting"});
        QCOMPARE(column(w->ListView1, 1), QStringList{"已采集2张图片列表，请稍等... ..."});

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《三页相册》"));
        QCOMPARE(m_dialogs->messages.at(m_dialogs->completionIndex()).title, MainForm::caption());
        QCOMPARE(m_dialogs->messages.size(), 1);
        const JobDialogs::Seen seen = m_dialogs->atCompletion();
        QCOMPARE(seen.jobState, QString("GetUrl"));
        QCOMPARE(seen.frame1, QString("相册《 三页相册 》共有6张图片"));
        QCOMPARE(seen.label1, QString("已下载6张图片 "));

        const QStringList urls = generatedUrls("6001", 6);
        QCOMPARE(column(w->ListView1, 0),
                 QStringList{"Collecting"} + QStringList(6, "Success") + QStringList{"Finished"});
        QCOMPARE(column(w->ListView1, 1),
                 QStringList{"共采集6张图片列表，开始下载"} + successTexts(urls) + QStringList{"相册下载完毕."});

        // Back to idle.
        QCOMPARE(w->JobState, QString("login"));
        QCOMPARE(w->JobSource, qint16(0));
        QVERIFY(w->TempFolderName.isEmpty());
        QCOMPARE(w->savedCount(), 0);
        QVERIFY(!w->TimerGetCode->isActive());
        QVERIFY(w->ListView1->isHidden());
        QCOMPARE(w->Frame1->title(), MainForm::IdleFrameText);
        QCOMPARE(w->Label1->text(), QString("图片下载完毕. "));
        QVERIFY(w->List1->count() == 0 && w->List2->count() == 0);

        QMap<QString, QString> expected;
        for (const QString &u : urls)
            expected.insert(u.section('/', -1), u);
        QCOMPARE(files(save.path()), QStringList{"三页相册"});
        compareWithSite(save.path() + "/三页相册", expected);

        // The pane goes back to the album, where the button is usable again.
        QVERIFY(waitUntil([&] { return w->WebBrowser1->locationUrl() == album && w->CmdStartDown->isEnabled(); }, 30000));

        // A second run replaces the first at once, numbers from 1 again and counts from 0.
        QFile old(save.path() + "/三页相册/旧文件.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        m_dialogs->messages.clear();
        m_dialogs->seen.clear();
        w->CmdStartDown->Click();
        QVERIFY(!d.exists("三页相册"));
        QCOMPARE(w->TempFolderName, QString("相册文件夹1"));
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->atCompletion().label1, QString("已下载6张图片 "));
        compareWithSite(save.path() + "/三页相册", expected);
    }

    void singlePageAlbumUsesTheFirstFreeNumber()
    {
        QTemporaryDir save;
        QDir d(save.path());
        QVERIFY(d.mkdir("相册文件夹1"));
        QVERIFY(d.mkdir("相册文件夹3"));
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("6002");
        QVERIFY(openAlbum(w, album));

        w->CmdStartDown->Click();
        // No next page: straight to downloading, the pane stays on the album.
        QCOMPARE(w->JobState, QString("GetUrl"));
        QVERIFY(w->TimerGetCode->isActive());
        QCOMPARE(w->TempFolderName, QString("相册文件夹2"));
        QCOMPARE(w->Frame1->title(), QString("相册《 单页相册 》有 3 张图片"));
        QCOMPARE(w->List1->count(), 3);
        QCOMPARE(w->WebBrowser1->locationUrl(), album);

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《单页相册》"));
        QCOMPARE(m_dialogs->atCompletion().label1, QString("已下载3张图片 "));
        // Row 1 keeps the text of the start.
        QCOMPARE(column(w->ListView1, 1).constFirst(), QString("已采集3张图片列表，请稍等... ..."));
        QCOMPARE(column(w->ListView1, 0).count("Success"), 3);
        QCOMPARE(files(save.path()), QStringList({"单页相册", "相册文件夹1", "相册文件夹3"}));
        QCOMPARE(files(save.path() + "/单页相册").size(), 3);
    }

    void repeatedLinksInBothPanes()
    {
        QTemporaryDir save;
        QDir d(save.path());
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("6003");
        QVERIFY(openAlbum(w, album));
        const QStringList urls = generatedUrls("6003", 4);
        QMap<QString, QString> expected;
        for (const QString &u : urls)
            expected.insert(u.section('/', -1), u);

        // The browser pane collects the repeated link twice; the picture is saved once.
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->atCompletion().frame1, QString("相册《 重复链接 》共有5张图片"));
        QCOMPARE(m_dialogs->atCompletion().label1, QString("已下载4张图片 "));
        QCOMPARE(column(w->ListView1, 0),
                 QStringList({"Collecting", "Success", "Success", "Skipped", "Success", "Success", "Finished"}));
        QVERIFY(column(w->ListView1, 1).at(3).contains(urls.at(1)));
        compareWithSite(save.path() + "/重复链接", expected);

        // The member list: the second pane skips the repeat; only ListView2 and
        // lblstate report, and the browser pane is left where it is.
        QVERIFY(waitUntil([&] { return w->WebBrowser1->locationUrl() == album && w->CmdStartDown->isEnabled(); }, 30000));
        QFile marker(save.path() + "/重复链接/旧文件.txt");
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        const int browserRows = w->ListView1->topLevelItemCount();
        const QString frameBefore = w->Frame1->title();
        const QString labelBefore = w->Label1->text();
        m_dialogs->messages.clear();
        m_dialogs->seen.clear();

        selectAlbum(w, "重复链接", album);
        w->CmdDownloadThis->Click();
        QCOMPARE(w->JobState, QString("CollectPicture2"));
        QCOMPARE(w->JobSource, qint16(2));
        QVERIFY(!w->CmdDownloadThis->isEnabled());
        QCOMPARE(w->TempFolderName, QString("相册文件夹1"));
        QCOMPARE(column(w->ListView2, 1), QStringList{"程序开始采集图片"});

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《重复链接》"));
        const JobDialogs::Seen seen = m_dialogs->atCompletion();
        QCOMPARE(seen.lblstate, QString("已下载4张图片 "));
        QCOMPARE(seen.frame1, frameBefore);
        QCOMPARE(seen.label1, labelBefore);
        QCOMPARE(column(w->ListView2, 0),
                 QStringList{"Collecting"} + QStringList(4, "Success") + QStringList{"Finished"});
        QCOMPARE(column(w->ListView2, 1),
                 QStringList{"共采集4张图片列表，开始下载"} + successTexts(urls) + QStringList{"相册下载完毕."});
        QCOMPARE(w->ListView1->topLevelItemCount(), browserRows);
        QCOMPARE(w->Frame1->title(), frameBefore);
        QCOMPARE(w->Label1->text(), labelBefore);
        QCOMPARE(w->WebBrowser1->locationUrl(), album);
        QVERIFY(w->lblstate->text().isEmpty());
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QCOMPARE(w->JobState, QString("login"));
        QCOMPARE(w->JobSource, qint16(0));
        // The earlier folder of the album went before the new pictures came.
        compareWithSite(save.path() + "/重复链接", expected);
        QCOMPARE(files(save.path()), QStringList{"重复链接"});
    }

    void picturePagesOfEveryKind()
    {
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(openAlbum(w, albumUrl("6004")));
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));

        // A page without data leaves no row; a 404 picture a failed row with
        // its address; the job goes on and counts only what was saved.
        const QString missing = pictureUrl("6004", "6004003", "p6004003.jpg");
        QCOMPARE(column(w->ListView1, 0),
                 QStringList({"Collecting", "Success", "Failed", "Success", "Success", "Success", "Finished"}));
        const QString failedRow = column(w->ListView1, 1).at(2);
        QVERIFY2(failedRow.contains(missing) && failedRow.contains("失败"), qPrintable(failedRow));
        QCOMPARE(m_dialogs->atCompletion().label1, QString("已下载4张图片 "));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《各种图片》"));

        // Gif-only page, two pictures of one name, a page with both kinds (jpg wins).
        compareWithSite(save.path() + "/各种图片",
                        {{"p6004001.gif", pictureUrl("6004", "6004001", "p6004001.gif")},
                         {"same.jpg", pictureUrl("6004", "6004004", "same.jpg")},
                         {"same(2).jpg", pictureUrl("6004", "6004005", "same.jpg")},
                         {"p6004006.jpg", pictureUrl("6004", "6004006", "p6004006.jpg")}});
        QVERIFY(fileBytes(save.path() + "/各种图片/same.jpg") != fileBytes(save.path() + "/各种图片/same(2).jpg"));
    }

    void albumNamesThatCannotBeFolders()
    {
        // The save folder sits inside another, so a rename to ".." would show.
        QTemporaryDir outer;
        QDir o(outer.path());
        QVERIFY(o.mkdir("save"));
        QFile marker(outer.path() + "/marker.txt");
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        const QString save = outer.path() + "/save";

        QPointer<MainForm> w = openWindow(save);
        QVERIFY(openAlbum(w, albumUrl("6005")));
        w->CmdStartDown->Click();
        QCOMPARE(w->AlbumName, QString(".."));
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QVERIFY2(m_dialogs->completion().startsWith("下载完毕\n保存在 《相册文件夹1》"),
                 qPrintable(m_dialogs->completion()));
        QCOMPARE(files(outer.path()), QStringList({"marker.txt", "save"}));
        QCOMPARE(files(save), QStringList{"相册文件夹1"});
        QCOMPARE(files(save + "/相册文件夹1"), QStringList({"p6005001.jpg", "p6005002.jpg"}));

        // A name made only of characters a folder name cannot hold, from the member list.
        m_dialogs->messages.clear();
        m_dialogs->seen.clear();
        selectAlbum(w, "(empty)", albumUrl("6008"));
        w->CmdDownloadThis->Click();
        QCOMPARE(w->TempFolderName, QString("相册文件夹2"));
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QVERIFY(w->AlbumName.isEmpty());
        QVERIFY2(m_dialogs->completion().startsWith("下载完毕\n保存在 《相册文件夹2》"),
                 qPrintable(m_dialogs->completion()));
        QCOMPARE(files(outer.path()), QStringList({"marker.txt", "save"}));
        QCOMPARE(files(save), QStringList({"相册文件夹1", "相册文件夹2"}));
        QCOMPARE(files(save + "/相册文件夹2"), QStringList{"p6008001.jpg"});
    }

    void albumFolderNameTakenByAFile()
    {
        QTemporaryDir save;
        QFile blocker(save.path() + "/占位相册");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("keep");
        blocker.close();

        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(openAlbum(w, albumUrl("6006")));
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        const QString text = m_dialogs->completion();
        QVERIFY2(text.startsWith("下载完毕\n保存在 《相册文件夹1》") && text.contains("占位相册"),
                 qPrintable(text));
        QCOMPARE(fileBytes(save.path() + "/占位相册"), QByteArray("keep"));
        QCOMPARE(files(save.path() + "/相册文件夹1"), QStringList({"p6006001.jpg", "p6006002.jpg"}));
        QCOMPARE(w->JobState, QString("login"));
    }

    void siteLoopEndsCollection()
    {
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("6007");
        QVERIFY(openAlbum(w, album));
        // The last page's next link leads back to the first (as ?curpage=1).
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->atCompletion().frame1, QString("相册《 环形相册 》共有4张图片"));
        QCOMPARE(column(w->ListView1, 0),
                 QStringList{"Collecting"} + QStringList(4, "Success") + QStringList{"Finished"});
        QCOMPARE(files(save.path() + "/环形相册").size(), 4);

        // The second pane as well.
        m_dialogs->messages.clear();
        m_dialogs->seen.clear();
        selectAlbum(w, "环形相册", album);
        w->CmdDownloadThis->Click();
        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(column(w->ListView2, 1).constFirst(), QString("共采集4张图片列表，开始下载"));
        QCOMPARE(files(save.path() + "/环形相册").size(), 4);
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
        QCOMPARE(w->JobState, QString("login"));
        QCOMPARE(w->JobSource, qint16(0));
        QVERIFY(w->TempFolderName.isEmpty());
        QVERIFY(w->CmdStartDown->isEnabled());
        QVERIFY(w->ListView1->isHidden());
        QCOMPARE(w->List1->count(), 0);
        QVERIFY(!w->TimerGetCode->isActive());
        QVERIFY(files(save.path()).isEmpty());

        selectAlbum(w, "单页相册", albumUrl("6002"));
        w->CmdDownloadThis->Click();
        QCOMPARE(m_dialogs->messages.size(), 2);
        QVERIFY(m_dialogs->lastText().contains("无法在保存路径中创建临时文件夹"));
        QCOMPARE(w->JobState, QString("login"));
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QCOMPARE(w->ListView2->topLevelItemCount(), 0);

        // Every number taken: the counter has run out.
        for (int n = 1; n <= 32767; ++n) {
            QFile f(save.path() + "/相册文件夹" + QString::number(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        w->TxtPath->setText(save.path());
        w->CmdStartDown->Click();
        QCOMPARE(m_dialogs->messages.size(), 3);
        QVERIFY(m_dialogs->lastText().contains("无法在保存路径中创建临时文件夹"));
        QCOMPARE(w->JobState, QString("login"));
        QVERIFY(w->TempFolderName.isEmpty());
        QVERIFY(w->CmdStartDown->isEnabled());

        // Member list with nothing selected.
        w->LstAlbumName->clearSelection();
        w->LstAlbumName->setCurrentRow(-1);
        w->CmdDownloadThis->Click();
        QCOMPARE(m_dialogs->lastText(), QString("您没有选中任何相册"));
        QCOMPARE(w->JobState, QString("login"));
        QVERIFY(w->CmdDownloadThis->isEnabled());
    }

    void closingDuringAJob()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QDir d(save.path());
        QPointer<MainForm> w = openWindow(save.path());
        const QString album = albumUrl("7001", m_slow.base());
        QVERIFY(openAlbum(w, album));
        w->CmdStartDown->Click();
        QCOMPARE(w->JobState, QString("GetUrl"));

        // While it downloads: the two fixed pages and the member list are refused ...
        w->CmdFriendAlbum->Click();
        QCOMPARE(m_dialogs->lastText(), QString("当前状态不可进行此操作"));
        w->CmdViewHot->Click();
        QCOMPARE(m_dialogs->texts(), QStringList(2, "当前状态不可进行此操作"));
        QCOMPARE(m_dialogs->messages.constLast().title, MainForm::caption());
        selectAlbum(w, "慢相册", album);
        w->CmdDownloadThis->Click();
        QCOMPARE(m_dialogs->lastText(), QString("上一个操作正在进行，请等待下载结束"));
        QCOMPARE(w->WebBrowser1->locationUrl(), album);
        QCOMPARE(w->JobSource, qint16(1));

        // ... and closing with No changes nothing while a picture is on its way.
        QVERIFY(waitUntil([&] { return w->List2->count() == 1; }, 30000));
        QVERIFY(!w->close());
        QCOMPARE(m_dialogs->questions.size(), 1);
        QVERIFY(w->isVisible());
        QCOMPARE(w->JobState, QString("GetUrl"));
        QVERIFY(d.exists("相册文件夹1"));

        // The home page has no guard.
        QSignalSpy loads(w->WebBrowser1, &BrowserPane::documentComplete);
        w->CmdHomePage->Click();
        QVERIFY(waitUntil([&] { return std::any_of(loads.cbegin(), loads.cend(), [](const QList<QVariant> &args) {
                                     return QUrl(args.at(0).toString()).path() == "/";
                                 }); }, 30000));

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《慢相册》"));
        QCOMPARE(files(save.path() + "/慢相册").size(), 3);

        // A second job, closed with Yes while a picture is on its way.
        QVERIFY(waitUntil([&] { return w->WebBrowser1->locationUrl() == album && w->CmdStartDown->isEnabled(); }, 30000));
        w->CmdStartDown->Click();
        QCOMPARE(w->TempFolderName, QString("相册文件夹1"));
        QVERIFY(waitUntil([&] { return w->List2->count() == 1; }, 30000));
        m_dialogs->answerYes = true;
        QVERIFY(w->close());
        QVERIFY(waitUntil([&] { return !w; }));
        QVERIFY(!d.exists("相册文件夹1"));

        // The abandoned picture would have arrived by the time a later,
        // slower request to the same site answers: nothing may appear.
        bool answered = false;
        FetchPage(BrowserProfile::network()->manager(), "UTF-8", m_slow.url("/test/slow?ms=1000"), QString(), nullptr,
                  [&](const QString &) { answered = true; });
        QVERIFY(waitUntil([&] { return answered; }, 30000));
        QTest::qWait(0); // lets queued answers of earlier requests run
        QVERIFY2(files(save.path()).isEmpty(), qPrintable(files(save.path()).join(", ")));
    }

    void memberListJobGuards()
    {
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        QTemporaryDir save;
        QPointer<MainForm> w = openWindow(save.path());
        QVERIFY(load(w->WebBrowser1, m_slow.url("/test/newwindow")));

        selectAlbum(w, "慢相册二", albumUrl("7002", m_slow.base()));
        w->CmdDownloadThis->Click();
        QCOMPARE(w->JobState, QString("CollectPicture2"));
        const QString temp = w->TempFolderName;

        // No new window while a member-list job runs.
        w->WebBrowser1->page()->runJavaScript("document.getElementById('nw').click();");
        QVERIFY(waitUntil([&] { return m_dialogs->texts().contains("此时不能打开新窗口，请等待下载完毕"); }, 15000));
        QCOMPARE(mainForms().size(), 1);

        // getalbum.do enables the start button in any state; the press is refused.
        const QString getalbum = m_slow.url("/getalbum.do?owner=" + Member + "&id=7002");
        QVERIFY(load(w->WebBrowser1, getalbum));
        QVERIFY(w->CmdStartDown->isEnabled());
        QVERIFY(w->JobState != "login");
        w->CmdStartDown->Click();
        QCOMPARE(m_dialogs->lastText(), QString("当前状态不可进行此操作"));
        QCOMPARE(w->JobSource, qint16(2));
        QCOMPARE(w->TempFolderName, temp);
        QVERIFY(w->ListView1->isHidden());
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);

        QVERIFY(waitUntil([&] { return m_dialogs->finished(); }, JobTimeout));
        QCOMPARE(m_dialogs->completion(), QString("下载完毕\n保存在 《慢相册二》"));
        QCOMPARE(files(save.path()), QStringList{"慢相册二"});
        QCOMPARE(files(save.path() + "/慢相册二").size(), 4);
        QCOMPARE(w->WebBrowser1->locationUrl(), getalbum);
    }
};

QUILLMOOR_TEST_MAIN(TestJob)
#include "tst_job.moc"
