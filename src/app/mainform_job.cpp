// The window's side of a download: the two starts, each a queue of albums
// that walks its own pane, and showing what the queue reports.
#include "mainform.h"

#include "albums/albumlistmodel.h"
#include "download/albumfolder.h"
#include "download/jobrules.h"
#include "download/jobsettings.h"
#include "platform/dialogs.h"
#include "platform/browserpane.h"
#include "platform/desktopnotifier.h"
#include "icons.h"
#include "progress/progresstexts.h"
#include "addresses/siteaddresses.h"
#include "web/ratelimit.h"

#include <QAction>
#include <QWebEngineProfile>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QTimer>
#include <QTreeView>

QString MainForm::JobState() const
{
    const DownloadJob *album = albumJob();
    if (!album)
        return QStringLiteral("login");
    if (album->state() == DownloadJob::State::Collecting)
        return album->source() == ::JobSource::BrowserPane ? QStringLiteral("CollectPicture")
                                                           : QStringLiteral("CollectPicture2");
    return QStringLiteral("GetUrl");
}

QString MainForm::AlbumName() const
{
    return albumJob() ? albumJob()->albumName() : m_albumName;
}

QString MainForm::TempFolderName() const
{
    return albumJob() ? albumJob()->temporaryFolderName() : QString();
}

qint16 MainForm::JobSource() const
{
    return albumJob() ? qint16(albumJob()->source()) : qint16(0);
}

JobChoices MainForm::windowChoices(FrontEnd frontEnd, ::JobSource source, const QString &continueFolder) const
{
    JobChoices choices;
    choices.frontEnd = frontEnd;
    choices.source = source;
    choices.saveFolder = saveFolder();
    choices.continueFolder = continueFolder;
    choices.mode = OnlyNew->isChecked() ? DownloadMode::OnlyNew : DownloadMode::ReplaceAll;
    choices.fast = Fast->isChecked();
    for (const QAction *choice : InFlight->actions())
        if (choice->isChecked())
            choices.inFlight = choice->data().toInt();
    choices.network = network();
    choices.userAgent = BrowserProfile::instance()->httpUserAgent().toUtf8();
    choices.photoHostBase = siteAddresses().photoHostBase;
    choices.captions = captionMode();
    choices.limitRate = limitRate();
    return choices;
}

AlbumQueue *MainForm::startQueue(::JobSource source, const QList<AlbumQueue::Album> &albums,
                                 const PageSnapshot *shown, const QString &continueFolder)
{
    const JobSettings settings = MakeJobSettings(windowChoices(FrontEnd::Window, source, continueFolder));
    BrowserPane *pane = source == ::JobSource::BrowserPane ? WebBrowser1 : WebBrowser2;
    auto *queue = new AlbumQueue(settings, pane->pageSource(), albums, this);
    connect(queue, &AlbumQueue::paneChosen, this, [this](PaneFallback why, const QString &address) {
        const ProgressText::Row row = ProgressText::paneFallbackRow(why, address);
        addProgressRow(progressList(), row.status, row.text, row.icon);
    });
    // Held before it starts: its first album is shown from inside start().
    m_queue = queue;
    connectQueue(queue);
    JobStartFailure failure;
    if (shown ? queue->startFromShownPage(*shown, &failure) : queue->start(&failure))
        return queue;
    m_queue = nullptr;
    delete queue;
    // Nothing has changed: the controls are as before the press.
    information(ProgressText::noTemporaryFolder(settings.saveFolder, failure));
    return nullptr;
}

void MainForm::connectQueue(AlbumQueue *queue)
{
    connect(queue, &AlbumQueue::albumStarted, this, &MainForm::onAlbumStarted);
    connect(queue, &AlbumQueue::pageCollected, this, [this](int collected) {
        // The bar counts what is collected so far; it follows with the row.
        m_estimate.setTotal(collected);
        setCollectingText(ProgressText::collectedSoFar(collected));
    });
    connect(queue, &AlbumQueue::collectionStopped, this, &MainForm::addStoppedRow);
    connect(queue, &AlbumQueue::collectionFinished, this, &MainForm::onCollectionFinished);
    connect(queue, &AlbumQueue::pictureDone, this, &MainForm::onPictureDone);
    connect(queue, &AlbumQueue::albumFinished, this,
            [this](int, const JobReport &report) { onAlbumFinished(report); });
    connect(queue, &AlbumQueue::finished, this, &MainForm::onQueueFinished);
    connect(queue, &AlbumQueue::paused, this, &MainForm::onJobPaused);
    connect(queue, &AlbumQueue::resumed, this, &MainForm::onJobResumed);
}

