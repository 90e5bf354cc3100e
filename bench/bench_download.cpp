// How fast a whole album comes down through the real window: one picture at
// a time (one by one), in fast mode beside curl fetching the same
// pages and pictures, and a second "only new" run over an unchanged album;
// then how little the program spends while it waits on a slow site. Prints
// its figures; it asserts nothing, and fails only when it could not run.
//
//   QT_QPA_PLATFORM=offscreen ./bench_download [--no-curl] [--large | --large-only | --large-cli | --only-new]
//
// --no-curl fetches the comparison with the bench's own plain network loop,
// as it does when curl is not installed. --large adds albums of 5,000 and
// 20,000 pictures (20 a page) in fast mode, collected from HTML and, for an
// album whose links a script writes, through the pane; --large-only runs
// just those. --large-cli runs the 20,000-picture album twice on one site:
// through the window's fast mode and as `--album URL --fast` without a window.
// --only-new runs only an album's first only-new run and every front end's
// second run over it, in fast mode, for albums of 10 and 100 pages.
// --fast-only runs just the fast-mode rounds beside curl (on disk and in
// memory), for profiling them.
#include "app/mainform.h"
#include "cli/commandline.h"
#include "demosite.h"
#include "download/albumrecord.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "windowtesting.h"
#include "web/fetchpage.h"
#include "web/networksession.h"
#include "addresses/siteaddresses.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>

namespace {

constexpr int Pages = 10;
constexpr int PerPage = 20;
constexpr int Pictures = Pages * PerPage;
constexpr int TickGapMs = 100;
constexpr int InFlight = 4;
constexpr int Rounds = 5;
const QString AlbumName = QStringLiteral("速度相册");

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU of the calling thread alone: the window's, where the job runs.
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU of the child processes that have ended and been waited for (curl).
double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QByteArray seed()
{
    return QStringLiteral(R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "9001", "name": "%1", "pages": %2, "perPage": %3 } ] } ] })")
        .arg(AlbumName)
        .arg(Pages)
        .arg(PerPage)
        .toUtf8();
}

struct Requests {
    int albumPages = 0;
    int picturePages = 0;
    int pictures = 0;
    int other = 0; // what a rendered page asks for besides itself
};

Requests readRequests(const DemoSite &site)
{
    const QJsonObject counts = site.requests(true);
    return {counts.value(QStringLiteral("albumPages")).toInt(), counts.value(QStringLiteral("picturePages")).toInt(),
            counts.value(QStringLiteral("pictures")).toInt(), counts.value(QStringLiteral("other")).toInt()};
}

// One job run through the window, from the press of the start button.
struct Run {
    qint64 totalMs = 0;     // to the completion message
    qint64 collectedMs = 0; // to the end of collection
    qint64 finishedMs = 0;  // to the job's end, just before the message
    double cpu = 0;         // this process, press to message
    double downloadCpu = 0; // this process, end of collection to the job's end
    double windowCpu = 0;   // the window's thread alone, over the same
    int collected = 0;
    int saved = 0;
    // Pictures reported before collection ended (the fast mode starts
    // pictures while later pages are read).
    int doneWhileCollecting = 0;
    QStringList pages;    // picture pages, in collection order
    QStringList pictures; // addresses of the saved pictures
    Requests requests;

    qint64 downloadMs() const { return finishedMs - collectedMs; }
    double picturesPerSecond() const { return downloadMs() > 0 ? saved * 1000.0 / downloadMs() : 0; }
};

struct Bench {
    DemoSite &site;
    MainForm *w;
    ScriptedDialogs &dialogs;
    QString album;
};

enum class Speed { Paced, Fast };

void choose(MainForm *w, Speed speed, DownloadMode mode)
{
    // Chosen in the menus, as a user would.
    (speed == Speed::Fast ? w->Fast : w->OneByOne)->trigger();
    for (QAction *count : w->InFlight->actions())
        if (count->data().toInt() == InFlight)
            count->trigger();
    (mode == DownloadMode::OnlyNew ? w->OnlyNew : w->AllNew)->trigger();
}

// Presses the start button on the album page shown and waits for the
// completion message; then waits for the pane to be back on the album.
std::optional<Run> runJob(Bench &b, Speed speed, DownloadMode mode, const QString &saveFolder)
{
    MainForm *w = b.w;
    choose(w, speed, mode);
    w->TxtPath->setText(saveFolder);
    b.dialogs.messages.clear();
    // The counts of this run only: nothing since the pane came back.
    b.site.requests(true);

    Run run;
    QEventLoop done;
    QElapsedTimer clock;
    double cpuAtPress = 0;
    // The job's end as its completion message comes, which the job's
    // finished() brings before the bench's own handler of it runs: the
    // bench's request count below is no part of the job.
    const auto jobEnded = [&] {
        if (run.finishedMs > 0)
            return;
        run.finishedMs = clock.elapsed();
        run.downloadCpu = processCpuSeconds() - run.downloadCpu;
        run.windowCpu = threadCpuSeconds() - run.windowCpu;
    };
    b.dialogs.onInformation = [&] {
        jobEnded();
        run.totalMs = clock.elapsed();
        run.cpu = processCpuSeconds() - cpuAtPress;
        // Read while the message is up, before the pane returns to the album.
        run.requests = readRequests(b.site);
        done.quit();
    };
    QSignalSpy documents(w->WebBrowser1, &BrowserPane::documentComplete);

    cpuAtPress = processCpuSeconds();
    clock.start();
    w->CmdStartDown->Click();
    DownloadJob *job = w->albumJob();
    if (!job)
        return std::nullopt;
    // Fast mode reports pictures while pages are still read: the picture
    // pages are gathered as each album page adds them, in their order.
    QSet<QString> knownPages;
    const auto gatherPages = [&] {
        for (const QString &page : job->pendingPages())
            if (!knownPages.contains(page)) {
                knownPages.insert(page);
                run.pages << page;
            }
    };
    // Every handler below writes into this call's locals: none may outlive it.
    QList<QMetaObject::Connection> handlers;
    handlers << QObject::connect(job, &DownloadJob::pageCollected, job, gatherPages);
    handlers << QObject::connect(job, &DownloadJob::collectionFinished, job, [&](int collected) {
        run.collectedMs = clock.elapsed();
        run.downloadCpu = processCpuSeconds();
        run.windowCpu = threadCpuSeconds();
        run.collected = collected;
        gatherPages();
    });
    handlers << QObject::connect(job, &DownloadJob::pictureDone, job, [&](const PictureReport &report) {
        if (report.kind == PictureReport::Kind::Saved)
            run.pictures << report.address;
        if (run.collectedMs == 0)
            ++run.doneWhileCollecting;
    });
    handlers << QObject::connect(job, &DownloadJob::finished, job, [&](const JobReport &report) {
        jobEnded();
        run.saved = report.saved;
    });
    QTimer::singleShot(600000, &done, &QEventLoop::quit);
    done.exec();
    for (const QMetaObject::Connection &handler : std::as_const(handlers))
        QObject::disconnect(handler);
    b.dialogs.onInformation = nullptr;
    if (b.dialogs.messages.isEmpty())
        return std::nullopt;

    documents.clear();
    const bool back = waitUntil([&] {
        for (const auto &args : documents)
            if (args.at(0).toString().contains(b.album))
                return w->CmdStartDown->isEnabled();
        return false;
    }, 60000);
    if (!back)
        return std::nullopt;
    return run;
}

