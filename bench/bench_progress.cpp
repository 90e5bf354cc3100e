// What the progress list costs the window on a large album: one fast-mode
// job through the real window against the demo site, for albums of 200,
// 5,000 and 20,000 pictures (20 per album page), its pages read as HTML and,
// for an album whose links a script writes, through the pane. For each it
// prints the window process's peak memory above what it held before the
// press, per picture, and the longest time the event loop went without
// running a timer of 1 ms between the press and the completion message. Each
// size runs in a process of its own, so one peak does not hide in another.
//
// Beside that plain run, each size runs again with the window on an
// accessibility bus, as a screen reader puts it there (an X server of its own
// under Xvfb, a session bus and at-spi2-core's bus, QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1),
// with a listener in this process that registers for the events a screen
// reader asks for (libatspi, as Orca does). The plain run is then on an X
// server of its own too; the two alternate, three pairs of them (--pairs N),
// and the bench prints both job times, their ratio and its median, how often the
// listener heard of the progress list, the progress bar and the status
// labels (events per second, the longest gap between two), and whether it
// read the completion message, whose OK it presses as a user would. When no
// bus can be started (no Xvfb, dbus-daemon or at-spi2-core), it says so and
// runs the plain run alone, offscreen. Prints its figures; it asserts
// nothing, and fails only when it could not run.
//
//   QT_QPA_PLATFORM=offscreen ./bench_progress [--pane-too] [--no-bus] [--pairs N] [pictures ...]
#if defined(QUILLMOOR_BENCH_ATSPI)
// Ahead of every Qt header: GLib's headers use `signals` as a name.
#include <atspi/atspi.h>
#endif

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
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#if defined(QUILLMOOR_BENCH_ATSPI)
#include <QDBusConnection>
#include <QDBusMessage>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <memory>
#include <vector>

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

// CPU time this process has used, in ms: all of it, and that in the kernel.
struct CpuMs {
    qint64 all = 0;
    qint64 kernel = 0;
};

