// Queues of albums on the core alone: each album walked through a page source
// that reads the demo site's HTML, one job after another, to one report.
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumqueue.h"
#include "download/albumrecord.h"
#include "pageloader.h"
#include "web/networksession.h"

#include <QDir>
#include <QJsonObject>
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
    { "id": "6001", "name": "三页相册", "pages": 3, "perPage": 2 },
    { "id": "6002", "name": "单页相册", "pages": 1, "perPage": 3 },
    { "id": "6004", "name": "各种图片", "perPage": 3, "pictures": [
        { "id": "6004001", "kind": "gif" },
        { "id": "6004002" },
        { "id": "6004003", "status": 404 } ] },
    { "id": "6040", "name": "打不开", "pages": 1, "perPage": 2, "pageStatus": 500 },
    { "id": "6050", "name": "慢图相册", "perPage": 5, "pictures": [
        { "id": "6050001" },
        { "id": "6050002", "trickleMs": 3 },
        { "id": "6050003", "trickleMs": 1 },
        { "id": "6050004", "pageTrickleMs": 2 },
        { "id": "6050005" } ] }
  ] } ]
})";
}

// What a queue said, in the order it said it.
struct Watch {
    explicit Watch(AlbumQueue *queue)
    {
        QObject::connect(queue, &AlbumQueue::albumStarted, queue, [this](int i) { said << QStringLiteral("start %1").arg(i); });
        QObject::connect(queue, &AlbumQueue::collectionFinished, queue,
                         [this](int n) { said << QStringLiteral("collected %1").arg(n); });
        QObject::connect(queue, &AlbumQueue::collectionStopped, queue, [this](const CollectionStop &) { said << "stopped"; });
        QObject::connect(queue, &AlbumQueue::pictureDone, queue, [this](const PictureReport &p) {
            said << (p.kind == PictureReport::Kind::Saved ? "saved" : "failed");
        });
        QObject::connect(queue, &AlbumQueue::albumFinished, queue,
                         [this](int i, const JobReport &) { said << QStringLiteral("end %1").arg(i); });
        QObject::connect(queue, &AlbumQueue::finished, queue, [this](const AlbumQueue::Report &r) {
            said << "finished";
            report = r;
        });
    }
    QStringList said;
    std::optional<AlbumQueue::Report> report;
};

} // namespace

