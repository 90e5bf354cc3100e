// The option table and what is made from it: the manual page and the bash
// completion (--help is the parser's, fed by the same rows).
#include "commandlineoptions.h"
#include "commandline.h"

#include <QRegularExpression>

using Use = CommandLineOptionRow::Use;

const QList<CommandLineOptionRow> &commandLineOptions()
{
    static const QList<CommandLineOptionRow> rows = {
        {{"h", "help"}, {}, "Displays help on commandline options."},
        {{"v", "version"}, {}, "Displays version information."},
        {{"site"}, "BASE", "Use the site at BASE (e.g. http://127.0.0.1:8080) for every site address."},
        {{"no-theme"}, {}, "Draw the buttons in their plain look instead of the desktop theme."},
        {{"update-all"}, {}, "Fetch the new pictures of every album recorded in the save folder.", Use::RunKind},
        {{"update"}, "FOLDER", "Fetch the new pictures of the album in FOLDER (repeatable).", Use::RunKind},
        {{"album"}, "URL", "Download the album at URL (repeatable).", Use::RunKind},
        {{"member"}, "ID", "Download every album of member ID.", Use::RunKind},
        {{"verify"}, "[FOLDER]...",
         "Compare every recorded album folder of the save folder (or the FOLDERs) with its record: pictures "
         "missing, emptied or changed. Exit 1 when any, 0 when none.",
         Use::RunKind},
        {{"save-folder"}, "DIR", "Save into DIR instead of the window's save folder.", Use::Run},
        {{"replace"}, {}, "Download whole albums again (default: only new pictures).", Use::Run},
        {{"fast"}, {}, "Work on several pictures at once.", Use::Run},
        {{"in-flight"}, "N", "With --fast, N pictures at once (1 to 8).", Use::Run},
        {{"limit-rate"}, "RATE",
         "Keep every download of the run within RATE bytes a second, as curl writes it (500k, 2M; k = 1024). "
         "Default: the window's 下载限速.",
         Use::Run},
        {{"quiet"}, {}, "No progress line; only albums with a problem and the total.", Use::Run},
        {{"captions"}, "none|embed|xmp",
         "Captions and dates: only in the album's record (none), written into the pictures (embed), or into "
         "an .xmp file beside each picture (xmp). Default: the window's choice.",
         Use::Run},
        {{"json"}, {},
         "Write one JSON object a line to standard output, one for each album as it ends and one for the total; "
         "nothing else goes there.",
         Use::Run},
        {{"man-page"}, {}, "Print the manual page.", Use::Build},
        {{"bash-completion"}, {}, "Print the bash completion script.", Use::Build},
    };
    return rows;
}

const CommandLineOptionRow *findCommandLineOption(const QString &name)
{
    for (const CommandLineOptionRow &row : commandLineOptions())
        if (row.names.contains(name))
            return &row;
    return nullptr;
}

const QList<ExitCodeRow> &exitCodeRows()
{
    static const QList<ExitCodeRow> rows = {
        {ExitCode::NotLoggedIn, "not-logged-in", "not logged in, or the login expired: open the window and log in once"},
        {ExitCode::Unreachable, "unreachable", "the site could not be reached"},
        {ExitCode::Busy, "busy", "Quillmoor is already running, or another download had an album"},
        {ExitCode::Usage, "usage", "wrong usage (also --update of a folder that is no recorded album)"},
        {ExitCode::NotWhole, "not-whole",
         "some pictures failed, an album is gone from the site, or the run was stopped"},
        {ExitCode::Whole, "whole", "every album whole"},
    };
    return rows;
}

const ExitCodeRow *findExitCode(int code)
{
    for (const ExitCodeRow &row : exitCodeRows())
        if (row.code == code)
            return &row;
    return nullptr;
}

QString commandLineDescription()
{
    return QStringLiteral(
        "Downloads Kestrelnet photo albums. Without --album, --member, --update or --update-all it opens the window.");
}

QStringList CommandLineOptionRow::spelled() const
{
    QStringList spelled;
    for (const QString &name : names)
        spelled << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    return spelled;
}

namespace {

// One option of --help: its names, then its help wrapped in a column.
QString helpEntry(const QString &names, const QString &help, qsizetype column)
{
    constexpr qsizetype Width = 79;
    QString text;
    QString line = QStringLiteral("  ") + names.leftJustified(column - 2);
    bool empty = true; // no word of the help on this line yet
    for (const QString &word : help.split(QLatin1Char(' '))) {
        if (!empty && line.size() + word.size() > Width) {
            line.chop(1); // the space after the last word
            text += line + QLatin1Char('\n');
            line = QString(column, QLatin1Char(' '));
            empty = true;
        }
        line += word + QLatin1Char(' ');
        empty = false;
    }
    line.chop(1);
    return text + line + QLatin1Char('\n');
}

} // namespace

