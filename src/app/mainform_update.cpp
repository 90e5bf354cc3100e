// "更新全部相册": every recorded album of the save folder the user keeps
// checked is read again through the member tab's pane, only new pictures.
#include "mainform.h"

#include "download/jobsettings.h"
#include "download/recordedalbums.h"
#include "platform/browserpane.h"
#include "platform/dialogs.h"
#include "progress/progresstexts.h"
#include "addresses/siteaddresses.h"
#include "web/ratelimit.h"

#include <QAction>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QMenu>
#include <QTreeView>

JobSettings MainForm::updateSettings() const
{
    return MakeJobSettings(windowChoices(FrontEnd::UpdateList, ::JobSource::HiddenPane));
}

void MainForm::updateAllAlbums()
{
    if (refusedWhileDownloading())
        return;
    const QString folder = saveFolder();
    const QList<RecordedAlbum> recorded = RecordedAlbums(folder);
    if (recorded.isEmpty()) {
        information(ProgressText::noRecordedAlbums(folder));
        return;
    }
    QList<CheckRow> rows;
    for (const RecordedAlbum &album : recorded)
        rows.append({ProgressText::updateListColumns(album), album.updatable(), album.updatable()});
    const std::optional<QList<int>> chosen =
        dialogs().chooseRows(this, ProgressText::updateListTitle(), ProgressText::updateListText(folder),
                             ProgressText::updateListHeaders(), rows);
    if (!chosen)
        return;
    QList<RecordedAlbum> albums;
    for (const int index : *chosen)
        albums.append(recorded.at(index));
    startUpdate(albums);
}

void MainForm::startUpdate(const QList<RecordedAlbum> &albums)
{
    const QString folder = saveFolder();
    auto *queue = MakeUpdateQueue(updateSettings(), WebBrowser2->pageSource(), albums, this);
    if (!queue) {
        information(ProgressText::nothingChosen());
        return;
    }
    clearProgressRows(ListView2);
    m_queue = queue;
    // Every album of an update has its header row, also when it is the only one.
    connect(queue, &AlbumQueue::albumStarted, this, [this](int index) {
        if (m_queue && m_queue->count() == 1)
            addAlbumRow(m_queue->album(index).title, 1, 1);
    });
    connectQueue(queue);
    // The update's own message, not the member tab's.
    disconnect(queue, &AlbumQueue::finished, this, &MainForm::onQueueFinished);
    connect(queue, &AlbumQueue::finished, this, &MainForm::onUpdateFinished);
    JobStartFailure failure;
    if (queue->start(&failure)) {
        CmdDownloadThis->setEnabled(false);
        return;
    }
    m_queue = nullptr;
    delete queue;
    information(ProgressText::noTemporaryFolder(folder, failure));
}

void MainForm::onUpdateFinished(const AlbumQueue::Report &report)
{
    CmdDownloadThis->setEnabled(true);
    QString message = ProgressText::updateMessage(report);
    if (report.stop == AlbumQueue::Stop::NoTemporaryFolder)
        message += QLatin1Char('\n') + FailureText::jobStart(report.stopFailure);
    const QPointer<MainForm> self(this);
    notifyIfInactive(message);
    information(message);
    if (!self)
        return;
    endJob();
}

void MainForm::checkAlbums()
{
    const QString folder = saveFolder();
    CheckAlbums->setEnabled(false);
    auto *watcher = new QFutureWatcher<QList<FolderCheck>>(this);
    connect(watcher, &QFutureWatcher<QList<FolderCheck>>::finished, this, [this, watcher] {
        watcher->deleteLater();
        CheckAlbums->setEnabled(true);
        information(ProgressText::checkMessage(watcher->result()));
    });
    watcher->setFuture(QtConcurrent::run([folder] { return CheckRecordedAlbums(folder); }));
}
