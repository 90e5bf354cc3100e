// The parts of a download job that need neither a window nor a site: the
// one road to a job's settings, the picture schedule, a picture's name and
// its place in the folder.
#include "download/jobfolders.h"
#include "download/jobrules.h"
#include "download/pictureplacer.h"
#include "download/picturerun.h"
#include "download/jobsettings.h"
#include "download/pictureschedule.h"
#include "storage/settingsfile.h"
#include "web/fetchpage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(FrontEnd)

namespace {

// Starts every item the schedule lets start now.
QList<int> startAll(PictureSchedule &schedule, bool collecting = false, qint64 now = 0)
{
    QList<int> started;
    for (PictureSchedule::Next next = schedule.next(collecting, now); next.index >= 0;
         next = schedule.next(collecting, now))
        started << next.index;
    return started;
}

QStringList pages(int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("http://h/photo/1/photo-%1").arg(i);
    return out;
}

} // namespace

class TestJobParts : public QObject
{
    Q_OBJECT
private slots:
    void settingsOfEveryFrontEnd_data()
    {
        QTest::addColumn<FrontEnd>("frontEnd");
        QTest::addColumn<bool>("fast");
        QTest::addColumn<int>("mode"); // -1: none chosen
        QTest::addColumn<int>("wantedMode");
        QTest::addColumn<bool>("pausesOnLogin");
        const int replace = int(DownloadMode::ReplaceAll), onlyNew = int(DownloadMode::OnlyNew);
        QTest::newRow("window, menu says replace") << FrontEnd::Window << false << replace << replace << true;
        QTest::newRow("window fast, menu says only new") << FrontEnd::Window << true << onlyNew << onlyNew << true;
        QTest::newRow("update, menu says replace") << FrontEnd::UpdateList << true << replace << onlyNew << false;
        QTest::newRow("command line, no --replace") << FrontEnd::CommandLine << true << -1 << onlyNew << false;
        QTest::newRow("command line --replace") << FrontEnd::CommandLine << false << replace << replace << false;
    }

    void settingsOfEveryFrontEnd()
    {
        QFETCH(FrontEnd, frontEnd);
        QFETCH(bool, fast);
        QFETCH(int, mode);
        QFETCH(int, wantedMode);
        QFETCH(bool, pausesOnLogin);
        JobChoices choices;
        choices.frontEnd = frontEnd;
        choices.source = JobSource::HiddenPane;
        choices.saveFolder = QStringLiteral("/save");
        choices.fast = fast;
        if (mode >= 0)
            choices.mode = DownloadMode(mode);
        choices.userAgent = "agent";
        const JobSettings s = MakeJobSettings(choices, {3});
        QCOMPARE(int(s.mode), wantedMode);
        QCOMPARE(s.pauseOnExpiredLogin, pausesOnLogin);
        QCOMPARE(s.saveFolder, QStringLiteral("/save"));
        QCOMPARE(s.userAgent, QByteArray("agent"));
        // Fast mode is one and the same from every front end.
        QCOMPARE(s.startWhileCollecting, fast);
        QCOMPARE(s.readPagesAsHtml, fast);
        QCOMPARE(s.pauseMs, fast ? 0 : JobSettings().pauseMs);
        QCOMPARE(s.maxInFlight, fast ? 3 : 1);
    }

    void fastInFlightCount()
    {
        // Asked, else stored, else the default; a count out of range is none.
        QCOMPARE(FastInFlight(2, 6), 2);
        QCOMPARE(FastInFlight(0, 6), 6);
        QCOMPARE(FastInFlight(0, JobSettings::MaxInFlight + 1), JobSettings::DefaultFastInFlight);
        QCOMPARE(FastInFlight(-1, 0), JobSettings::DefaultFastInFlight);

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Quillmoor.ini"));
        QCOMPARE(StoredJobSettings::read(file).inFlight, 0);
        QVERIFY(WriteSetting(file, QStringLiteral("Settings"), QStringLiteral("InFlight"), QStringLiteral("7")));
        QCOMPARE(StoredJobSettings::read(file).inFlight, 7);
    }

    void scheduleKeepsItsLimits()
    {
        PictureSchedule schedule(2);
        schedule.appendPages(pages(20));
        // While pages are still read, one request of the limit is theirs.
        QCOMPARE(startAll(schedule, true), QList<int>{0});
        QCOMPARE(startAll(schedule), QList<int>{1});
        QCOMPARE(schedule.inFlight(), 2);
        // Done but not reported: the look-ahead of four times the limit holds.
        for (int i = 0; i < 8; ++i) {
            schedule.done(i, false);
            startAll(schedule);
        }
        QCOMPARE(schedule.inFlight(), 0);
        QCOMPARE(schedule.next(false, 0).index, -1);
        QVERIFY(schedule.nextToReportIsDone());
        schedule.reported();
        QCOMPARE(schedule.next(false, 0).index, 8);
        // A reported item is gone; the indexes of the others stay, and the
        // same pages handed again add nothing.
        schedule.appendPages(pages(20));
        QCOMPARE(schedule.size(), 20);
        QCOMPARE(schedule.unreportedPages(), pages(20).mid(1));
        QCOMPARE(schedule.at(8).stage, ScheduledPicture::Stage::Working);
    }

