// Whole download jobs on the job object alone, against the demo site: the
// pages a browser pane would load are read by the test itself, so neither a
// window nor a browser engine takes part.
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumfolder.h"
#include "download/captionwriter.h"
#include "download/downloadjob.h"
#include "download/jobrules.h"
#include "metadataread.h"
#include "pageloader.h"
#include "web/networksession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QLockFile>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

const QString Member = QStringLiteral("100000001");

// A long Chinese file name: 120 characters are 360 bytes of UTF-8.
const QString LongName = QString(120, QChar(u'长')) + QStringLiteral(".jpg");
// An album title of 105 Chinese characters: 315 bytes, more than a name holds.
const QString LongTitle = QString(105, QChar(u'题'));

QByteArray seed()
{
    return QStringLiteral(R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "6001", "name": "三页相册", "pages": 3, "perPage": 2 },
    { "id": "6011", "name": "零起相册", "pages": 3, "perPage": 2, "firstPage": 0 },
    { "id": "6007", "name": "环形相册", "pages": 2, "perPage": 2, "loopBack": true },
    { "id": "6017", "name": "零起环形", "pages": 2, "perPage": 2, "firstPage": 0, "loopBack": true },
    { "id": "6003", "name": "重复链接", "pages": 2, "perPage": 2, "repeatAcrossPages": true },
    { "id": "6004", "name": "各种图片", "perPage": 8, "pictures": [
        { "id": "6004001", "kind": "gif" },
        { "id": "6004002", "kind": "none" },
        { "id": "6004003", "status": 404 },
        { "id": "6004004", "file": "same.jpg" },
        { "id": "6004005", "file": "same.jpg" },
        { "id": "6004006", "kind": "both" },
        { "id": "6004007", "keyCase": "upper" },
        { "id": "6004008", "file": "%1" } ] },
    { "id": "6005", "name": "..", "pages": 1, "perPage": 2 },
    { "id": "6006", "name": "占位相册", "pages": 1, "perPage": 2 },
    { "id": "6008", "name": "?*:", "pages": 1, "perPage": 1 },
    { "id": "6020", "name": "时好时坏", "perPage": 9, "pictures": [
        { "id": "6020001", "pageFails": 1 },
        { "id": "6020002", "pageFails": -1 },
        { "id": "6020003", "pageFails": 1, "pageStatus": 429, "pageRetryAfter": 1 },
        { "id": "6020004", "fails": 1, "failStatus": 503 },
        { "id": "6020005", "body": "gzipCut" },
        { "id": "6020006", "body": "partial" },
        { "id": "6020007", "body": "html" },
        { "id": "6020008", "body": "empty" },
        { "id": "6020009", "body": "gzip" } ] },
    { "id": "6030", "name": "死链相册", "pages": 3, "perPage": 2, "nextLink": "deadHost" },
    { "id": "6031", "name": "脚本链接", "pages": 2, "perPage": 2, "nextLink": "javascript" },
    { "id": "6032", "name": "跳走相册", "pages": 3, "perPage": 2, "nextLink": "redirectAway" },
    { "id": "6033", "name": "错误页相册", "pages": 3, "perPage": 2, "nextLink": "error" },
    { "id": "6040", "name": "打不开", "pages": 1, "perPage": 2, "pageStatus": 500 },
    { "id": "6050", "name": "Documents", "pages": 1, "perPage": 2 },
    { "id": "6051", "name": "相册文件夹1", "pages": 1, "perPage": 2 },
    { "id": "6052", "name": "同名相册", "pages": 1, "perPage": 2 },
    { "id": "6053", "name": "同名相册", "pages": 1, "perPage": 3 },
    { "id": "6054", "name": "%2", "pages": 1, "perPage": 1 }
  ] } ]
})").arg(LongName, LongTitle).toUtf8();
}

// Albums for the modes: the same album in both paces, and one that grows.
QByteArray modesSeed()
{
    return R"({ "members": [ { "id": "100000001", "albums": [
    { "id": "8001", "name": "会长大的相册", "pages": 2, "perPage": 3 },
    { "id": "8002", "name": "同名图片", "perPage": 7, "pictures": [
        { "id": "8002001", "file": "same.jpg" },
        { "id": "8002002", "file": "same.jpg" },
        { "id": "8002003", "kind": "gif" },
        { "id": "8002004", "kind": "none" },
        { "id": "8002005", "status": 404, "file": "same.jpg" },
        { "id": "8002006", "file": "same.jpg" },
        { "id": "8002007", "pageFails": 1 } ] },
    { "id": "8003", "name": "重复链接", "pages": 3, "perPage": 2, "repeatAcrossPages": true }
  ] } ] })";
}

// A site that refuses more than two picture requests at once.
QByteArray throttledSeed()
{
    return R"({ "maxInFlight": 2, "throttleStatus": 429, "throttleRetryAfter": "1", "pictureDelayMs": 60,
    "members": [ { "id": "100000001", "albums": [
        { "id": "8101", "name": "限流相册", "pages": 1, "perPage": 12 } ] } ] })";
}

// A site whose session can expire halfway (through /test/expire), and
// picture pages without a picture or with other extensions.
QByteArray loginSeed()
{
    return R"({ "members": [ { "id": "100000001", "albums": [
    { "id": "9001", "name": "会过期的相册", "pages": 3, "perPage": 2 },
    { "id": "9002", "name": "没有图片的页", "perPage": 4, "pictures": [
        { "id": "9002001" },
        { "id": "9002002", "kind": "none" },
        { "id": "9002003", "file": "b.jpeg" },
        { "id": "9002004", "file": "c.png" } ] } ] } ] })";
}

// Picture answers take a while, so a job can be paused or stopped mid-album.
QByteArray pacedSeed()
{
    return R"({ "pictureDelayMs": 80, "members": [ { "id": "100000001", "albums": [
        { "id": "9101", "name": "慢慢来", "pages": 1, "perPage": 6 },
        { "id": "9102", "name": "慢慢来", "perPage": 6, "pictures": [
            { "id": "9102001" }, { "id": "9102002", "pageFails": 1 }, { "id": "9102003" },
            { "id": "9102004" }, { "id": "9102005" }, { "id": "9102006" } ] } ] } ] })";
}

// Captions escaped, plain, empty and missing; dates given and not; a GIF; a
// JPEG no metadata reader can read.
// (The quote is \u0022: moc misreads an escaped quote in a raw string.)
QByteArray captionsSeed()
{
    return R"({ "members": [ { "id": "100000001", "albums": [
    { "id": "8201", "name": "说明相册", "perPage": 5, "pictures": [
        { "id": "8201001", "caption": "他说 \u0022你好\u0022 😀", "captionEscapes": true, "date": "2024-05-01T10:00:00Z" },
        { "id": "8201002", "caption": "Plain caption", "date": "2023-01-02T03:04:05Z" },
        { "id": "8201003", "caption": "" },
        { "id": "8201004", "caption": null, "date": "2022-06-07T08:09:10Z" },
        { "id": "8201005", "kind": "gif", "caption": "动图", "date": "2021-01-01T00:00:00Z" },
        { "id": "8201006", "body": "jpegHead", "caption": "坏图" } ] } ] } ] })";
}

// Every answer of this site waits, so a job can be caught mid-flight.
QByteArray slowSeed()
{
    return R"({ "delayMs": 400, "members": [ { "id": "100000001", "albums": [
        { "id": "7001", "name": "慢相册", "pages": 1, "perPage": 3 } ] } ] })";
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Everything one job said, in order.
struct Run {
    std::unique_ptr<DownloadJob> job;
    QStringList loaded;           // pages the "pane" was sent to, after the first
    QList<int> collectedCounts;   // pageCollected, page by page
    QList<CollectionStop> stopped; // collectionStopped reasons
    QList<PictureReport> pictures;
    std::optional<JobReport> report;

    QStringList kinds() const
    {
        QStringList out;
        for (const PictureReport &p : pictures)
            out << (p.kind == PictureReport::Kind::Saved          ? "Saved"
                    : p.kind == PictureReport::Kind::Skipped      ? "Skipped"
                    : p.kind == PictureReport::Kind::AlreadyThere ? "AlreadyThere"
                                                                  : "Failed");
        return out;
    }
    const PictureReport *about(const QString &addressPart) const
    {
        for (const PictureReport &p : pictures)
            if (p.address.contains(addressPart))
                return &p;
        return nullptr;
    }
};

} // namespace

Q_DECLARE_METATYPE(JobSource)
Q_DECLARE_METATYPE(HaltReason)
Q_DECLARE_METATYPE(CaptionMode)