QString helpText()
{
    QList<std::pair<QString, QString>> entries;
    qsizetype column = 0;
    for (const CommandLineOptionRow &row : commandLineOptions()) {
        if (row.hidden())
            continue;
        QString names = row.spelled().join(QLatin1String(", "));
        if (row.takesArguments())
            names += QLatin1Char(' ') + row.valueName;
        else if (!row.valueName.isEmpty())
            names += QStringLiteral(" <%1>").arg(row.valueName);
        column = qMax(column, names.size());
        entries.append({names, row.help});
    }
    column += 4;
    QString text = QStringLiteral("Usage: quillmoor [options]\n") + commandLineDescription()
        + QStringLiteral("\n\nOptions:\n");
    for (const auto &[names, help] : std::as_const(entries))
        text += helpEntry(names, help, column);
    text += QStringLiteral("\nExit codes, the first that applies:\n");
    for (const ExitCodeRow &row : exitCodeRows())
        text += QStringLiteral("  %1  %2\n").arg(row.code).arg(QLatin1String(row.meaning));
    return text;
}

namespace {

// Text as roff shows it literally: backslashes and dashes escaped, and no
// line that starts with a control character.
QString roff(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\e")).replace(QLatin1Char('-'), QLatin1String("\\-"));
    text.replace(QRegularExpression(QStringLiteral("^([.'])"), QRegularExpression::MultilineOption),
                 QStringLiteral("\\&\\1"));
    return text;
}

QString optionSynopsis(const CommandLineOptionRow &row)
{
    QStringList names;
    for (const QString &name : row.names)
        names << QStringLiteral("\\fB%1%2\\fR").arg(name.size() == 1 ? "\\-" : "\\-\\-", roff(name));
    QString line = names.join(QLatin1String(", "));
    if (!row.valueName.isEmpty())
        line += QStringLiteral(" \\fI%1\\fR").arg(roff(row.valueName));

    return line;
}

// The README's daily timer, for the manual page's examples.
const char *const TimerExample = R"(.PP
A daily update as a systemd user timer,
\fI~/.config/systemd/user/quillmoor\-update.service\fR:
.PP
.nf
.RS
[Unit]
Description=Quillmoor: bring the recorded albums up to date

[Service]
Type=oneshot
ExecStart=/usr/bin/quillmoor \-\-update\-all \-\-quiet
.RE
.fi
.PP
and \fI~/.config/systemd/user/quillmoor\-update.timer\fR:
.PP
.nf
.RS
[Unit]
Description=Quillmoor daily album update

[Timer]
OnCalendar=daily
Persistent=true
RandomizedDelaySec=30m

[Install]
WantedBy=timers.target
.RE
.fi
.PP
then \fBsystemctl \-\-user daemon\-reload && systemctl \-\-user enable \-\-now quillmoor\-update.timer\fR.
With cron, every day at 04:30:
.PP
.nf
.RS
30 4 * * * /usr/bin/quillmoor \-\-update\-all \-\-quiet >> "$HOME/.local/state/quillmoor\-update.log" 2>&1
.RE
.fi
)";

} // namespace

