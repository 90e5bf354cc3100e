// What keeping captions costs: writing them into one picture (and into a
// sidecar) alone, and fast mode's whole job of a 200-picture album on 10
// pages with each choice of 图片说明. Prints what it measured, asserts nothing:
//
//   ./bench_captions [rounds]
//
// The job runs without a window; the album pages are read as HTML by the
// bench, the way the job is handed pages by a pane.
#include "demosite.h"
#include "download/downloadjob.h"
#include "metadata/picturemetadata.h"
#include "pageloader.h"
#include "web/networksession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <optional>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int Pictures = 200;

QByteArray seed()
{
    return R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "7701", "name": "说明的代价", "pages": 10, "perPage": 20 } ] } ] })";
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

QByteArray get(QNetworkAccessManager *network, const QString &url)
{
    QNetworkReply *reply = network->get(QNetworkRequest(QUrl(url)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(15000);
    const QByteArray bytes = reply->readAll();
    delete reply;
    return bytes;
}

// ms per picture of writing the metadata into (or beside) `count` copies of
// a site picture, the date included.
double perPicture(const QByteArray &picture, CaptionMode mode, int count)
{
    QTemporaryDir dir;
    const QDateTime date = QDateTime::fromString(QStringLiteral("2024-05-01T10:00:00Z"), Qt::ISODate);
    // Each copy is written just before its metadata, as a job's picture
    // arrives just before: a file the disk has not settled yet costs more.
    qint64 ns = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const QString file = dir.filePath(QStringLiteral("p%1.jpg").arg(i));
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(picture);
        f.close();
        const Metadata::Description d{QStringLiteral("他说 \"你好\" 第 %1 张").arg(i), QStringLiteral("说明的代价"),
                                      QStringLiteral("http://127.0.0.1/photo/1/photo-%1").arg(i), date};
        QElapsedTimer timer;
        timer.start();
        const Metadata::Result r = mode == CaptionMode::Embed ? Metadata::embed(file, d)
                                                              : Metadata::writeSidecar(Metadata::sidecarName(file), d);
        failed += r.ok() && Metadata::setFileDate(file, date).ok() ? 0 : 1;
        ns += timer.nsecsElapsed();
    }
    const double ms = double(ns) / 1e6 / count;
    if (failed)
        std::printf("  (%d of %d writes failed)\n", failed, count);
    return ms;
}

struct JobTime {
    double seconds = 0; // from the start to the end
    double cpuMs = 0;   // of this process, in that time
};

// One fast-mode job, or nothing when it did not end whole.
std::optional<JobTime> wholeJob(const DemoSite &site, NetworkSession &session, CaptionMode captions)
{
    QTemporaryDir save;
    JobSettings s;
    s.source = JobSource::HiddenPane;
    s.saveFolder = save.path();
    s.photoHostBase = site.base();
    s.network = session.manager();
    s.maxInFlight = JobSettings::DefaultFastInFlight;
    s.pauseMs = 0;
    s.startWhileCollecting = true;
    s.captions = captions;
    DownloadJob job(s);
    std::optional<JobReport> report;
    QObject::connect(&job, &DownloadJob::finished, &job, [&](const JobReport &r) { report = r; });
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu = std::clock();
    if (!job.start())
        return std::nullopt;
    QString next = job.pageLoaded(loadSnapshot(session.manager(), site.url("/photo/" + Member + "/album-7701")));
    while (!next.isEmpty())
        next = job.pageLoaded(loadSnapshot(session.manager(), next));
    // An event loop of its own: QTest::qWaitFor sleeps between its turns,
    // which would be most of what is measured.
    if (!report) {
        QEventLoop loop;
        QObject::connect(&job, &DownloadJob::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!report || report->saved != Pictures)
        return std::nullopt;
    return JobTime{double(timer.nsecsElapsed()) / 1e9, double(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC};
}

const char *nameOf(CaptionMode mode)
{
    return mode == CaptionMode::None ? "不保存 (none)" : mode == CaptionMode::Embed ? "写入图片 (embed)"
                                                                                    : "另存为 .xmp (sidecar)";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = qBound(1, argc > 1 ? QByteArray(argv[1]).toInt() : 5, 20);
    DemoSite site(seed());
    if (!site.start()) {
        std::fprintf(stderr, "the demo site did not start\n");
        return 1;
    }
    NetworkSession session;
    const QByteArray picture = get(session.manager(), site.url("/pic/7701/7701001/p7701001.jpg"));
    std::printf("A site picture of %lld bytes (JPEG), %d copies:\n", qlonglong(picture.size()), Pictures);
    for (const CaptionMode mode : {CaptionMode::Embed, CaptionMode::Sidecar})
        std::printf("  %s: %.3f ms per picture (file date included)\n", nameOf(mode),
                    perPicture(picture, mode, Pictures));

    std::printf("Fast mode (%d at once), whole job of %d pictures on 10 pages, %d rounds, median:\n",
                JobSettings::DefaultFastInFlight, Pictures, rounds);
    // The choices take turns in each round, so a change of the machine's
    // load falls on all three alike.
    const QList<CaptionMode> modes{CaptionMode::None, CaptionMode::Embed, CaptionMode::Sidecar};
    QList<QList<double>> times(modes.size()), cpu(modes.size());
    for (int i = 0; i < rounds; ++i)
        for (qsizetype m = 0; m < modes.size(); ++m)
            if (const auto t = wholeJob(site, session, modes.at(m))) {
                times[m] << t->seconds;
                cpu[m] << t->cpuMs;
            }
    const double none = median(times.at(0));
    for (qsizetype m = 0; m < modes.size(); ++m) {
        if (times.at(m).isEmpty()) {
            std::printf("  %s: did not finish\n", nameOf(modes.at(m)));
            continue;
        }
        const double t = median(times.at(m));
        std::printf("  %s: %.3f s (%.2f ms per picture; CPU %.2f ms per picture)", nameOf(modes.at(m)), t,
                    t * 1000 / Pictures, median(cpu.at(m)) / Pictures);
        if (m > 0 && none > 0)
            std::printf(", %+.3f s against none", t - none);
        std::printf("\n");
    }
    return 0;
}
