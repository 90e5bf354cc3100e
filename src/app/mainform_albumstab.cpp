// The "已下载的相册" tab: the window's side of its commands. What they do to
// folders lives in the core (the update queue, the continue path, the check,
// the trash); here they are started and their one message shown.
#include "mainform.h"

#include "addresses/siteaddresses.h"
#include "albumstab.h"
#include "download/albumtrash.h"
#include "download/jobrules.h"
#include "download/recordedalbums.h"
#include "platform/dialogs.h"
#include "progress/progresstexts.h"
#include "progress/recordedalbummodel.h"

#include <QAction>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

void MainForm::connectAlbumsTab()
{
    connect(AlbumsPage, &AlbumsTab::openRequested, this, &MainForm::openAlbumFolders);
    connect(AlbumsPage, &AlbumsTab::updateRequested, this, &MainForm::updateAlbums);
    connect(AlbumsPage, &AlbumsTab::continueRequested, this, &MainForm::continueAlbums);
    connect(AlbumsPage, &AlbumsTab::checkRequested, this, &MainForm::checkAlbumFolders);
    connect(AlbumsPage, &AlbumsTab::trashRequested, this, &MainForm::trashAlbums);
    connect(AlbumsPage, &AlbumsTab::updateAllRequested, this, &MainForm::updateAllAlbums);
    connect(TxtPath, &QLineEdit::textChanged, AlbumsPage, &AlbumsTab::setSaveFolder);
    AlbumsPage->setSaveFolder(TxtPath->text());
}

QList<RecordedAlbum> MainForm::recordedAlbumsOf(const QStringList &folders) const
{
    // Read again: the tab may show a folder as it was a moment ago.
    QList<RecordedAlbum> out;
    for (const RecordedAlbum &album : RecordedAlbums(saveFolder()))
        if (folders.contains(album.folder))
            out.append(album);
    return out;
}

void MainForm::openAlbumFolders(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString path = saveFolder() + QLatin1Char('/') + folder;
        if (!dialogs().openUrl(QUrl::fromLocalFile(path))) {
            information(tr("无法打开文件夹：") + path);
            return;
        }
    }
}

void MainForm::updateAlbums(const QStringList &folders)
{
    if (refusedWhileDownloading())
        return;
    startUpdate(recordedAlbumsOf(folders));
}

void MainForm::continueAlbums(const QStringList &folders)
{
    if (refusedWhileDownloading())
        return;
    QList<AlbumQueue::Album> albums;
    for (const RecordedAlbum &album : recordedAlbumsOf(folders)) {
        if (!album.updatable()
            || (album.state != AlbumRecord::State::Stopped && album.state != AlbumRecord::State::InProgress))
            continue;
        AlbumQueue::Album queued;
        queued.title = album.title;
        queued.address = AlbumAddressAtSite(album.address, siteAddresses().photoHostBase);
        queued.continueFolder = album.folder;
        albums.append(queued);
    }
    if (albums.isEmpty()) {
        information(tr("选中的相册中没有已停止或未完成的相册"));
        return;
    }
    clearProgressRows(ListView2);
    if (startQueue(::JobSource::HiddenPane, albums))
        CmdDownloadThis->setEnabled(false);
}

void MainForm::checkAlbumFolders(const QStringList &folders)
{
    const QString folder = saveFolder();
    AlbumsPage->CmdCheckAlbum->setEnabled(false);
    auto *watcher = new QFutureWatcher<QList<FolderCheck>>(this);
    connect(watcher, &QFutureWatcher<QList<FolderCheck>>::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QList<FolderCheck> checks = watcher->result();
        AlbumsPage->model()->setChecks(checks);
        AlbumsPage->CmdCheckAlbum->setEnabled(!AlbumsPage->selectedFolders().isEmpty());
        information(ProgressText::checkMessage(checks));
    });
    // Every picture is read: not on the window's thread.
    watcher->setFuture(QtConcurrent::run(AlbumsPage->model()->workers(),
                                         [folder, folders] { return CheckRecordedAlbums(folder, folders); }));
}

void MainForm::trashAlbums(const QStringList &folders)
{
    // A job may be writing into one of them.
    if (refusedWhileDownloading())
        return;
    QStringList paths;
    int pictures = 0;
    int kept = 0;
    for (const RecordedAlbum &album : recordedAlbumsOf(folders)) {
        const QString path = saveFolder() + QLatin1Char('/') + album.folder;
        const AlbumTrashPlan plan = PlanAlbumTrash(path);
        if (plan.ours.isEmpty())
            continue;
        paths << path;
        for (const QString &name : plan.ours)
            if (name != AlbumRecord::fileName() && name != AlbumRecord::legacyFileName())
                ++pictures;
        kept += int(plan.kept.size());
    }
    if (paths.isEmpty())
        return;
    if (!dialogs().question(this, caption(),
                            tr("把选中的 %1 个相册移到回收站？\n程序下载的 %2 张图片和相册记录将移到回收站，"
                               "文件夹中您自己的 %3 个文件留在原处。")
                                .arg(paths.size())
                                .arg(pictures)
                                .arg(kept)))
        return;
    AlbumsPage->CmdTrashAlbum->setEnabled(false);
    using Result = QList<FolderProblem>;
    auto *watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher, count = int(paths.size())] {
        watcher->deleteLater();
        const Result problems = watcher->result();
        AlbumsPage->refresh();
        QString message = tr("已把 %1 个相册移到回收站").arg(count);
        if (!problems.isEmpty()) {
            QStringList lines;
            for (const FolderProblem &problem : problems)
                lines << problem.path + QLatin1String("：") + problem.reason.systemText;
            message = tr("有些文件没能移到回收站，它们所在的相册保持原样：\n") + lines.join(QLatin1Char('\n'));
        }
        information(message);
    });
    watcher->setFuture(QtConcurrent::run(AlbumsPage->model()->workers(), [paths] {
        Result problems;
        for (const QString &path : paths)
            MoveAlbumToTrash(path, &problems);
        return problems;
    }));
}
