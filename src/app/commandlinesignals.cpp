#include "commandlinesignals.h"

#include "browser/browserprofile.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a handler; the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto read = ::read(g_signalPipe[0], &byte, 1);
        emit stopRequested();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

int runCommandLine(const CommandLineRequest &request, const AppLocations &locations)
{
    int code = ExitCode::Whole;
    {
        CommandLineRun run(request, locations);
        StopSignals stopSignals;
        QObject::connect(&stopSignals, &StopSignals::stopRequested, &run, &CommandLineRun::stop);
        QObject::connect(&run, &CommandLineRun::finished, &run, [&code](int result) {
            code = result;
            QCoreApplication::quit();
        });
        run.start();
        QCoreApplication::exec();
    }
    // Pages must go before the browser profile they use.
    BrowserProfile::shutdown();
    return code;
}
