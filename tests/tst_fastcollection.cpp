// The fast mode's collection: album pages read as HTML where their first
// page reads as the pane reads it, pictures begun while later pages load,
// and the same folder whichever way an album was read. Real panes, the real
// HTML reader and the demo site.
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "demosite.h"
#include "download/albumqueue.h"
#include "download/albumrecord.h"
#include "download/htmlpagesource.h"
#include "download/jobsettings.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "web/networksession.h"
#include "windowtesting.h"

#include <QDir>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <memory>

namespace {

const QString Member = QStringLiteral("7");
constexpr int JobTimeout = 60000;

const QByteArray Seed = R"({ "members": [ { "id": "7", "albums": [
    { "id": "51", "name": "三页", "pages": 3, "perPage": 3 },
    { "id": "52", "name": "从零", "pages": 3, "perPage": 2, "firstPage": 0 },
    { "id": "53", "name": "回环", "pages": 2, "perPage": 2, "loopBack": true },
    { "id": "54", "name": "诱饵  相册", "pages": 2, "perPage": 2, "decoys": true, "titleSpaces": true },
    { "id": "55", "name": "重复", "pages": 2, "perPage": 2, "repeatAcrossPages": true },
    { "id": "56", "name": "脚本", "pages": 2, "perPage": 2, "scriptLinks": true },
    { "id": "57", "name": "单页", "pages": 1, "perPage": 3 },
    { "id": "58", "name": "断页", "pages": 3, "perPage": 2, "nextLink": "error" }
] } ] })";

// Every answer waits, so the order of pages and pictures shows.
const QByteArray SlowSeed = R"({ "delayMs": 150, "members": [ { "id": "7", "albums": [
    { "id": "61", "name": "慢", "pages": 3, "perPage": 6 },
    { "id": "62", "name": "慢八页", "pages": 8, "perPage": 2 }
] } ] })";

// What one album's queue did, and the folder it left.
struct Run {
    QStringList reported;  // file names (or reasons) in report order
    QStringList folder;    // what the album's folder holds
    QString folderName;
    QList<PaneFallback> fallbacks;
    QStringList paneLoads; // album pages the pane completed
    int htmlReads = 0;
    int collected = 0;
    int picturesBeforeCollected = 0;
    int maxInFlightCollecting = 0;
    bool startedWhileCollecting = false;
    bool blanked = false;  // the walk sent the pane to a blank page
    JobReport report;
    bool ended = false;
};

// The pane as a job's source, noting each address the walk asks it for
// at the moment it asks.
class AskedPages : public PageSource
{
public:
    explicit AskedPages(PageSource *pane)
        : m_pane(pane)
    {
        connect(pane, &PageSource::pageReady, this, &PageSource::pageReady);
    }
    void load(const QString &address) override
    {
        asked << address;
        m_pane->load(address);
    }
    QStringList asked;

private:
    PageSource *m_pane;
};

QStringList files(const QString &folder)
{
    QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    out.removeIf([](const QString &name) { return name.startsWith(u'.'); });
    return out;
}

} // namespace

class TestFastCollection : public QObject
{
    Q_OBJECT

private:
    QString albumUrl(const DemoSite &site, const QString &id) const
    {
        return site.url(QStringLiteral("/photo/%1/album-%2").arg(Member, id));
    }

    // The window in fast mode on the album's first page, its start button
    // ready; none when the page did not come.
    std::unique_ptr<MainForm> fastWindowOn(const DemoSite &site, const QString &address, const QString &appDir,
                                           const QString &saveFolder) const
    {
        setSiteAddresses(SiteAddresses::forBase(site.base()));
        auto w = std::make_unique<MainForm>(appDir);
        w->TxtPath->setText(saveFolder);
        w->Fast->setChecked(true);
        w->show();
        w->WebBrowser1->navigate(address);
        if (!waitForDocument(w->WebBrowser1, address) || !waitUntil([&] { return w->CmdStartDown->isEnabled(); }))
            return nullptr;
        return w;
    }

    JobSettings fastSettings(const DemoSite &site, const QString &saveFolder, JobSource source) const
    {
        JobSettings s;
        s.source = source;
        s.saveFolder = saveFolder;
        s.photoHostBase = SiteAddresses::forBase(site.base()).photoHostBase;
        s.network = BrowserProfile::network()->manager();
        s.maxInFlight = 4;
        s.pauseMs = 0;
        s.startWhileCollecting = true;
        return s;
    }