class TestAlbumQueue : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{seed()};
    NetworkSession m_session;

    QString albumUrl(const QString &id) const { return m_site.url("/photo/" + Member + "/album-" + id); }

    JobSettings settings(const QString &saveFolder, JobSource source = JobSource::HiddenPane) const
    {
        JobSettings s;
        s.source = source;
        s.saveFolder = saveFolder;
        s.photoHostBase = m_site.base();
        s.network = m_session.manager();
        s.requests.timeoutMs = 5000;
        s.requests.retry.delaysMs = {50, 100};
        s.pauseMs = 0;
        return s;
    }

    QList<AlbumQueue::Album> albums(const QStringList &ids) const
    {
        QList<AlbumQueue::Album> out;
        for (const QString &id : ids)
            out.append({QStringLiteral("相册") + id, albumUrl(id), {}});
        return out;
    }

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }

    void albumsOneAfterAnotherToOneReport()
    {
        QTemporaryDir save;
        TestPageSource source(m_session.manager());
        AlbumQueue queue(settings(save.path()), &source, albums({"6001", "6004", "6040", "6002"}));
        Watch watch(&queue);
        QVERIFY(queue.start());
        QVERIFY(queue.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(watch.report.has_value(), QueueTimeout);

        // Each album ends before the next begins; a page that does not load
        // ends its album early and the queue goes on.
        QCOMPARE(watch.said, QStringList({"start 0", "collected 6", "saved", "saved", "saved", "saved", "saved",
                                          "saved", "end 0", "start 1", "collected 3", "saved", "saved", "failed",
                                          "end 1",
                                          "start 2", "stopped", "collected 0", "end 2", "start 3", "collected 3",
                                          "saved", "saved", "saved", "end 3", "finished"}));
        // The source was asked for every page of each album in turn, and left
        // blank after the last: a blank load between albums would race the
        // next album's first page.
        QCOMPARE(source.loaded,
                 QStringList({albumUrl("6001"), albumUrl("6001") + "?curpage=2", albumUrl("6001") + "?curpage=3",
                              albumUrl("6004"), albumUrl("6040"), albumUrl("6002"), "about:blank"}));

        const AlbumQueue::Report &r = *watch.report;
        QCOMPARE(r.done, 4);
        QCOMPARE(r.saved, 6 + 2 + 0 + 3);
        QCOMPARE(r.failed, 1);
        QCOMPARE(r.stop, AlbumQueue::Stop::None);
        QCOMPARE(r.albums.size(), 4);
        QCOMPARE(r.albums.at(0).title, QString("相册6001"));
        QCOMPARE(r.albums.at(0).report->folderName, QString("三页相册"));
        QCOMPARE(r.albums.at(1).report->failed, 1);
        QVERIFY(!r.albums.at(2).report->collectionStop.isNone());
        QCOMPARE(r.albums.at(3).report->saved, 3);
        QCOMPARE(queue.state(), AlbumQueue::State::Finished);
        QCOMPARE(queue.saved(), r.saved);
        QCOMPARE(besideRecord(save.path() + "/三页相册").size(), 6);
        QCOMPARE(besideRecord(save.path() + "/单页相册").size(), 3);
    }

    void stoppedEarlyStillReportsWhatEnded()
    {
        // The first album cannot begin: nothing starts, nothing is said.
        QTemporaryDir save;
        TestPageSource source(m_session.manager());
        {
            AlbumQueue queue(settings(save.path() + "/不存在"), &source, albums({"6002"}));
            Watch watch(&queue);
            JobStartFailure failure;
            QVERIFY(!queue.start(&failure));
            QCOMPARE(failure.why, JobStartFailure::Why::NoFolder);
            QVERIFY(failure.folder.path.startsWith(save.path() + "/不存在"));
            QCOMPARE(queue.state(), AlbumQueue::State::Ready);
            QVERIFY(watch.said.isEmpty());
            QVERIFY(source.loaded.isEmpty());
        }

        // The save folder goes away after the first album: the second gets no
        // temporary folder, and the report still names the first and why the
        // queue ended there.
        AlbumQueue queue(settings(save.path()), &source, albums({"6002", "6001", "6004"}));
        Watch watch(&queue);
        const QString moved = save.path() + "-moved";
        connect(&queue, &AlbumQueue::albumFinished, this, [&](int index) {
            if (index == 0)
                QVERIFY(QDir().rename(save.path(), moved));
        });
        QVERIFY(queue.start());
        QTRY_VERIFY_WITH_TIMEOUT(watch.report.has_value(), QueueTimeout);
        QCOMPARE(watch.said.filter("start"), QStringList{"start 0"});
        QCOMPARE(watch.said.constLast(), QString("finished"));
        const AlbumQueue::Report &r = *watch.report;
        QCOMPARE(r.stop, AlbumQueue::Stop::NoTemporaryFolder);
        QCOMPARE(r.stopFailure.why, JobStartFailure::Why::NoFolder);
        QVERIFY2(r.stopFailure.folder.path.startsWith(save.path()), qPrintable(r.stopFailure.folder.path));
        QCOMPARE(r.done, 1);
        QCOMPARE(r.saved, 3);
        QCOMPARE(r.albums.at(0).report->folderName, QString("单页相册"));
        QVERIFY(!r.albums.at(1).report && !r.albums.at(2).report);
        QCOMPARE(queue.state(), AlbumQueue::State::Finished);
        QCOMPARE(besideRecord(moved + "/单页相册").size(), 3);
        QVERIFY(QDir().rename(moved, save.path()));
    }

    void killedWhileAnAlbumEndsStartsNoOther()
    {
        QTemporaryDir save;
        TestPageSource source(m_session.manager());
        AlbumQueue queue(settings(save.path()), &source, albums({"6002", "6001"}));
        Watch watch(&queue);
        connect(&queue, &AlbumQueue::albumFinished, this, [&] { queue.kill(); });
        QVERIFY(queue.start());
        QTRY_VERIFY_WITH_TIMEOUT(watch.said.contains("end 0"), QueueTimeout);
        // Any later page or picture would have answered by the time the site
        // answers one more request.
        QVERIFY(!loadSnapshot(m_session.manager(), albumUrl("6002")).failed);
        QTest::qWait(0);
        QCOMPARE(watch.said.constLast(), QString("end 0"));
        QCOMPARE(queue.state(), AlbumQueue::State::Killed);
        QCOMPARE(besideRecord(save.path()), QStringList{"单页相册"});
    }

    void stopLetsThePicturesInFlightIn_data()
    {
        QTest::addColumn<QStringList>("ids");
        // In a queue the pictures on their way are still saved, and one that
        // comes in starts nothing new; the picture page on its way is read,
        // but its picture is not asked for.
        QTest::newRow("queue") << QStringList{"6050", "6002"};
        // A single album ends at once: the picture on its way is cancelled.
        QTest::newRow("one album") << QStringList{"6050"};
    }

    void stopLetsThePicturesInFlightIn()
    {
        QFETCH(QStringList, ids);
        const bool queued = ids.size() > 1;
        QTemporaryDir save;
        TestPageSource source(m_session.manager());
        JobSettings s = settings(save.path());
        s.maxInFlight = 3;
        AlbumQueue queue(s, &source, albums(ids));
        Watch watch(&queue);
        m_site.requests(true);
        QVERIFY(queue.start());

        // Stopped while the second and third pictures trickle in (the third
        // comes first, the second last) and the fourth picture's page does
        // too: the first is in, the fourth's picture not yet asked for.
        const QString slowPicture = m_site.url("/pic/6050/6050002/p6050002.jpg");
        const QStringList trickling{slowPicture, m_site.url("/pic/6050/6050003/p6050003.jpg")};
        QTRY_VERIFY_WITH_TIMEOUT(queue.currentJob()->pendingPictures() == trickling
                                     && queue.currentJob()->inFlight() == 3,
                                 QueueTimeout);
        queue.stop();
        QVERIFY(!queue.canStop() && !queue.canPause() && !queue.canResume());
        QTRY_VERIFY_WITH_TIMEOUT(watch.report.has_value(), QueueTimeout);
        // Any further request would have reached the site by the time it
        // answers one more.
        QVERIFY(!loadSnapshot(m_session.manager(), albumUrl("6002")).failed);
        QTest::qWait(0);
        QCOMPARE(watch.said.count("finished"), 1);
        QCOMPARE(watch.said.constLast(), QString("finished"));
        QCOMPARE(watch.said.filter("start"), QStringList{"start 0"});

        const QJsonObject asked = m_site.requests();
        QCOMPARE(asked.value("albumPages").toInt(), 1 + 1);
        QCOMPARE(asked.value("picturePages").toInt(), 4);
        QCOMPARE(asked.value("pictures").toInt(), 3);

        const AlbumQueue::Report &r = *watch.report;
        QCOMPARE(r.stop, AlbumQueue::Stop::ByUser);
        QCOMPARE(r.done, 1);
        const JobReport &album = *r.albums.at(0).report;
        QCOMPARE(album.haltedBy, HaltReason::User);
        QVERIFY(!album.isWhole());
        const int saved = queued ? 3 : 1;
        QCOMPARE(album.saved, saved);
        QCOMPARE(album.notDownloaded, 5 - saved);
        QCOMPARE(r.saved, saved);
        QCOMPARE(watch.said.count("saved"), saved);
        if (queued)
            QVERIFY(!r.albums.at(1).report);

        // Named and recorded as usual; the record says the album stopped.
        const QString folder = save.path() + "/慢图相册";
        const QStringList files = QStringList{"p6050001.jpg", "p6050002.jpg", "p6050003.jpg"}.mid(0, saved);
        QCOMPARE(besideRecord(folder), files);
        const AlbumRecord record = AlbumRecord::load(folder);
        QCOMPARE(record.state(), AlbumRecord::State::Stopped);
        QStringList recorded;
        for (const AlbumRecord::Entry &entry : record.entries())
            recorded << entry.file;
        QCOMPARE(recorded, files);
        QCOMPARE(besideRecord(save.path()), QStringList{"慢图相册"});
    }

    void albumOnShowIsNotLoadedAgain()
    {
        // A pane shows the album already: a one-page album needs nothing more
        // of it and the pane keeps the album on show.
        QTemporaryDir save;
        TestPageSource source(m_session.manager());
        const JobSettings pane = settings(save.path(), JobSource::BrowserPane);
        AlbumQueue one(pane, &source, albums({"6002"}));
        Watch watchOne(&one);
        QString error;
        QVERIFY(one.startFromShownPage(loadSnapshot(m_session.manager(), albumUrl("6002"))));
        QVERIFY(one.readFromShownPage());
        QTRY_VERIFY_WITH_TIMEOUT(watchOne.report.has_value(), QueueTimeout);
        QVERIFY(source.loaded.isEmpty());
        QCOMPARE(watchOne.report->saved, 3);

        // A longer album goes on from its second page, and the source is left
        // blank after its last.
        AlbumQueue three(pane, &source, albums({"6001"}));
        Watch watchThree(&three);
        QVERIFY(three.startFromShownPage(loadSnapshot(m_session.manager(), albumUrl("6001"))));
        QVERIFY(!three.readFromShownPage());
        QTRY_VERIFY_WITH_TIMEOUT(watchThree.report.has_value(), QueueTimeout);
        QCOMPARE(source.loaded,
                 QStringList({albumUrl("6001") + "?curpage=2", albumUrl("6001") + "?curpage=3", "about:blank"}));
        QCOMPARE(watchThree.report->saved, 6);
    }
};

QTEST_GUILESS_MAIN(TestAlbumQueue)
#include "tst_albumqueue.moc"
