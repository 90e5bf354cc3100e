// How well a download job keeps to a speed limit: an album of 12 pictures of
// 512 KiB (6 MiB) from the demo site, fetched through the job (the core
// alone, the way every front end runs it) at 500 KiB/s, in fast mode (4 at
// once, one limit for all) and one by one. Prints the rate the job achieved
// over the whole job (press to end, collection included) and its ratio to
// the limit; asserts nothing but that each job saved every picture.
//
//   ./bench_ratelimit [limit in bytes a second, curl's form: 500k]
#include "download/downloadjob.h"
#include "download/pagewalk.h"
#include "pageloader.h"
#include "demosite.h"
#include "web/networksession.h"
#include "web/ratelimit.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int Pictures = 12;
constexpr int PictureKb = 512;

QByteArray seed()
{
    QByteArray pictures;
    for (int i = 1; i <= Pictures; ++i)
        pictures += (i > 1 ? "," : "") + QStringLiteral(R"({"id": "%1", "padKb": %2})").arg(9100 + i).arg(PictureKb).toUtf8();
    return R"({"members": [{"id": "100000001", "albums": [{"id": "9100", "name": "限速相册", "pages": 3,
             "perPage": 4, "pictures": [)" + pictures + "]}]}]}";
}

qint64 bytesUnder(const QString &folder)
{
    qint64 total = 0;
    QDirIterator it(folder, {QStringLiteral("*.jpg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

struct Run {
    double seconds = 0;
    qint64 bytes = 0;
    int saved = 0;
};

Run runJob(const DemoSite &site, qint64 limit, bool fast)
{
    QTemporaryDir save;
    NetworkSession session;
    JobSettings settings;
    settings.source = JobSource::HiddenPane;
    settings.saveFolder = save.path();
    settings.albumAddress = site.url(QStringLiteral("/photo/100000001/album-9100"));
    settings.photoHostBase = site.base();
    settings.network = session.manager();
    settings.requests.rateLimit = RateLimiter::make(limit);
    settings.pauseMs = fast ? 0 : 100;
    settings.maxInFlight = fast ? JobSettings::DefaultFastInFlight : 1;
    settings.startWhileCollecting = fast;

    TestPageSource source(session.manager());
    DownloadJob job(settings);
    Run run;
    QEventLoop loop;
    QObject::connect(&job, &DownloadJob::finished, &loop, [&](const JobReport &report) {
        run.saved = report.saved;
        loop.quit();
    });
    QTimer::singleShot(300000, &loop, &QEventLoop::quit); // bounded
    QElapsedTimer clock;
    clock.start();
    JobStartFailure failure;
    if (!job.start(&failure))
        return run;
    auto *walk = new PageWalk(&job, &source);
    walk->start(settings.albumAddress);
    loop.exec();
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.bytes = bytesUnder(save.path());
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 limit = parseRate(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("500k")).value_or(0);
    DemoSite site(seed());
    if (limit <= 0 || !site.start()) {
        std::fprintf(stderr, "bench_ratelimit: no usable limit, or the demo site did not start\n");
        return 2;
    }
    bool whole = true;
    std::printf("limit %.1f KiB/s, album of %d pictures of %d KiB\n", limit / 1024.0, Pictures, PictureKb);
    for (const bool fast : {true, false}) {
        const Run run = runJob(site, limit, fast);
        const double rate = run.seconds > 0 ? run.bytes / run.seconds : 0;
        std::printf("%-11s %d pictures, %.2f MiB in %.2f s: %.1f KiB/s, %.3f of the limit\n",
                    fast ? "fast (4):" : "one by one:", run.saved, run.bytes / 1048576.0, run.seconds,
                    rate / 1024.0, rate / double(limit));
        whole = whole && run.saved == Pictures;
    }
    return whole ? 0 : 1;
}