    // Notes in `run` what the queue reports, and stops it after `stopAfterPages`.
    void watch(AlbumQueue &queue, Run &run, int stopAfterPages)
    {
        auto pages = std::make_shared<int>(0);
        connect(&queue, &AlbumQueue::pageCollected, this, [&queue, &run, pages, stopAfterPages](int) {
            DownloadJob *job = queue.currentJob();
            if (++*pages >= 2 && (job->inFlight() > 0 || !run.reported.isEmpty()))
                run.startedWhileCollecting = true;
            if (stopAfterPages && *pages == stopAfterPages)
                job->stop();
        });
        connect(&queue, &AlbumQueue::pictureDone, this, [&queue, &run](const PictureReport &picture) {
            DownloadJob *job = queue.currentJob();
            if (job->state() == DownloadJob::State::Collecting) {
                ++run.picturesBeforeCollected;
                run.maxInFlightCollecting = qMax(run.maxInFlightCollecting, job->transferring());
            }
            run.reported << (picture.fileName.isEmpty() ? FailureText::pictureReason(picture) : picture.fileName);
        });
        connect(&queue, &AlbumQueue::collectionFinished, this, [&run](int n) { run.collected = n; });
        connect(&queue, &AlbumQueue::paneChosen, this,
                [&run](PaneFallback why, const QString &) { run.fallbacks << why; });
        connect(&queue, &AlbumQueue::albumFinished, this, [&run](int, const JobReport &report) {
            run.report = report;
            run.ended = true;
        });
    }

    // Runs one album through a queue on the pane, with or without the HTML
    // source; `stopAfterPages` stops the job once that many pages are read.
    Run runAlbum(const JobSettings &settings, const QString &address, bool html, int stopAfterPages = 0)
    {
        Run run;
        AskedPages source(m_pane->pageSource());
        AlbumQueue queue(settings, &source, {{QString(), address, {}}});
        HtmlPageSource reader(settings.network);
        if (html)
            queue.setHtmlSource(&reader);
        bool blank = false;
        const auto paneLoads = connect(m_pane->pageSource(), &PageSource::pageReady, this,
                                       [&](const PageSnapshot &page) {
                                           if (page.address.startsWith(QLatin1String("about:")))
                                               blank = true;
                                           else
                                               run.paneLoads << page.address;
                                       });
        watch(queue, run, stopAfterPages);
        if (!queue.start()) {
            qWarning("the queue did not start");
            return run;
        }
        // Polled too: the in-flight count while the job collects.
        waitUntil([&] {
            if (DownloadJob *job = queue.currentJob(); job && job->state() == DownloadJob::State::Collecting)
                run.maxInFlightCollecting = qMax(run.maxInFlightCollecting, job->transferring());
            return run.ended;
        }, JobTimeout);
        // The walk leaves the pane on a blank page once a picture is
        // fetched; the next run must not navigate while that load is still
        // under way.
        run.blanked = source.asked.contains(QStringLiteral("about:blank"));
        if (run.blanked)
            waitUntil([&] { return blank; }, 10000);
        disconnect(paneLoads);
        run.htmlReads = reader.requests();
        run.folderName = run.report.folderName;
        run.folder = files(settings.saveFolder + u'/' + run.report.folderName);
        return run;
    }

