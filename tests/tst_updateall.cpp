// Bringing recorded albums up to date on the core alone: folders made by an
// earlier run against the demo site, then the site changes, then one update.
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumqueue.h"
#include "download/albumrecord.h"
#include "download/jobrules.h"
#include "download/recordedalbums.h"
#include "pageloader.h"
#include "web/networksession.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int QueueTimeout = 60000;

QByteArray seed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "7001", "name": "长大的相册", "pages": 1, "perPage": 3 },
    { "id": "7002", "name": "旧名字", "pages": 1, "perPage": 2 },
    { "id": "7003", "name": "不变的相册", "pages": 2, "perPage": 2 },
    { "id": "7004", "name": "被删的相册", "pages": 1, "perPage": 2 }
  ] } ]
})";
}

// Every entry of a folder with a digest of its bytes: equal before and after
// means the folder was left exactly as it was.
QStringList fingerprint(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        out << QDir(folder).relativeFilePath(path) + ' '
                + QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    }
    out.sort();
    return out;
}

QStringList pictures(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    names.removeAll(AlbumRecord::fileName());
    return names;
}

std::optional<AlbumQueue::Report> runToEnd(AlbumQueue *queue)
{
    std::optional<AlbumQueue::Report> report;
    QObject::connect(queue, &AlbumQueue::finished, queue, [&](const AlbumQueue::Report &r) { report = r; });
    if (!QTest::qWaitFor([&] { return report.has_value(); }, QueueTimeout))
        return std::nullopt;
    return report;
}

const AlbumQueue::Album *albumIn(const AlbumQueue::Report &report, const QString &folder)
{
    for (const AlbumQueue::Album &album : report.albums)
        if (album.targetFolder == folder)
            return &album;
    return nullptr;
}

} // namespace