void MainForm::CmdStartDown_Click()
{
    // The getalbum.do rule can enable the button while a job runs.
    if (m_queue) {
        information(tr("当前状态不可进行此操作"));
        return;
    }
    // The album's first page is the one on show.
    const PageSnapshot shown = WebBrowser1->snapshot();
    const QString continueFolder = askToContinue(shown.address);
    startQueue(::JobSource::BrowserPane, {{WebBrowser1->Title(), WebBrowser1->locationUrl(), {}}}, &shown,
               continueFolder);
}

bool MainForm::refusedWhileDownloading()
{
    // One download at a time: the user is told why nothing starts.
    if (!m_queue)
        return false;
    information(tr("上一个操作正在进行，请等待下载结束"));
    return true;
}

void MainForm::CmdDownloadThis_Click()
{
    if (refusedWhileDownloading())
        return;
    // The selected albums, in the order of the list.
    QList<AlbumQueue::Album> albums;
    for (const AlbumEntry &entry : m_albumList->albumsAt(LstAlbumName->selectionModel()->selectedIndexes()))
        albums.append({entry.title, entry.url, {}});
    if (albums.isEmpty()) {
        information(tr("您没有选中任何相册"));
        return;
    }
    // One album left unfinished may be gone on with; a queue of several
    // downloads them as today.
    const QString continueFolder = albums.size() == 1 ? askToContinue(albums.at(0).address) : QString();
    clearProgressRows(ListView2);
    if (!startQueue(::JobSource::HiddenPane, albums, nullptr, continueFolder))
        return;
    CmdDownloadThis->setEnabled(false);
}

QString MainForm::askToContinue(const QString &address)
{
    const QList<InterruptedAlbum> unfinished = ListInterruptedAlbums(
        saveFolder(), {AlbumRecord::State::InProgress, AlbumRecord::State::Stopped});
    for (const InterruptedAlbum &album : unfinished) {
        if (!AlbumRecord::load(saveFolder() + QLatin1Char('/') + album.folderName).namesAlbum({address}))
            continue;
        const int answer = dialogs().choose(this, caption(), ProgressText::interruptedQuestion(album.title, album.saved),
                                            ProgressText::restartAnswers(), ProgressText::RestartNew);
        return answer == ProgressText::RestartContinue ? album.folderName : QString();
    }
    return {};
}

void MainForm::offerInterruptedAlbums()
{
    if (m_queue)
        return;
    // One question per album; one continued at a time, the others wait for
    // the next start or for their album to be started again.
    for (const InterruptedAlbum &album : ListInterruptedAlbums(saveFolder(), {AlbumRecord::State::InProgress})) {
        const int answer = dialogs().choose(this, caption(), ProgressText::interruptedQuestion(album.title, album.saved),
                                            ProgressText::interruptedAnswers(), ProgressText::LaterAnswer);
        if (answer == ProgressText::DeleteAnswer) {
            QList<FolderProblem> problems;
            const QString folder = saveFolder() + QLatin1Char('/') + album.folderName;
            if (!DeleteRecordedPictures(folder, &problems) && !problems.isEmpty())
                information(ProgressText::notAllDeleted(folder, problems.constFirst().reason));
        } else if (answer == ProgressText::ContinueAnswer) {
            clearProgressRows(ListView2);
            const QString address = AlbumAddressAtSite(album.albumAddress, siteAddresses().photoHostBase);
            if (startQueue(::JobSource::HiddenPane, {{album.title, address, {}}}, nullptr, album.folderName))
                CmdDownloadThis->setEnabled(false);
            return;
        }
    }
}

void MainForm::downloadAllAlbums()
{
    LstAlbumName->selectAll();
    CmdDownloadThis_Click();
}

void MainForm::onAlbumStarted(int index)
{
    resetProgressBar();
    updateJobCommands();
    if (m_queue->settings().source == ::JobSource::BrowserPane) {
        clearProgressRows(ListView1);
        ListView1->show();
        addCollectingRow(ListView1);
        if (CmdStartDown->isEnabled())
            CmdStartDown->setEnabled(false);
        AlbumPageUrl = WebBrowser1->locationUrl();
        return;
    }
    // A queue of one album shows exactly the rows of one album.
    const int albums = m_queue->count();
    if (albums > 1) {
        lblstate->setText(ProgressText::savedInQueue(m_queue->saved(), index + 1, albums));
        addAlbumRow(m_queue->album(index).title, index + 1, albums);
    }
    addCollectingRow(ListView2);
}