struct Transfer {
    QString url;
    QString file;
};

struct Baseline {
    qint64 ms = 0;
    double cpu = 0; // the fetching process's
    int files = 0;  // non-empty files written
    QString error;
};

int countWritten(const QList<Transfer> &transfers)
{
    int written = 0;
    for (const Transfer &t : transfers)
        written += QFileInfo(t.file).size() > 0 ? 1 : 0;
    return written;
}

Baseline fetchWithCurl(const QString &curl, const QList<Transfer> &transfers, const QString &folder)
{
    Baseline out;
    QFile config(folder + QStringLiteral("/transfers.curl"));
    if (!config.open(QIODevice::WriteOnly)) {
        out.error = config.errorString();
        return out;
    }
    for (const Transfer &t : transfers)
        config.write(QStringLiteral("url = \"%1\"\noutput = \"%2\"\n").arg(t.url, t.file).toUtf8());
    config.close();

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    // --silent alone still shows the progress meter of --parallel.
    process.start(curl, {QStringLiteral("--parallel"), QStringLiteral("--parallel-max"), QString::number(InFlight),
                         QStringLiteral("--silent"), QStringLiteral("--no-progress-meter"),
                         QStringLiteral("--show-error"), QStringLiteral("--fail"), QStringLiteral("--config"),
                         config.fileName()});
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit) {
        out.error = QStringLiteral("curl did not finish: ") + process.errorString();
        return out;
    }
    out.ms = clock.elapsed();
    out.cpu = childrenCpuSeconds() - cpuBefore;
    if (process.exitCode() != 0)
        out.error = QStringLiteral("curl exit code %1").arg(process.exitCode());
    out.files = countWritten(transfers);
    return out;
}

// What a program with no more than a network manager would do.
Baseline fetchWithPlainLoop(const QList<Transfer> &transfers)
{
    Baseline out;
    QNetworkAccessManager network;
    QEventLoop loop;
    int next = 0;
    int running = 0;
    std::function<void()> startMore = [&] {
        while (running < InFlight && next < transfers.size()) {
            const Transfer t = transfers.at(next++);
            ++running;
            QNetworkReply *reply = network.get(QNetworkRequest(QUrl(t.url)));
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply, t] {
                reply->deleteLater();
                --running;
                QFile file(t.file);
                if (reply->error() != QNetworkReply::NoError)
                    out.error = reply->errorString();
                else if (!file.open(QIODevice::WriteOnly) || file.write(reply->readAll()) < 0)
                    out.error = file.errorString();
                if (running == 0 && next == transfers.size())
                    loop.quit();
                else
                    startMore();
            });
        }
    };
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    startMore();
    QTimer::singleShot(300000, &loop, &QEventLoop::quit);
    loop.exec();
    out.ms = clock.elapsed();
    out.cpu = processCpuSeconds() - cpuBefore;
    out.files = countWritten(transfers);
    return out;
}

