#include "dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QTreeWidget>
#include <QVBoxLayout>
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

std::optional<QList<int>> Dialogs::chooseRows(QWidget *parent, const QString &title, const QString &text,
                                              const QStringList &headers, const QList<CheckRow> &rows)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(text, &dialog));
    auto *list = new QTreeWidget(&dialog);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    for (const CheckRow &row : rows) {
        auto *item = new QTreeWidgetItem(list, row.columns);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
        if (!row.enabled)
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
    }
    list->header()->resizeSections(QHeaderView::ResizeToContents);
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(640, 400);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QList<int> checked;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->checkState(0) == Qt::Checked && rows.at(i).enabled)
            checked << i;
    return checked;
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