CpuMs cpuUsed()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return qint64(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return {ms(usage.ru_utime) + ms(usage.ru_stime), ms(usage.ru_stime)};
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

// How a run reports to the bench that started it, one marker line each:
// "@press", "@end <message>" and "@result <seconds> <longest block> <saved>".
bool g_markers = false;

void marker(const QByteArray &line)
{
    if (!g_markers)
        return;
    std::printf("@%s\n", line.constData());
    std::fflush(stdout);
}

// The program's completion message as the program shows it, a real message
// box, so that the screen reader hears of it; the listener presses its OK.
class ShownDialogs : public ScriptedDialogs
{
public:
    void information(QWidget *parent, const QString &title, const QString &text) override
    {
        ScriptedDialogs::information(parent, title, text);
        if (!showBox)
            return;
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
        // A listener that never presses OK does not hold the run for ever.
        QTimer::singleShot(30000, &box, &QMessageBox::reject);
        box.exec();
    }
    bool showBox = false;
};

// One album of `pictures` through a fresh window, saved into `folder` (a
// temporary one when empty); prints one line.
int runOne(int pictures, bool pane, bool showBox, const QString &folder)
{
    DemoSite site(seed(pictures, pane));
    if (!site.start())
        return fail("the demo site did not start");
    setSiteAddresses(SiteAddresses::forBase(site.base()));
    ShownDialogs dialogs;
    dialogs.showBox = showBox;
    QTemporaryDir appDir;
    QTemporaryDir ownFolder;
    if (!appDir.isValid() || (folder.isEmpty() && !ownFolder.isValid()))
        return fail("no temporary folder");

    auto *w = new MainForm(appDir.path());
    const std::unique_ptr<MainForm> window(w);
    w->show();
    const QString album = site.url(QStringLiteral("/photo/100000001/album-9001"));
    w->WebBrowser1->navigate(album);
    if (!waitForDocument(w->WebBrowser1, album, 60000) || !w->CmdStartDown->isEnabled())
        return fail("the album page did not load");
    chooseFastMode(w);
    w->TxtPath->setText(folder.isEmpty() ? ownFolder.path() : folder);

    QEventLoop done;
    int saved = 0;
    const qint64 before = statusKb("VmRSS");
    if (before < 0 || !resetPeak())
        return fail("the process's memory cannot be read");
    BlockWatch watch;
    QElapsedTimer clock;
    qint64 jobMs = -1;
    qint64 longest = -1;
    CpuMs cpu;
    const CpuMs cpuBefore = cpuUsed();
    // The job ends at the completion message; the time the box stays up
    // counts for nothing.
    dialogs.onInformation = [&] {
        jobMs = clock.elapsed();
        cpu = cpuUsed();
        cpu = {cpu.all - cpuBefore.all, cpu.kernel - cpuBefore.kernel};
        longest = watch.longestMs();
        marker("end " + dialogs.lastText().toUtf8().toPercentEncoding());
        done.quit();
    };
    // Seen when the block ends: the phase it ended in.
    bool started = false;
    watch.start([w, &started] {
        if (!w->albumJob())
            return started ? "end" : "start";
        started = true;
        return w->albumJob()->state() == DownloadJob::State::Collecting ? "collecting" : "downloading";
    });
    marker("press");
    clock.start();
    w->CmdStartDown->Click();
    DownloadJob *job = w->albumJob();
    if (!job)
        return fail("the job did not start");
    QObject::connect(job, &DownloadJob::finished, job, [&](const JobReport &report) { saved = report.saved; });
    QTimer::singleShot(JobTimeoutMs, &done, &QEventLoop::quit);
    done.exec();
    const qint64 peak = statusKb("VmHWM");
    if (dialogs.messages.isEmpty())
        return fail("the job did not end in time");
    std::printf("%6d pictures (%4d pages, %s): saved %6d in %6.1f s; peak +%7lld kB = %5.2f kB per picture;"
                " longest event-loop block %4lld ms (%s); CPU %.1f s, %.1f s of it in the kernel\n",
                pictures, (pictures + PerPage - 1) / PerPage, pane ? "pane" : "html", saved, jobMs / 1000.0,
                static_cast<long long>(peak - before), double(peak - before) / pictures,
                static_cast<long long>(longest), watch.longestPhase(), cpu.all / 1000.0, cpu.kernel / 1000.0);
    std::fflush(stdout);
    marker(QStringLiteral("result %1 %2 %3 %4").arg(jobMs).arg(longest).arg(saved).arg(cpu.all).toUtf8());
    return saved == pictures ? 0 : fail("not every picture was saved");
}

// What a run told the bench, in the bench's clock.
struct RunResult {
    bool ok = false;
    qint64 jobMs = -1;
    qint64 longestMs = -1;
    qint64 cpuMs = -1;
    qint64 pressAt = -1;
    qint64 endAt = -1;
    QString message;
};

// Runs `args` in a child process with `env`, forwarding what it prints but
// its marker lines, until it ends (bounded).
RunResult runChild(const QStringList &args, const QProcessEnvironment &env, const QElapsedTimer &clock)
{
    RunResult result;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setProcessEnvironment(env);
    QEventLoop loop;
    QByteArray pending;
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, [&] {
        pending += child.readAllStandardOutput();
        for (int eol = pending.indexOf('\n'); eol >= 0; eol = pending.indexOf('\n')) {
            const QByteArray line = pending.left(eol);
            pending.remove(0, eol + 1);
            if (!line.startsWith('@')) {
                std::printf("%s\n", line.constData());
                std::fflush(stdout);
                continue;
            }
            const QList<QByteArray> parts = line.mid(1).split(' ');
            if (parts.constFirst() == "press") {
                result.pressAt = clock.elapsed();
            } else if (parts.constFirst() == "end" && parts.size() > 1) {
                result.endAt = clock.elapsed();
                result.message = QString::fromUtf8(QByteArray::fromPercentEncoding(parts.at(1)));
            } else if (parts.constFirst() == "result" && parts.size() > 3) {
                result.jobMs = parts.at(1).toLongLong();
                result.longestMs = parts.at(2).toLongLong();
                result.cpuMs = parts.value(4, "-1").toLongLong();
            }
        }
    });
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    QTimer::singleShot(JobTimeoutMs + 120000, &loop, &QEventLoop::quit);
    child.start(QCoreApplication::applicationFilePath(), args);
    loop.exec();
    if (child.state() != QProcess::NotRunning) {
        fail("a run did not end in time");
        child.kill();
        child.waitForFinished(10000);
        return result;
    }
    result.ok = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return result;
}