double seconds(qint64 ms)
{
    return ms / 1000.0;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// What starting curl costs, which its times include.
double curlStartSeconds(const QString &curl)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(curl, {QStringLiteral("--version")});
    process.waitForFinished(30000);
    return seconds(clock.elapsed());
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void printRun(const Run &run)
{
    std::printf("  pictures:                 %d collected, %d saved\n", run.collected, run.saved);
    std::printf("  whole job (press to message): %6.2f s\n", seconds(run.totalMs));
    std::printf("  collection (%d album pages):  %6.2f s\n", Pages, seconds(run.collectedMs));
    std::printf("  download phase:               %6.2f s, %.1f pictures/s\n", seconds(run.downloadMs()),
                run.picturesPerSecond());
    std::printf("  process CPU:                  %6.2f s (%.1f %% of one core), %.2f ms per picture\n", run.cpu,
                100.0 * run.cpu / seconds(run.totalMs), run.saved > 0 ? 1000.0 * run.cpu / run.saved : 0.0);
}

void printOnlyNew(const char *speed, const Run &first, const Run &second)
{
    std::printf("  %-28s %8s %12s %14s %9s\n", speed, "time", "album pages", "picture pages", "pictures");
    const auto row = [](const char *name, const Run &run) {
        std::printf("  %-28s %6.2f s %12d %14d %9d\n", name, seconds(run.totalMs), run.requests.albumPages,
                    run.requests.picturePages, run.requests.pictures);
    };
    row("first run (empty folder)", first);
    row("second run (unchanged)", second);
    const double share = first.totalMs > 0 ? 100.0 * second.totalMs / first.totalMs : 0;
    const bool noPictureRequests = second.requests.picturePages == 0 && second.requests.pictures == 0;
    std::printf("  second run: %d saved, collection %.2f s, the rest %.2f s\n", second.saved,
                seconds(second.collectedMs), seconds(second.totalMs - second.collectedMs));
    std::printf("  second / first: %.1f %% of the time (target under 5 %%: %s); "
                "no picture-page or picture request: %s\n",
                share, verdict(share < 5.0), verdict(noPictureRequests));
}

// Folders of one place (a temporary folder on some file system), a new one
// for each run. All are kept until the bench ends: on a file system without
// a journal, files deleted in the last minute slow down making new ones.
class Folders
{
public:
    explicit Folders(const QString &parent)
        : m_root(parent + QStringLiteral("/quillmoor-bench-XXXXXX"))
    {
    }
    bool isValid() const { return m_root.isValid(); }
    QString place() const
    {
        const QStorageInfo storage(m_root.path());
        return QStringLiteral("%1 (%2)").arg(QFileInfo(m_root.path()).absolutePath(),
                                             QString::fromUtf8(storage.fileSystemType()));
    }
    QString fresh()
    {
        const QString path = m_root.path() + QStringLiteral("/run%1").arg(++m_count);
        QDir().mkpath(path);
        return path;
    }

private:
    QTemporaryDir m_root;
    int m_count = 0;
};

// Fast mode beside the same picture pages and pictures fetched by curl (or
// the plain loop), in turns: one run takes a few tenths of a second, too
// short to stand alone on a shared machine. False when it could not run.
bool fastBesideBaseline(Bench &b, Folders &folders, const Run *paced, const QString &curl)
{
    const char *baselineName = curl.isEmpty() ? "loop" : "curl";
    const QString tool = curl.isEmpty() ? QStringLiteral("a plain QNetworkAccessManager loop (%1 in flight)")
                                        : QStringLiteral("curl --parallel --parallel-max %1");
    std::printf("Fast mode (%d in flight) beside %s, files in %s, %d rounds:\n", InFlight,
                qPrintable(tool.arg(InFlight)), qPrintable(folders.place()), Rounds);
    std::printf("  %-6s %8s %8s %8s %6s %8s %8s %8s | %8s %6s %8s | %s\n", "round", "job", "collect", "download",
                "pic/s", "CPU/pic", "dl CPU", "win CPU", baselineName, "pic/s", "CPU/pic", "ratio");
    QList<double> wholeJobs, collections, downloads, fastCpus, downloadCpus, windowCpus, baselines, baselineCpus,
            ratios;
    for (int round = 1; round <= Rounds; ++round) {
        const QString saveFolder = folders.fresh();
        std::optional<Run> fast = runJob(b, Speed::Fast, DownloadMode::ReplaceAll, saveFolder);
        if (!fast)
            return false;
        // The pages as the album's record paired them with their pictures:
        // a fast job can report a page's pictures before the next page's
        // collection shows them among the pending ones.
        const QStringList albums = QDir(saveFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (albums.size() == 1) {
            fast->pages.clear();
            fast->pictures.clear();
            const AlbumRecord record = AlbumRecord::load(saveFolder + u'/' + albums.first());
            for (const AlbumRecord::Entry &entry : record.entries()) {
                fast->pages << entry.page;
                fast->pictures << entry.picture;
            }
        }
        if (fast->saved != Pictures || fast->pictures.size() != fast->pages.size()) {
            std::printf("  the fast download saved %d of %d pictures (%lld reported saved, %lld picture pages seen): "
                        "nothing to compare\n",
                        fast->saved, Pictures, qlonglong(fast->pictures.size()), qlonglong(fast->pages.size()));
            return false;
        }
        // Each page followed by its picture, as the job asks for them.
        const QString fetched = folders.fresh();
        QList<Transfer> transfers;
        for (qsizetype i = 0; i < fast->pages.size(); ++i) {
            transfers.append({fast->pages.at(i), fetched + QStringLiteral("/page%1.html").arg(i)});
            transfers.append({fast->pictures.at(i), fetched + QStringLiteral("/picture%1").arg(i)});
        }
        b.site.requests(true);
        const Baseline baseline = curl.isEmpty() ? fetchWithPlainLoop(transfers) : fetchWithCurl(curl, transfers, fetched);
        const Requests seen = readRequests(b.site);
        const double ratio = fast->downloadMs() > 0 ? double(baseline.ms) / fast->downloadMs() : 0;
        std::printf("  %-6d %6.3f s %6.3f s %6.3f s %6.0f %5.2f ms %5.2f ms %5.2f ms | %6.3f s %6.0f %5.2f ms | %.2f\n",
                    round, seconds(fast->totalMs), seconds(fast->collectedMs), seconds(fast->downloadMs()),
                    fast->picturesPerSecond(), 1000.0 * fast->cpu / fast->saved,
                    1000.0 * fast->downloadCpu / fast->saved, 1000.0 * fast->windowCpu / fast->saved,
                    seconds(baseline.ms),
                    baseline.ms > 0 ? Pictures * 1000.0 / baseline.ms : 0.0, 1000.0 * baseline.cpu / Pictures, ratio);
        if (!baseline.error.isEmpty() || baseline.files != transfers.size() || seen.picturePages != Pictures
            || seen.pictures != Pictures)
            std::printf("         the comparison fell short: %d of %lld files written, the site saw %d picture pages "
                        "and %d pictures%s%s\n",
                        baseline.files, qlonglong(transfers.size()), seen.picturePages, seen.pictures,
                        baseline.error.isEmpty() ? "" : "; ", qPrintable(baseline.error));
        wholeJobs << seconds(fast->totalMs);
        collections << seconds(fast->collectedMs);
        downloads << seconds(fast->downloadMs());
        fastCpus << 1000.0 * fast->cpu / fast->saved;
        downloadCpus << 1000.0 * fast->downloadCpu / fast->saved;
        windowCpus << 1000.0 * fast->windowCpu / fast->saved;
        baselines << seconds(baseline.ms);
        baselineCpus << 1000.0 * baseline.cpu / Pictures;
        ratios << ratio;
    }
    std::printf("  %-6s %6.3f s %6.3f s %6.3f s %6.0f %5.2f ms %5.2f ms %5.2f ms | %6.3f s %6.0f %5.2f ms | %.2f\n",
                "median", median(wholeJobs), median(collections), median(downloads), Pictures / median(downloads),
                median(fastCpus), median(downloadCpus), median(windowCpus), median(baselines), Pictures / median(baselines),
                median(baselineCpus), median(ratios));
    std::printf("  fast mode's download phase against %s: %.2f of its throughput (median; best %.2f; "
                "target at least 0.8: %s)\n",
                baselineName, median(ratios), *std::max_element(ratios.begin(), ratios.end()),
                verdict(median(ratios) >= 0.8));
    std::printf("  fast mode's whole job, collection included: %.2f s (median; target under 2 s: %s)\n",
                median(wholeJobs), verdict(median(wholeJobs) < 2.0));
    if (paced)
        std::printf("  against one by one: whole job %.0f times as fast, download phase %.0f times\n",
                    seconds(paced->totalMs) / median(wholeJobs), seconds(paced->downloadMs()) / median(downloads));
    std::printf("\n");
    return true;
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_download: %s\n", what);
    return 1;
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

// A large album in fast mode, once whose pages read as HTML and once whose
// links a script writes (so the pane collects it): per album page, what
// collection took and what the site was asked.
bool largeAlbums(ScriptedDialogs &dialogs, Folders &folders)
{
    constexpr int LargePerPage = 20;
    std::printf("Large albums in fast mode (%d in flight), %d pictures a page:\n", InFlight, LargePerPage);
    std::printf("  %-8s %-6s %9s %12s %14s %10s %9s %8s\n", "pictures", "source", "collect", "ms/page",
                "requests/page", "download", "job", "load");
    for (const int pictures : {5000, 20000}) {
        const int pages = pictures / LargePerPage;
        // One site an album: the demo site holds 20,000 pictures at most.
        for (const bool script : {false, true}) {
            const QByteArray largeSeed = QStringLiteral(R"({ "members": [ { "id": "100000001", "albums": [
                { "id": "9101", "name": "大相册", "pages": %1, "perPage": %2, "scriptLinks": %3 } ] } ] })")
                                             .arg(pages)
                                             .arg(LargePerPage)
                                             .arg(script ? "true" : "false")
                                             .toUtf8();
            DemoSite site(largeSeed);
            if (!site.start())
                return false;
            setSiteAddresses(SiteAddresses::forBase(site.base()));
            QTemporaryDir appDir;
            auto *w = new MainForm(appDir.path());
            const std::unique_ptr<MainForm> window(w);
            w->show();
            const QString album = site.url(QStringLiteral("/photo/100000001/album-9101"));
            w->WebBrowser1->navigate(album);
            if (!waitForDocument(w->WebBrowser1, album, 60000) || !w->CmdStartDown->isEnabled())
                return false;
            Bench bench{site, w, dialogs, album};
            const double load = loadAverage();
            const std::optional<Run> run = runJob(bench, Speed::Fast, DownloadMode::ReplaceAll, folders.fresh());
            if (!run || run->saved != pictures) {
                std::printf("  %-8d saved %d of %d\n", pictures, run ? run->saved : 0, pictures);
                return false;
            }
            const Requests &r = run->requests;
            std::printf("  %-8d %-6s %7.2f s %9.2f ms %14.3f %8.2f s %7.2f s %8.2f\n", pictures,
                        script ? "pane" : "html", seconds(run->collectedMs), double(run->collectedMs) / pages,
                        double(r.albumPages + r.other) / pages, seconds(run->downloadMs()), seconds(run->totalMs),
                        load);
            std::fflush(stdout);
        }
    }
    std::printf("  (collect: press to the end of collection; download: from there to the job's end, pictures\n"
                "   having begun while pages were read; requests/page: album pages and what they pulled in;\n"
                "   load: the machine's one-minute load average before the run)\n\n");
    return true;
}

