#include "dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

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
