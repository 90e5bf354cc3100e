// The program without a window: reading the arguments, the exit code a
// scheduler acts on, and Ctrl-C and SIGTERM as a request to stop.
#include "commandline.h"

#include <QCommandLineParser>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>


namespace {

// Every option of the program, the window's and the runs'.
struct Options {
    QCommandLineOption site{QStringLiteral("site"),
                            QStringLiteral("Use the site at BASE (e.g. http://127.0.0.1:8080) for every site address."),
                            QStringLiteral("BASE")};
    QCommandLineOption noTheme{QStringLiteral("no-theme"),
                               QStringLiteral("Draw the buttons in their plain look instead of the desktop theme.")};
    QCommandLineOption updateAll{QStringLiteral("update-all"),
                                 QStringLiteral("Fetch the new pictures of every album recorded in the save folder.")};
    QCommandLineOption update{QStringLiteral("update"),
                              QStringLiteral("Fetch the new pictures of the album in FOLDER (repeatable)."),
                              QStringLiteral("FOLDER")};
    QCommandLineOption album{QStringLiteral("album"), QStringLiteral("Download the album at URL (repeatable)."),
                             QStringLiteral("URL")};
    QCommandLineOption member{QStringLiteral("member"), QStringLiteral("Download every album of member ID."),
                              QStringLiteral("ID")};
    QCommandLineOption saveFolder{QStringLiteral("save-folder"),
                                  QStringLiteral("Save into DIR instead of the window's save folder."),
                                  QStringLiteral("DIR")};
    QCommandLineOption replace{QStringLiteral("replace"),
                               QStringLiteral("Download whole albums again (default: only new pictures).")};
    QCommandLineOption fast{QStringLiteral("fast"), QStringLiteral("Work on several pictures at once.")};
    QCommandLineOption inFlight{QStringLiteral("in-flight"), QStringLiteral("With --fast, N pictures at once (1 to 8)."),
                                QStringLiteral("N")};
    QCommandLineOption quiet{QStringLiteral("quiet"),
                             QStringLiteral("No progress line; only albums with a problem and the total.")};
};

CommandLineRequest usageError(const QString &text)
{
    CommandLineRequest request;
    request.action = CommandLineRequest::Action::UsageError;
    request.text = text;
    return request;
}

// The options of a run, once one of its kinds is given.
CommandLineRequest readRun(const QCommandLineParser &parser, const Options &options, CommandLineRequest request)
{
    const QStringList members = parser.values(options.member);
    const int kinds = int(request.updateAll) + int(!request.updateFolders.isEmpty()) + int(!request.albums.isEmpty())
        + int(!members.isEmpty());
    if (kinds > 1 || members.size() > 1)
        return usageError(QStringLiteral("Give one of --album, --member, --update or --update-all"));
    for (const QString &address : std::as_const(request.albums)) {
        const QUrl url(address);
        if (!url.isValid() || !url.scheme().startsWith(QLatin1String("http")) || url.host().isEmpty())
            return usageError(QStringLiteral("--album needs an album address: ") + address);
    }
    request.member = members.value(0);
    request.saveFolder = parser.value(options.saveFolder);
    request.replace = parser.isSet(options.replace);
    request.fast = parser.isSet(options.fast) || parser.isSet(options.inFlight);
    if (parser.isSet(options.inFlight)) {
        bool number = false;
        request.inFlight = parser.value(options.inFlight).toInt(&number);
        if (!number || request.inFlight < 1 || request.inFlight > JobSettings::MaxInFlight)
            return usageError(QStringLiteral("--in-flight needs a number from 1 to %1").arg(JobSettings::MaxInFlight));
    }
    if ((request.updateAll || !request.updateFolders.isEmpty()) && request.replace)
        return usageError(QStringLiteral("--update and --update-all fetch only new pictures; --replace does not apply"));
    request.quiet = parser.isSet(options.quiet);
    request.action = CommandLineRequest::Action::Run;
    return request;
}

} // namespace

CommandLineRequest parseCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Downloads Kestrelnet photo albums. Without --album, --member, --update or --update-all it opens the window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const Options o;
    parser.addOptions({o.site, o.noTheme, o.updateAll, o.update, o.album, o.member, o.saveFolder, o.replace, o.fast,
                       o.inFlight, o.quiet});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    CommandLineRequest request;
    if (parser.isSet(help)) {
        request.action = CommandLineRequest::Action::Help;
        // Read before any application object exists, the parser cannot know the program's name.
        request.text = parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("quillmoor"));
        return request;
    }
    if (parser.isSet(versionOption)) {
        request.action = CommandLineRequest::Action::Version;
        request.text = QStringLiteral("Quillmoor ") + version;
        return request;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unknown argument: ") + parser.positionalArguments().constFirst());
    request.site = parser.value(o.site);
    const QUrl base(request.site);
    if (parser.isSet(o.site) && (!base.isValid() || base.scheme() != QLatin1String("http") || base.host().isEmpty()))
        return usageError(QStringLiteral("--site needs an address like http://127.0.0.1:8080"));
    request.noTheme = parser.isSet(o.noTheme);
    request.updateAll = parser.isSet(o.updateAll);
    request.updateFolders = parser.values(o.update);
    request.albums = parser.values(o.album);
    if (request.updateAll || !request.updateFolders.isEmpty() || !request.albums.isEmpty() || parser.isSet(o.member))
        return readRun(parser, o, request);
    for (const QCommandLineOption &runOnly : {o.saveFolder, o.replace, o.fast, o.inFlight, o.quiet})
        if (parser.isSet(runOnly))
            return usageError(
                QStringLiteral("--%1 needs --album, --member, --update or --update-all").arg(runOnly.names().constFirst()));
    return request;
}

int RunOutcome::exitCode() const
{
    if (notLoggedIn)
        return ExitCode::NotLoggedIn;
    if (unreachable)
        return ExitCode::Unreachable;
    if (busy)
        return ExitCode::Busy;
    if (usage)
        return ExitCode::Usage;
    return notWhole ? ExitCode::NotWhole : ExitCode::Whole;
}

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