class TestUpdateAll : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{seed()};
    NetworkSession m_session;

    static QString albumUrl(const DemoSite &site, const QString &id)
    {
        return site.url("/photo/" + Member + "/album-" + id);
    }

    JobSettings settings(const DemoSite &site, const QString &saveFolder) const
    {
        JobSettings s;
        s.source = JobSource::HiddenPane;
        s.saveFolder = saveFolder;
        s.photoHostBase = site.base();
        s.network = m_session.manager();
        s.requests.timeoutMs = 5000;
        s.requests.retry.delaysMs = {50, 100};
        s.pauseMs = 0;
        // An update fetches only new pictures whatever the setting says.
        s.mode = DownloadMode::ReplaceAll;
        return s;
    }

    // The folders an earlier run of the member list leaves behind.
    bool firstRun(const DemoSite &site, const QString &saveFolder, const QStringList &ids)
    {
        TestPageSource source(m_session.manager());
        QList<AlbumQueue::Album> albums;
        for (const QString &id : ids)
            albums.append({id, albumUrl(site, id), {}});
        AlbumQueue queue(settings(site, saveFolder), &source, albums);
        if (!queue.start())
            return false;
        const auto report = runToEnd(&queue);
        return report && report->failed == 0 && report->done == ids.size();
    }

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }

    void recordsListedAsAlbums()
    {
        QTemporaryDir save;
        const QString root = save.path();
        const auto record = [&](const QString &name, const QString &address) {
            QDir(root).mkpath(name);
            AlbumRecord r;
            r.setAlbumAddress(address);
            r.setFirstPage(address + "?curpage=1");
            r.setTitle(name + " 标题");
            r.setState(AlbumRecord::State::Finished);
            r.add({"http://x/photo/1/photo-1", "http://x/pic/1.jpg", "1.jpg"});
            r.add({"http://x/photo/1/photo-2", "http://x/pic/2.jpg", "2.jpg"});
            return r.save(root + '/' + name);
        };
        QVERIFY(record("相册乙", "http://x/photo/1/album-2"));
        QVERIFY(record("相册甲", "http://x/photo/1/album-1"));
        // A folder set aside is Quillmoor's working folder, and the folder of
        // a job at work (its album's lock held) is the job's: not albums. A
        // numbered folder a job left behind is an album like any other.
        QVERIFY(record(TempFolderBaseName + "3", "http://x/photo/1/album-3"));
        const auto atWork = TryLock(AlbumLockPath(root, "http://x/photo/1/album-3"));
        QVERIFY(atWork);
        QVERIFY(record(TempFolderBaseName + "4", "http://x/photo/1/album-4"));
        QVERIFY(record(AsideFolderName("相册甲"), "http://x/photo/1/album-1"));
        // A folder of the user's carries no record; a link is not followed.
        QVERIFY(QDir(root).mkpath("用户的文件夹"));
        QVERIFY(QFile::link(root + "/相册甲", root + "/链接"));
        // Saved before records named the album: listed, not updatable.
        QVERIFY(QDir(root).mkpath("旧相册"));
        QFile legacy(root + "/旧相册/" + AlbumRecord::legacyFileName());
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write(QJsonDocument(QJsonObject{{"pictures", QJsonArray{QJsonObject{
            {"page", "http://x/photo/1/photo-9"}, {"picture", "http://x/pic/9.jpg"}, {"file", "9.jpg"}}}}}).toJson());
        legacy.close();

        const QList<RecordedAlbum> albums = RecordedAlbums(root);
        QStringList names;
        for (const RecordedAlbum &a : albums)
            names << a.folder;
        QCOMPARE(names, QStringList({"旧相册", "相册乙", TempFolderBaseName + "4", "相册甲"}));
        QCOMPARE(albums.at(0).pictures, 1);
        QVERIFY(!albums.at(0).updatable());
        const RecordedAlbum &a = albums.at(3);
        QVERIFY(a.updatable());
        QCOMPARE(a.address, QString("http://x/photo/1/album-1"));
        QCOMPARE(a.firstPage, QString("http://x/photo/1/album-1?curpage=1"));
        QCOMPARE(a.title, QString("相册甲 标题"));
        QCOMPARE(a.pictures, 2);
        QCOMPARE(a.state, AlbumRecord::State::Finished);
        QVERIFY(qAbs(a.lastUpdate.secsTo(QDateTime::currentDateTime())) < 60);
        QVERIFY(RecordedAlbums(root + "/没有这个文件夹").isEmpty());
    }

    void goneAlbumPages()
    {
        const QString base = "http://127.0.0.1:1";
        const QString album = base + "/photo/1/album-1";
        const PageLink picture{base + "/photo/1/photo-11", base + "/photo/1/photo-11", "图"};
        PageSnapshot page{album, AlbumTitlePrefix + "相册", {picture}};
        QVERIFY(!IsAlbumGonePage(page, base));
        // An album emptied by its owner still shows the album's title.
        page.links.clear();
        QVERIFY(!IsAlbumGonePage(page, base));
        // A page the site shows instead of the album: no title, no pictures.
        page.title = "Kestrelnet Kampus";
        QVERIFY(IsAlbumGonePage(page, base));
        page.links = {picture};
        QVERIFY(!IsAlbumGonePage(page, base));

        PageSnapshot failed{album, {}, {}, true, {WebReason::HttpStatus, {}, {}, 404}, 404};
        QVERIFY(IsAlbumGonePage(failed, base));
        failed.httpStatus = 410;
        QVERIFY(IsAlbumGonePage(failed, base));
        // A site that is down for a moment has not lost the album.
        failed.httpStatus = 503;
        QVERIFY(!IsAlbumGonePage(failed, base));
        failed.httpStatus = 0;
        QVERIFY(!IsAlbumGonePage(failed, base));
        // A login answer is an expired login, whatever else the page lacks.
        failed.httpStatus = 403;
        QVERIFY(!IsAlbumGonePage(failed, base));
        PageSnapshot login{base + "/login", "登录", {}, false, {}, 0, true};
        QVERIFY(!IsAlbumGonePage(login, base));
    }

    void grownRenamedUnchangedAndRemovedAlbums()
    {
        QTemporaryDir save;
        const QString root = save.path();
        QVERIFY(firstRun(m_site, root, {"7001", "7002", "7003", "7004"}));
        const QStringList before = subfolders(root);
        QCOMPARE(before, QStringList({"不变的相册", "旧名字", "被删的相册", "长大的相册"}));
        const QStringList unchanged = fingerprint(root + "/不变的相册");
        const QStringList removed = fingerprint(root + "/被删的相册");

        QCOMPARE(m_site.grow("7001", 2), 5);
        QCOMPARE(m_site.get("/test/album?album=7002&name=" + QUrl::toPercentEncoding("新名字")), QByteArray("changed"));
        QCOMPARE(m_site.grow("7002", 1), 3);
        QCOMPARE(m_site.get("/test/album?album=7004&status=404"), QByteArray("changed"));

        const QList<RecordedAlbum> recorded = RecordedAlbums(root);
        QCOMPARE(recorded.size(), 4);
        m_site.requests(true);
        TestPageSource source(m_session.manager());
        std::unique_ptr<AlbumQueue> queue(StartUpdateQueue(settings(m_site, root), &source, recorded, nullptr, nullptr));
        QVERIFY(queue);
        QCOMPARE(queue->settings().mode, DownloadMode::OnlyNew);
        const auto report = runToEnd(queue.get());
        QVERIFY(report);
        QCOMPARE(report->done, 4);

        // Only the new pictures were asked for: an unchanged album costs its
        // album pages alone.
        const QJsonObject requests = m_site.requests();
        QCOMPARE(requests.value("picturePages").toInt(), 3);
        QCOMPARE(requests.value("pictures").toInt(), 3);
        QCOMPARE(report->saved, 3);

        const AlbumQueue::Album *grown = albumIn(*report, "长大的相册");
        QVERIFY(grown && grown->report);
        QCOMPARE(grown->report->saved, 2);
        QCOMPARE(grown->report->alreadyThere, 3);
        QCOMPARE(grown->report->folderName, QString("长大的相册"));
        QCOMPARE(pictures(root + "/长大的相册").size(), 5);
        QCOMPARE(AlbumRecord::load(root + "/长大的相册").entries().size(), 5);

        // The new picture of a renamed album joins its folder; no folder
        // of the new name appears.
        const AlbumQueue::Album *renamed = albumIn(*report, "旧名字");
        QVERIFY(renamed && renamed->report);
        QCOMPARE(renamed->report->saved, 1);
        QCOMPARE(renamed->report->folderName, QString("旧名字"));
        QCOMPARE(pictures(root + "/旧名字").size(), 3);

        QCOMPARE(fingerprint(root + "/不变的相册"), unchanged);

        const AlbumQueue::Album *gone = albumIn(*report, "被删的相册");
        QVERIFY(gone && gone->report);
        QVERIFY(gone->report->albumGone);
        QCOMPARE(gone->report->goneStatus, 404);
        QVERIFY(!gone->report->isWhole());
        QCOMPARE(gone->report->saved, 0);
        QCOMPARE(fingerprint(root + "/被删的相册"), removed);
        // No temporary folder is left behind, and nothing new beside.
        QCOMPARE(subfolders(root), before);
    }

    void expiredLoginIsNoEmptyAlbum()
    {
        DemoSite site(seed());
        QVERIFY(site.start());
        QTemporaryDir save;
        const QString root = save.path();
        QVERIFY(firstRun(site, root, {"7001", "7003"}));
        const QStringList before = subfolders(root);
        const QStringList kept = fingerprint(root + "/长大的相册");
        QCOMPARE(site.grow("7001", 1), 4);
        QCOMPARE(site.get("/test/expire?after=0&answer=form"), QByteArray("expiring"));

        TestPageSource source(m_session.manager());
        std::unique_ptr<AlbumQueue> queue(
            StartUpdateQueue(settings(site, root), &source, RecordedAlbums(root), nullptr, nullptr));
        QVERIFY(queue);
        const auto report = runToEnd(queue.get());
        QVERIFY(report);
        const AlbumQueue::Album *album = albumIn(*report, "长大的相册");
        QVERIFY(album && album->report);
        QCOMPARE(album->report->haltedBy, HaltReason::LoginExpired);
        QVERIFY(!album->report->albumGone);
        QVERIFY(!album->report->isWhole());
        QCOMPARE(album->report->saved, 0);
        QCOMPARE(fingerprint(root + "/长大的相册"), kept);
        // Nothing came, so nothing is left behind either.
        QCOMPARE(subfolders(root), before);
    }
};

QTEST_GUILESS_MAIN(TestUpdateAll)
#include "tst_updateall.moc"