// `--album URL --fast` without a window, in this process: the same run as
// main() makes of those arguments, timed from start() to finished().
// The command line's fast run into `saveFolder`, quiet; the caller names its albums or folders.
CommandLineRequest fastCommandLine(const QString &saveFolder)
{
    CommandLineRequest request;
    request.action = CommandLineRequest::Action::Run;
    request.fast = true;
    request.inFlight = InFlight;
    request.quiet = true;
    request.saveFolder = saveFolder;
    return request;
}

std::optional<Run> runCommandLine(DemoSite &site, const QString &album, const QString &saveFolder)
{
    CommandLineRequest request = fastCommandLine(saveFolder);
    request.albums = {album};
    QTemporaryDir appDir;
    CommandLineRun cli(request, {appDir.filePath(QStringLiteral("Quillmoor.ini")), saveFolder, false});
    site.requests(true);

    Run run;
    QEventLoop done;
    QElapsedTimer clock;
    const double cpuAtStart = processCpuSeconds();
    QObject::connect(&cli, &CommandLineRun::finished, &done, [&] {
        run.totalMs = clock.elapsed();
        run.cpu = processCpuSeconds() - cpuAtStart;
        run.requests = readRequests(site);
        done.quit();
    });
    clock.start();
    cli.start();
    auto *queue = cli.findChild<AlbumQueue *>();
    if (!queue)
        return std::nullopt;
    QObject::connect(queue, &AlbumQueue::collectionFinished, &done, [&](int collected) {
        run.collectedMs = clock.elapsed();
        run.collected = collected;
    });
    QObject::connect(queue, &AlbumQueue::pictureDone, &done, [&](const PictureReport &report) {
        if (run.collectedMs == 0)
            ++run.doneWhileCollecting;
    });
    QObject::connect(queue, &AlbumQueue::albumFinished, &done, [&](int, const JobReport &report) {
        run.finishedMs = clock.elapsed();
        run.saved = report.saved;
    });
    QTimer::singleShot(600000, &done, &QEventLoop::quit);
    done.exec();
    return run.totalMs > 0 ? std::optional<Run>(run) : std::nullopt;
}