    DemoSite m_site{Seed};
    DemoSite m_slow{SlowSeed};
    BrowserPane *m_pane = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        QVERIFY(m_slow.start());
        m_pane = new BrowserPane(BrowserProfile::instance());
        m_pane->resize(800, 600);
        m_pane->show();
    }

    void cleanupTestCase()
    {
        delete m_pane;
        m_pane = nullptr;
    }

    void sameFolderEitherWay_data()
    {
        QTest::addColumn<QString>("album");
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<int>("paneLoads"); // with the HTML source
        QTest::addColumn<int>("htmlReads");
        QTest::addColumn<bool>("whole");
        // First and last page in the pane, every page as HTML.
        QTest::newRow("three pages") << "51" << int(JobSource::BrowserPane) << false << 2 << 3 << true;
        QTest::newRow("numbered from 0") << "52" << int(JobSource::HiddenPane) << false << 2 << 3 << true;
        // The last page's 下一页 leads back to the first (under another
        // address), which brings nothing new: the pane is not asked again.
        QTest::newRow("last page links back") << "53" << int(JobSource::BrowserPane) << false << 1 << 3 << true;
        QTest::newRow("decoy next links") << "54" << int(JobSource::BrowserPane) << false << 2 << 2 << true;
        QTest::newRow("decoy next links, member list") << "54" << int(JobSource::HiddenPane) << false << 2 << 2 << false;
        QTest::newRow("repeats kept") << "55" << int(JobSource::BrowserPane) << false << 2 << 2 << true;
        QTest::newRow("repeats once") << "55" << int(JobSource::HiddenPane) << false << 2 << 2 << true;
        // One page: the pane's first reading is its last word.
        QTest::newRow("one page") << "57" << int(JobSource::BrowserPane) << false << 1 << 1 << true;
        // Links written by a script: the pane walks the album.
        QTest::newRow("script-made links") << "56" << int(JobSource::BrowserPane) << true << 2 << 1 << true;
    }

    void sameFolderEitherWay()
    {
        QFETCH(QString, album);
        QFETCH(int, source);
        QFETCH(bool, fallback);
        QFETCH(int, paneLoads);
        QFETCH(int, htmlReads);
        QFETCH(bool, whole);
        QTemporaryDir paneSave, htmlSave;
        const QString address = albumUrl(m_site, album);
        const Run pane = runAlbum(fastSettings(m_site, paneSave.path(), JobSource(source)), address, false);
        const Run html = runAlbum(fastSettings(m_site, htmlSave.path(), JobSource(source)), address, true);
        QVERIFY(pane.ended && html.ended);
        // The member list's pane follows any 下一页, a decoy too: the page it
        // leads to links no picture, and nothing proves the album whole.
        QVERIFY2(pane.report.isWhole() == whole, qPrintable(FailureText::collectionStop(pane.report.collectionStop) + pane.reported.join(u',')));
        QVERIFY2(html.report.isWhole() == whole, qPrintable(FailureText::collectionStop(html.report.collectionStop) + html.reported.join(u',')));
        QCOMPARE(html.report.collectionStop.why, pane.report.collectionStop.why);
        QVERIFY(pane.collected > 0);
        QCOMPARE(html.collected, pane.collected);
        QCOMPARE(html.folderName, pane.folderName);
        QCOMPARE(html.reported, pane.reported);
        QCOMPARE(html.folder, pane.folder);
        QCOMPARE(html.report.saved, pane.report.saved);

        QCOMPARE(pane.fallbacks.size(), 0);
        QCOMPARE(pane.htmlReads, 0);
        if (fallback)
            QCOMPARE(html.fallbacks, QList<PaneFallback>{PaneFallback::PicturePagesDiffer});
        else
            QVERIFY(html.fallbacks.isEmpty());
        QCOMPARE(html.paneLoads.size(), paneLoads);
        QCOMPARE(html.htmlReads, htmlReads);
    }

    void unreadablePageEndsCollectionEitherWay()
    {
        // The second page answers an error: the HTML source ends collection
        // there, as the pane does, and the first page's pictures still come.
        QTemporaryDir paneSave, htmlSave;
        const QString address = albumUrl(m_site, QStringLiteral("58"));
        const Run pane = runAlbum(fastSettings(m_site, paneSave.path(), JobSource::BrowserPane), address, false);
        const Run html = runAlbum(fastSettings(m_site, htmlSave.path(), JobSource::BrowserPane), address, true);
        QVERIFY(pane.ended && html.ended);
        QVERIFY(html.fallbacks.isEmpty());
        QCOMPARE(html.htmlReads, 2);
        QVERIFY(!pane.report.collectionStop.isNone());
        QVERIFY(!html.report.collectionStop.isNone());
        QVERIFY(!html.report.isWhole());
        QCOMPARE(html.collected, 2);
        QCOMPARE(html.reported, pane.reported);
        QCOMPARE(html.report.saved, 2);
    }

    void picturesBeginWhileCollecting()
    {
        QTemporaryDir save, slowSave;
        const QString address = albumUrl(m_slow, QStringLiteral("61"));
        JobSettings settings = fastSettings(m_slow, save.path(), JobSource::HiddenPane);
        const Run fast = runAlbum(settings, address, true);
        QVERIFY(fast.report.isWhole());
        QCOMPARE(fast.report.saved, 18);
        QVERIFY(fast.startedWhileCollecting);
        // One request of the limit stays with the album pages.
        QVERIFY(fast.maxInFlightCollecting > 0);
        QVERIFY(fast.maxInFlightCollecting <= settings.maxInFlight - 1);
        QCOMPARE(fast.reported, files(save.path() + u'/' + fast.folderName));

        // Off, the pictures wait for the album's end.
        settings.startWhileCollecting = false;
        settings.saveFolder = slowSave.path();
        const Run waiting = runAlbum(settings, address, true);
        QVERIFY(waiting.report.isWhole());
        QVERIFY(!waiting.startedWhileCollecting);
        QCOMPARE(waiting.picturesBeforeCollected, 0);
        QCOMPARE(waiting.reported, fast.reported);
    }

    void commandLineFastModeIsTheWindows()
    {
        // The window hands its queue an HTML reader; the command line's and
        // an update's settings make the queue read pages as HTML by itself.
        QTemporaryDir windowSave, cliSave, paneSave;
        const QString address = albumUrl(m_slow, QStringLiteral("61"));
        const Run window = runAlbum(fastSettings(m_slow, windowSave.path(), JobSource::HiddenPane), address, true);
        JobChoices choices;
        choices.frontEnd = FrontEnd::CommandLine;
        choices.source = JobSource::HiddenPane;
        choices.saveFolder = cliSave.path();
        choices.fast = true;
        choices.inFlight = 4;
        choices.network = BrowserProfile::network()->manager();
        choices.photoHostBase = SiteAddresses::forBase(m_slow.base()).photoHostBase;
        JobSettings settings = MakeJobSettings(choices);
        const Run cli = runAlbum(settings, address, false);
        QVERIFY(cli.report.isWhole());
        QVERIFY(cli.startedWhileCollecting);
        QCOMPARE(cli.paneLoads, window.paneLoads);
        QCOMPARE(cli.reported, window.reported);
        // Without the HTML reading every album page goes through the pane.
        settings.readPagesAsHtml = false;
        settings.saveFolder = paneSave.path();
        const Run pane = runAlbum(settings, address, false);
        QVERIFY2(pane.paneLoads.size() > cli.paneLoads.size(), qPrintable(pane.paneLoads.join(' ')));
    }

    void onlyNewBeginsWhileCollectingAndFetchesOnlyWhatIsMissing()
    {
        QTemporaryDir save;
        const QString address = albumUrl(m_slow, QStringLiteral("61"));
        JobSettings settings = fastSettings(m_slow, save.path(), JobSource::HiddenPane);
        const Run first = runAlbum(settings, address, true);
        QVERIFY(first.report.isWhole());
        const QString folder = save.path() + u'/' + first.folderName;

        // Unchanged: each album page is read once as HTML, the pane reads
        // the first and the last, and no picture page or picture is asked.
        settings.mode = DownloadMode::OnlyNew;
        m_slow.requests(true);
        const Run unchanged = runAlbum(settings, address, true);
        const QJsonObject asked = m_slow.requests(true);
        QVERIFY(unchanged.report.isWhole());
        QCOMPARE(unchanged.report.alreadyThere, 18);
        QCOMPARE(unchanged.paneLoads.size(), 2);
        QCOMPARE(unchanged.paneLoads.constFirst(), address);
        QCOMPARE(unchanged.paneLoads.constLast(), first.paneLoads.constLast());
        QCOMPARE(asked.value("albumPages").toInt(), 3 + 2);
        QCOMPARE(asked.value("picturePages").toInt(), 0);
        QCOMPARE(asked.value("pictures").toInt(), 0);
        // Nothing to fetch: no blank page the window would leave at once.
        QVERIFY(first.blanked);
        QVERIFY(!unchanged.blanked);

        for (const QString &name : first.folder.mid(0, 3))
            QVERIFY(QFile::remove(folder + u'/' + name));

        settings.mode = DownloadMode::OnlyNew;
        m_slow.requests(true);
        const Run update = runAlbum(settings, address, true);
        QVERIFY(update.report.isWhole());
        QVERIFY(update.startedWhileCollecting);
        // Into the album's own folder, the three missing pictures alone.
        QCOMPARE(update.folderName, first.folderName);
        QCOMPARE(update.report.saved, 3);
        QCOMPARE(update.report.alreadyThere, 15);
        QCOMPARE(m_slow.requests().value("pictures").toInt(), 3);
        QCOMPARE(files(folder), first.folder);
        QCOMPARE(AlbumRecord::load(folder).entries().size(), 18);
    }

    void stopWhileCollectingSettlesEveryPicture()
    {
        QTemporaryDir save;
        const Run run = runAlbum(fastSettings(m_slow, save.path(), JobSource::HiddenPane),
                                 albumUrl(m_slow, QStringLiteral("61")), true, 2);
        QVERIFY(run.ended);
        QCOMPARE(run.report.haltedBy, HaltReason::User);
        QVERIFY(!run.report.isWhole());
        // Two pages of six: each picture page is reported or counted as not downloaded, once.
        QCOMPARE(int(run.reported.size()) + run.report.notDownloaded, 12);
        QCOMPARE(run.report.saved, int(run.folder.size()));
    }

    void windowSaysWhyThePaneCollects()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir appDir, save;
        const QString address = albumUrl(m_site, QStringLiteral("56"));
        const std::unique_ptr<MainForm> w = fastWindowOn(m_site, address, appDir.path(), save.path());
        QVERIFY(w);
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return !dialogs.messages.isEmpty(); }, JobTimeout));
        QCOMPARE(dialogs.lastText(), QStringLiteral("下载完毕\n保存在 《脚本》"));
        QStringList rows;
        for (int i = 0; i < w->ListView1->model()->rowCount(); ++i)
            rows << w->ListView1->model()->index(i, 1).data().toString();
        const QString why = QStringLiteral("图片链接与浏览器所见不同（可能由页面脚本生成），改由浏览器逐页采集：") + address;
        QVERIFY2(rows.contains(why), qPrintable(rows.join(u'\n')));
        QCOMPARE(files(save.path() + QStringLiteral("/脚本")).size(), 4);
    }

    // While the album is collected, the bar's value moves with the pictures
    // done of those collected so far, and its text says the count will grow.
    void windowBarCountsWhatIsCollectedSoFar()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir appDir, save;
        const QString address = albumUrl(m_slow, QStringLiteral("62"));
        const std::unique_ptr<MainForm> w = fastWindowOn(m_slow, address, appDir.path(), save.path());
        QVERIFY(w);
        struct Seen {
            int value, maximum;
            QString text;
            bool collecting;
        };
        QList<Seen> seen;
        connect(w->JobProgress, &QProgressBar::valueChanged, this, [&](int value) {
            const DownloadJob *job = w->albumJob();
            seen.append({value, w->JobProgress->maximum(), w->JobProgress->format(),
                         job && job->state() == DownloadJob::State::Collecting});
        });
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return !dialogs.messages.isEmpty(); }, JobTimeout));
        QCOMPARE(dialogs.lastText(), QStringLiteral("下载完毕\n保存在 《慢八页》"));
        const auto whileCollecting = std::count_if(seen.cbegin(), seen.cend(),
                                                   [](const Seen &s) { return s.collecting && s.maximum > 0; });
        QVERIFY2(whileCollecting > 0, "the bar's value did not move while the album was collected");
        for (const Seen &s : seen) {
            const QString at = QStringLiteral("%1/%2 %3").arg(s.value).arg(s.maximum).arg(s.text);
            // Busy at the start, until the first page is counted.
            if (s.maximum == 0) {
                QVERIFY2(s.value == 0, qPrintable(at));
                continue;
            }
            QVERIFY2(s.value <= s.maximum && s.text.startsWith(QStringLiteral("%1/%2 张").arg(s.value).arg(s.maximum)),
                     qPrintable(at));
            // The pages' pairs so far while collecting, the album's 16 after.
            QVERIFY2(s.collecting ? s.maximum % 2 == 0 && s.maximum <= 16 : s.maximum == 16, qPrintable(at));
            QVERIFY2(s.text.contains(QStringLiteral("仍在采集")) == s.collecting, qPrintable(at));
            QVERIFY2(!(s.collecting && s.text.contains(QStringLiteral("剩余"))), qPrintable(at));
        }
        QCOMPARE(seen.constLast().value, 16);
    }
};

QUILLMOOR_TEST_MAIN(TestFastCollection)
#include "tst_fastcollection.moc"
