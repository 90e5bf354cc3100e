#include "addresses/siteaddresses.h"
#include "app/commandlinesignals.h"
#include "app/icons.h"
#include "app/mainform.h"
#include "browser/browserprofile.h"
#include "browser/profilelock.h"
#include "cli/terminaltext.h"
#include "progress/translation.h"
#include "skinbutton.h"

#include <QApplication>
#include <QLockFile>
#include <QMessageBox>

#include <cstdio>
#include <optional>

namespace {

const char *const Version = "Beta 4.0";

// The window's second start says so in a box; a command line on its error stream.
QString alreadyRunningText(qint64 holder)
{
    QString text = QCoreApplication::translate("CommandLine", "Quillmoor 已经在运行");
    if (holder > 0)
        text += QCoreApplication::translate("CommandLine", "（进程 %1）").arg(holder);
    return text + QCoreApplication::translate("CommandLine", "，同一时间只能有一个 Quillmoor 使用登录信息。");
}

int runWindow(const CommandLineRequest &request, const AppLocations &locations)
{
    if (request.noTheme)
        SkinButton::setThemeAvailable(false);
    auto *window = new MainForm(locations);
    window->show();
    const int code = QApplication::exec();

    // Pages must go before the browser profile they use.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<MainForm *>(w))
            delete w;
    }
    BrowserProfile::shutdown();
    return code;
}

} // namespace

// What is answered without an application: the help, the version, the man
// page, the completion, a usage error.
static std::optional<int> answerAtOnce(const CommandLineRequest &request)
{
    switch (request.action) {
    case CommandLineRequest::Action::Help:
    case CommandLineRequest::Action::Version:
        fprintf(stdout, "%s\n", qPrintable(request.text));
        return 0;
    case CommandLineRequest::Action::ManPage:
    case CommandLineRequest::Action::BashCompletion:
        fputs(request.text.toUtf8().constData(), stdout);
        return 0;
    case CommandLineRequest::Action::UsageError:
        fprintf(stderr, "quillmoor: %s\nquillmoor --help lists the options.\n", qPrintable(request.text));
        if (request.json)
            writeJson(totalJson({}, ExitCode::Usage));
        return ExitCode::Usage;
    default:
        return std::nullopt;
    }
}

static void prepareTerminalRun()
{
    // A scheduled run has no display; the page without a view needs none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A terminal run reports its own lines; the browser's start-up report
    // goes to the debug log, or is not made at all.
    const bool debugLog = !qEnvironmentVariableIsEmpty(TerminalText::DebugLogVariable);
    if (!debugLog && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext.debug=false");
    if (!debugLog)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --disable-logging");
    TerminalText::quietEngine();
}

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLineRequest request = parseCommandLine(arguments, QString::fromLatin1(Version));
    if (const std::optional<int> answered = answerAtOnce(request))
        return *answered;
    const bool commandLine = request.action == CommandLineRequest::Action::Run;
    if (commandLine)
        prepareTerminalRun();

    prepareWebEngine();
    QApplication app(argc, argv);
    // Before any text is made: an English desktop reads the English texts.
    Translation::install(&app);
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    QApplication::setApplicationVersion(QString::fromLatin1(Version));
    // Message boxes and the desktop's task list show the program's own icon;
    // the desktop entry names it on Wayland.
    QApplication::setWindowIcon(Icons::windowIcon());
    QGuiApplication::setDesktopFileName(Icons::applicationId());
    if (!request.site.isEmpty())
        setSiteAddresses(SiteAddresses::forBase(request.site));

    // Before anything of the profile (and so the stored login) is opened.
    qint64 holder = 0;
    QString lockError;
    const std::unique_ptr<QLockFile> profileLock = lockBrowserProfile(&holder, &lockError);
    if (!profileLock) {
        const QString text = lockError.isEmpty() ? alreadyRunningText(holder)
                                                 : QCoreApplication::translate("CommandLine", "无法锁定浏览器配置：") + lockError;
        if (commandLine) {
            TerminalText::writeLine(TerminalText::errors(), text);
            if (request.json)
                writeJson(totalJson({}, ExitCode::Busy));
        } else
            QMessageBox::information(nullptr, QApplication::applicationName(), text);
        return ExitCode::Busy;
    }

    const AppLocations locations =
        chooseLocations(locationInputs(QCoreApplication::applicationDirPath()));
    prepareLocations(locations);
    return commandLine ? runCommandLine(request, locations) : runWindow(request, locations);
}
