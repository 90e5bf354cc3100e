// What the progress list costs the window on a large album: one fast-mode
// job through the real window (offscreen) against the demo site, for albums
// of 200, 5,000 and 20,000 pictures (20 per album page), its pages read as
// HTML and, for an album whose links a script writes, through the pane. For
// each it prints
// the window process's peak memory above what it held before the press, per
// picture, and the longest time the event loop went without running a timer
// of 1 ms between the press and the completion message. Each size runs in a
// process of its own, so one peak does not hide in another. Prints its
// figures; it asserts nothing, and fails only when it could not run.
//
//   QT_QPA_PLATFORM=offscreen ./bench_progress [--pane-too] [pictures ...]
#include "app/mainform.h"
#include "demosite.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "windowtesting.h"
#include "addresses/siteaddresses.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int PerPage = 20;
constexpr int InFlight = 4;
constexpr int JobTimeoutMs = 20 * 60 * 1000;

// A "Vm..." line of /proc/self/status, in kB; -1 when it cannot be read.
qint64 statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').constFirst().toLongLong();
    return -1;
}

// Starts a new peak from the memory held now.
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// The longest gap between two ticks of a 1 ms timer: how long the event loop
// was kept from running anything else.
class BlockWatch : public QObject
{
public:
    BlockWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }
    // `phase` names what the window is doing, for the longest block.
    void start(std::function<const char *()> phase)
    {
        m_phase = std::move(phase);
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    const char *longestPhase() const { return m_longestPhase; }
    // Counts the gap up to now too, e.g. a handler that runs to its end
    // before the loop is entered.
    qint64 longestMs()
    {
        tick();
        return m_longest;
    }

private:
    void tick()
    {
        const qint64 gap = m_clock.restart();
        if (gap > m_longest) {
            m_longest = gap;
            m_longestPhase = m_phase ? m_phase() : "";
        }
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
    std::function<const char *()> m_phase;
    const char *m_longestPhase = "";
};

QByteArray seed(int pictures, bool scriptLinks)
{
    const int pages = (pictures + PerPage - 1) / PerPage;
    return QStringLiteral(R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "9001", "name": "大相册", "pages": %1, "perPage": %2, "scriptLinks": %3 } ] } ] })")
        .arg(pages)
        .arg(PerPage)
        .arg(scriptLinks ? "true" : "false")
        .toUtf8();
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_progress: %s\n", what);
    return 1;
}

void chooseFastMode(MainForm *w)
{
    w->Fast->trigger();
    for (QAction *count : w->InFlight->actions())
        if (count->data().toInt() == InFlight)
            count->trigger();
    w->AllNew->trigger();
}

// One album of `pictures` through a fresh window; prints one line.
int runOne(int pictures, bool pane)
{
    DemoSite site(seed(pictures, pane));
    if (!site.start())
        return fail("the demo site did not start");
    setSiteAddresses(SiteAddresses::forBase(site.base()));
    ScriptedDialogs dialogs;
    QTemporaryDir appDir;
    QTemporaryDir saveDir;
    if (!appDir.isValid() || !saveDir.isValid())
        return fail("no temporary folder");

    auto *w = new MainForm(appDir.path());
    const std::unique_ptr<MainForm> window(w);
    w->show();
    const QString album = site.url(QStringLiteral("/photo/100000001/album-9001"));
    w->WebBrowser1->navigate(album);
    if (!waitForDocument(w->WebBrowser1, album, 60000) || !w->CmdStartDown->isEnabled())
        return fail("the album page did not load");
    chooseFastMode(w);
    w->TxtPath->setText(saveDir.path());

    QEventLoop done;
    int saved = 0;
    dialogs.onInformation = [&] { done.quit(); };
    const qint64 before = statusKb("VmRSS");
    if (before < 0 || !resetPeak())
        return fail("the process's memory cannot be read");
    BlockWatch watch;
    QElapsedTimer clock;
    // Seen when the block ends: the phase it ended in.
    bool started = false;
    watch.start([w, &started] {
        if (!w->albumJob())
            return started ? "end" : "start";
        started = true;
        return w->albumJob()->state() == DownloadJob::State::Collecting ? "collecting" : "downloading";
    });
    clock.start();
    w->CmdStartDown->Click();
    DownloadJob *job = w->albumJob();
    if (!job)
        return fail("the job did not start");
    QObject::connect(job, &DownloadJob::finished, job, [&](const JobReport &report) { saved = report.saved; });
    QTimer::singleShot(JobTimeoutMs, &done, &QEventLoop::quit);
    done.exec();
    const qint64 longest = watch.longestMs();
    const qint64 peak = statusKb("VmHWM");
    if (dialogs.messages.isEmpty())
        return fail("the job did not end in time");
    std::printf("%6d pictures (%4d pages, %s): saved %6d in %6.1f s; peak +%7lld kB = %5.2f kB per picture;"
                " longest event-loop block %4lld ms (%s)\n",
                pictures, (pictures + PerPage - 1) / PerPage, pane ? "pane" : "html", saved, clock.elapsed() / 1000.0,
                static_cast<long long>(peak - before), double(peak - before) / pictures,
                static_cast<long long>(longest), watch.longestPhase());
    std::fflush(stdout);
    return saved == pictures ? 0 : fail("not every picture was saved");
}

// Each size in a child process of its own, one after another.
int runAll(const QList<int> &sizes, bool paneToo)
{
    std::printf("fast mode, %d at once, through the window (offscreen), demo site on 127.0.0.1;\n"
                "memory: the window process's peak resident size above its size at the press\n\n",
                InFlight);
    std::fflush(stdout);
    int rc = 0;
    QList<QStringList> runs;
    for (int pictures : sizes) {
        runs << QStringList{QStringLiteral("--one"), QString::number(pictures)};
        if (paneToo)
            runs << QStringList{QStringLiteral("--one"), QString::number(pictures), QStringLiteral("--pane")};
    }
    for (const QStringList &run : runs) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), run);
        if (!child.waitForFinished(JobTimeoutMs + 120000)) {
            child.kill();
            child.waitForFinished(10000);
            rc = fail("a run did not end in time");
            continue;
        }
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            rc = 1;
    }
    return rc;
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

    QStringList args = QCoreApplication::arguments().mid(1);
    int rc = 0;
    if (args.size() >= 2 && args.constFirst() == QLatin1String("--one")) {
        rc = runOne(args.at(1).toInt(), args.contains(QStringLiteral("--pane")));
    } else {
        QList<int> sizes;
        for (const QString &arg : args)
            if (arg.toInt() > 0)
                sizes << arg.toInt();
        rc = runAll(sizes.isEmpty() ? QList<int>{200, 5000, 20000} : sizes,
                    args.contains(QStringLiteral("--pane-too")));
    }
    BrowserProfile::shutdown();
    return rc;
}
