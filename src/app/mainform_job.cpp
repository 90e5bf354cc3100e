// The window's side of a download job: the two starts, handing the panes'
// pages to the job, and showing what the job reports.
#include "mainform.h"

#include "download/jobrules.h"
#include "platform/browserpane.h"
#include "progresstexts.h"
#include "siteaddresses.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>

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

QTreeWidget *MainForm::progressList() const
{
    return JobSource() == qint16(::JobSource::BrowserPane) ? ListView1 : ListView2;
}

void MainForm::addProgressRow(QTreeWidget *list, const QString &status, const QString &text, int icon)
{
    auto *row = new QTreeWidgetItem(list, {status, text});
    if (icon > 0 && icon < ImageList1.size())
        row->setIcon(0, ImageList1.at(icon));
}

void MainForm::showLastRow(QTreeWidget *list)
{
    QTreeWidgetItem *last = list->topLevelItem(list->topLevelItemCount() - 1);
    list->scrollToItem(last);
    list->setCurrentItem(last);
}

void MainForm::setCollectingText(const QString &text)
{
    if (QTreeWidgetItem *row = progressList()->topLevelItem(0))
        row->setText(1, text);
}

DownloadJob *MainForm::makeJob(::JobSource source)
{
    JobSettings settings;
    settings.source = source;
    settings.saveFolder = saveFolder();
    settings.photoHostBase = siteAddresses().photoHostBase;
    settings.network = network();
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
        const ProgressText::Row row = ProgressText::stoppedRow(reason);
        addProgressRow(progressList(), row.status, row.text, row.icon);
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

    ListView1->clear();
    ListView1->show();
    addProgressRow(ListView1, QStringLiteral("Collecting"), ProgressText::collectingStarted(),
                   ProgressText::CollectingIcon);
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
    const int row = LstAlbumName->currentRow();
    if (row < 0 || !LstAlbumName->item(row)->isSelected() || row >= LstUrl->count()) {
        information(QStringLiteral("您没有选中任何相册"));
        return;
    }
    if (!makeJob(::JobSource::MemberList))
        return;

    CmdDownloadThis->setEnabled(false);
    ListView2->clear();
    addProgressRow(ListView2, QStringLiteral("Collecting"), ProgressText::collectingStarted(),
                   ProgressText::CollectingIcon);
    WebBrowser2->navigate(LstUrl->item(row)->text());
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
    QTreeWidget *list = progressList();
    const ProgressText::Row row = ProgressText::pictureRow(picture);
    addProgressRow(list, row.status, row.text, row.icon);
    showLastRow(list);
    QLabel *status = JobSource() == qint16(::JobSource::BrowserPane) ? Label1 : lblstate;
    status->setText(ProgressText::savedSoFar(picture.savedCount));
}

void MainForm::onJobFinished(const JobReport &report)
{
    QTreeWidget *list = progressList();
    const ProgressText::Row row = ProgressText::finishedRow(report);
    addProgressRow(list, row.status, row.text, row.icon);
    showLastRow(list);
    if (!CmdDownloadThis->isEnabled())
        CmdDownloadThis->setEnabled(true);

    // The message comes while the job still holds the window; the window may
    // be closed while it is up.
    const QPointer<MainForm> self(this);
    information(ProgressText::completionMessage(report));
    if (!self)
        return;
    endJob();
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
    ListView1->hide();
    if (!AlbumPageUrl.isEmpty() && browserPaneJob)
        WebBrowser1->navigate(AlbumPageUrl);
}
