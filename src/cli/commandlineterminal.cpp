// The terminal of a run without a window: Quillmoor's lines on it, the
// browser engine's elsewhere.
#include "terminaltext.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>

#include <fcntl.h>
#include <unistd.h>

namespace {

FILE *g_errors = nullptr;

Q_LOGGING_CATEGORY(lcTerminal, "quillmoor.terminal")

// Quillmoor's own messages: its categories, and the default category from
// its own code, which is built with the message's source file (Qt's
// libraries are not, so theirs carry none).
bool ownMessage(const QMessageLogContext &context)
{
    const char *category = context.category ? context.category : "default";
    return qstrncmp(category, "quillmoor", 9) == 0 || (qstrcmp(category, "default") == 0 && context.file);
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool own = ownMessage(context);
    if (own || type == QtFatalMsg)
        TerminalText::writeLine(TerminalText::errors(), message);
    // Descriptor 2: the debug log or nothing.
    if (!own)
        TerminalText::writeLine(stderr, qFormatLogMessage(type, context, message));
}

} // namespace

namespace TerminalText {

FILE *errors()
{
    return g_errors ? g_errors : stderr;
}

bool errorsIsTerminal()
{
    return ::isatty(fileno(errors()));
}

void quietEngine()
{
    if (g_errors)
        return;
    // Close-on-exec: the engine's helper processes must not get the terminal.
    const int terminal = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (terminal < 0)
        return;
    g_errors = ::fdopen(terminal, "w");
    if (!g_errors) {
        ::close(terminal);
        return;
    }
    const QByteArray logPath = qgetenv(DebugLogVariable);
    int sink = -1;
    if (!logPath.isEmpty())
        sink = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const bool logFailed = !logPath.isEmpty() && sink < 0;
    const int openError = errno;
    if (sink < 0)
        sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (sink >= 0) {
        ::dup2(sink, STDERR_FILENO);
        ::close(sink);
    }
    qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
    qInstallMessageHandler(handleMessage);
    if (logFailed)
        qCWarning(lcTerminal, "%s", qPrintable(QCoreApplication::translate("CommandLine", "无法写入调试日志 %1：%2")
                                                   .arg(QFile::decodeName(logPath),
                                                        QString::fromLocal8Bit(strerror(openError)))));
}

} // namespace TerminalText