// The 20,000-picture album in fast mode through the window and through the
// command line, one after the other on the same demo site.
bool windowBesideCommandLine(ScriptedDialogs &dialogs, Folders &folders)
{
    constexpr int Large = 20000;
    constexpr int LargePerPage = 20;
    constexpr int LargePages = Large / LargePerPage;
    const QByteArray largeSeed = QStringLiteral(R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "9101", "name": "大相册", "pages": %1, "perPage": %2 } ] } ] })")
                                     .arg(LargePages)
                                     .arg(LargePerPage)
                                     .toUtf8();
    DemoSite site(largeSeed);
    if (!site.start())
        return false;
    setSiteAddresses(SiteAddresses::forBase(site.base()));
    const QString album = site.url(QStringLiteral("/photo/100000001/album-9101"));
    std::optional<Run> window;
    {
        QTemporaryDir appDir;
        auto *w = new MainForm(appDir.path());
        const std::unique_ptr<MainForm> owner(w);
        w->show();
        w->WebBrowser1->navigate(album);
        if (!waitForDocument(w->WebBrowser1, album, 60000) || !w->CmdStartDown->isEnabled())
            return false;
        Bench bench{site, w, dialogs, album};
        window = runJob(bench, Speed::Fast, DownloadMode::ReplaceAll, folders.fresh());
    }
    const std::optional<Run> cli = runCommandLine(site, album, folders.fresh());
    std::printf("The %d-picture album in fast mode (%d in flight), window beside --album URL --fast:\n", Large,
                InFlight);
    std::printf("  %-13s %9s %9s %14s %16s %9s %9s\n", "run", "collect", "ms/page", "requests/page",
                "done collecting", "job", "saved");
    for (const auto &[name, run] : {std::pair{"window", window}, std::pair{"command line", cli}}) {
        if (!run)
            return false;
        std::printf("  %-13s %7.2f s %6.2f ms %14.3f %16d %7.2f s %9d\n", name, seconds(run->collectedMs),
                    double(run->collectedMs) / LargePages,
                    double(run->requests.albumPages + run->requests.other) / LargePages, run->doneWhileCollecting,
                    seconds(run->totalMs), run->saved);
    }
    const double ratio = double(cli->totalMs) / window->totalMs;
    std::printf("  command line / window, whole job: %.2f (target at most 1.1: %s)\n", ratio, verdict(ratio <= 1.1));
    std::printf("  (done collecting: pictures reported before the last album page was read)\n\n");
    return window->saved == Large && cli->saved == Large;
}

// ---- Only new, second runs ----------------------------------------------
//
// What a second only-new run over an unchanged album costs in fast mode, by
// front end: the window's start, the window's update (hidden pane), and the
// command line's --album and --update (page without a view). Pane loads are
// counted where the browser itself sees them: every main-frame request of
// the shared profile (and what pages pull in besides), and each load from its
// start to the page the pane's source hands on.

// The dialogs of a run, plus the update's list answered with every album it
// offers, and a note of the moment a message comes.
class OnlyNewDialogs : public ScriptedDialogs
{
public:
    void information(QWidget *parent, const QString &title, const QString &text) override
    {
        if (beforeInformation)
            beforeInformation();
        ScriptedDialogs::information(parent, title, text);
    }
    std::optional<QList<int>> chooseRows(QWidget *, const QString &, const QString &, const QStringList &,
                                         const QList<CheckRow> &rows) override
    {
        QList<int> all;
        for (int i = 0; i < rows.size(); ++i)
            if (rows.at(i).enabled)
                all << i;
        return all;
    }
    std::function<void()> beforeInformation;
};

// What the browser did between reset() and freeze().
class BrowserLoads : public QWebEngineUrlRequestInterceptor
{
public:
    struct Load {
        QString address;
        qint64 startMs = 0;
        qint64 endMs = -1; // -1: never handed on
    };

    BrowserLoads() { BrowserProfile::instance()->setUrlRequestInterceptor(this); }
    ~BrowserLoads() override { BrowserProfile::instance()->setUrlRequestInterceptor(nullptr); }

    void reset()
    {
        m_frozen = false;
        loads.clear();
        images = others = paneAlbumPages = 0;
        m_clock.start();
    }
    void freeze() { m_frozen = true; }

