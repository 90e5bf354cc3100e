// How fast a whole album comes down through the real window, and how little
// the program spends while it waits on a slow site. Prints its figures; it
// asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen ./bench_download
#include "app/mainform.h"
#include "demosite.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "windowtesting.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "web/networksession.h"
#include "app/siteaddresses.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <functional>
#include <cstdio>

namespace {

constexpr int Pages = 10;
constexpr int PerPage = 20;
constexpr int Pictures = Pages * PerPage;
constexpr int TickGapMs = 100;

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QByteArray seed()
{
    return QStringLiteral(R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "9001", "name": "速度相册", "pages": %1, "perPage": %2 } ] } ] })")
        .arg(Pages)
        .arg(PerPage)
        .toUtf8();
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_download: %s\n", what);
    return 1;
}

int run()
{
    DemoSite site(seed());
    if (!site.start())
        return fail("the demo site did not start");
    setSiteAddresses(SiteAddresses::forBase(site.base()));
    ScriptedDialogs dialogs;
    QTemporaryDir appDir;
    QTemporaryDir save;

    auto *w = new MainForm(appDir.path());
    w->TxtPath->setText(save.path());
    w->show();

    const QString album = site.url(QStringLiteral("/photo/100000001/album-9001"));
    w->WebBrowser1->navigate(album);
    if (!waitForDocument(w->WebBrowser1, album, 60000)
        || !w->CmdStartDown->isEnabled())
        return fail("the album page did not load");

    QElapsedTimer clock;
    const double cpuAtStart = processCpuSeconds();
    clock.start();
    w->CmdStartDown->Click();
    // QTest::qWaitFor sleeps 10 ms between its looks, which would hold up
    // every answer the job waits for; a plain event loop does not.
    if (!waitUntil([&] { return w->JobState() == QLatin1String("GetUrl"); }, 120000))
        return fail("collection did not end");
    const qint64 collectedAt = clock.elapsed();
    const int collected = w->job()->collectedCount();
    {
        QEventLoop done;
        dialogs.onInformation = [&] { done.quit(); };
        QTimer::singleShot(600000, &done, &QEventLoop::quit);
        done.exec();
        dialogs.onInformation = nullptr;
    }
    if (dialogs.messages.isEmpty())
        return fail("the download did not end");
    const qint64 total = clock.elapsed();
    const double jobCpu = processCpuSeconds() - cpuAtStart;
    const int saved = int(QDir(save.path() + QStringLiteral("/速度相册")).entryList(QDir::Files).size());

    const qint64 downloading = total - collectedAt;
    // One tick per picture plus the tick that completes the job, each
    // followed by the timer's gap (the completing one is not).
    const double perPicture = double(downloading - qint64(collected) * TickGapMs) / collected;

    std::printf("album: %d pictures on %d pages, %d collected, %d saved\n", Pictures, Pages, collected, saved);
    std::printf("total time:        %8.2f s\n", total / 1000.0);
    std::printf("collection time:   %8.2f s\n", collectedAt / 1000.0);
    std::printf("download time:     %8.2f s (%d ticks with a %d ms gap)\n", downloading / 1000.0, collected,
                TickGapMs);
    std::printf("per picture beyond the gap: %6.2f ms\n", perPicture);
    std::printf("process CPU during the job: %6.2f s (%.1f %% of one core)\n", jobCpu,
                100.0 * jobCpu / (total / 1000.0));

    // One request kept waiting for 5 s while the event loop runs freely.
    QEventLoop loop;
    bool answered = false;
    QElapsedTimer waitClock;
    const double cpuBefore = processCpuSeconds();
    waitClock.start();
    FetchPage(BrowserProfile::network()->manager(), QStringLiteral("UTF-8"), site.url(QStringLiteral("/test/slow?ms=5000")), QString(), nullptr,
              [&](const QString &) {
                  answered = true;
                  loop.quit();
              });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    const double waitCpu = processCpuSeconds() - cpuBefore;
    const double waitWall = waitClock.elapsed() / 1000.0;
    std::printf("waiting on a slow page: %.2f s wall, %.3f s CPU (%.2f %% of one core)%s\n", waitWall, waitCpu,
                100.0 * waitCpu / waitWall, answered ? "" : " - no answer");

    delete w;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngine();
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir profileDir;
    BrowserProfile::setStoragePath(profileDir.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    const int rc = run();
    BrowserProfile::shutdown();
    return rc;
}