// A helper program started by the bench and ended with it; `firstLine` is
// the line it prints once it is ready (a display number, a bus address).
class Helper
{
public:
    ~Helper()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool start(const QString &program, const QStringList &args, const QProcessEnvironment &env, QString *firstLine)
    {
        m_process.setProcessEnvironment(env);
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.start(program, args);
        if (!m_process.waitForStarted(10000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (!m_process.canReadLine() && waited.elapsed() < 20000
               && m_process.waitForReadyRead(int(20000 - waited.elapsed()))) {
        }
        if (!m_process.canReadLine())
            return false;
        *firstLine = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return !firstLine->isEmpty();
    }

private:
    QProcess m_process;
};

// Where each run saves its pictures: kept until the bench ends. A run must
// not follow the deletion of another's many thousand files: ext4 without a
// journal (as here) steps past every inode freed in the last minute or so
// for each file it makes, and creating 20,000 files right after deleting as
// many took 2.5 times as long, which would count against the later run.
class SaveFolders
{
public:
    // The arguments that give a run a folder of its own; empty when none can be made.
    QStringList next()
    {
        m_folders.push_back(std::make_unique<QTemporaryDir>());
        if (!m_folders.back()->isValid())
            return {};
        return {QStringLiteral("--save-folder"), m_folders.back()->path()};
    }

private:
    std::vector<std::unique_ptr<QTemporaryDir>> m_folders;
};

#if defined(QUILLMOOR_BENCH_ATSPI)
// What a screen reader hears of the window: registers, as Orca does, for the
// events of objects, windows and focus, and notes when each came, sorted by
// the role of the object it came from. It reads the texts of a message box
// that shows and presses its OK.
class ScreenReader
{
public:
    enum Kind { List, Bar, Status, Other, KindCount };

    bool start(const QString &a11yBus, QString *why)
    {
        qputenv("AT_SPI_BUS_ADDRESS", a11yBus.toUtf8());
        if (atspi_init() > 1) {
            *why = QStringLiteral("libatspi did not start");
            return false;
        }
        m_listener = atspi_event_listener_new(&ScreenReader::onEvent, this, nullptr);
        for (const char *type : {"object:children-changed", "object:property-change", "object:property-change:accessible-name",
                                 "object:property-change:accessible-value", "object:value-changed",
                                 "object:state-changed",
                                 "object:text-changed", "object:selection-changed",
                                 "object:active-descendant-changed", "object:visible-data-changed",
                                 "window:activate", "window:create", "focus:"}) {
            GError *error = nullptr;
            if (!atspi_event_listener_register(m_listener, type, &error)) {
                *why = QStringLiteral("no listener for %1: %2")
                           .arg(QLatin1String(type), QString::fromUtf8(error ? error->message : ""));
                if (error)
                    g_error_free(error);
                return false;
            }
        }
        return true;
    }

    void reset(const QElapsedTimer *clock)
    {
        m_clock = clock;
        for (QList<qint64> &times : m_times)
            times.clear();
        for (auto it = m_kinds.begin(); it != m_kinds.end(); ++it)
            g_object_unref(it.key());
        m_kinds.clear();
        m_boxTexts.clear();
        m_boxAt = -1;
        m_pressed = false;
        m_events = 0;
    }

    const QList<qint64> &times(Kind kind) const { return m_times[kind]; }
    int events() const { return m_events; }
    QStringList boxTexts() const { return m_boxTexts; }
    qint64 boxAt() const { return m_boxAt; }
    bool pressedOk() const { return m_pressed; }

private:
    static void onEvent(AtspiEvent *event, void *data)
    {
        static_cast<ScreenReader *>(data)->heard(event);
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    static AtspiRole roleOf(AtspiAccessible *object)
    {
        GError *error = nullptr;
        const AtspiRole role = atspi_accessible_get_role(object, &error);
        if (error)
            g_error_free(error);
        return role;
    }

    static QString nameOf(AtspiAccessible *object)
    {
        GError *error = nullptr;
        gchar *name = atspi_accessible_get_name(object, &error);
        if (error)
            g_error_free(error);
        const QString text = QString::fromUtf8(name);
        g_free(name);
        return text;
    }

    void heard(AtspiEvent *event)
    {
        if (!m_clock || !event->source)
            return;
        const qint64 at = m_clock->elapsed();
        ++m_events;
        auto known = m_kinds.constFind(event->source);
        Kind kind = Other;
        if (known != m_kinds.constEnd()) {
            kind = known.value();
        } else {
            const AtspiRole role = roleOf(event->source);
            switch (role) {
            case ATSPI_ROLE_TREE_TABLE:
            case ATSPI_ROLE_TABLE:
            case ATSPI_ROLE_TREE:
            case ATSPI_ROLE_TABLE_CELL:
            case ATSPI_ROLE_TREE_ITEM:
            case ATSPI_ROLE_TABLE_ROW:
                kind = List;
                break;
            case ATSPI_ROLE_PROGRESS_BAR:
                kind = Bar;
                break;
            case ATSPI_ROLE_LABEL:
            case ATSPI_ROLE_STATUS_BAR:
                kind = Status;
                break;
            case ATSPI_ROLE_ALERT:
            case ATSPI_ROLE_DIALOG:
                readBox(event->source, at);
                break;
            default:
                break;
            }
            m_kinds.insert(static_cast<AtspiAccessible *>(g_object_ref(event->source)), kind);
        }
        m_times[kind].append(at);
    }

    // Reads every text of the box, as a screen reader reads a box that
    // shows, then presses its OK from the event loop.
    void readBox(AtspiAccessible *box, qint64 at)
    {
        if (m_boxAt >= 0)
            return;
        m_boxAt = at;
        QList<AtspiAccessible *> buttons;
        collect(box, 0, &buttons);
        for (AtspiAccessible *button : buttons) {
            QTimer::singleShot(0, [this, button] {
                AtspiAction *action = atspi_accessible_get_action_iface(button);
                GError *error = nullptr;
                if (action && atspi_action_do_action(action, 0, &error))
                    m_pressed = true;
                if (error)
                    g_error_free(error);
                if (action)
                    g_object_unref(action);
                g_object_unref(button);
            });
        }
    }

    void collect(AtspiAccessible *object, int depth, QList<AtspiAccessible *> *buttons)
    {
        GError *error = nullptr;
        const int children = atspi_accessible_get_child_count(object, &error);
        if (error)
            g_error_free(error);
        for (int i = 0; i < children && i < 50; ++i) {
            AtspiAccessible *child = atspi_accessible_get_child_at_index(object, i, nullptr);
            if (!child)
                continue;
            const AtspiRole role = roleOf(child);
            if (role == ATSPI_ROLE_PUSH_BUTTON) {
                buttons->append(child);
                continue;
            }
            const QString name = nameOf(child);
            if (!name.isEmpty())
                m_boxTexts << name;
            if (depth < 3)
                collect(child, depth + 1, buttons);
            g_object_unref(child);
        }
    }

    const QElapsedTimer *m_clock = nullptr;
    AtspiEventListener *m_listener = nullptr;
    QHash<AtspiAccessible *, Kind> m_kinds;
    QList<qint64> m_times[KindCount];
    QStringList m_boxTexts;
    qint64 m_boxAt = -1;
    bool m_pressed = false;
    int m_events = 0;
};

// How often `times` came between `from` and `to`: "N events, x/s, longest
// gap y s", the gaps counted from `from` and up to `to`.
QByteArray cadence(const QList<qint64> &times, qint64 from, qint64 to)
{
    qint64 last = from;
    qint64 longest = 0;
    int count = 0;
    for (qint64 at : times) {
        if (at < from || at > to)
            continue;
        ++count;
        longest = qMax(longest, at - last);
        last = at;
    }
    longest = qMax(longest, to - last);
    return QStringLiteral("%1 events, %2/s, longest gap %3 s")
        .arg(count)
        .arg(count * 1000.0 / qMax<qint64>(1, to - from), 0, 'f', 1)
        .arg(longest / 1000.0, 0, 'f', 2)
        .toUtf8();
}

QString squeezed(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

// An X server of its own (Xvfb) for windows of `env`; the display goes into `env`.
bool startX(Helper *server, const QString &xvfb, QProcessEnvironment *env)
{
    QString display;
    if (!server->start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1280x1024x24")},
                       *env, &display))
        return false;
    env->insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + display);
    env->insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QByteArray flags = env->value(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")).toUtf8();
    if (!flags.contains("--disable-gpu"))
        env->insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QString::fromUtf8(flags + " --disable-gpu"));
    return true;
}

// Starts at-spi2-core's bus as a screen reader's first call does; its
// address, or the empty text (`why` says why).
QString startA11yBus(const QString &sessionAddress, QString *why)
{
    QDBusConnection session = QDBusConnection::connectToBus(sessionAddress, QStringLiteral("bench-session"));
    const QDBusMessage reply = session.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 20000);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        return reply.arguments().constFirst().toString();
    *why = QStringLiteral("at-spi2-core's bus did not start (Debian: at-spi2-core): ") + reply.errorMessage();
    return {};
}

// One pair's figures; `heard` the events of the bus run, `busFirst` when it came first.
void printBusRun(const QStringList &run, const RunResult &before, const RunResult &bus, const ScreenReader &reader,
                 int heard, bool busFirst)
{
    const bool seen = reader.boxAt() >= 0 && !bus.message.isEmpty()
                      && squeezed(reader.boxTexts().join(QString())).contains(squeezed(bus.message));
    std::printf("  %s pictures%s: whole job without the bus %.1f s, with it %.1f s%s: %.2fx (at most 1.3x);"
                " longest event-loop block %lld / %lld ms; the window's CPU %.1f / %.1f s\n"
                "    listener, %d events in all, from the press to the message: progress list %s;"
                " progress bar %s; status labels %s\n"
                "    completion message read by the listener: %s%s\n",
                qPrintable(run.at(1)), run.contains(QStringLiteral("--pane")) ? " (pane)" : "",
                before.jobMs / 1000.0, bus.jobMs / 1000.0, busFirst ? " (run first)" : "",
                double(bus.jobMs) / qMax<qint64>(1, before.jobMs), static_cast<long long>(before.longestMs),
                static_cast<long long>(bus.longestMs), before.cpuMs / 1000.0, bus.cpuMs / 1000.0, heard,
                cadence(reader.times(ScreenReader::List), bus.pressAt, bus.endAt).constData(),
                cadence(reader.times(ScreenReader::Bar), bus.pressAt, bus.endAt).constData(),
                cadence(reader.times(ScreenReader::Status), bus.pressAt, bus.endAt).constData(),
                seen ? "yes" : "no", reader.pressedOk() ? ", OK pressed through the bus" : "");
    std::fflush(stdout);
}

// Each run `pairs` times without and with the accessibility bus, one after
// the other (the order turned every second pair), each on an X server of
// its own: at-spi2-core's bus names itself on the X server of the session
// bus, where every later window would find it. Load from other work comes
// and goes within a minute here, so the ratio is the median of the pairs'.
// False when the bus could not be started (`why` says why).
bool runOnBus(const QList<QStringList> &runs, int pairs, int *rc, QString *why)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString dbusDaemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (xvfb.isEmpty() || dbusDaemon.isEmpty()) {
        *why = QStringLiteral("Xvfb or dbus-daemon is not installed (Debian: xvfb, dbus-daemon)");
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON",
                             "QT_ACCESSIBILITY", "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"})
        env.remove(QLatin1String(name));
    QProcessEnvironment plainEnv = env;
    QProcessEnvironment busEnv = env;
    Helper plainX;
    Helper busX;
    if (!startX(&plainX, xvfb, &plainEnv) || !startX(&busX, xvfb, &busEnv)) {
        *why = QStringLiteral("Xvfb did not start");
        return false;
    }
    Helper sessionBus;
    QString sessionAddress;
    if (!sessionBus.start(dbusDaemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                       QStringLiteral("--print-address=1")},
                          busEnv, &sessionAddress)) {
        *why = QStringLiteral("the session bus did not start");
        return true;
    }
    const QString a11yAddress = startA11yBus(sessionAddress, why);
    if (a11yAddress.isEmpty())
        return true;
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionAddress.toUtf8());
    qputenv("DISPLAY", busEnv.value(QStringLiteral("DISPLAY")).toUtf8());
    ScreenReader reader;
    if (!reader.start(a11yAddress, why))
        return true;
    busEnv.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress);
    busEnv.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));

    std::printf("without the bus on Xvfb %s, with the accessibility bus (%s) and a listener on it on Xvfb %s (xcb);"
                " %d pair(s) of runs\n\n",
                qPrintable(plainEnv.value(QStringLiteral("DISPLAY"))), qPrintable(a11yAddress),
                qPrintable(busEnv.value(QStringLiteral("DISPLAY"))), pairs);
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    SaveFolders folders;
    const QStringList markers{QStringLiteral("--markers")};
    for (const QStringList &run : runs) {
        QList<double> ratios;
        for (int pair = 0; pair < pairs; ++pair) {
            RunResult plain;
            RunResult bus;
            int heardPlain = 0;
            int heardBus = 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (pair % 2 == 0)) {
                    const int before = reader.events();
                    plain = runChild(run + markers + folders.next(), plainEnv, clock);
                    heardPlain = reader.events() - before;
                } else {
                    reader.reset(&clock);
                    bus = runChild(run + markers + QStringList{QStringLiteral("--show-box")} + folders.next(),
                                   busEnv, clock);
                    heardBus = reader.events();
                }
            }
            if (!plain.ok || !bus.ok)
                *rc = 1;
            printBusRun(run, plain, bus, reader, heardBus, pair % 2 == 1);
            if (heardPlain > 0)
                std::printf("    the listener heard %d events from the run without the bus\n", heardPlain);
            ratios << double(bus.jobMs) / qMax<qint64>(1, plain.jobMs);
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf("  %s pictures: median ratio of %lld pair(s) %.2fx (at most 1.3x)\n\n", qPrintable(run.at(1)),
                    static_cast<long long>(ratios.size()), ratios.at(ratios.size() / 2));
        std::fflush(stdout);
    }
    return true;
}
#endif

