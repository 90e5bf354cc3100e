// The window's side of a download job: the two starts, the member tab's
// queue of albums, handing the panes' pages to the job, and showing what the
// job reports.
#include "mainform.h"

#include "download/jobrules.h"
#include "platform/browserpane.h"
#include "progresstexts.h"
#include "siteaddresses.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QTreeView>

QString MainForm::JobState() const
{
    if (!m_job)
        return QStringLiteral("login");
    if (m_job->state() == DownloadJob::State::Collecting)
        return m_job->source() == ::JobSource::BrowserPane ? QStringLiteral("CollectPicture")
                                                           : QStringLiteral("CollectPicture2");
    return QStringLiteral("GetUrl");
}

QString MainForm::AlbumName() const
{
    return m_job ? m_job->albumName() : m_albumName;
}

QString MainForm::TempFolderName() const
{
    return m_job ? m_job->temporaryFolderName() : QString();
}

qint16 MainForm::JobSource() const
{
    return m_job ? qint16(m_job->source()) : qint16(0);
}

DownloadJob *MainForm::makeJob(::JobSource source)
{
    JobSettings settings;
    settings.source = source;
    settings.saveFolder = saveFolder();
    settings.photoHostBase = siteAddresses().photoHostBase;
    settings.network = network();
    settings.mode = OnlyNew->isChecked() ? DownloadMode::OnlyNew : DownloadMode::ReplaceAll;
    if (Fast->isChecked()) {
        settings.pauseMs = 0;
        for (const QAction *choice : InFlight->actions())
            if (choice->isChecked())
                settings.maxInFlight = choice->data().toInt();
    }
    auto *job = new DownloadJob(settings, this);
    QString error;
    if (job->start(&error)) {
        m_job = job;
        connectJob(job);
        return job;
    }
    delete job;
    // Nothing has changed: the controls are as before the press.
    information(QStringLiteral("无法在保存路径中创建临时文件夹，请检查保存路径是否存在并且可写：\n")
                + settings.saveFolder + QLatin1Char('\n') + error);
    return nullptr;
}

void MainForm::connectJob(DownloadJob *job)
{
    connect(job, &DownloadJob::pageCollected, this,
            [this](int collected) { setCollectingText(ProgressText::collectedSoFar(collected)); });
    connect(job, &DownloadJob::collectionStopped, this, [this](const QString &reason) {
        addStoppedRow(reason);
    });
    connect(job, &DownloadJob::collectionFinished, this, &MainForm::onCollectionFinished);
    connect(job, &DownloadJob::pictureDone, this, &MainForm::onPictureDone);
    connect(job, &DownloadJob::finished, this, &MainForm::onJobFinished);
}

void MainForm::CmdStartDown_Click()
{
    // The getalbum.do rule can enable the button while a job runs.
    if (m_job) {
        information(QStringLiteral("当前状态不可进行此操作"));
        return;
    }
    DownloadJob *job = makeJob(::JobSource::BrowserPane);
    if (!job)
        return;

    clearProgressRows(ListView1);
    ListView1->show();
    addCollectingRow(ListView1);
    if (CmdStartDown->isEnabled())
        CmdStartDown->setEnabled(false);
    AlbumPageUrl = WebBrowser1->locationUrl();

    // The album's first page is the one on show.
    m_startingJob = true;
    const QString next = job->pageLoaded(WebBrowser1->snapshot());
    m_startingJob = false;
    if (!next.isEmpty())
        WebBrowser1->navigate(next);
}

void MainForm::CmdDownloadThis_Click()
{
    if (m_job) {
        information(QStringLiteral("上一个操作正在进行，请等待下载结束"));
        return;
    }
    // The selected albums, in the order of the list.
    QList<QueuedAlbum> albums;
    for (int row = 0; row < LstAlbumName->count() && row < LstUrl->count(); ++row) {
        if (LstAlbumName->item(row)->isSelected())
            albums.append({LstAlbumName->item(row)->text(), LstUrl->item(row)->text(), {}});
    }
    if (albums.isEmpty()) {
        information(QStringLiteral("您没有选中任何相册"));
        return;
    }
    m_queue = albums;
    m_queueDone = 0;
    m_queueSaved = 0;
    clearProgressRows(ListView2);
    if (!startQueuedAlbum())
        return;
    CmdDownloadThis->setEnabled(false);
}

void MainForm::downloadAllAlbums()
{
    LstAlbumName->selectAll();
    CmdDownloadThis_Click();
}

