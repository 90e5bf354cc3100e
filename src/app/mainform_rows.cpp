// The window's progress lists: each is a view of a ProgressModel. Picture
// rows, the "Collecting" row's count, the status label and the progress bar
// are shown together in batches a few times a second, not once per picture:
// each change is a repaint and, with a screen reader on, accessibility
// traffic.
#include "mainform.h"

#include "progress/progressmodel.h"

#include <QLabel>
#include <QTreeView>

QTreeView *MainForm::progressList() const
{
    return JobSource() == qint16(::JobSource::BrowserPane) ? ListView1 : ListView2;
}

ProgressModel *MainForm::progressRows(QTreeView *list) const
{
    return static_cast<ProgressModel *>(list->model());
}

void MainForm::clearProgressRows(QTreeView *list)
{
    flushRows();
    progressRows(list)->clear();
    m_collectingRow = -1;
}

void MainForm::addProgressRow(QTreeView *list, const QString &status, const QString &text, int icon)
{
    flushRows();
    progressRows(list)->addText(status, text, icon);
}

void MainForm::addCollectingRow(QTreeView *list)
{
    flushRows();
    m_collectingRow = progressRows(list)->addCollecting();
}

void MainForm::addAlbumRow(const QString &title, int album, int albums)
{
    flushRows();
    progressRows(progressList())->addAlbum(title, album, albums);
}

void MainForm::addStoppedRow(const CollectionStop &stop)
{
    flushRows();
    progressRows(progressList())->addStopped(stop);
}

void MainForm::addFinishedRow(const JobReport &report)
{
    flushRows();
    progressRows(progressList())->addFinished(report);
}

void MainForm::showLastRow(QTreeView *list)
{
    const QModelIndex last = list->model()->index(list->model()->rowCount() - 1, 0);
    list->scrollTo(last);
    list->setCurrentIndex(last);
}

void MainForm::setCollectingText(const QString &text)
{
    if (m_collectingRow < 0)
        return;
    // The first change shows at once; those that follow it within a batch
    // wait for the batch.
    if (m_rowFlush.isActive()) {
        m_pendingCollecting = text;
        return;
    }
    progressRows(progressList())->setText(m_collectingRow, text);
    updateProgressBar();
    m_rowFlush.start();
}

void MainForm::queueRow(const PictureReport &picture, bool onlyNew, const QString &status)
{
    m_pendingPictures.append(picture);
    m_pendingOnlyNew = onlyNew;
    m_pendingStatus = status;
    if (!m_rowFlush.isActive())
        m_rowFlush.start();
}

void MainForm::flushRows()
{
    m_rowFlush.stop();
    QTreeView *list = progressList();
    const bool collected = !m_pendingCollecting.isNull();
    if (collected) {
        if (m_collectingRow >= 0)
            progressRows(list)->setText(m_collectingRow, m_pendingCollecting);
        m_pendingCollecting = QString();
    }
    if (m_pendingPictures.isEmpty()) {
        if (collected)
            updateProgressBar();
        return;
    }
    progressRows(list)->addPictures(m_pendingPictures, m_pendingOnlyNew);
    m_pendingPictures.clear();
    showLastRow(list);
    (JobSource() == qint16(::JobSource::BrowserPane) ? Label1 : lblstate)->setText(m_pendingStatus);
    updateProgressBar();
}