// Each size in a child process of its own, one after another.
int runAll(const QList<int> &sizes, bool paneToo, bool bus, int pairs)
{
    std::printf("fast mode, %d at once, through the window, demo site on 127.0.0.1;\n"
                "memory: the window process's peak resident size above its size at the press\n",
                InFlight);
    std::fflush(stdout);
    int rc = 0;
    QList<QStringList> runs;
    for (int pictures : sizes) {
        runs << QStringList{QStringLiteral("--one"), QString::number(pictures)};
        if (paneToo)
            runs << QStringList{QStringLiteral("--one"), QString::number(pictures), QStringLiteral("--pane")};
    }
    QString why = QStringLiteral("left out (--no-bus)");
#if defined(QUILLMOOR_BENCH_ATSPI)
    if (bus && (why.clear(), runOnBus(runs, pairs, &rc, &why))) {
        if (!why.isEmpty())
            std::printf("\naccessibility bus run skipped: %s\n", qPrintable(why));
        return why.isEmpty() ? rc : 1;
    }
#else
    Q_UNUSED(pairs);
    if (bus)
        why = QStringLiteral("built without libatspi (Debian: libatspi2.0-dev)");
#endif
    std::printf("accessibility bus run skipped: %s\n\nwithout it, offscreen:\n", qPrintable(why));
    std::fflush(stdout);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QElapsedTimer clock;
    clock.start();
    SaveFolders folders;
    for (const QStringList &run : runs)
        if (!runChild(run + folders.next(), env, clock).ok)
            rc = 1;
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
        g_markers = args.contains(QStringLiteral("--markers"));
        const int at = args.indexOf(QStringLiteral("--save-folder"));
        rc = runOne(args.at(1).toInt(), args.contains(QStringLiteral("--pane")),
                    args.contains(QStringLiteral("--show-box")), at > 0 ? args.value(at + 1) : QString());
    } else {
        QList<int> sizes;
        int pairs = 3;
        for (int i = 0; i < args.size(); ++i) {
            if (args.at(i) == QLatin1String("--pairs") && i + 1 < args.size())
                pairs = qMax(1, args.at(++i).toInt());
            else if (args.at(i).toInt() > 0)
                sizes << args.at(i).toInt();
        }
        rc = runAll(sizes.isEmpty() ? QList<int>{200, 5000, 20000} : sizes,
                    args.contains(QStringLiteral("--pane-too")), !args.contains(QStringLiteral("--no-bus")), pairs);
    }
    BrowserProfile::shutdown();
    return rc;
}
