#include "dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

void Dialogs::information(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

bool Dialogs::question(QWidget *parent, const QString &title, const QString &text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

int Dialogs::choose(QWidget *parent, const QString &title, const QString &text, const QStringList &answers,
                    int defaultAnswer)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton *> buttons;
    for (const QString &answer : answers)
        buttons << box.addButton(answer, QMessageBox::AcceptRole);
    if (defaultAnswer >= 0 && defaultAnswer < buttons.size()) {
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.at(defaultAnswer)));
        box.setEscapeButton(buttons.at(defaultAnswer));
    }
    box.exec();
    const qsizetype taken = buttons.indexOf(box.clickedButton());
    return taken >= 0 ? int(taken) : defaultAnswer;
}

QString Dialogs::chooseFolder(QWidget *parent, const QString &title)
{
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

bool Dialogs::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

namespace {
Dialogs *g_installed = nullptr;
}

Dialogs &dialogs()
{
    static Dialogs real;
    return g_installed ? *g_installed : real;
}

void setDialogs(Dialogs *d)
{
    g_installed = d;
}
