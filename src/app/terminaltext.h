#pragma once

// What a run without a window writes to the terminal.

#include <QCoreApplication>
#include <QString>

#include <cstdio>

namespace TerminalText {

inline void writeLine(FILE *stream, const QString &text)
{
    fputs(text.toLocal8Bit().constData(), stream);
    fputc('\n', stream);
    fflush(stream);
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
