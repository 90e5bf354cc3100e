// The progress list's model, the progress bar's arithmetic and their texts,
// without a window.
#include "progress/progressestimate.h"
#include "progress/progressmodel.h"
#include "progress/progresstexts.h"

#include <QAbstractItemModelTester>
#include <QIcon>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList rowTexts(const QAbstractItemModel &model, int row)
{
    return {model.index(row, 0).data().toString(), model.index(row, 1).data().toString()};
}

PictureReport picture(PictureReport::Kind kind, const QString &address,
                      PictureReport::Why why = PictureReport::Why::None, const WebFailure &failure = {})
{
    PictureReport report;
    report.kind = kind;
    report.address = address;
    report.why = why;
    report.failure = failure;
    report.fileName = address.section(QLatin1Char('/'), -1);
    return report;
}

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT
private slots:
    // What the rows say is made from what was reported, when the view asks.
    void progressRowsSayWhatWasReported()
    {
        const QList<QIcon> icons = {QIcon(), QIcon(":/a"), QIcon(":/b"), QIcon(":/c"), QIcon(":/d"), QIcon(":/e")};
        ProgressModel model(icons);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // A title with a placeholder of its own is shown as it is.
        model.addAlbum("50%1 折 %2", 1, 2);
        const int collecting = model.addCollecting();
        QCOMPARE(rowTexts(model, 0), QStringList({"Album", "相册《50%1 折 %2》 (1/2)"}));
        QCOMPARE(rowTexts(model, collecting), QStringList({"Collecting", "程序开始采集图片"}));
        model.setCollected(collecting, 40, false);
        QCOMPARE(rowTexts(model, collecting).at(1), QString("已采集40张图片列表，请稍等... ..."));
        model.setCollected(collecting, 41, true);
        QCOMPARE(rowTexts(model, collecting).at(1), QString("共采集41张图片列表，开始下载"));
        QCOMPARE(changed.count(), 2);

        // A burst of pictures is one insertion, in the order reported.
        inserted.clear();
        model.addPictures({picture(PictureReport::Kind::Saved, "http://h/p/1.jpg"),
                           picture(PictureReport::Kind::Failed, "http://h/p/2.jpg", PictureReport::Why::Request,
                                   {WebReason::HttpStatus, {}, {}, 404}),
                           picture(PictureReport::Kind::AlreadyThere, "http://h/p/3.jpg"),
                           picture(PictureReport::Kind::Skipped, "http://h/p/4.jpg", PictureReport::Why::SavedBefore)},
                          true);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(rowTexts(model, 2), QStringList({"Success", "图片http://h/p/1.jpg下载完毕. 新图片"}));
        QCOMPARE(rowTexts(model, 3), QStringList({"Failed", "图片http://h/p/2.jpg下载失败：服务器返回 HTTP 404"}));
        QCOMPARE(rowTexts(model, 4).at(0), QString("Exists"));
        QVERIFY(rowTexts(model, 4).at(1).contains("（3.jpg）"));
        QCOMPARE(rowTexts(model, 5), QStringList({"Skipped", "图片http://h/p/4.jpg已保存过，不再重复下载."}));
        const QList<int> iconOfRow = {1, 1, 2, 4, 2, 5};
        for (int row = 0; row < iconOfRow.size(); ++row) {
            QCOMPARE(model.iconOf(row), iconOfRow.at(row));
            QCOMPARE(model.index(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                     icons.at(iconOfRow.at(row)).cacheKey());
            QVERIFY(!model.index(row, 1).data(Qt::DecorationRole).isValid());
        }

        JobReport report;
        report.failed = 1;
        model.addStopped(CollectionStop{CollectionStop::Why::LeftAlbum, 3, "http://elsewhere/"});
        model.addFinished(report);
        model.addText("Note", "自己的话", 3);
        QCOMPARE(rowTexts(model, 6), QStringList({"Stopped", "采集在第3页提前结束：窗口离开了相册，转到了 http://elsewhere/，已采集的图片照常下载"}));
        QCOMPARE(rowTexts(model, 7), QStringList({"Finished", "相册下载完毕. 其中 1 张图片下载失败，详见下载进度"}));
        QCOMPARE(rowTexts(model, 8), QStringList({"Note", "自己的话"}));
        QCOMPARE(model.iconOf(8), 3);
        // A text set on a row replaces what it would say, and keeps its word.
        model.setText(collecting, "别的话");
        QCOMPARE(rowTexts(model, collecting), QStringList({"Collecting", "别的话"}));
        model.setText(99, "nowhere");
        model.setCollected(-1, 5, true);
        QCOMPARE(model.rowCount(), 9);

        model.clear();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Status"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("下载进度"));
    }

    // The window shows picture rows in batches: after a batch the list says
    // exactly what it would say had each picture been added alone.
    void aBatchOfRowsEqualsRowsAddedOneByOne_data()
    {
        QTest::addColumn<QList<PictureReport>>("pictures");
        QTest::addColumn<bool>("onlyNew");
        const PictureReport saved = picture(PictureReport::Kind::Saved, "http://h/p/1.jpg");
        const PictureReport failed = picture(PictureReport::Kind::Failed, "http://h/p/2.jpg",
                                             PictureReport::Why::Request, {WebReason::HttpStatus, {}, {}, 503});
        const PictureReport there = picture(PictureReport::Kind::AlreadyThere, "http://h/p/3.jpg");
        const PictureReport skipped =
            picture(PictureReport::Kind::Skipped, "http://h/p/4.jpg", PictureReport::Why::SavedBefore);
        QTest::newRow("one") << QList<PictureReport>{saved} << false;
        QTest::newRow("mixed, all new") << QList<PictureReport>{saved, failed, there, skipped, saved} << false;
        QTest::newRow("mixed, only new") << QList<PictureReport>{skipped, saved, failed, saved, there} << true;
    }
    void aBatchOfRowsEqualsRowsAddedOneByOne()
    {
        QFETCH(QList<PictureReport>, pictures);
        QFETCH(bool, onlyNew);
        const QList<QIcon> icons = {QIcon(), QIcon(":/a"), QIcon(":/b"), QIcon(":/c"), QIcon(":/d"), QIcon(":/e")};
        ProgressModel oneByOne(icons);
        ProgressModel batched(icons);
        for (ProgressModel *model : {&oneByOne, &batched}) {
            model->addCollecting();
            model->addPictures({picture(PictureReport::Kind::Saved, "http://h/p/0.jpg")}, onlyNew);
        }
        for (const PictureReport &p : pictures)
            oneByOne.addPictures({p}, onlyNew);
        QSignalSpy inserted(&batched, &QAbstractItemModel::rowsInserted);
        batched.addPictures(pictures, onlyNew);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(batched.rowCount(), oneByOne.rowCount());
        for (int row = 0; row < oneByOne.rowCount(); ++row) {
            QCOMPARE(rowTexts(batched, row), rowTexts(oneByOne, row));
            QCOMPARE(batched.iconOf(row), oneByOne.iconOf(row));
        }
    }

    void rateAndTimeLeftOnceAFewPicturesAreIn()
    {
        ProgressEstimate e;
        e.reset(10, 0);
        // The first picture starts the clock (collection came before it).
        e.update(1, 5000);
        e.update(2, 6000);
        e.update(3, 7000);
        QVERIFY(!e.rate());
        QVERIFY(!e.remainingMs());
        e.update(4, 8000);
        QCOMPARE(*e.rate(), 1.0);
        QCOMPARE(*e.remainingMs(), qint64(6000));

        // More done than the total known: nothing left, never less.
        e.setTotal(3);
        QCOMPARE(*e.remainingMs(), qint64(0));

        // A new album starts over.
        e.reset(5, 9000);
        QCOMPARE(e.done(), 0);
        QVERIFY(!e.rate());
    }

    void pausedTimeCountsForNothing()
    {
        ProgressEstimate e;
        e.reset(10, 0);
        e.update(1, 1000);
        e.update(2, 1500);
        e.pause(2000);
        QVERIFY(e.isPaused());
        e.resume(12000);
        e.update(3, 12500);
        e.update(4, 13000);
        // 3 pictures in 2 s of work.
        QCOMPARE(*e.rate(), 1.5);
        QCOMPARE(*e.remainingMs(), qint64(4000));

        // A pause after the last picture leaves its rate as it was, and a
        // picture in flight that lands during the pause is timed without it.
        e.pause(14000);
        QCOMPARE(*e.rate(), 1.5);
        e.update(5, 30000);
        // 4 pictures in 13000 - 1000 - 10000 (first pause) = 2000 ms, plus
        // 1000 ms up to the second pause.
        QCOMPARE(*e.rate(), 4.0 / 3.0);
        // A pause before the first picture takes nothing off.
        ProgressEstimate early;
        early.reset(10, 0);
        early.pause(100);
        early.resume(5000);
        early.update(1, 6000);
        early.update(4, 9000);
        QCOMPARE(*early.rate(), 1.0);
    }

    void barTexts()
    {
        QCOMPARE(ProgressText::durationText(12000), QString("12秒"));
        QCOMPARE(ProgressText::durationText(11001), QString("12秒"));
        QCOMPARE(ProgressText::durationText(200000), QString("3分20秒"));
        QCOMPARE(ProgressText::durationText(3900000), QString("1小时05分"));

        ProgressText::BarState s;
        s.done = 3;
        s.total = 300;
        QCOMPARE(ProgressText::progressBarText(s), QString("3/300 张"));
        s.perSecond = 1.24;
        s.remainingMs = 237600;
        QCOMPARE(ProgressText::progressBarText(s), QString("3/300 张，1.2 张/秒，剩余 3分58秒"));
        s.album = 2;
        s.albums = 5;
        s.paused = true;
        QCOMPARE(ProgressText::progressBarText(s), QString("相册 2/5，3/300 张，已暂停"));
        // Of the pictures collected so far: no time left until all are known.
        s.paused = false;
        s.collecting = true;
        QCOMPARE(ProgressText::progressBarText(s), QString("相册 2/5，3/300 张，仍在采集，1.2 张/秒"));
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