    void scheduleBacksOffAndBuildsUp()
    {
        PictureSchedule schedule(4);
        schedule.appendPages(pages(40));
        QCOMPARE(startAll(schedule).size(), 4);
        schedule.throttled(500, 1000);
        QCOMPARE(schedule.limit(), 2);
        for (int i = 0; i < 4; ++i)
            schedule.done(i, i == 0);
        // Nothing starts before the site's wait is over, then half as many.
        QCOMPARE(schedule.next(false, 1200).waitMs, 300);
        QCOMPARE(schedule.next(false, 1200).index, -1);
        QCOMPARE(startAll(schedule, false, 1500).size(), 2);
        // A wait the site does not name is the default one.
        schedule.throttled(-1, 2000);
        QCOMPARE(schedule.next(false, 2000).waitMs, PictureSchedule::ThrottleWaitMs);
        QCOMPARE(schedule.limit(), 1);
        // Twice the limit of good pictures takes one more again; a failure
        // does not count.
        schedule.done(4, true);
        schedule.done(5, false);
        QCOMPARE(schedule.limit(), 1);
        for (int i = 0; i < 6; ++i)
            schedule.reported();
        startAll(schedule, false, 3000);
        schedule.done(6, false);
        QCOMPARE(schedule.limit(), 2);
    }

    void itemPutBackStartsAgainInItsTurn()
    {
        PictureSchedule schedule(3);
        schedule.appendPages(pages(6));
        QCOMPARE(startAll(schedule), (QList<int>{0, 1, 2}));
        schedule.done(2, false);
        // A pause or an expired login hands item 1 back: it is no longer in
        // flight and starts again before the later items, passing over 2.
        schedule.putBack(1);
        QCOMPARE(schedule.inFlight(), 1);
        QCOMPARE(startAll(schedule), (QList<int>{1, 3}));
        // A done duplicate handed back counts nothing off the transfers.
        schedule.putBack(2);
        QCOMPARE(schedule.inFlight(), 3);
        schedule.done(0, false);
        QCOMPARE(startAll(schedule), QList<int>{2});
    }

