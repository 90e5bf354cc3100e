// The progress bar's arithmetic and texts, without a window.
#include "app/progressestimate.h"
#include "app/progresstexts.h"

#include <QTest>

class TestProgressEstimate : public QObject
{
    Q_OBJECT
private slots:
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
    }
};

QTEST_MAIN(TestProgressEstimate)
#include "tst_progressestimate.moc"