QString manPage(const QString &version)
{
    QString page = QStringLiteral(".TH QUILLMOOR 1 \"\" \"Quillmoor %1\" \"User Commands\"\n").arg(roff(version));
    page += QStringLiteral(".SH NAME\nquillmoor \\- download Kestrelnet photo albums into folders\n");
    page += QStringLiteral(".SH SYNOPSIS\n.B quillmoor\n[\\fIOPTION\\fR]...\n");
    page += QStringLiteral(".SH DESCRIPTION\n") + roff(commandLineDescription()) + QLatin1Char('\n');
    page += QStringLiteral(
        ".PP\nA run without a window uses the login and settings of the window. Without a display it runs offscreen. "
        "Its progress line goes to standard error when that is a terminal (otherwise a line as each album starts and "
        "ends), one line for each album and the total to standard output. Ctrl\\-C or SIGTERM stops like the "
        "window's stop: the pictures saved so far stay in their folder with its record.\n");
    page += QStringLiteral(".SH OPTIONS\n");
    for (const CommandLineOptionRow &row : commandLineOptions()) {
        if (row.hidden())
            continue;
        page += QStringLiteral(".TP\n") + optionSynopsis(row) + QLatin1Char('\n') + roff(row.help) + QLatin1Char('\n');
    }
    page += QStringLiteral(".SH EXIT STATUS\nThe first that applies:\n");
    for (const ExitCodeRow &row : exitCodeRows())
        page += QStringLiteral(".TP\n.B %1\n%2 (\\fB\\-\\-json\\fR: %3)\n")
                    .arg(row.code)
                    .arg(roff(QLatin1String(row.meaning)), roff(QLatin1String(row.word)));
    page += QStringLiteral(
        ".SH ENVIRONMENT\n.TP\n.B QUILLMOOR_DEBUG_LOG\n"
        "A file that a run without a window appends the browser engine's and Qt's messages to; without it they "
        "are dropped.\n");
    page += QStringLiteral(
        ".SH FILES\n"
        ".TP\n.I ~/.config/Quillmoor/Settings.ini\n"
        "The settings (save folder, member id), under \\fB$XDG_CONFIG_HOME\\fR when set; a portable copy keeps "
        "\\fISettings.ini\\fR beside its executable.\n"
        ".TP\n.I ~/.local/share/Quillmoor/QtWebEngine/Quillmoor\n"
        "The browser profile: the login's cookies and the cache, under \\fB$XDG_DATA_HOME\\fR when set.\n"
        ".TP\n.I ALBUM/.quillmoor\\-album.jsonl\n"
        "The record in each album folder: the album's address and title, whether the download finished, and each "
        "picture saved. The record, never the folder's name, ties a folder to an album.\n");
    page += QStringLiteral(".SH EXAMPLES\n") + QLatin1String(TimerExample);
    page += QStringLiteral(".SH SEE ALSO\n.BR systemd.timer (5),\n.BR crontab (5)\n");
    return page;
}

QString bashCompletion()
{
    QStringList words;
    QStringList folders, files, none, folderArguments;
    QString choices;
    for (const CommandLineOptionRow &row : commandLineOptions()) {
        if (row.hidden())
            continue;
        const QStringList spelled = row.spelled();
        words += spelled;
        if (row.valueName.isEmpty())
            continue;
        const QString pattern = spelled.join(QLatin1Char('|'));
        if (row.takesArguments() && row.valueName.contains(QLatin1String("FOLDER")))
            folderArguments += spelled;
        if (row.valueName.contains(QLatin1Char('|')))
            choices += QStringLiteral("        %1) COMPREPLY=($(compgen -W '%2' -- \"$cur\")); return ;;\n")
                           .arg(pattern, QString(row.valueName).replace(QLatin1Char('|'), QLatin1Char(' ')));
        else if (row.valueName.contains(QLatin1String("FOLDER")) || row.valueName.contains(QLatin1String("DIR")))
            folders += spelled;
        else if (row.valueName.contains(QLatin1String("FILE")))
            files += spelled;
        else
            none += spelled;
    }
    QString script = QStringLiteral("# bash completion for quillmoor, made from its option table\n"
                                    "_quillmoor()\n{\n"
                                    "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
                                    "    local IFS=$'\\n'\n"
                                    "    case \"$prev\" in\n");
    if (!folders.isEmpty())
        script += QStringLiteral("        %1) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n")
                      .arg(folders.join(QLatin1Char('|')));
    if (!files.isEmpty())
        script += QStringLiteral("        %1) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n")
                      .arg(files.join(QLatin1Char('|')));
    script += choices;
    if (!none.isEmpty())
        script += QStringLiteral("        %1) COMPREPLY=(); return ;;\n").arg(none.join(QLatin1Char('|')));
    script += QStringLiteral("    esac\n");
    // Every argument after such an option is a folder, not only the first.
    if (!folderArguments.isEmpty())
        script += QStringLiteral("    local word\n"
                                 "    for word in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
                                 "        case \"$word\" in\n"
                                 "            %1) [[ $cur == -* ]] || { compopt -o filenames 2>/dev/null; "
                                 "COMPREPLY=($(compgen -d -- \"$cur\")); return; } ;;\n"
                                 "        esac\n"
                                 "    done\n")
                      .arg(folderArguments.join(QLatin1Char('|')));
    script += QStringLiteral("    IFS=' '\n"
                             "    COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n"
                             "}\n"
                             "complete -F _quillmoor quillmoor\n")
                  .arg(words.join(QLatin1Char(' ')));
    return script;
}