    // A pane's load begins with the page's loadStarted (a blank page makes no
    // request) and ends with the page its source hands on.
    void watch(BrowserPane *pane)
    {
        QObject::connect(pane->page(), &QWebEnginePage::loadStarted, pane, [this, pane] {
            open(pane->page()->requestedUrl().toString());
        });
        watch(pane->pageSource());
    }
    void watch(PageSource *source)
    {
        QObject::connect(source, &PageSource::pageReady, source, [this](const PageSnapshot &page) {
            if (m_frozen || loads.isEmpty() || loads.last().endMs >= 0)
                return;
            loads.last().endMs = m_clock.elapsed();
            loads.last().address = page.address;
        });
    }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (m_frozen)
            return;
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame) {
            if (info.requestUrl().path().contains(QLatin1String("/album-")))
                ++paneAlbumPages;
            open(info.requestUrl().toString());
        } else if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeImage
                   || info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeFavicon) {
            ++images;
        } else {
            ++others;
        }
    }

    qint64 paneMs() const
    {
        qint64 sum = 0;
        for (const Load &load : loads)
            sum += load.endMs >= 0 ? load.endMs - load.startMs : 0;
        return sum;
    }
    // The loads in short: "p1 p10 blank".
    QString shortList() const
    {
        QStringList out;
        for (const Load &load : loads) {
            if (load.address.startsWith(QLatin1String("about:"))) {
                out << QStringLiteral("blank");
                continue;
            }
            const QUrlQuery query{QUrl(load.address)};
            const QString page = query.queryItemValue(QStringLiteral("curpage"));
            out << QStringLiteral("p%1").arg(page.isEmpty() ? QStringLiteral("1") : page);
        }
        return out.join(u' ');
    }

    QList<Load> loads;
    int images = 0;         // images and icons pages asked for
    int others = 0;         // scripts, styles and the like
    int paneAlbumPages = 0; // album pages the browser asked for itself

private:
    void open(const QString &address)
    {
        if (m_frozen || (!loads.isEmpty() && loads.last().endMs < 0))
            return;
        loads.append({address, m_clock.elapsed()});
    }

    QElapsedTimer m_clock;
    bool m_frozen = true;
};

struct SecondRun {
    qint64 totalMs = 0;
    qint64 collectedMs = 0;
    int saved = -1;
    Requests requests;
    QList<BrowserLoads::Load> loads;
    QString loadList;
    qint64 paneMs = 0;
    int paneAlbumPages = 0;
    int browserImages = 0;
};

SecondRun secondRunFrom(const BrowserLoads &browser, qint64 totalMs, qint64 collectedMs, int saved,
                        const Requests &requests)
{
    SecondRun out;
    out.totalMs = totalMs;
    out.collectedMs = collectedMs;
    out.saved = saved;
    out.requests = requests;
    out.loads = browser.loads;
    out.loadList = browser.shortList();
    out.paneMs = browser.paneMs();
    out.paneAlbumPages = browser.paneAlbumPages;
    out.browserImages = browser.images;
    return out;
}

// The window's start button on the album shown, only new, fast mode.
std::optional<SecondRun> windowStart(Bench &b, OnlyNewDialogs &dialogs, BrowserLoads &browser,
                                     const QString &folder)
{
    dialogs.beforeInformation = [&] { browser.freeze(); };
    browser.reset();
    const std::optional<Run> run = runJob(b, Speed::Fast, DownloadMode::OnlyNew, folder);
    dialogs.beforeInformation = nullptr;
    if (!run)
        return std::nullopt;
    return secondRunFrom(browser, run->totalMs, run->collectedMs, run->saved, run->requests);
}

// 更新全部相册 in the window: the hidden pane, the folder's one album.
std::optional<SecondRun> windowUpdate(Bench &b, OnlyNewDialogs &dialogs, BrowserLoads &browser,
                                      const QString &folder)
{
    MainForm *w = b.w;
    choose(w, Speed::Fast, DownloadMode::OnlyNew);
    w->TxtPath->setText(folder);
    dialogs.messages.clear();
    b.site.requests(true);
    qint64 totalMs = 0, collectedMs = 0;
    int saved = 0;
    Requests requests;
    QEventLoop done;
    QElapsedTimer clock;
    dialogs.beforeInformation = [&] {
        totalMs = clock.elapsed();
        browser.freeze();
        requests = readRequests(b.site);
        done.quit();
    };
    QSignalSpy started(w->WebBrowser2->page(), &QWebEnginePage::loadStarted);
    QSignalSpy completed(w->WebBrowser2, &BrowserPane::documentComplete);
    browser.reset();
    clock.start();
    w->UpdateAll->trigger();
    AlbumQueue *queue = w->queue();
    if (queue) {
        QObject::connect(queue, &AlbumQueue::collectionFinished, &done, [&] { collectedMs = clock.elapsed(); });
        QObject::connect(queue, &AlbumQueue::albumFinished, &done,
                         [&](int, const JobReport &report) { saved = report.saved; });
        QTimer::singleShot(600000, &done, &QEventLoop::quit);
        if (totalMs == 0)
            done.exec();
    }
    dialogs.beforeInformation = nullptr;
    // A load the hidden pane began (a blank page once pictures came) ends
    // before the next run, whose counts must not see it.
    const bool idle = waitUntil([&] { return completed.size() >= started.size(); }, 10000);
    if (totalMs == 0 || !idle || !waitUntil([&] { return !w->queue(); }, 10000))
        return std::nullopt;
    return secondRunFrom(browser, totalMs, collectedMs, saved, requests);
}