class TestDownloadJob : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{seed()};
    // The same site at another address, as a move to a new host gives.
    DemoSite m_moved{seed()};
    DemoSite m_slow{slowSeed()};
    DemoSite m_modes{modesSeed()};
    DemoSite m_throttled{throttledSeed()};
    DemoSite m_login{loginSeed()};
    DemoSite m_paced{pacedSeed()};
    DemoSite m_captions{captionsSeed()};
    NetworkSession m_session;

    static JobSettings fast(JobSettings s, int inFlight = JobSettings::DefaultFastInFlight)
    {
        s.maxInFlight = inFlight;
        s.pauseMs = 0;
        return s;
    }
    static JobSettings onlyNew(JobSettings s)
    {
        s.mode = DownloadMode::OnlyNew;
        return s;
    }
    // What the folder holds, byte for byte.
    static QMap<QString, QByteArray> contents(const QString &folder)
    {
        QMap<QString, QByteArray> out;
        for (const QString &name : besideRecord(folder))
            out.insert(name, fileBytes(folder + "/" + name));
        return out;
    }
    static QStringList described(const Run &r)
    {
        QStringList out;
        const QStringList kinds = r.kinds();
        for (qsizetype i = 0; i < r.pictures.size(); ++i)
            out << kinds.at(i) + " " + r.pictures.at(i).address + " " + r.pictures.at(i).fileName;
        return out;
    }

    QString albumUrl(const QString &album, const DemoSite *site = nullptr) const
    {
        return (site ? site : &m_site)->url("/photo/" + Member + "/album-" + album);
    }
    QString pictureUrl(const QString &album, const QString &id, const QString &file) const
    {
        return m_site.url("/pic/" + album + "/" + id + "/" + file);
    }
    QString generated(const QString &album, int i) const
    {
        const QString id = album + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        return pictureUrl(album, id, "p" + id + ".jpg");
    }
    // The site's own bytes of a picture, fetched apart from the job.
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

    JobSettings settings(JobSource source, const QString &saveFolder, const DemoSite *site = nullptr)
    {
        JobSettings s;
        s.source = source;
        s.saveFolder = saveFolder;
        s.photoHostBase = (site ? site : &m_site)->base();
        s.network = m_session.manager();
        // Short waits: these tests show that a retry happens, not how long it waits.
        s.requests.timeoutMs = 5000;
        s.requests.retry.delaysMs = {50, 100};
        s.pauseMs = 5;
        return s;
    }

    // Starts a job, plays the pane: hands it the album's pages as it asks for
    // them, then waits for its end.
    // A started job whose every signal is recorded; no page handed to it yet.
    std::unique_ptr<Run> started(const JobSettings &s)
    {
        auto r = std::make_unique<Run>();
        r->job = std::make_unique<DownloadJob>(s);
        DownloadJob *job = r->job.get();
        Run *out = r.get();
        connect(job, &DownloadJob::pageCollected, job, [out](int n) { out->collectedCounts << n; });
        connect(job, &DownloadJob::collectionStopped, job, [out](const CollectionStop &why) { out->stopped << why; });
        connect(job, &DownloadJob::pictureDone, job, [out](const PictureReport &p) { out->pictures << p; });
        connect(job, &DownloadJob::finished, job, [out](const JobReport &report) { out->report = report; });
        if (!job->start())
            qWarning("the job did not start");
        return r;
    }

    std::unique_ptr<Run> run(const JobSettings &s, const QString &album, bool waitForEnd = true)
    {
        auto r = started(s);
        DownloadJob *job = r->job.get();
        Run *out = r.get();
        if (job->state() != DownloadJob::State::Collecting)
            return r;
        QString next = job->pageLoaded(loadSnapshot(m_session.manager(), album));
        while (!next.isEmpty()) {
            r->loaded << next;
            next = job->pageLoaded(loadSnapshot(m_session.manager(), next));
        }
        if (waitForEnd && !QTest::qWaitFor([out] { return out->report.has_value(); }, 60000))
            qWarning("the job did not end");
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        QVERIFY(m_moved.start());
        QVERIFY(m_slow.start());
        QVERIFY(m_modes.start());
        QVERIFY(m_throttled.start());
        QVERIFY(m_login.start());
        QVERIFY(m_paced.start());
        QVERIFY(m_captions.start());
    }

    void pagingInBothPanes_data()
    {
        QTest::addColumn<JobSource>("source");
        QTest::addColumn<QString>("album");
        QTest::addColumn<QStringList>("pages"); // the pages loaded after the first
        QTest::addColumn<int>("pictures");
        const QString a = "/photo/" + Member + "/album-";
        for (const JobSource source : {JobSource::BrowserPane, JobSource::HiddenPane}) {
            const char *pane = source == JobSource::BrowserPane ? "browser pane" : "member list";
            QTest::addRow("%s, numbered from 1", pane)
                << source << "6001" << QStringList{a + "6001?curpage=2", a + "6001?curpage=3"} << 6;
            QTest::addRow("%s, numbered from 0", pane)
                << source << "6011" << QStringList{a + "6011?curpage=1", a + "6011?curpage=2"} << 6;
            // The last page leads back to the first under another address:
            // that page brings nothing new and ends the album.
            QTest::addRow("%s, loop from 1", pane)
                << source << "6007" << QStringList{a + "6007?curpage=2", a + "6007?curpage=1"} << 4;
            QTest::addRow("%s, loop from 0", pane)
                << source << "6017" << QStringList{a + "6017?curpage=1", a + "6017?curpage=0"} << 4;
        }
    }
    void pagingInBothPanes()
    {
        QFETCH(JobSource, source);
        QFETCH(QString, album);
        QFETCH(QStringList, pages);
        QFETCH(int, pictures);
        QTemporaryDir save;
        const auto r = run(settings(source, save.path()), albumUrl(album));
        QVERIFY(r->report);

        QStringList expectedPages;
        for (const QString &p : pages)
            expectedPages << m_site.url(p);
        QCOMPARE(r->loaded, expectedPages);
        QVERIFY(r->stopped.isEmpty());
        QCOMPARE(r->collectedCounts.constLast(), pictures);
        QCOMPARE(r->kinds(), QStringList(pictures, "Saved"));
        QCOMPARE(r->report->saved, pictures);
        QCOMPARE(r->report->failed, 0);

        // The album's folder holds each picture, byte for byte as served.
        const QString name = r->report->albumName;
        QCOMPARE(r->report->folderName, name);
        QCOMPARE(besideRecord(save.path()), QStringList{name});
        QStringList files;
        for (int i = 1; i <= pictures; ++i) {
            const QString url = generated(album, i);
            files << url.section('/', -1);
            QCOMPARE(fileBytes(save.path() + "/" + name + "/" + url.section('/', -1)), siteBytes(url));
        }
        files.sort();
        QCOMPARE(besideRecord(save.path() + "/" + name), files);
    }

    void repeatsAndPictureKinds()
    {
        QTemporaryDir save;
        // The browser pane queues a picture page each time it is linked; the
        // picture is saved once and the repeat reported as skipped.
        auto r = run(settings(JobSource::BrowserPane, save.path()), albumUrl("6003"));
        QVERIFY(r->report);
        QCOMPARE(r->collectedCounts.constLast(), 5);
        QCOMPARE(r->kinds(), QStringList({"Saved", "Saved", "Skipped", "Saved", "Saved"}));
        QCOMPARE(r->pictures.at(2).address, generated("6003", 2));
        QCOMPARE(besideRecord(save.path() + "/重复链接").size(), 4);
        // The member list queues it once.
        r = run(settings(JobSource::HiddenPane, save.path()), albumUrl("6003"));
        QCOMPARE(r->collectedCounts.constLast(), 4);
        QCOMPARE(r->kinds(), QStringList(4, "Saved"));

        // Every kind of picture page: a gif, none (skipped with its reason), a
        // missing picture, two pictures of one name, both kinds (the jpg wins),
        // the key in capitals, a name too long for the disk.
        r = run(settings(JobSource::BrowserPane, save.path()), albumUrl("6004"));
        QVERIFY(r->report);
        QCOMPARE(r->kinds(), QStringList({"Saved", "Skipped", "Failed", "Saved", "Saved", "Saved", "Saved", "Saved"}));
        QVERIFY(r->about("photo-6004002") && r->about("photo-6004002")->noPictureAddress);
        const PictureReport *missing = r->about("6004003");
        QVERIFY(missing && !missing->pageFailed);
        QCOMPARE(missing->why, PictureReport::Why::Request);
        QCOMPARE(missing->failure.reason, WebReason::HttpStatus);
        QCOMPARE(missing->failure.amount, 404);
        QCOMPARE(r->report->saved, 6);
        QCOMPARE(r->report->failed, 1);

        const QString folder = save.path() + "/各种图片";
        QCOMPARE(fileBytes(folder + "/p6004001.gif"), siteBytes(pictureUrl("6004", "6004001", "p6004001.gif")));
        QCOMPARE(fileBytes(folder + "/same.jpg"), siteBytes(pictureUrl("6004", "6004004", "same.jpg")));
        QCOMPARE(fileBytes(folder + "/same(2).jpg"), siteBytes(pictureUrl("6004", "6004005", "same.jpg")));
        QVERIFY(fileBytes(folder + "/same.jpg") != fileBytes(folder + "/same(2).jpg"));
        QCOMPARE(fileBytes(folder + "/p6004006.jpg"), siteBytes(pictureUrl("6004", "6004006", "p6004006.jpg")));
        QCOMPARE(fileBytes(folder + "/p6004007.jpg"), siteBytes(pictureUrl("6004", "6004007", "p6004007.jpg")));
        const PictureReport *longOne = r->about("6004008");
        QVERIFY(longOne && longOne->kind == PictureReport::Kind::Saved);
        QVERIFY(longOne->fileName.endsWith(".jpg") && longOne->fileName.toUtf8().size() <= 255);
        QVERIFY(LongName.startsWith(longOne->fileName.chopped(4)));
        QVERIFY(!fileBytes(folder + "/" + longOne->fileName).isEmpty());
    }

    void failuresAreRetriedOrReported()
    {
        QTemporaryDir save;
        const auto r = run(settings(JobSource::HiddenPane, save.path()), albumUrl("6020"));
        QVERIFY(r->report);
        // Once-failing pages and pictures arrive; what fails for good is a
        // failure with its page or picture and its reason, and leaves no file.
        QCOMPARE(r->kinds(), QStringList({"Saved", "Failed", "Saved", "Saved", "Failed", "Failed", "Failed",
                                          "Failed", "Saved"}));
        const PictureReport *page = r->about("photo-6020002");
        QVERIFY(page && page->pageFailed);
        QCOMPARE(page->why, PictureReport::Why::Request);
        QCOMPARE(page->failure.reason, WebReason::HttpStatus);
        QCOMPARE(page->failure.amount, 500);
        for (const QString id : {"6020005", "6020006", "6020007", "6020008"}) {
            const PictureReport *p = r->about(id);
            QVERIFY2(p && p->why == PictureReport::Why::Request && p->failure.reason != WebReason::None
                         && p->fileName.isEmpty(),
                     qPrintable(id));
        }
        const QString folder = save.path() + "/时好时坏";
        QCOMPARE(besideRecord(folder), QStringList({"p6020001.jpg", "p6020003.jpg", "p6020004.jpg", "p6020009.jpg"}));
        QCOMPARE(fileBytes(folder + "/p6020009.jpg"), siteBytes(pictureUrl("6020", "6020009", "p6020009.jpg")));
        QCOMPARE(r->report->saved, 4);
        QCOMPARE(r->report->failed, 5);
    }

    void collectionNeverStaysStuck_data()
    {
        QTest::addColumn<JobSource>("source");
        QTest::addColumn<QString>("album");
        for (const JobSource source : {JobSource::BrowserPane, JobSource::HiddenPane}) {
            const char *pane = source == JobSource::BrowserPane ? "browser pane" : "member list";
            QTest::addRow("%s, dead next-page host", pane) << source << "6030";
            QTest::addRow("%s, javascript next link", pane) << source << "6031";
            QTest::addRow("%s, redirect off the photo host", pane) << source << "6032";
            QTest::addRow("%s, error page", pane) << source << "6033";
        }
    }
    void collectionNeverStaysStuck()
    {
        QFETCH(JobSource, source);
        QFETCH(QString, album);
        QTemporaryDir save;
        const auto r = run(settings(source, save.path()), albumUrl(album));
        // Collection ends with the first page's two pictures, says so, and
        // the job completes.
        const int pictures = 2;
        QVERIFY(r->report);
        QCOMPARE(r->stopped.size(), 1);
        QVERIFY(!r->stopped.first().isNone());
        QCOMPARE(r->stopped.first().page, album == "6031" ? 1 : 2);
        QVERIFY(r->report->collectionStop == r->stopped.first());
        QCOMPARE(r->report->saved, pictures);
        // The album keeps the name of its first page, whatever came after.
        QCOMPARE(besideRecord(save.path()).size(), 1);
        QCOMPARE(besideRecord(save.path() + "/" + r->report->folderName).size(), pictures);
    }

    void anErrorPageIsNoAlbumPage()
    {
        // A folder named like the host the browser's error page would show.
        QTemporaryDir save;
        QVERIFY(QDir(save.path()).mkpath("127.0.0.1/keep"));
        const auto r = run(settings(JobSource::HiddenPane, save.path()), albumUrl("6040"));
        QVERIFY(r->report);
        QCOMPARE(r->stopped.size(), 1);
        QVERIFY(r->report->albumName.isEmpty());
        QCOMPARE(r->report->saved, 0);
        QVERIFY(QDir(save.path()).exists("127.0.0.1/keep"));
    }

    void albumNamesThatCannotBeFolders()
    {
        // The save folder sits inside another, so a rename to ".." would show.
        QTemporaryDir outer;
        QVERIFY(QDir(outer.path()).mkdir("save"));
        QFile marker(outer.path() + "/marker.txt");
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        const QString save = outer.path() + "/save";

        auto r = run(settings(JobSource::BrowserPane, save), albumUrl("6005"));
        QVERIFY(r->report);
        QCOMPARE(r->report->albumName, QString(".."));
        QCOMPARE(r->report->folderName, QString("相册文件夹1"));
        QCOMPARE(r->report->folderNote, JobReport::FolderNote::UnusableName);
        QCOMPARE(besideRecord(outer.path()), QStringList({"marker.txt", "save"}));
        QCOMPARE(besideRecord(save + "/相册文件夹1"), QStringList({"p6005001.jpg", "p6005002.jpg"}));

        // A name made only of characters a folder name cannot hold.
        r = run(settings(JobSource::HiddenPane, save), albumUrl("6008"));
        QVERIFY(r->report && r->report->albumName.isEmpty());
        QCOMPARE(r->report->folderName, QString("相册文件夹2"));

        // A name taken by a file: the file stays, the pictures stay in the
        // temporary folder, and the report says why.
        QFile blocker(save + "/占位相册");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("keep");
        blocker.close();
        r = run(settings(JobSource::BrowserPane, save), albumUrl("6006"));
        QVERIFY(r->report);
        QCOMPARE(r->report->folderName, QString("占位相册 (2)"));
        QVERIFY(r->report->nameTaken);
        QCOMPARE(fileBytes(save + "/占位相册"), QByteArray("keep"));

        // A folder of the album's name that no record ties to the album is
        // left as it is.
        QVERIFY(QDir(save).mkpath("三页相册/旧文件夹"));
        r = run(settings(JobSource::HiddenPane, save), albumUrl("6001"));
        QCOMPARE(besideRecord(save + "/三页相册"), QStringList{"旧文件夹"});
        QCOMPARE(r->report->folderName, QString("三页相册 (2)"));
        QCOMPARE(besideRecord(save + "/三页相册 (2)").size(), 6);
    }

    void startAndEndOfTheFolders()
    {
        QTemporaryDir save;
        QDir d(save.path());
        // The first free number; nothing is made when the save folder is missing.
        QVERIFY(d.mkdir("相册文件夹1"));
        DownloadJob refused(settings(JobSource::BrowserPane, save.path() + "/不存在"));
        JobStartFailure failure;
        QVERIFY(!refused.start(&failure));
        QCOMPARE(failure.why, JobStartFailure::Why::NoFolder);
        QCOMPARE(failure.folder.code, FileError::Code::NoParent);
        QCOMPARE(failure.folder.path, save.path() + "/不存在");
        QCOMPARE(refused.state(), DownloadJob::State::Ready);

        // The folder is the one captured at the start, and a job whose
        // temporary folder vanished says so instead of naming it.
        auto r = run(settings(JobSource::BrowserPane, save.path(), &m_slow), albumUrl("7001", &m_slow), false);
        QCOMPARE(r->job->temporaryFolderName(), QString("相册文件夹2"));
        QVERIFY(QTest::qWaitFor([&] { return r->pictures.size() == 1; }, 30000));
        QVERIFY(d.rename("相册文件夹2", "挪走了"));
        QVERIFY(QTest::qWaitFor([&] { return r->report.has_value(); }, 30000));
        QVERIFY(r->report->folderGone);
        QCOMPARE(r->report->folderNote, JobReport::FolderNote::FolderGone);
        QCOMPARE(r->report->folderNoteSubject, save.path() + "/相册文件夹2");
        QCOMPARE(r->report->failed, 2);
        QCOMPARE(besideRecord(save.path()), QStringList({"挪走了", "相册文件夹1"}));
    }

    void fastModeSavesWhatThePaceSaves()
    {
        // Repeated names, a failure between them, repeated links, a page
        // that fails once: the same folder and the same reports in order.
        for (const QString album : {"8002", "8003"}) {
            for (const JobSource source : {JobSource::BrowserPane, JobSource::HiddenPane}) {
                QTemporaryDir paced, quick;
                m_modes.requests(true);
                const auto one = run(settings(source, paced.path(), &m_modes), albumUrl(album, &m_modes));
                const int pacedPictures = m_modes.requests(true).value("pictures").toInt();
                const auto many = run(fast(settings(source, quick.path(), &m_modes), 8), albumUrl(album, &m_modes));
                QVERIFY(one->report && many->report);
                // A repeated link is fetched once, even when its page comes in
                // while the first is still on its way.
                QCOMPARE(m_modes.requests().value("pictures").toInt(), pacedPictures);
                QCOMPARE(described(*many), described(*one));
                QCOMPARE(many->report->saved, one->report->saved);
                const QString name = one->report->folderName;
                QCOMPARE(many->report->folderName, name);
                QCOMPARE(contents(quick.path() + "/" + name), contents(paced.path() + "/" + name));
                QCOMPARE(besideRecord(quick.path()), QStringList{name});
            }
        }
        QTemporaryDir check;
        const auto r = run(fast(settings(JobSource::HiddenPane, check.path(), &m_modes)), albumUrl("8002", &m_modes));
        QCOMPARE(besideRecord(check.path() + "/同名图片"),
                 QStringList({"p8002003.gif", "p8002007.jpg", "same(2).jpg", "same(3).jpg", "same.jpg"}));
    }

    void captionsAndDatesInEveryMode_data()
    {
        QTest::addColumn<CaptionMode>("mode");
        QTest::addColumn<bool>("someonesSidecar"); // only new, into a folder holding a .xmp not ours
        QTest::newRow("none") << CaptionMode::None << false;
        QTest::newRow("embed") << CaptionMode::Embed << false;
        QTest::newRow("xmp") << CaptionMode::Sidecar << false;
        QTest::newRow("xmp beside someone's sidecar") << CaptionMode::Sidecar << true;
    }
    void captionsAndDatesInEveryMode()
    {
        QFETCH(CaptionMode, mode);
        QFETCH(bool, someonesSidecar);
        QTemporaryDir save;
        const QString folder = save.path() + "/说明相册";
        if (someonesSidecar) {
            QVERIFY(QDir().mkpath(folder));
            writeFile(folder + "/p8201002.jpg.xmp", "mine");
        }
        JobSettings s = fast(settings(JobSource::HiddenPane, save.path(), &m_captions));
        s.captions = mode;
        if (someonesSidecar)
            s.mode = DownloadMode::OnlyNew;
        const auto r = run(s, albumUrl("8201", &m_captions));
        QVERIFY(r->report);
        // A picture its caption cannot be written into is no bare picture.
        const bool embed = mode == CaptionMode::Embed;
        QCOMPARE(r->report->saved, embed ? 5 : 6);
        QCOMPARE(r->report->failed, embed ? 1 : 0);
        const PictureReport *broken = r->about("8201006");
        QVERIFY(broken);
        QCOMPARE(broken->why, embed ? PictureReport::Why::MetadataNotWritten : PictureReport::Why::None);
        QCOMPARE(r->report->sidecarsInstead, mode == CaptionMode::Embed ? 1 : 0);

        struct Expected {
            QString id, file, caption, date;
        };
        const QList<Expected> pictures{
            {"8201001", "p8201001.jpg", "他说 \"你好\" 😀", "2024-05-01T10:00:00Z"},
            {"8201002", someonesSidecar ? "p8201002(2).jpg" : "p8201002.jpg", "Plain caption", "2023-01-02T03:04:05Z"},
            {"8201003", "p8201003.jpg", "", ""},
            {"8201004", "p8201004.jpg", "", "2022-06-07T08:09:10Z"},
            {"8201005", "p8201005.gif", "动图", "2021-01-01T00:00:00Z"},
            {"8201006", "p8201006.jpg", "坏图", ""}};
        // The record has them in every mode, with the album in its header.
        const AlbumRecord record = AlbumRecord::load(folder);
        QCOMPARE(record.title(), QString("说明相册"));
        QCOMPARE(record.albumAddress(), albumUrl("8201", &m_captions));
        QStringList expectedFiles = someonesSidecar ? QStringList{"p8201002.jpg.xmp"} : QStringList();
        for (const Expected &e : pictures) {
            const QString page = m_captions.url("/photo/" + Member + "/photo-" + e.id);
            const QString path = folder + "/" + e.file;
            const QDateTime date = QDateTime::fromString(e.date, Qt::ISODate);
            const AlbumRecord::Entry *entry = record.forPage(page);
            if (embed && e.id == "8201006") {
                QVERIFY(!entry);
                continue;
            }
            QVERIFY2(entry, qPrintable(e.id));
            QCOMPARE(entry->file, e.file);
            QCOMPARE(entry->caption, e.caption);
            QCOMPARE(entry->date, date);
            const bool gif = e.file.endsWith(".gif");
            const bool sidecar = mode == CaptionMode::Sidecar || (mode == CaptionMode::Embed && gif);
            QCOMPARE(entry->sidecar, sidecar);
            expectedFiles << e.file;
            if (sidecar)
                expectedFiles << e.file + ".xmp";

            const QByteArray site = siteBytes(m_captions.url("/pic/8201/" + e.id + "/" + QFileInfo(e.file).fileName()
                                                                  .replace("(2)", "")));
            QVERIFY(!site.isEmpty());
            if (mode == CaptionMode::Embed && !gif) {
                const ReadMetadata back = readMetadata(path);
                QVERIFY2(back.read, qPrintable(back.error));
                QCOMPARE(back.description, e.caption);
                QCOMPARE(back.subject, QStringList{"说明相册"});
                QCOMPARE(back.source, page);
                QCOMPARE(back.userComment, e.caption);
                QCOMPARE(back.iptcCaption, e.caption);
                QVERIFY(fileBytes(path) != site);
            } else {
                QCOMPARE(fileBytes(path), site);
            }
            if (sidecar) {
                const ReadMetadata back = readMetadata(path + ".xmp");
                QVERIFY2(back.read, qPrintable(back.error));
                QCOMPARE(back.description, e.caption);
                QCOMPARE(back.source, page);
            }
            // The site's date, where it gave one and a choice keeps it.
            if (mode != CaptionMode::None && date.isValid())
                QCOMPARE(QFileInfo(path).lastModified().toUTC(), date);
            else
                QVERIFY(QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) < 600);
        }
        expectedFiles.sort();
        QCOMPARE(besideRecord(folder), expectedFiles);
        // Sidecars of Quillmoor's are its own; someone else's is not, and stays.
        for (const QString &file : expectedFiles)
            QCOMPARE(record.files().contains(file), file != "p8201002.jpg.xmp" || !someonesSidecar);
        if (someonesSidecar)
            QCOMPARE(fileBytes(folder + "/p8201002.jpg.xmp"), QByteArray("mine"));
    }

    // An album saved bare gains its captions on the next only-new run,
    // without a picture fetched, and its record follows the new bytes.
    void onlyNewWritesCaptionsOfSavedPictures()
    {
        QTemporaryDir save;
        const QString folder = save.path() + "/说明相册";
        auto r = run(fast(settings(JobSource::HiddenPane, save.path(), &m_captions)), albumUrl("8201", &m_captions));
        QCOMPARE(r->report->saved, 6);
        m_captions.requests(true);
        JobSettings s = onlyNew(fast(settings(JobSource::HiddenPane, save.path(), &m_captions)));
        s.captions = CaptionMode::Embed;
        r = run(s, albumUrl("8201", &m_captions));
        QCOMPARE(r->report->alreadyThere, 6);
        QCOMPARE(m_captions.requests().value("pictures").toInt(), 0);
        QCOMPARE(readMetadata(folder + "/p8201001.jpg").description, QString("他说 \"你好\" 😀"));
        QCOMPARE(readMetadata(folder + "/p8201005.gif.xmp").description, QString("动图"));
        QVERIFY(CheckAlbumFolder(save.path(), "说明相册").intact());
        // Written once: the next run rewrites nothing.
        const QDateTime written = QFileInfo(folder + "/p8201001.jpg").lastModified();
        r = run(s, albumUrl("8201", &m_captions));
        QCOMPARE(r->report->alreadyThere, 6);
        QCOMPARE(QFileInfo(folder + "/p8201001.jpg").lastModified(), written);
    }

    void captionsWrittenIntoSavedPictures()
    {
        // An album saved bare gains its captions from its record, in place.
        QTemporaryDir save;
        const QString folder = save.path() + "/说明相册";
        const auto r = run(fast(settings(JobSource::HiddenPane, save.path(), &m_captions)), albumUrl("8201", &m_captions));
        QVERIFY(r->report && r->report->saved == 6);
        writeFile(folder + "/p8201002.jpg.xmp", "mine");
        const AlbumRecord record = AlbumRecord::load(folder);
        for (const AlbumRecord::Entry &entry : record.entries()) {
            const QString path = folder + "/" + entry.file;
            const QByteArray before = fileBytes(path);
            const bool gif = entry.file.endsWith(".gif"), broken = entry.file == "p8201006.jpg";
            const CaptionMode mode = entry.file == "p8201002.jpg" ? CaptionMode::Sidecar : CaptionMode::Embed;
            const CaptionsWritten written = WriteCaptionsOfSaved(mode, folder, entry, record.title());
            QCOMPARE(written.result.ok(), !broken && mode == CaptionMode::Embed);
            QCOMPARE(written.sidecar, gif);
            QCOMPARE(written.sidecarInstead, gif);
            if (broken || gif || mode == CaptionMode::Sidecar) {
                QCOMPARE(fileBytes(path), before);
                continue;
            }
            const ReadMetadata back = readMetadata(path);
            QCOMPARE(back.description, entry.caption);
            QCOMPARE(back.subject, QStringList{"说明相册"});
            if (entry.date.isValid())
                QCOMPARE(QFileInfo(path).lastModified().toUTC(), entry.date);
        }
        QCOMPARE(fileBytes(folder + "/p8201002.jpg.xmp"), QByteArray("mine"));
        QCOMPARE(readMetadata(folder + "/p8201005.gif.xmp").description, QString("动图"));
        // Nothing is left of the copies the pictures were written in.
        QCOMPARE(besideRecord(folder).size(), 8);
        // A link where the picture was is not the picture: left as it is.
        QVERIFY(QFile::link(folder + "/p8201001.jpg", folder + "/link.jpg"));
        AlbumRecord::Entry link{"p", "q", "link.jpg"};
        link.caption = "x";
        QVERIFY(!WriteCaptionsOfSaved(CaptionMode::Embed, folder, link, "t").result.ok());
        QVERIFY(QFileInfo(folder + "/link.jpg").isSymLink());
    }

    void siteThatAsksToSlowDown()
    {
        QTemporaryDir save;
        int throttles = 0;
        // Picture pages asked just after the first slow-down, and most of
        // the site's wait later.
        int atFirst = -1;
        int inTheWait = -1;
        QObject readings;
        JobSettings s = fast(settings(JobSource::HiddenPane, save.path(), &m_throttled));
        s.requests.throttled = [&](int retryAfterMs) {
            QCOMPARE(retryAfterMs, 1000);
            if (++throttles > 1)
                return;
            const auto pages = [&] { return m_throttled.requests().value("picturePages").toInt(); };
            QTimer::singleShot(0, &readings, [&, pages] { atFirst = pages(); });
            QTimer::singleShot(700, &readings, [&, pages] { inTheWait = pages(); });
        };
        m_throttled.requests(true);
        auto r = run(s, albumUrl("8101", &m_throttled), false);
        int lowest = r->job->inFlightLimit();
        connect(r->job.get(), &DownloadJob::pictureDone, r->job.get(),
                [&] { lowest = qMin(lowest, r->job->inFlightLimit()); });
        QVERIFY(QTest::qWaitFor([&] { return r->report.has_value(); }, 60000));
        // It took fewer at once, waited as asked, and lost nothing.
        QVERIFY(throttles > 0);
        QVERIFY2(lowest < JobSettings::DefaultFastInFlight, qPrintable(QString::number(lowest)));
        // Nothing new began while the site's wait lasted, not even what was
        // already handed to the transfers (one may have begun as it said so).
        QVERIFY(atFirst > 0);
        QVERIFY2(inTheWait - atFirst <= 1, qPrintable(QStringLiteral("%1 then %2").arg(atFirst).arg(inTheWait)));
        QCOMPARE(r->report->saved, 12);
        QCOMPARE(r->report->failed, 0);
    }

    // A second download of an album the site answers badly for a moment
    // never costs the earlier whole copy.
    void badAnswersNeverReplace_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("stopped"); // collection stopped at a page
        QTest::addRow("a page of the album is a notice") << "busyPage=2" << true;
        QTest::addRow("picture pages without picture data") << "noPictureData=1" << false;
    }
    void badAnswersNeverReplace()
    {
        QFETCH(QString, change);
        QFETCH(bool, stopped);
        QTemporaryDir save;
        const QString d = save.path();
        auto r = run(settings(JobSource::BrowserPane, d), albumUrl("6001"));
        QVERIFY(r->report->isWhole());
        const QMap<QString, QByteArray> earlier = contents(d + "/三页相册");
        QCOMPARE(earlier.size(), 6);

        QVERIFY(!m_site.get("/test/album?album=6001&" + change).isEmpty());
        auto restore = qScopeGuard([this] { m_site.get("/test/album?album=6001&busyPage=0&noPictureData=0"); });
        r = run(settings(JobSource::BrowserPane, d), albumUrl("6001"));
        QVERIFY(!r->report->isWhole());
        QVERIFY(!r->report->replacedEarlier);
        QCOMPARE(r->report->earlierKept, QString("三页相册"));
        QCOMPARE(contents(d + "/三页相册"), earlier);
        QCOMPARE(AlbumRecord::load(d + "/三页相册").state(), AlbumRecord::State::Finished);
        QCOMPARE(AlbumRecord::load(d + "/" + r->report->folderName).state(), AlbumRecord::State::InProgress);
        if (stopped) {
            QCOMPARE(r->stopped.size(), 1);
            QCOMPARE(r->stopped.at(0).why, CollectionStop::Why::NoPictureLinks);
            QCOMPARE(r->stopped.at(0).address, albumUrl("6001") + "?curpage=2");
        } else {
            QCOMPARE(r->report->noPictureAddress, 6);
        }
    }

    // A site that moved serves every recorded album as before: continued at
    // the new address, then updated there, nothing fetched twice.
    void aMovedSiteKeepsItsAlbums()
    {
        QTemporaryDir save;
        const QString d = save.path();
        JobSettings s = settings(JobSource::HiddenPane, d);
        auto r = started(s);
        QString next = r->job->pageLoaded(loadSnapshot(m_session.manager(), albumUrl("6001")));
        while (!next.isEmpty())
            next = r->job->pageLoaded(loadSnapshot(m_session.manager(), next));
        QVERIFY(QTest::qWaitFor([&] { return r->pictures.size() >= 2; }, 30000));
        r->job->stop();
        QVERIFY(QTest::qWaitFor([&] { return r->report.has_value(); }, 30000));
        const QString folder = r->report->folderName;
        const int kept = r->report->saved;
        QVERIFY(kept >= 2 && kept < 6);
        QCOMPARE(AlbumRecord::load(d + "/" + folder).state(), AlbumRecord::State::Stopped);

        m_moved.requests(true);
        JobSettings moved = settings(JobSource::HiddenPane, d, &m_moved);
        moved.continueFolder = folder;
        auto c = started(moved);
        QCOMPARE(c->job->settings().albumAddress, albumUrl("6001", &m_moved));
        next = c->job->pageLoaded(loadSnapshot(m_session.manager(), albumUrl("6001", &m_moved)));
        while (!next.isEmpty())
            next = c->job->pageLoaded(loadSnapshot(m_session.manager(), next));
        QVERIFY(QTest::qWaitFor([&] { return c->report.has_value(); }, 30000));
        QVERIFY(c->report->isWhole());
        QCOMPARE(c->report->folderName, QString("三页相册"));
        QCOMPARE(m_moved.requests().value("pictures").toInt(), 6 - kept);
        const AlbumRecord record = AlbumRecord::load(d + "/三页相册");
        QCOMPARE(record.state(), AlbumRecord::State::Finished);
        QCOMPARE(record.title(), QString("三页相册"));
        QCOMPARE(record.entries().size(), 6);

        // An update at the new address asks for no picture the folder holds.
        m_moved.requests(true);
        JobSettings update = onlyNew(settings(JobSource::HiddenPane, d, &m_moved));
        update.targetFolder = "三页相册";
        update.albumAddress = AlbumAddressAtSite(record.albumAddress(), m_moved.base());
        r = run(update, update.albumAddress);
        QCOMPARE(r->report->alreadyThere, 6);
        QCOMPARE(m_moved.requests().value("pictures").toInt(), 0);
        QVERIFY(r->report->isWhole());
    }

    void onlyNewPictures()
    {
        QTemporaryDir save;
        const QString folder = save.path() + "/会长大的相册";
        auto again = [&] {
            m_modes.requests(true);
            return run(onlyNew(settings(JobSource::HiddenPane, save.path(), &m_modes)), albumUrl("8001", &m_modes));
        };
        // The first run finds no folder: everything is new.
        auto r = again();
        QVERIFY(r->report);
        QCOMPARE(r->report->saved, 6);
        QCOMPARE(r->report->mode, DownloadMode::OnlyNew);
        QVERIFY(QFile::exists(folder + "/" + AlbumRecord::fileName()));

        // Unchanged: the album pages and nothing else, nothing replaced.
        const QMap<QString, QByteArray> before = contents(folder);
        r = again();
        QCOMPARE(r->kinds(), QStringList(6, "AlreadyThere"));
        QCOMPARE(r->report->saved, 0);
        QCOMPARE(r->report->alreadyThere, 6);
        QJsonObject asked = m_modes.requests();
        QCOMPARE(asked.value("picturePages").toInt(), 0);
        QCOMPARE(asked.value("pictures").toInt(), 0);
        QCOMPARE(contents(folder), before);
        QCOMPARE(besideRecord(save.path()), QStringList{"会长大的相册"});

        // Grown, with a file of the user's where a new picture's name falls,
        // and one picture deleted by the user: the new ones and the deleted
        // one come, and the user's file stays.
        QCOMPARE(m_modes.grow("8001", 2), 8);
        QFile mine(folder + "/p8001008.jpg");
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("mine");
        mine.close();
        QVERIFY(QFile::remove(folder + "/p8001002.jpg"));
        r = again();
        QCOMPARE(r->report->saved, 3);
        QCOMPARE(r->report->alreadyThere, 5);
        asked = m_modes.requests();
        QCOMPARE(asked.value("picturePages").toInt(), 3);
        QCOMPARE(asked.value("pictures").toInt(), 3);
        QCOMPARE(fileBytes(folder + "/p8001008.jpg"), QByteArray("mine"));
        QCOMPARE(fileBytes(folder + "/p8001008(2).jpg"), siteBytes(m_modes.url("/pic/8001/8001008/p8001008.jpg")));
        QVERIFY(QFile::exists(folder + "/p8001002.jpg"));
        QCOMPARE(besideRecord(save.path()), QStringList{"会长大的相册"});

        // A torn last line (a crash while writing) costs nothing more.
        {
            QFile record(folder + "/" + AlbumRecord::fileName());
            QVERIFY(record.open(QIODevice::Append));
            record.write("{\"page\":\"http://127.0.0.1/photo/x\",\"pic");
        }
        r = again();
        QCOMPARE(r->report->saved, 0);
        QCOMPARE(r->report->alreadyThere, 8);
        QCOMPARE(m_modes.requests().value("pictures").toInt(), 0);

        // Without its record every file is the user's, also under a
        // picture's name: each picture is fetched, one with the same bytes
        // becomes the recorded picture, one with others takes a free name.
        QVERIFY(QFile::remove(folder + "/" + AlbumRecord::fileName()));
        const QMap<QString, QByteArray> theirs = contents(folder);
        r = again();
        QCOMPARE(r->report->saved, 1);
        QCOMPARE(r->report->alreadyThere, 7);
        asked = m_modes.requests();
        QCOMPARE(asked.value("pictures").toInt(), 8);
        QCOMPARE(fileBytes(folder + "/p8001008.jpg"), QByteArray("mine"));
        QCOMPARE(fileBytes(folder + "/p8001008(3).jpg"), siteBytes(m_modes.url("/pic/8001/8001008/p8001008.jpg")));
        for (auto it = theirs.cbegin(); it != theirs.cend(); ++it)
            QCOMPARE(fileBytes(folder + "/" + it.key()), it.value());
    }

    void killedJobWritesNothing()
    {
        QTemporaryDir save;
        auto r = run(settings(JobSource::BrowserPane, save.path(), &m_slow), albumUrl("7001", &m_slow), false);
        QVERIFY(QTest::qWaitFor([&] { return !r->job->pendingPictures().isEmpty(); }, 30000));
        // Discarded while a picture is on its way: the folder goes, nothing comes back.
        r->job->discard();
        QCOMPARE(r->job->state(), DownloadJob::State::Killed);
        QVERIFY(besideRecord(save.path()).isEmpty());
        QSignalSpy after(r->job.get(), &DownloadJob::pictureDone);
        // Any answer of the abandoned request would have arrived by the time a
        // later, slower request to the same site answers.
        loadSnapshot(m_session.manager(), m_slow.url("/test/slow?ms=800"));
        QCOMPARE(after.size(), 0);
        QVERIFY(!r->report);
        QVERIFY(besideRecord(save.path()).isEmpty());

        // The same with several pictures on their way at once.
        r = run(fast(settings(JobSource::HiddenPane, save.path(), &m_slow)), albumUrl("7001", &m_slow), false);
        QVERIFY(QTest::qWaitFor([&] { return r->job->pendingPictures().size() >= 2; }, 30000));
        r->job->discard();
        QVERIFY(besideRecord(save.path()).isEmpty());
        loadSnapshot(m_session.manager(), m_slow.url("/test/slow?ms=800"));
        QVERIFY(besideRecord(save.path()).isEmpty());
        QVERIFY(r->pictures.isEmpty());
    }
    // Pages without a picture, an expired login, and a job paused or stopped.

    void pagesWithoutAPictureAreCounted()
    {
        QTemporaryDir save;
        const auto r = run(settings(JobSource::BrowserPane, save.path(), &m_login), albumUrl("9002", &m_login));
        QVERIFY(r->report);
        // Skipped with the page's address; jpeg and png pictures are saved.
        QCOMPARE(r->kinds(), QStringList({"Saved", "Skipped", "Saved", "Saved"}));
        const PictureReport &skipped = r->pictures.at(1);
        QVERIFY(skipped.noPictureAddress);
        QCOMPARE(skipped.address, m_login.url("/photo/" + Member + "/photo-9002002"));
        QVERIFY(!r->pictures.at(0).noPictureAddress && !r->pictures.at(2).noPictureAddress);
        QCOMPARE(r->report->noPictureAddress, 1);
        QCOMPARE(r->report->saved, 3);
        QCOMPARE(r->report->failed, 0);
        // A picture missing from its page keeps the album from being whole,
        // and its record from saying so.
        QVERIFY(!r->report->isWhole());
        QCOMPARE(AlbumRecord::load(save.path() + "/没有图片的页").state(), AlbumRecord::State::InProgress);
        QCOMPARE(besideRecord(save.path() + "/没有图片的页"), QStringList({"b.jpeg", "c.png", "p9002001.jpg"}));
    }

    void anExpiredLoginEndsTheJob_data()
    {
        QTest::addColumn<JobSource>("source");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("after");   // album and picture pages answered before it
        QTest::addColumn<int>("inFlight");
        // The album has three pages of two pictures: after five pages the
        // third picture page meets the login; after one, the second album page.
        for (const char *answer : {"form", "redirect", "403", "401"})
            QTest::addRow("picture page, %s", answer) << JobSource::HiddenPane << QString(answer) << 5 << 1;
        QTest::addRow("picture page, several at once") << JobSource::BrowserPane << QString("form") << 5 << 4;
        for (const char *answer : {"form", "redirect", "403"})
            QTest::addRow("album page, %s", answer) << JobSource::BrowserPane << QString(answer) << 1 << 1;
        QTest::addRow("album page, member list") << JobSource::HiddenPane << QString("form") << 1 << 1;
    }
    void anExpiredLoginEndsTheJob()
    {
        QFETCH(JobSource, source);
        QFETCH(QString, answer);
        QFETCH(int, after);
        QFETCH(int, inFlight);
        QTemporaryDir save;
        m_login.requests(true);
        QVERIFY(!m_login.get(QString("/test/expire?after=%1&answer=%2").arg(after).arg(answer)).isEmpty());
        const auto r = run(fast(settings(source, save.path(), &m_login), inFlight), albumUrl("9001", &m_login));
        const QJsonObject asked = m_login.requests();
        // Renewed for whatever runs next.
        m_login.get("/login?user=tester");
        QVERIFY(r->report);

        // Said so, not whole, nothing failed, and the rest counted as not downloaded.
        QCOMPARE(r->report->haltedBy, HaltReason::LoginExpired);
        QVERIFY(!r->report->loginPage.isEmpty());
        QVERIFY(!r->report->isWhole());
        QCOMPARE(r->report->failed, 0);
        QVERIFY(!r->kinds().contains("Failed"));
        // An album page that asks for the login is no page that merely failed.
        QVERIFY(r->stopped.isEmpty());
        const bool albumPage = after == 1;
        const int collected = albumPage ? 2 : 6;
        QCOMPARE(r->collectedCounts.constLast(), collected);
        QCOMPARE(r->report->saved + r->report->notDownloaded, collected);
        QCOMPARE(besideRecord(save.path() + "/" + r->report->folderName).size(), r->report->saved);

        // Nothing more was asked of the site.
        if (albumPage) {
            QCOMPARE(r->loaded, QStringList{albumUrl("9001", &m_login) + "?curpage=2"});
            QCOMPARE(asked.value("picturePages").toInt(), 0);
            QCOMPARE(r->report->saved, 0);
        } else if (inFlight == 1) {
            QCOMPARE(asked.value("picturePages").toInt(), 3);
            QCOMPARE(asked.value("pictures").toInt(), 2);
            QCOMPARE(r->report->saved, 2);
        } else {
            // Four at once, and each picture that came in before the login
            // was met made room for one more page; none after it.
            QVERIFY(r->report->saved <= 2);
            QVERIFY2(asked.value("picturePages").toInt() <= 4 + r->report->saved,
                     qPrintable(QString::number(asked.value("picturePages").toInt())));
        }
    }

    void anExpiredLoginCanPauseInstead()
    {
        QTemporaryDir save;
        m_login.requests(true);
        QVERIFY(!m_login.get("/test/expire?after=5&answer=redirect").isEmpty());
        JobSettings s = settings(JobSource::HiddenPane, save.path(), &m_login);
        s.pauseOnExpiredLogin = true;
        const auto r = run(s, albumUrl("9001", &m_login), false);
        QSignalSpy paused(r->job.get(), &DownloadJob::paused);
        QTRY_VERIFY_WITH_TIMEOUT(r->job->isPaused(), 30000);
        QCOMPARE(r->job->pausedBy(), HaltReason::LoginExpired);
        QCOMPARE(paused.size(), 1);
        QCOMPARE(paused.at(0).at(1).toString(), m_login.url("/photo/" + Member + "/photo-9001003"));
        QTRY_COMPARE(r->job->inFlight(), 0);

        // It waits without asking anything, and the picture that met the
        // login is no failure.
        const QJsonObject atPause = m_login.requests();
        QCOMPARE(atPause.value("pictures").toInt(), 2);
        loadSnapshot(m_session.manager(), m_login.url("/test/slow?ms=300"));
        QCOMPARE(m_login.requests().value("picturePages"), atPause.value("picturePages"));
        QCOMPARE(r->kinds(), QStringList(2, "Saved"));
        QVERIFY(!r->report);

        // Logged in again, it goes on and ends whole, every picture fetched once.
        m_login.get("/login?user=tester");
        r->job->resume();
        QTRY_VERIFY_WITH_TIMEOUT(r->report.has_value(), 30000);
        QCOMPARE(r->kinds(), QStringList(6, "Saved"));
        QVERIFY(r->report->isWhole());
        QCOMPARE(r->report->haltedBy, HaltReason::None);
        QCOMPARE(m_login.requests().value("pictures").toInt(), 6);
        QCOMPARE(besideRecord(save.path() + "/会过期的相册").size(), 6);
    }

    void anAlbumPageThatNeverLoadsEndsCollection()
    {
        QTemporaryDir save;
        JobSettings s = settings(JobSource::BrowserPane, save.path(), &m_login);
        s.pageLoadTimeoutMs = 300;
        // The pane is sent to the second page, which never completes.
        auto r = started(s);
        const QString next = r->job->pageLoaded(loadSnapshot(m_session.manager(), albumUrl("9001", &m_login)));
        QVERIFY(!next.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(r->report.has_value(), 10000);
        QCOMPARE(r->stopped.size(), 1);
        QCOMPARE(r->stopped.first().why, CollectionStop::Why::PageTimedOut);
        QCOMPARE(r->stopped.first().address, next);
        QCOMPARE(r->stopped.first().page, 2);
        QCOMPARE(r->stopped.first().seconds, 1);
        QVERIFY(r->report->collectionStop == r->stopped.first());
        QCOMPARE(r->report->saved, 2);
        QVERIFY(!r->report->isWhole());

        // Nor does a member-list album whose first page never comes hold the job.
        s = settings(JobSource::HiddenPane, save.path(), &m_login);
        s.pageLoadTimeoutMs = 300;
        r = started(s);
        QTRY_VERIFY_WITH_TIMEOUT(r->report.has_value(), 10000);
        QCOMPARE(r->stopped.size(), 1);
        QCOMPARE(r->report->saved, 0);
    }

    void pauseSendsNothingUntilResumed()
    {
        // Several at once: the second picture page is still being asked
        // again when the first picture arrives and the job is paused.
        for (const int inFlight : {1, 4}) {
            QTemporaryDir save;
            m_paced.requests(true);
            JobSettings s = fast(settings(JobSource::HiddenPane, save.path(), &m_paced), inFlight);
            s.requests.retry.delaysMs = {300};
            // One at a time, the next picture would be due well after the pause.
            if (inFlight == 1)
                s.pauseMs = 300;
            const auto r = run(s, albumUrl(inFlight == 1 ? "9101" : "9102", &m_paced), false);
            DownloadJob *job = r->job.get();
            QSignalSpy paused(job, &DownloadJob::paused);
            bool once = false;
            QJsonObject atPause;
            connect(job, &DownloadJob::pictureDone, job, [&] {
                if (std::exchange(once, true))
                    return;
                job->pause();
                QTimer::singleShot(0, job, [&] { atPause = m_paced.requests(); });
            });
            QTRY_VERIFY_WITH_TIMEOUT(job->isPaused() && !atPause.isEmpty(), 30000);
            // What is in flight finishes; then nothing is asked while paused.
            QTRY_COMPARE(job->inFlight(), 0);
            const qsizetype done = r->pictures.size();
            loadSnapshot(m_session.manager(), m_paced.url("/test/slow?ms=400"));
            const QJsonObject later = m_paced.requests();
            QCOMPARE(later.value("pictures"), atPause.value("pictures"));
            // Only a page in flight may still be asked again.
            const int retried = inFlight == 1 ? 0 : 1;
            QVERIFY(later.value("picturePages").toInt() - atPause.value("picturePages").toInt() <= retried);
            QCOMPARE(r->pictures.size(), done);
            QVERIFY2(done < 6, qPrintable(QString::number(done)));
            QCOMPARE(paused.size(), 1);
            QCOMPARE(paused.at(0).at(0).value<HaltReason>(), HaltReason::User);
            QVERIFY(!r->report);

            // Resumed, it ends the album with every picture once.
            job->resume();
            QTRY_VERIFY_WITH_TIMEOUT(r->report.has_value(), 30000);
            QCOMPARE(r->kinds(), QStringList(6, "Saved"));
            QVERIFY(r->report->isWhole());
            const QJsonObject asked = m_paced.requests();
            QCOMPARE(asked.value("pictures").toInt(), 6);
            QCOMPARE(asked.value("picturePages").toInt(), 6 + retried);
            QCOMPARE(besideRecord(save.path() + "/慢慢来").size(), 6);
        }
    }

    void stopKeepsWhatWasSaved()
    {
        for (const int inFlight : {1, 4}) {
            QTemporaryDir save;
            const auto r = run(fast(settings(JobSource::HiddenPane, save.path(), &m_paced), inFlight),
                               albumUrl("9101", &m_paced), false);
            DownloadJob *job = r->job.get();
            connect(job, &DownloadJob::pictureDone, job, [&] {
                if (r->pictures.size() == 2)
                    job->stop();
            });
            QTRY_VERIFY_WITH_TIMEOUT(r->report.has_value(), 30000);
            QCOMPARE(r->report->haltedBy, HaltReason::User);
            QVERIFY(!r->report->isWhole());
            QCOMPARE(r->report->failed, 0);
            QCOMPARE(r->report->saved + r->report->notDownloaded, 6);
            if (inFlight == 1)
                QCOMPARE(r->report->saved, 2);
            QVERIFY(r->report->saved >= 2);
            // Only whole pictures, every one of them reported as saved.
            const QStringList files = besideRecord(save.path() + "/" + r->report->folderName);
            QCOMPARE(files.size(), r->report->saved);
            QCOMPARE(r->kinds(), QStringList(r->report->saved, "Saved"));
            // Cancelled transfers never come back.
            const QJsonObject atEnd = m_paced.requests();
            loadSnapshot(m_session.manager(), m_paced.url("/test/slow?ms=300"));
            QCOMPARE(m_paced.requests().value("pictures"), atEnd.value("pictures"));
            QCOMPARE(besideRecord(save.path() + "/" + r->report->folderName), files);
        }
    }

    void aNameFromTheSiteNeverTakesAFolder()
    {
        QTemporaryDir save;
        const QString d = save.path();
        // A folder of the user's, and a temporary folder of an earlier run
        // that holds pictures, carry the titles of two albums.
        QVERIFY(QDir(d).mkdir("Documents") && QDir(d).mkdir("相册文件夹1"));
        writeFile(d + "/Documents/letter.txt", "mine");
        writeFile(d + "/相册文件夹1/p1.jpg", "earlier");
        auto r = run(settings(JobSource::BrowserPane, d), albumUrl("6050"));
        QVERIFY(r->report);
        QCOMPARE(r->report->folderName, QString("Documents (2)"));
        QVERIFY(r->report->nameTaken);
        QCOMPARE(besideRecord(d + "/Documents"), QStringList{"letter.txt"});
        QVERIFY(!QFile::exists(d + "/Documents/" + AlbumRecord::fileName()));
        QCOMPARE(besideRecord(d + "/Documents (2)").size(), 2);
        r = run(settings(JobSource::HiddenPane, d), albumUrl("6051"));
        QCOMPARE(r->report->folderName, QString("相册文件夹1 (2)"));
        QCOMPARE(contents(d + "/相册文件夹1"), (QMap<QString, QByteArray>{{"p1.jpg", "earlier"}}));
        QCOMPARE(besideRecord(d + "/相册文件夹1 (2)").size(), 2);

        // Every folder filled carries the record of its album.
        const AlbumRecord record = AlbumRecord::load(d + "/相册文件夹1 (2)");
        QVERIFY(record.namesAlbum({albumUrl("6051")}));
        QCOMPARE(record.state(), AlbumRecord::State::Finished);
        QCOMPARE(record.title(), QString("相册文件夹1"));
        QCOMPARE(record.entries().size(), 2);
        QCOMPARE(record.entries().at(0).file, generated("6051", 1).section('/', -1));

        // Only new pictures find the album by its record, not by its title.
        r = run(onlyNew(settings(JobSource::HiddenPane, d)), albumUrl("6051"));
        QCOMPARE(r->report->folderName, QString("相册文件夹1 (2)"));
        QCOMPARE(r->report->alreadyThere, 2);
        QCOMPARE(besideRecord(d + "/相册文件夹1"), QStringList{"p1.jpg"});

        // A same-named folder without a record is added to (nothing in it
        // replaced) and adopted; one of another album is not touched.
        QVERIFY(QDir(d).mkdir("同名相册"));
        writeFile(d + "/同名相册/p6053001.jpg", "mine");
        r = run(onlyNew(settings(JobSource::BrowserPane, d)), albumUrl("6053"));
        QCOMPARE(r->report->folderName, QString("同名相册"));
        QCOMPARE(fileBytes(d + "/同名相册/p6053001.jpg"), QByteArray("mine"));
        QVERIFY(QFile::exists(d + "/同名相册/p6053001(2).jpg"));
        QCOMPARE(besideRecord(d + "/同名相册").size(), 4);
        QVERIFY(AlbumRecord::load(d + "/同名相册").namesAlbum({albumUrl("6053")}));
        const QMap<QString, QByteArray> adopted = contents(d + "/同名相册");
        r = run(onlyNew(settings(JobSource::BrowserPane, d)), albumUrl("6052"));
        QCOMPARE(r->report->folderName, QString("同名相册 (2)"));
        QCOMPARE(contents(d + "/同名相册"), adopted);
    }

    void twoAlbumsOfOneTitleAreBothKept()
    {
        QTemporaryDir save;
        const QString d = save.path();
        auto first = run(settings(JobSource::HiddenPane, d), albumUrl("6052"));
        auto second = run(settings(JobSource::HiddenPane, d), albumUrl("6053"));
        QVERIFY(first->report && second->report);
        QCOMPARE(first->report->folderName, QString("同名相册"));
        QCOMPARE(second->report->folderName, QString("同名相册 (2)"));
        QCOMPARE(besideRecord(d + "/同名相册").size(), 2);
        QCOMPARE(besideRecord(d + "/同名相册 (2)").size(), 3);
        // The first album again replaces its own copy, not the other one.
        auto again = run(settings(JobSource::BrowserPane, d), albumUrl("6052"));
        QCOMPARE(again->report->folderName, QString("同名相册"));
        QVERIFY(again->report->replacedEarlier);
        QCOMPARE(besideRecord(d), QStringList({"同名相册", "同名相册 (2)"}));
        QCOMPARE(besideRecord(d + "/同名相册 (2)").size(), 3);
    }

    void earlierAlbumIsReplacedOnlyByAWholeOne()
    {
        QTemporaryDir save;
        const QString d = save.path();
        const QString album = albumUrl("7001", &m_slow);
        auto r = run(settings(JobSource::HiddenPane, d, &m_slow), album);
        QVERIFY(r->report && r->report->whole);
        QCOMPARE(r->report->folderName, QString("慢相册"));
        writeFile(d + "/慢相册/notes.txt", "mine");
        const QMap<QString, QByteArray> earlier = contents(d + "/慢相册");

        // Every picture times out: the earlier copy stays as it was, the new
        // pictures' folder takes a free name beside it and the report says both.
        JobSettings failing = settings(JobSource::HiddenPane, d, &m_slow);
        failing.requests.timeoutMs = 100;
        failing.requests.retry.delaysMs = {};
        r = run(failing, album);
        QVERIFY(r->report);
        QVERIFY(!r->report->whole);
        QCOMPARE(r->report->earlierKept, QString("慢相册"));
        QVERIFY(!r->report->nameTaken);
        QCOMPARE(r->report->folderName, QString("慢相册 (2)"));
        QCOMPARE(contents(d + "/慢相册"), earlier);

        // A whole download replaces it, and the user's file comes along.
        r = run(settings(JobSource::BrowserPane, d, &m_slow), album);
        QVERIFY(r->report && r->report->whole);
        QVERIFY(r->report->replacedEarlier);
        QVERIFY(r->report->problems.isEmpty());
        QCOMPARE(r->report->folderName, QString("慢相册"));
        QCOMPARE(besideRecord(d), QStringList({"慢相册", "慢相册 (2)"}));
        QCOMPARE(fileBytes(d + "/慢相册/notes.txt"), QByteArray("mine"));
        QCOMPARE(besideRecord(d + "/慢相册").size(), 4);
        QVERIFY(AlbumRecord::load(d + "/慢相册").namesAlbum({album}));
    }

    void linkedSaveFolderAndLongTitle()
    {
        QTemporaryDir outer, real;
        const QString save = outer.path() + "/save";
        QVERIFY(QFile::link(real.path(), save));
        auto r = run(settings(JobSource::BrowserPane, save), albumUrl("6054"));
        QVERIFY(r->report);
        QVERIFY(!r->report->folderGone);
        const QString name = AlbumFolderName(LongTitle);
        QVERIFY(name.size() > 50 && LongTitle.startsWith(name));
        QCOMPARE(r->report->folderName, name);
        QCOMPARE(besideRecord(real.path()), QStringList{name});
        QCOMPARE(besideRecord(real.path() + "/" + name).size(), 1);
        // A second copy of another album of that title still finds a name.
        QVERIFY(QDir(real.path()).rename(name, "moved"));
        QVERIFY(QDir(real.path()).mkdir(name));
        r = run(settings(JobSource::BrowserPane, save), albumUrl("6054"));
        QCOMPARE(r->report->folderName, NumberedFolderName(name, 2));
    }

    void aCrashDuringAReplacementIsRecovered()
    {
        QTemporaryDir save;
        const QString d = save.path();
        const QString aside = AsideFolderName("三页相册");
        auto moveAside = [&] {
            return AlbumRecord::appendLine(d + "/三页相册", QJsonObject{{"asideFrom", "三页相册"}})
                && QDir(d).rename("三页相册", aside);
        };
        QVERIFY(run(settings(JobSource::HiddenPane, d), albumUrl("6001"))->report);
        // Crashed after the earlier copy went aside: it comes back.
        QVERIFY(moveAside());
        QVERIFY(AlbumFolder::recover(d).isEmpty());
        QCOMPARE(besideRecord(d), QStringList{"三页相册"});
        QCOMPARE(besideRecord(d + "/三页相册").size(), 6);

        // Crashed after the new copy took the name: the aside copy goes, and
        // what the user had put in it moves over.
        QVERIFY(moveAside());
        writeFile(d + "/" + aside + "/notes.txt", "mine");
        QVERIFY(run(settings(JobSource::HiddenPane, d), albumUrl("6001"))->report);
        QCOMPARE(besideRecord(d), QStringList({aside, "三页相册"}));
        QVERIFY(AlbumFolder::recover(d).isEmpty());
        QCOMPARE(besideRecord(d), QStringList{"三页相册"});
        QCOMPARE(fileBytes(d + "/三页相册/notes.txt"), QByteArray("mine"));
        QCOMPARE(besideRecord(d + "/三页相册").size(), 7);

        // The album's name taken meanwhile by a folder of the user's: both stay.
        QVERIFY(moveAside());
        QVERIFY(QDir(d).mkdir("三页相册"));
        writeFile(d + "/三页相册/mine.txt", "mine");
        QVERIFY(AlbumFolder::recover(d).isEmpty());
        QCOMPARE(besideRecord(d + "/三页相册"), QStringList{"mine.txt"});
        QCOMPARE(besideRecord(d + "/" + aside).size(), 7);
        QVERIFY(QDir(d + "/" + aside).removeRecursively());

        // A folder only named like one left aside, without the record that
        // says so, is not Quillmoor's to touch.
        QVERIFY(QDir(d).mkdir(aside));
        writeFile(d + "/" + aside + "/x.txt", "x");
        AlbumFolder::recover(d);
        QCOMPARE(besideRecord(d + "/" + aside), QStringList{"x.txt"});
    }

    void oneAlbumOneJob()
    {
        QTemporaryDir save;
        const QString d = save.path();
        const QString album = albumUrl("7001", &m_slow);
        // A job working on the album holds it: a second one leaves it alone.
        auto first = run(settings(JobSource::HiddenPane, d, &m_slow), album, false);
        auto second = run(settings(JobSource::BrowserPane, d, &m_slow), album);
        QVERIFY(second->report);
        QVERIFY(second->report->busy);
        QVERIFY(second->pictures.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return first->report.has_value(); }, 60000));
        QVERIFY(!first->report->busy);
        QCOMPARE(besideRecord(d), QStringList{"慢相册"});
        QCOMPARE(besideRecord(d + "/慢相册").size(), 3);
        // So does another process's lock, until it is given up.
        QLockFile other(AlbumLockPath(d, album));
        QVERIFY(other.tryLock(0));
        auto r = run(settings(JobSource::HiddenPane, d, &m_slow), album);
        QVERIFY(r->report && r->report->busy);
        other.unlock();
        r = run(settings(JobSource::HiddenPane, d, &m_slow), album);
        QVERIFY(r->report && !r->report->busy && r->report->replacedEarlier);
        QCOMPARE(besideRecord(d), QStringList{"慢相册"});
    }
};

QTEST_GUILESS_MAIN(TestDownloadJob)
#include "tst_downloadjob.moc"
