#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

// One row of a list to choose from: its texts by column, whether it starts
// checked, and whether the user may change that.
struct CheckRow {
    QStringList columns;
    bool checked = true;
    bool enabled = true;
};

// Every modal box and shell hand-off of the program goes through here, so
// that a test can answer them instead of a person.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // An OK box with an information icon.
    virtual void information(QWidget *parent, const QString &title, const QString &text);
    // A Yes/No question with a question icon; true for Yes.
    virtual bool question(QWidget *parent, const QString &title, const QString &text);
    // A question with several answers, one button each, in the order of
    // `answers`; the index of the one taken. Escape or closing the box
    // takes `defaultAnswer`, the one that leaves things as they are.
    virtual int choose(QWidget *parent, const QString &title, const QString &text, const QStringList &answers,
                       int defaultAnswer);
    // The folder dialog; the empty text when cancelled.
    virtual QString chooseFolder(QWidget *parent, const QString &title);
    // A list of rows with check boxes under `text`; the indexes of the rows
    // checked when the user accepts, nothing when cancelled.
    virtual std::optional<QList<int>> chooseRows(QWidget *parent, const QString &title, const QString &text,
                                                 const QStringList &headers, const QList<CheckRow> &rows);
    // Hands an address or a folder to the desktop; false when nothing could open it.
    virtual bool openUrl(const QUrl &url);
};

// The dialogs in force: the real ones unless a test installed its own.
Dialogs &dialogs();
// Installs `d` (not owned); nullptr restores the real dialogs.
void setDialogs(Dialogs *d);