// Without a window: `--album URL --fast` (only new is its default) or
// `--update FOLDER --fast`, timed from start() to finished().
std::optional<SecondRun> commandLine(DemoSite &site, BrowserLoads &browser, const QString &album,
                                     const QString &saveFolder, bool update)
{
    CommandLineRequest request = fastCommandLine(saveFolder);
    if (update) {
        const QStringList held = QDir(saveFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (held.size() != 1)
            return std::nullopt;
        request.updateFolders = {saveFolder + u'/' + held.first()};
    } else {
        request.albums = {album};
    }
    QTemporaryDir appDir;
    CommandLineRun cli(request, {appDir.filePath(QStringLiteral("Quillmoor.ini")), saveFolder, false});
    site.requests(true);
    qint64 totalMs = 0, collectedMs = 0;
    int saved = 0;
    Requests requests;
    QEventLoop done;
    QElapsedTimer clock;
    QObject::connect(&cli, &CommandLineRun::finished, &done, [&] {
        totalMs = clock.elapsed();
        browser.freeze();
        requests = readRequests(site);
        done.quit();
    });
    browser.reset();
    clock.start();
    cli.start();
    // The run's own page source (the queue's HTML reader sits below it).
    for (PageSource *source : cli.findChildren<PageSource *>(QString(), Qt::FindDirectChildrenOnly))
        browser.watch(source);
    if (auto *queue = cli.findChild<AlbumQueue *>()) {
        QObject::connect(queue, &AlbumQueue::collectionFinished, &done, [&] { collectedMs = clock.elapsed(); });
        QObject::connect(queue, &AlbumQueue::albumFinished, &done,
                         [&](int, const JobReport &report) { saved = report.saved; });
    }
    QTimer::singleShot(600000, &done, &QEventLoop::quit);
    if (totalMs == 0)
        done.exec();
    if (totalMs == 0)
        return std::nullopt;
    return secondRunFrom(browser, totalMs, collectedMs, saved, requests);
}

void printSecondRunHeader()
{
    std::printf("  %-16s %8s %8s  %-18s %8s %11s %9s %8s %6s %10s\n", "second run", "job", "collect", "pane loads",
                "pane", "album pages", "pic pages", "pictures", "other", "ms/page");
    std::printf("  %-16s %8s %8s  %-18s %8s %11s %9s %8s %6s %10s\n", "", "", "", "", "", "html+pane", "", "",
                "imgs", "beyond");
}

bool printSecondRun(const char *name, const std::optional<SecondRun> &run, int pages)
{
    if (!run) {
        std::printf("  %-16s did not end\n", name);
        return false;
    }
    const Requests &r = run->requests;
    const int html = r.albumPages - run->paneAlbumPages;
    const double beyond = double(run->totalMs - run->paneMs) / pages;
    std::printf("  %-16s %6.3f s %6.3f s  %-18s %5lld ms %5d+%-5d %9d %8d %2d/%-3d %7.2f ms\n", name,
                seconds(run->totalMs), seconds(run->collectedMs),
                qPrintable(QStringLiteral("%1: %2").arg(run->loads.size()).arg(run->loadList)),
                qlonglong(run->paneMs), html, run->paneAlbumPages, r.picturePages, r.pictures, r.other,
                run->browserImages, beyond);
    return run->saved == 0 && r.picturePages == 0 && r.pictures == 0;
}

// The album's first only-new run through the window into an empty folder,
// then every front end's second run over the unchanged album.
bool secondRuns(Bench &b, OnlyNewDialogs &dialogs, BrowserLoads &browser, Folders &folders, int pages,
                int pictures)
{
    const QString folder = folders.fresh();
    dialogs.beforeInformation = nullptr;
    const std::optional<Run> first = runJob(b, Speed::Fast, DownloadMode::OnlyNew, folder);
    if (!first || first->saved != pictures) {
        std::printf("  the first run saved %d of %d pictures\n", first ? first->saved : 0, pictures);
        return false;
    }
    std::printf("Only new in fast mode, %d pages / %d pictures: first run (empty folder) %.3f s, collection %.3f s;\n"
                "second runs over the unchanged album (load average %.2f):\n",
                pages, pictures, seconds(first->totalMs), seconds(first->collectedMs), loadAverage());
    printSecondRunHeader();
    bool noPictureRequests = true;
    noPictureRequests &= printSecondRun("window start", windowStart(b, dialogs, browser, folder), pages);
    noPictureRequests &= printSecondRun("window update", windowUpdate(b, dialogs, browser, folder), pages);
    noPictureRequests &=
        printSecondRun("--album --fast", commandLine(b.site, browser, b.album, folder, false), pages);
    noPictureRequests &=
        printSecondRun("--update --fast", commandLine(b.site, browser, b.album, folder, true), pages);
    std::printf("  no picture saved, no picture-page or picture request: %s\n\n", verdict(noPictureRequests));
    std::fflush(stdout);
    return true;
}

void printSecondRunColumns()
{
    std::printf("  (job: press to message, or start to end without a window; pane loads: what the browser page\n"
                "   loaded, from its start to the page handed on; pane: their time; album pages: requests the\n"
                "   site counted, read as HTML + by the browser; other: the site's other\n"
                "   requests (icons and the like) / imgs: images and icons the browser itself asked for;\n"
                "   ms/page beyond: (job - pane) / pages; target at most 5 ms)\n\n");
}

// --only-new: just these runs, over albums of 10 and 100 pages of 20.
int onlyNewAlone()
{
    OnlyNewDialogs dialogs;
    BrowserLoads browser;
    Folders folders(QDir::tempPath());
    const QByteArray albums = QStringLiteral(R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "9001", "name": "%1", "pages": 10, "perPage": 20 },
        { "id": "9002", "name": "大%1", "pages": 100, "perPage": 20 } ] } ] })")
                                  .arg(AlbumName)
                                  .toUtf8();
    DemoSite site(albums);
    if (!folders.isValid() || !site.start())
        return fail("the demo site did not start");
    setSiteAddresses(SiteAddresses::forBase(site.base()));
    QTemporaryDir appDir;
    auto *w = new MainForm(appDir.path());
    const std::unique_ptr<MainForm> window(w);
    w->show();
    browser.watch(w->WebBrowser1);
    browser.watch(w->WebBrowser2);
    for (const auto &[id, pages] : {std::pair{QStringLiteral("9001"), 10}, std::pair{QStringLiteral("9002"), 100}}) {
        const QString album = site.url(QStringLiteral("/photo/100000001/album-") + id);
        w->WebBrowser1->navigate(album);
        if (!waitForDocument(w->WebBrowser1, album, 60000) || !w->CmdStartDown->isEnabled())
            return fail("the album page did not load");
        Bench bench{site, w, dialogs, album};
        if (!secondRuns(bench, dialogs, browser, folders, pages, pages * 20))
            return fail("an only-new download did not end");
    }
    printSecondRunColumns();
    return 0;
}