void MainForm::WebBrowser1_DocumentComplete(const QString &)
{
    const QString base = siteAddresses().photoHostBase;
    CmdStartDown->setEnabled(StartButtonEnabledFor(WebBrowser1->locationUrl(), base, !m_queue));
}

void MainForm::onCollectionFinished(int collected)
{
    const QString name = albumJob()->albumName();
    m_estimate.setTotal(collected);
    updateProgressBar();
    if (albumJob()->source() == ::JobSource::BrowserPane) {
        // An album of one page keeps the pane on the album.
        if (m_queue->readFromShownPage()) {
            Frame1->setTitle(ProgressText::albumOfOnePage(name, collected));
            return;
        }
        setCollectingText(ProgressText::collectedAll(collected));
        Frame1->setTitle(ProgressText::albumOfAllPages(name, collected));
        return;
    }
    setCollectingText(ProgressText::collectedAll(collected));
}

void MainForm::onPictureDone(const PictureReport &picture)
{
    const bool onlyNew = m_queue->settings().mode == DownloadMode::OnlyNew;
    QString status = ProgressText::savedSoFar(picture.savedCount);
    if (m_queue->count() > 1) {
        status = ProgressText::savedInQueue(m_queue->saved() + picture.savedCount, m_queue->currentIndex() + 1,
                                            m_queue->count());
    }
    // The bar follows with the picture's row, in its batch.
    m_estimate.update(m_estimate.done() + 1, m_clock.elapsed());
    // A picture that was in flight when the job paused keeps the label on
    // the pause; the count comes back with the next one after it goes on.
    m_runningStatus = status;
    if (m_queue->isPaused())
        status = ProgressText::pausedText(m_queue->pausedBy());
    queueRow(picture, onlyNew, status);
}

void MainForm::onAlbumFinished(const JobReport &report)
{
    // The next album of a queue follows at once; the message comes at the end.
    addFinishedRow(report);
    showLastRow(progressList());
}

void MainForm::onQueueFinished(const AlbumQueue::Report &report)
{
    if (!CmdDownloadThis->isEnabled())
        CmdDownloadThis->setEnabled(true);
    QString message = m_queue->count() > 1 ? ProgressText::queueMessage(report.albums)
                                         : ProgressText::completionMessage(*report.albums.constFirst().report);
    // A queue that stopped short says what it finished and why it stopped,
    // in the one message.
    if (report.stop == AlbumQueue::Stop::NoTemporaryFolder)
        message += QStringLiteral("\n\n") + ProgressText::noTemporaryFolder(m_queue->settings().saveFolder, report.stopFailure);
    if (report.stop == AlbumQueue::Stop::ByUser && m_queue->count() > 1)
        message += QStringLiteral("\n\n") + ProgressText::queueStoppedLine(m_queue->count() - report.done);
    updateJobCommands();
    // The message comes while the job still holds the window; the window may
    // be closed while it is up.
    const QPointer<MainForm> self(this);
    notifyIfInactive(message);
    information(message);
    if (!self)
        return;
    endJob();
}

void MainForm::notifyIfInactive(const QString &message)
{
    if (isActiveWindow())
        return;
    if (!m_notifier)
        m_notifier = new DesktopNotifier(Icons::applicationId(), this);
    m_notifier->notify(noticeFor(message));
}

void MainForm::endJob()
{
    const bool browserPaneJob = albumJob()->source() == ::JobSource::BrowserPane;
    if (browserPaneJob) {
        // The form's own text, in the form's translation.
        Frame1->setTitle(QCoreApplication::translate("MainFormControls", IdleFrameText.toUtf8().constData()));
        Label1->setText(tr("图片下载完毕. "));
    }
    lblstate->setText(QString());
    m_albumName = albumJob()->albumName();
    m_queue->deleteLater();
    m_queue = nullptr;
    m_collectingRow = -1;
    updateJobCommands();
    updateProgressBar();
    ListView1->hide();
    if (!AlbumPageUrl.isEmpty() && browserPaneJob)
        WebBrowser1->navigate(AlbumPageUrl);
    // What the job wrote shows on the albums' tab.
    AlbumsPage->refresh();
}
