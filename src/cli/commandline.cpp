// The program without a window: reading the arguments and the exit code a
// scheduler acts on.
#include "commandline.h"
#include "commandlineoptions.h"

#include "web/ratelimit.h"

#include <QCommandLineParser>

namespace {

CommandLineRequest usageError(const QString &text)
{
    CommandLineRequest request;
    request.action = CommandLineRequest::Action::UsageError;
    request.text = text;
    return request;
}

// The options of a run, once one of its kinds is given.
CommandLineRequest readRun(const QCommandLineParser &parser, CommandLineRequest request)
{
    int kinds = 0;
    for (const CommandLineOptionRow &row : commandLineOptions())
        kinds += row.use == CommandLineOptionRow::Use::RunKind && parser.isSet(row.name());
    const QStringList members = parser.values(QStringLiteral("member"));
    if (kinds > 1 || members.size() > 1)
        return usageError(QStringLiteral("Give one of --album, --member, --update, --update-all or --verify"));
    for (const QString &address : std::as_const(request.albums)) {
        const QUrl url(address);
        if (!url.isValid() || !url.scheme().startsWith(QLatin1String("http")) || url.host().isEmpty())
            return usageError(QStringLiteral("--album needs an album address: ") + address);
    }
    request.member = members.value(0);
    request.saveFolder = parser.value(QStringLiteral("save-folder"));
    request.replace = parser.isSet(QStringLiteral("replace"));
    request.fast = parser.isSet(QStringLiteral("fast")) || parser.isSet(QStringLiteral("in-flight"));
    if (parser.isSet(QStringLiteral("in-flight"))) {
        bool number = false;
        request.inFlight = parser.value(QStringLiteral("in-flight")).toInt(&number);
        if (!number || request.inFlight < 1 || request.inFlight > JobSettings::MaxInFlight)
            return usageError(QStringLiteral("--in-flight needs a number from 1 to %1").arg(JobSettings::MaxInFlight));
    }
    if ((request.updateAll || !request.updateFolders.isEmpty()) && request.replace)
        return usageError(QStringLiteral("--update and --update-all fetch only new pictures; --replace does not apply"));
    if (parser.isSet(QStringLiteral("limit-rate"))) {
        const std::optional<qint64> rate = parseRate(parser.value(QStringLiteral("limit-rate")));
        if (!rate)
            return usageError(QStringLiteral("--limit-rate needs a rate like 500k or 2M"));
        request.limitRate = *rate;
    }
    request.captions = parser.value(QStringLiteral("captions"));
    if (parser.isSet(QStringLiteral("captions"))
        && !QStringList{"none", "embed", "xmp"}.contains(request.captions))
        return usageError(QStringLiteral("--captions takes none, embed or xmp"));
    request.quiet = parser.isSet(QStringLiteral("quiet"));
    request.json = parser.isSet(QStringLiteral("json"));
    request.action = CommandLineRequest::Action::Run;
    return request;
}

CommandLineRequest readArguments(const QCommandLineParser &parser, const QString &version)
{
    CommandLineRequest request;
    using Action = CommandLineRequest::Action;
    const std::pair<const char *, Action> shown[] = {
        {"help", Action::Help}, {"version", Action::Version},
        {"man-page", Action::ManPage}, {"bash-completion", Action::BashCompletion}};
    for (const auto &[name, action] : shown) {
        if (!parser.isSet(QLatin1String(name)))
            continue;
        request.action = action;
        if (action == Action::Help)
            request.text = helpText();
        else if (action == Action::Version)
            request.text = QStringLiteral("Quillmoor ") + version;
        else if (action == Action::ManPage)
            request.text = manPage(version);
        else
            request.text = bashCompletion();
        return request;
    }
    // Only an option that takes them ("[FOLDER]...") reads the arguments after the options.
    bool takesArguments = false;
    for (const CommandLineOptionRow &row : commandLineOptions())
        takesArguments = takesArguments || (row.takesArguments() && parser.isSet(row.name()));
    if (!takesArguments && !parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unknown argument: ") + parser.positionalArguments().constFirst());
    request.site = parser.value(QStringLiteral("site"));
    const QUrl base(request.site);
    if (parser.isSet(QStringLiteral("site"))
        && (!base.isValid() || base.scheme() != QLatin1String("http") || base.host().isEmpty()))
        return usageError(QStringLiteral("--site needs an address like http://127.0.0.1:8080"));
    request.noTheme = parser.isSet(QStringLiteral("no-theme"));
    request.updateAll = parser.isSet(QStringLiteral("update-all"));
    request.updateFolders = parser.values(QStringLiteral("update"));
    request.albums = parser.values(QStringLiteral("album"));
    request.verify = parser.isSet(QStringLiteral("verify"));
    if (request.verify)
        request.verifyFolders = parser.positionalArguments();
    for (const CommandLineOptionRow &row : commandLineOptions())
        if (row.use == CommandLineOptionRow::Use::RunKind && parser.isSet(row.name()))
            return readRun(parser, request);
    for (const CommandLineOptionRow &row : commandLineOptions())
        if (row.use == CommandLineOptionRow::Use::Run && parser.isSet(row.name()))
            return usageError(QStringLiteral("--%1 needs --album, --member, --update or --update-all").arg(row.name()));
    return request;
}

} // namespace

CommandLineRequest parseCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    for (const CommandLineOptionRow &row : commandLineOptions()) {
        QCommandLineOption option(row.names, row.help, row.takesArguments() ? QString() : row.valueName);
        if (row.hidden())
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    CommandLineRequest request =
        parser.parse(arguments) ? readArguments(parser, version) : usageError(parser.errorText());
    // A script that asked for JSON gets its total line even for wrong usage.
    if (request.action == CommandLineRequest::Action::UsageError)
        request.json = parser.isSet(QStringLiteral("json"));
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