int run(bool useCurl, bool large, bool largeOnly, bool largeCli, bool onlyNew, bool fastOnly)
{
    if (onlyNew)
        return onlyNewAlone();
    if (largeCli) {
        ScriptedDialogs dialogs;
        Folders folders(QDir::tempPath());
        return folders.isValid() && windowBesideCommandLine(dialogs, folders) ? 0 : fail("a large album did not come down");
    }
    if (largeOnly) {
        ScriptedDialogs dialogs;
        Folders folders(QDir::tempPath());
        return folders.isValid() && largeAlbums(dialogs, folders) ? 0 : fail("a large album did not come down");
    }
    DemoSite site(seed());
    if (!site.start())
        return fail("the demo site did not start");
    setSiteAddresses(SiteAddresses::forBase(site.base()));
    OnlyNewDialogs dialogs;
    BrowserLoads browser;
    QTemporaryDir appDir;

    auto *w = new MainForm(appDir.path());
    const std::unique_ptr<MainForm> window(w);
    w->show();

    const QString album = site.url(QStringLiteral("/photo/100000001/album-9001"));
    w->WebBrowser1->navigate(album);
    if (!waitForDocument(w->WebBrowser1, album, 60000) || !w->CmdStartDown->isEnabled())
        return fail("the album page did not load");
    Bench bench{site, w, dialogs, album};
    Folders folders(QDir::tempPath());
    if (!folders.isValid())
        return fail("no temporary folder");

    std::printf("album: %d pictures on %d pages from the demo site on 127.0.0.1, through the window (offscreen)\n\n",
                Pictures, Pages);

    // One by one, a picture per tick.
    std::optional<Run> paced;
    if (!fastOnly) {
        paced = runJob(bench, Speed::Paced, DownloadMode::ReplaceAll, folders.fresh());
        if (!paced)
            return fail("the paced download did not end");
        // One tick per picture plus the tick that completes the job, each
        // followed by the timer's gap (the completing one is not).
        const double perPicture =
            double(paced->downloadMs() - qint64(paced->collected) * TickGapMs) / paced->collected;
        std::printf("One by one (one picture per %d ms tick):\n", TickGapMs);
        printRun(*paced);
        std::printf("  per picture beyond the gap:   %6.2f ms\n\n", perPicture);
    }

    // Files on disk, where the user keeps them; and in memory, where the
    // file system's own cost is left out of both sides.
    const QString curl = useCurl ? QStandardPaths::findExecutable(QStringLiteral("curl")) : QString();
    const char *baselineName = curl.isEmpty() ? "loop" : "curl";
    std::printf("Columns: job: press to completion message; collect: the %d album pages; download: end of collection\n"
                "to the job's end; CPU/pic: this process's CPU over the job per picture; dl CPU: the same over the\n"
                "download phase; win CPU: the window's thread alone over it; %s: the same %d picture pages and\n"
                "pictures, its time and its own CPU;\n"
                "ratio: fast mode's download-phase throughput / %s's.\n",
                Pages, baselineName, Pictures, baselineName);
    if (!curl.isEmpty())
        std::printf("Starting curl takes %.3f s (`curl --version`), which its times include.\n", curlStartSeconds(curl));
    std::printf("\n");
    if (!fastBesideBaseline(bench, folders, paced ? &*paced : nullptr, curl))
        return fail("the fast download did not end");
    if (QStorageInfo(QStringLiteral("/dev/shm")).fileSystemType() == "tmpfs"
        && QStorageInfo(QDir::tempPath()).fileSystemType() != "tmpfs") {
        Folders memory(QStringLiteral("/dev/shm"));
        if (memory.isValid() && !fastBesideBaseline(bench, memory, paced ? &*paced : nullptr, curl))
            return fail("the fast download did not end");
    }

    if (fastOnly)
        return 0;
    // Only new pictures, twice over the same album in each pace.
    std::printf("Only new pictures, twice over the unchanged album (requests as the demo site counted them):\n");
    for (Speed speed : {Speed::Paced, Speed::Fast}) {
        const QString folder = folders.fresh();
        const std::optional<Run> first = runJob(bench, speed, DownloadMode::OnlyNew, folder);
        const std::optional<Run> second = first ? runJob(bench, speed, DownloadMode::OnlyNew, folder) : first;
        if (!second)
            return fail("an only-new download did not end");
        printOnlyNew(speed == Speed::Paced ? "one by one" : "fast mode", *first, *second);
    }
    std::printf("\n");
    browser.watch(w->WebBrowser1);
    browser.watch(w->WebBrowser2);
    if (!secondRuns(bench, dialogs, browser, folders, Pages, Pictures))
        return fail("an only-new download did not end");
    printSecondRunColumns();
    if (large && !largeAlbums(dialogs, folders))
        return fail("a large album did not come down");

    // One request kept waiting for 5 s while the event loop runs freely.
    QEventLoop loop;
    bool answered = false;
    QElapsedTimer waitClock;
    const double cpuBefore = processCpuSeconds();
    waitClock.start();
    fetchText(BrowserProfile::network()->manager(), QStringLiteral("UTF-8"), site.url(QStringLiteral("/test/slow?ms=5000")), QString(), nullptr,
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
    const QStringList args = QCoreApplication::arguments();
    const int rc = run(!args.contains(QStringLiteral("--no-curl")), args.contains(QStringLiteral("--large")),
                       args.contains(QStringLiteral("--large-only")), args.contains(QStringLiteral("--large-cli")),
                       args.contains(QStringLiteral("--only-new")), args.contains(QStringLiteral("--fast-only")));
    BrowserProfile::shutdown();
    return rc;
}