    void pictureNameMadeOnce_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "http://h/photo/1/p1.jpg" << "p1.jpg";
        QTest::newRow("hidden") << "http://h/photo/1/.p1.jpg" << "_.p1.jpg";
        QTest::newRow("no name") << "http://h/photo/1/" << "";
        QTest::newRow("query kept") << "http://h/photo/1/abc.jpg?v=2#f" << "abc.jpg?v=2#f";
        QTest::newRow("no slash") << "abc.jpg" << "";
        QTest::newRow("too long") << "http://h/photo/1/" + QString(300, QChar(0x56fe)) + ".jpg"
                                  << QString(83, QChar(0x56fe)) + ".jpg";
    }

    void pictureNameMadeOnce()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        const QString made = PictureName(address);
        QCOMPARE(made, name);
        // What the folder makes of the name again changes nothing.
        QCOMPARE(FitFileName(PictureFileName(made)), made);
    }
    // What a picture page's answer leads to, read once: the login wins over
    // a failure, a login form over a page without a picture.
    void picturePageReadOnce_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("fileName");
        using O = PicturePageReading::Outcome;
        const QString picture = QStringLiteral(R"({"largeurl":"http:\/\/pic\/1\/p1.jpg","summary":"x"})");
        QTest::newRow("picture") << 200 << picture << int(O::Picture) << "p1.jpg";
        QTest::newRow("forbidden") << 403 << picture << int(O::Login) << "";
        QTest::newRow("server error") << 500 << picture << int(O::Failed) << "";
        QTest::newRow("login form") << 200 << "<form><input type=password></form>" << int(O::Login) << "";
        QTest::newRow("no picture") << 200 << "<p>gone</p>" << int(O::NoPicture) << "";
    }

    void picturePageReadOnce()
    {
        QFETCH(int, status);
        QFETCH(QString, text);
        QFETCH(int, outcome);
        QFETCH(QString, fileName);
        PageResult page;
        page.httpStatus = status;
        page.error = status == 200 ? WebError::None : WebError::HttpStatus;
        page.text = text;
        const PicturePageReading reading = ReadPicturePage(page);
        QCOMPARE(int(reading.outcome), outcome);
        QCOMPARE(reading.fileName, fileName);
    }

    // One album, one job: a second job's claim fails until the first has
    // ended; a folder that is no unfinished album is not taken up, and a
    // discarded job leaves nothing of its own behind.
    void foldersClaimAnAlbumOnce()
    {
        QTemporaryDir save;
        const QString album = QStringLiteral("http://h/photo/1/album-1");
        JobSettings settings;
        settings.saveFolder = save.path();
        JobStartFailure failure;
        JobFolders first(save.path()), second(save.path());
        QVERIFY(first.open(settings, failure));
        QVERIFY(second.open(settings, failure));
        QVERIFY(first.claim(album, album + "?page=1"));
        QVERIFY(!second.claim({}, album));
        first.discard(true);
        QVERIFY(second.claim(album, {}));
        QVERIFY(!QFile::exists(first.album().workPath()) && !QFile::exists(first.staging().path()));
        QVERIFY(QFile::exists(second.album().workPath()));

        QDir(save.path()).mkdir(QStringLiteral("mine"));
        JobFolders takeUp(save.path());
        settings.continueFolder = QStringLiteral("mine");
        QVERIFY(!takeUp.open(settings, failure));
        QCOMPARE(failure.why, JobStartFailure::Why::NotUnfinished);
        QVERIFY(takeUp.staging().path().isEmpty());
    }

    // Pictures are reported in their order, none while held, and the run
    // ends only once no album page is left to read.
    void runReportsInOrderAndEndsAfterCollection()
    {
        QNetworkAccessManager network;
        JobSettings settings;
        settings.network = &network;
        settings.maxInFlight = 3;
        settings.pauseMs = 0;
        QTemporaryDir save;
        AlbumFolder folder(save.path());
        StagingFolder staging;
        PictureRun run(settings, folder, staging);
        QSignalSpy done(&run, &PictureRun::pictureDone);
        QSignalSpy ended(&run, &PictureRun::allReported);
        // Refused at once, without a request: each fails in its turn.
        const QStringList pages{"page:1", "page:2", "page:3", "page:4"};
        run.append(pages.mid(0, 3));
        run.go(true);
        QTRY_COMPARE(done.count(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 0);
        run.hold();
        run.append(pages);
        run.go(false);
        QCoreApplication::processEvents();
        QCOMPARE(done.count(), 3);
        run.release();
        QTRY_COMPARE(ended.count(), 1);
        QStringList reported;
        for (const QList<QVariant> &signal : done) {
            const auto report = signal.at(0).value<PictureReport>();
            QCOMPARE(report.kind, PictureReport::Kind::Failed);
            reported << report.address;
        }
        QCOMPARE(reported, pages);
        QCOMPARE(run.tally().failed, 4);
    }

    // Each picture in report order: a name not made by PictureName is
    // refused, not remade; an address saved before is skipped.
    void placerPutsEachPictureOnce()
    {
        QTemporaryDir save;
        AlbumFolder folder(save.path());
        FileError error;
        QVERIFY(folder.create(&error));
        JobTally tally;
        PictureClaims claims;
        PicturePlacer placer(folder, tally, CaptionMode::None, claims);
        struct Row {
            QString picture, fileName;
            PictureReport::Kind kind;
            QString savedAs;
        };
        const QList<Row> rows{
            {"http://pic/a.jpg", "a.jpg", PictureReport::Kind::Saved, "a.jpg"},
            {"http://pic/a.jpg", "a.jpg", PictureReport::Kind::Skipped, {}},
            {"http://pic/2/a.jpg", "a.jpg", PictureReport::Kind::Saved, "a(2).jpg"},
            {"http://pic/.h.jpg", ".h.jpg", PictureReport::Kind::Failed, {}},
        };
        for (int i = 0; i < rows.size(); ++i) {
            const Row &row = rows.at(i);
            const QString staging = save.filePath(QStringLiteral("part%1").arg(i));
            QFile part(staging);
            QVERIFY(part.open(QIODevice::WriteOnly) && part.write("jpeg" + QByteArray::number(i)) > 0);
            part.close();
            ScheduledPicture item;
            item.page = QStringLiteral("http://h/photo/1/photo-%1").arg(i);
            item.picture = row.picture;
            item.fileName = row.fileName;
            item.staging = staging;
            item.size = part.size();
            item.sha256 = Sha256Digest::fromBytes(QCryptographicHash::hash("jpeg" + QByteArray::number(i), QCryptographicHash::Sha256));
            placer.place(item, QStringLiteral("album"));
            QCOMPARE(item.report.kind, row.kind);
            QCOMPARE(item.report.fileName, row.savedAs);
            QVERIFY2(!QFile::exists(staging), qPrintable(row.picture));
        }
        QCOMPARE(tally.saved, 2);
        QCOMPARE(QDir(folder.workPath()).entryList(QDir::Files), QStringList({"a(2).jpg", "a.jpg"}));
    }
};

QTEST_GUILESS_MAIN(TestJobParts)
#include "tst_jobparts.moc"
