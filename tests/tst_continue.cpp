// Going on with an album a crash, a kill or a stop interrupted: the job in a
// process of its own is killed mid-album, then continued here; the folders
// such a job leaves, and what deleting or discarding one may touch.
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumfolder.h"
#include "download/downloadjob.h"
#include "pageloader.h"
#include "web/networksession.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

const QString Member = QStringLiteral("100000001");

// Picture answers take a while, so a job can be caught halfway.
QByteArray seed()
{
    return R"({ "pictureDelayMs": 60, "members": [ { "id": "100000001", "albums": [
        { "id": "5101", "name": "半途相册", "pages": 2, "perPage": 5 },
        { "id": "5102", "name": "停下的相册", "pages": 1, "perPage": 6 } ] } ] })";
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct Run {
    std::unique_ptr<DownloadJob> job;
    QList<PictureReport> pictures;
    std::optional<JobReport> report;
};

} // namespace

class TestContinue : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{seed()};
    NetworkSession m_session;

    QString albumUrl(const QString &album) const { return m_site.url("/photo/" + Member + "/album-" + album); }

    JobSettings settings(const QString &saveFolder) const
    {
        JobSettings s;
        s.source = JobSource::HiddenPane;
        s.saveFolder = saveFolder;
        s.photoHostBase = m_site.base();
        s.network = m_session.manager();
        s.requests.timeoutMs = 5000;
        s.pauseMs = 0;
        return s;
    }

    // Starts a job and plays the pane for it; waits for its end if asked.
    std::unique_ptr<Run> run(const JobSettings &s, const QString &album, bool waitForEnd = true)
    {
        auto r = std::make_unique<Run>();
        r->job = std::make_unique<DownloadJob>(s);
        Run *out = r.get();
        connect(r->job.get(), &DownloadJob::pictureDone, r->job.get(),
                [out](const PictureReport &p) { out->pictures << p; });
        connect(r->job.get(), &DownloadJob::finished, r->job.get(),
                [out](const JobReport &report) { out->report = report; });
        JobStartFailure failure;
        if (!r->job->start(&failure)) {
            qWarning("the job did not start: %d %s", int(failure.why), qPrintable(failure.subject));
            return r;
        }
        QString next = r->job->pageLoaded(loadSnapshot(m_session.manager(), album));
        while (!next.isEmpty())
            next = r->job->pageLoaded(loadSnapshot(m_session.manager(), next));
        if (waitForEnd && !QTest::qWaitFor([out] { return out->report.has_value(); }, 60000))
            qWarning("the job did not end");
        return r;
    }

    // A folder of a job stopped after `keep` pictures of album 5102.
    QString stoppedAlbum(const QString &saveFolder, int keep)
    {
        auto r = run(settings(saveFolder), albumUrl("5102"), false);
        connect(r->job.get(), &DownloadJob::pictureDone, r->job.get(), [&r, keep] {
            if (r->pictures.size() == keep)
                r->job->stop();
        });
        if (!QTest::qWaitFor([&r] { return r->report.has_value(); }, 60000))
            return {};
        return r->report->folderName;
    }

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }

    void aKilledJobContinuesWithTheRest()
    {
        QTemporaryDir save;
        m_site.requests(true);
        QProcess runner;
        runner.start(QStringLiteral(QUILLMOOR_JOBRUNNER_PATH),
                     {save.path(), albumUrl("5101"), m_site.base(), QStringLiteral("150")});
        QVERIFY(runner.waitForStarted(10000));
        const QString folder = save.path() + "/相册文件夹1";
        // Killed without warning once half the album is in its journal.
        QTRY_VERIFY_WITH_TIMEOUT(AlbumRecord::load(folder).entries().size() >= 5, 60000);
        runner.kill();
        QVERIFY(runner.waitForFinished(10000));
        QCOMPARE(runner.exitStatus(), QProcess::CrashExit);

        // Only whole pictures, no part file among them: each in the record,
        // or at most one more, which the kill caught between its name and its
        // journal line; it has the name the job gives the next picture.
        QStringList expected;
        for (int i = 1; i <= 10; ++i)
            expected << QStringLiteral("p5101%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        const QStringList recorded = recordedFiles(folder);
        const int savedBefore = int(recorded.size());
        QVERIFY2(savedBefore >= 5 && savedBefore < 10, qPrintable(QString::number(savedBefore)));
        QCOMPARE(recorded, expected.mid(0, savedBefore));
        const QStringList left = pictureFiles(folder);
        QVERIFY2(left == recorded || left == expected.mid(0, savedBefore + 1), qPrintable(left.join(' ')));
        const int onDisk = int(left.size());
        // The dead job's staging folder goes at the next start.
        QCOMPARE(subfolders(save.path()).filter(".quillmoor-staging-").size(), 1);
        QVERIFY(AlbumFolder::recover(save.path()).isEmpty());
        QCOMPARE(subfolders(save.path()), QStringList{"相册文件夹1"});

        const QList<InterruptedAlbum> interrupted = ListInterruptedAlbums(save.path(), {AlbumRecord::State::InProgress});
        QCOMPARE(interrupted.size(), 1);
        QCOMPARE(interrupted.at(0).folderName, QStringLiteral("相册文件夹1"));
        QCOMPARE(interrupted.at(0).title, QStringLiteral("半途相册"));
        QCOMPARE(interrupted.at(0).saved, savedBefore);
        QCOMPARE(interrupted.at(0).albumAddress, albumUrl("5101"));

        // Continued: only the other half is asked for, every picture once;
        // the one picture without its journal line stands for itself.
        m_site.requests(true);
        JobSettings s = settings(save.path());
        s.continueFolder = interrupted.at(0).folderName;
        const auto r = run(s, albumUrl("5101"));
        QVERIFY(r->report);
        QCOMPARE(r->report->saved, 10 - onDisk);
        QCOMPARE(r->report->alreadyThere, onDisk);
        QVERIFY(r->report->isWhole());
        const QJsonObject asked = m_site.requests();
        QCOMPARE(asked.value("pictures").toInt(), 10 - onDisk);
        QCOMPARE(asked.value("picturePages").toInt(), 10 - savedBefore);
        // Whole now, the folder takes the album's name; nothing else is left.
        QCOMPARE(r->report->folderName, QStringLiteral("半途相册"));
        QCOMPARE(entries(save.path()), QStringList{"半途相册"});
        const QString album = save.path() + "/半途相册";
        QCOMPARE(pictureFiles(album), expected);
        QCOMPARE(recordedFiles(album), expected);
        QCOMPARE(AlbumRecord::load(album).state(), AlbumRecord::State::Finished);
        QVERIFY(ListInterruptedAlbums(save.path(), {AlbumRecord::State::InProgress, AlbumRecord::State::Stopped})
                    .isEmpty());
    }

    void stagingNeverInTheAlbumFolder()
    {
        QTemporaryDir save;
        // Several at once: pictures that arrive early wait for their turn.
        JobSettings s = settings(save.path());
        s.maxInFlight = 4;
        auto r = run(s, albumUrl("5102"), false);
        const QString album = r->job->temporaryFolderPath();
        QVERIFY(!r->job->stagingFolderPath().isEmpty());
        // Looked at often while pictures are on their way and waiting.
        QStringList seenInAlbum;
        int seenStaged = 0;
        QTimer look;
        connect(&look, &QTimer::timeout, &look, [&] {
            seenInAlbum << entries(album).filter(".part");
            seenStaged += int(entries(r->job->stagingFolderPath()).filter(".part").size());
        });
        look.start(1);
        QTRY_VERIFY_WITH_TIMEOUT(r->report.has_value(), 60000);
        look.stop();
        QCOMPARE(r->report->saved, 6);
        QCOMPARE(seenInAlbum, QStringList());
        QVERIFY(seenStaged > 0);
        // The job's staging folder is gone with the job's end.
        QCOMPARE(entries(save.path()), QStringList{"停下的相册"});
    }

    void onlyWhatIsOursIsTouched()
    {
        QTemporaryDir save;
        const QString name = stoppedAlbum(save.path(), 2);
        QCOMPARE(name, QStringLiteral("停下的相册"));
        const QString folder = save.path() + "/" + name;
        const QStringList earlier = pictureFiles(folder);
        QCOMPARE(earlier.size(), 2);
        QCOMPARE(ListInterruptedAlbums(save.path(), {AlbumRecord::State::Stopped}).size(), 1);
        QVERIFY(ListInterruptedAlbums(save.path(), {AlbumRecord::State::InProgress}).isEmpty());

        // Continued and closed halfway: only what this run added goes; the
        // earlier pictures stay with their record, still stopped.
        JobSettings s = settings(save.path());
        s.continueFolder = name;
        auto r = run(s, albumUrl("5102"), false);
        QTRY_VERIFY_WITH_TIMEOUT(r->job->isContinuing()
                                     && std::count_if(r->pictures.cbegin(), r->pictures.cend(),
                                                      [](const PictureReport &p) {
                                                          return p.kind == PictureReport::Kind::Saved;
                                                      }) >= 1,
                                 60000);
        QVERIFY(pictureFiles(folder).size() > 2);
        r->job->discard();
        QCOMPARE(pictureFiles(folder), earlier);
        QCOMPARE(recordedFiles(folder), earlier);
        QCOMPARE(AlbumRecord::load(folder).state(), AlbumRecord::State::Stopped);
        QCOMPARE(entries(save.path()), QStringList{name});

        // Another job holds the album: the continued folder is left whole.
        {
            QLockFile busy(AlbumLockPath(save.path(), albumUrl("5102")));
            QVERIFY(busy.tryLock(0));
            QVERIFY(ListInterruptedAlbums(save.path(), {AlbumRecord::State::Stopped}).isEmpty());
            DownloadJob second(s);
            JobStartFailure failure;
            QVERIFY(!second.start(&failure));
            QCOMPARE(failure.why, JobStartFailure::Why::AlbumBusy);
            QCOMPARE(failure.subject, albumUrl("5102"));
            QCOMPARE(pictureFiles(folder), earlier);
            QCOMPARE(AlbumRecord::load(folder).state(), AlbumRecord::State::Stopped);
        }

        // Only a folder of the save folder with the record of an unfinished
        // album is gone on with.
        QVERIFY(QDir(save.path()).mkdir("别人的"));
        QTemporaryDir elsewhere;
        AlbumRecord finished;
        finished.setAlbumAddress(albumUrl("5102"));
        finished.setState(AlbumRecord::State::Finished);
        QVERIFY(finished.save(save.path() + "/别人的"));
        AlbumRecord unfinished = finished;
        unfinished.setState(AlbumRecord::State::InProgress);
        QVERIFY(unfinished.save(elsewhere.path()));
        QCOMPARE(QFileInfo(elsewhere.path()).path(), QFileInfo(save.path()).path());
        for (const QString &name : {QString("别人的"), "../" + QFileInfo(elsewhere.path()).fileName(),
                                    QString("不存在")}) {
            s.continueFolder = name;
            DownloadJob refused(s);
            QVERIFY2(!refused.start(nullptr), qPrintable(name));
        }
        QVERIFY(QFile::remove(save.path() + "/别人的/" + AlbumRecord::fileName()));

        // "Delete those pictures": the recorded pictures and the record go,
        // the user's file and the folder holding it stay.
        QFile mine(folder + "/mine.txt");
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("mine");
        mine.close();
        QList<FolderProblem> problems;
        QVERIFY(DeleteRecordedPictures(folder, &problems));
        QVERIFY(problems.isEmpty());
        QCOMPARE(entries(folder), QStringList{"mine.txt"});
        // Without a record nothing is ours to delete there.
        QVERIFY(!DeleteRecordedPictures(folder, &problems));
        QCOMPARE(entries(folder), QStringList{"mine.txt"});
        // An emptied folder goes with the pictures.
        const QString other = stoppedAlbum(save.path(), 1);
        QVERIFY(!other.isEmpty());
        QVERIFY(DeleteRecordedPictures(save.path() + "/" + other, &problems));
        QVERIFY(!QFileInfo::exists(save.path() + "/" + other));
    }
};

QTEST_GUILESS_MAIN(TestContinue)
#include "tst_continue.moc"
