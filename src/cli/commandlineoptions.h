#pragma once

// Every option of the program in one table. --help, the manual page and the
// shell completion are all made from it, so none of them can name an option
// the others miss. Adding an option is one row here plus reading it in
// parseCommandLine().

#include <QList>
#include <QString>
#include <QStringList>

struct CommandLineOptionRow {
    enum class Use {
        Always,  // the window's and the runs'
        RunKind, // chooses a run without a window; one kind a run
        Run,     // only together with a run kind
        Build,   // made for the build (the manual page, the completion); hidden from the user
    };
    QStringList names; // without dashes, the short one first
    // Empty for a switch. It also tells the completion what to offer: a
    // name with FOLDER or DIR offers folders, FILE files, "a|b|c" its words.
    // In brackets ("[FOLDER]...") the option is a switch that takes the
    // arguments after the options instead of a value of its own.
    QString valueName;
    QString help;
    Use use = Use::Always;

    QString name() const { return names.constLast(); }
    bool takesArguments() const { return valueName.startsWith(QLatin1Char('[')); }
    // As --help and the completion spell them: "-h", "--help".
    QStringList spelled() const;
    bool hidden() const { return use == Use::Build; }
};

const QList<CommandLineOptionRow> &commandLineOptions();
const CommandLineOptionRow *findCommandLineOption(const QString &name);

// The exit codes in the order a run checks them, with the word --json
// prints for each.
struct ExitCodeRow {
    int code;
    const char *word;
    const char *meaning;
};
const QList<ExitCodeRow> &exitCodeRows();
const ExitCodeRow *findExitCode(int code);

QString commandLineDescription();
// What --help prints: the options and the exit codes.
QString helpText();
// The manual page quillmoor(1), in roff.
QString manPage(const QString &version);
// A bash completion script for the program's options.
QString bashCompletion();