bool MainForm::startQueuedAlbum()
{
    const QueuedAlbum &album = m_queue.at(m_queueDone);
    if (!makeJob(::JobSource::MemberList)) {
        m_queue.clear();
        return false;
    }
    // A queue of one album shows exactly the rows of one album.
    if (m_queue.size() > 1) {
        lblstate->setText(ProgressText::savedInQueue(m_queueSaved, m_queueDone + 1, int(m_queue.size())));
        addAlbumRow(album.title, m_queueDone + 1, int(m_queue.size()));
    }
    addCollectingRow(ListView2);
    WebBrowser2->navigate(album.url);
    return true;
}

void MainForm::WebBrowser1_DocumentComplete(const QString &)
{
    const QString base = siteAddresses().photoHostBase;
    CmdStartDown->setEnabled(StartButtonEnabledFor(WebBrowser1->locationUrl(), base, !m_job));

    if (JobState() != QLatin1String("CollectPicture"))
        return;
    const QString next = m_job->pageLoaded(WebBrowser1->snapshot());
    if (!next.isEmpty())
        WebBrowser1->navigate(next);
}

void MainForm::WebBrowser2_DocumentComplete(const QString &)
{
    if (JobState() != QLatin1String("CollectPicture2"))
        return;
    const QString next = m_job->pageLoaded(WebBrowser2->snapshot());
    if (!next.isEmpty())
        WebBrowser2->navigate(next);
}

void MainForm::onCollectionFinished(int collected)
{
    const QString name = m_job->albumName();
    if (m_job->source() == ::JobSource::BrowserPane) {
        // An album of one page keeps the pane on the album.
        if (m_startingJob) {
            Frame1->setTitle(ProgressText::albumOfOnePage(name, collected));
            return;
        }
        WebBrowser1->navigate(QStringLiteral("about:blank"));
        setCollectingText(ProgressText::collectedAll(collected));
        Frame1->setTitle(ProgressText::albumOfAllPages(name, collected));
        return;
    }
    setCollectingText(ProgressText::collectedAll(collected));
    WebBrowser2->navigate(QStringLiteral("about:blank"));
}

void MainForm::onPictureDone(const PictureReport &picture)
{
    const bool onlyNew = m_job->settings().mode == DownloadMode::OnlyNew;
    QString status = ProgressText::savedSoFar(picture.savedCount);
    if (m_queue.size() > 1) {
        status = ProgressText::savedInQueue(m_queueSaved + picture.savedCount, m_queueDone + 1,
                                            int(m_queue.size()));
    }
    queueRow(picture, onlyNew, status);
}

void MainForm::onJobFinished(const JobReport &report)
{
    addFinishedRow(report);
    showLastRow(progressList());

    // The next album of the queue follows at once; the message comes at the end.
    if (m_job->source() == ::JobSource::MemberList && m_queueDone + 1 < m_queue.size()) {
        m_queue[m_queueDone].report = report;
        m_queueSaved += report.saved;
        ++m_queueDone;
        m_job->deleteLater();
        m_job = nullptr;
        if (startQueuedAlbum())
            return;
        endQueue();
        return;
    }

    if (!CmdDownloadThis->isEnabled())
        CmdDownloadThis->setEnabled(true);
    QString message = ProgressText::completionMessage(report);
    if (m_queue.size() > 1) {
        m_queue[m_queueDone].report = report;
        message = ProgressText::queueMessage(m_queue);
    }
    // The message comes while the job still holds the window; the window may
    // be closed while it is up.
    const QPointer<MainForm> self(this);
    information(message);
    if (!self)
        return;
    endJob();
}

void MainForm::endQueue()
{
    // The queue stopped short (no temporary folder could be made): what was
    // downloaded is said, and the window is idle again.
    const QList<QueuedAlbum> done = m_queue;
    m_queue.clear();
    CmdDownloadThis->setEnabled(true);
    lblstate->setText(QString());
    if (m_queueDone > 0)
        information(ProgressText::queueMessage(done.mid(0, m_queueDone)));
}

void MainForm::endJob()
{
    const bool browserPaneJob = m_job->source() == ::JobSource::BrowserPane;
    if (browserPaneJob) {
        Frame1->setTitle(IdleFrameText);
        Label1->setText(QStringLiteral("图片下载完毕. "));
    }
    lblstate->setText(QString());
    m_albumName = m_job->albumName();
    m_job->deleteLater();
    m_job = nullptr;
    m_queue.clear();
    m_collectingRow = -1;
    ListView1->hide();
    if (!AlbumPageUrl.isEmpty() && browserPaneJob)
        WebBrowser1->navigate(AlbumPageUrl);
}
