#pragma once

// What a run without a window writes to the terminal.

#include <QCoreApplication>
#include <QString>

#include <cstdio>

namespace TerminalText {

// The run's own standard error. Once quietEngine() has run, file descriptor
// 2 belongs to the browser engine's reports and this is the terminal's.
FILE *errors();
bool errorsIsTerminal();

// Keeps the terminal for Quillmoor's own lines: whatever Chromium, its
// helper processes and Qt write to file descriptor 2, and Qt's messages of
// categories other than Quillmoor's, go to the file QUILLMOOR_DEBUG_LOG
// names, or nowhere. For the whole run, since helper processes started
// later inherit descriptor 2 as it is then.
void quietEngine();

// The variable that names the debug log.
inline constexpr char DebugLogVariable[] = "QUILLMOOR_DEBUG_LOG";

inline void writeLine(FILE *stream, const QString &text)
{
    fputs(text.toLocal8Bit().constData(), stream);
    fputc('\n', stream);
    fflush(stream);
}

// A message of several lines as one line of the terminal.
inline QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

inline QString notLoggedInText()
{
    return QCoreApplication::translate("TerminalText", "未登录或登录已过期：请先打开 Quillmoor 的窗口登录一次，再运行此命令。");
}

inline QString unreachableText(const QString &detail)
{
    return QCoreApplication::translate("TerminalText", "无法连接网站：") + detail;
}

} // namespace TerminalText
