// The download job: its two starts, collection in both panes, the
// resolution tick and the download step with the job's completion.
#include "mainform.h"

#include "download/jobrules.h"
#include "platform/browserpane.h"
#include "storage/filesystem.h"
#include "web/downpic.h"
#include "web/fetchpage.h"
#include "app/siteaddresses.h"
#include "web/textutil.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {
QString count(const QListWidget *list)
{
    return QString::number(list->count());
}
} // namespace

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

void MainForm::setCollectingText(QTreeWidget *list, const QString &text)
{
    if (QTreeWidgetItem *row = list->topLevelItem(0))
        row->setText(1, text);
}

bool MainForm::createTempFolder()
{
    const QString name = NextTempFolderName(saveFolder());
    QString error;
    if (name.isEmpty()) {
        error = QStringLiteral("临时文件夹编号已用完。");
    } else if (FileSystem::CreateFolder(saveFolder() + QLatin1Char('/') + name, &error)) {
        TempFolderName = name;
        return true;
    }
    information(QStringLiteral("无法在保存路径中创建临时文件夹，请检查保存路径是否存在并且可写：\n")
                + saveFolder() + QLatin1Char('\n') + error);
    return false;
}

void MainForm::CmdStartDown_Click()
{
    // The getalbum.do rule can enable the button while a job runs.
    if (JobState != JobStates::Login) {
        information(QStringLiteral("当前状态不可进行此操作"));
        return;
    }
    // The folder comes first: when it cannot be made, nothing has changed.
    if (!createTempFolder())
        return;

    JobSource = BrowserPaneJob;
    ListView1->clear();
    ListView1->show();
    addProgressRow(ListView1, QStringLiteral("Collecting"), QStringLiteral("程序开始采集图片"), 1);
    if (CmdStartDown->isEnabled())
        CmdStartDown->setEnabled(false);

    const QString base = siteAddresses().photoHostBase;
    List1->addItems(PicturePageLinks(WebBrowser1->links(), base));
    setCollectingText(ListView1, QStringLiteral("已采集") + count(List1) + QStringLiteral("张图片列表，请稍等... ..."));

    AlbumName = CleanAlbumTitle(WebBrowser1->Title());
    const QString albumFolder = saveFolder() + QLatin1Char('/') + AlbumName;
    if (IsUsableFolderName(AlbumName) && AlbumName != TempFolderName
        && FileSystem::FolderExists(albumFolder))
        FileSystem::DeleteFolder(albumFolder, true);

    AlbumPageUrl = WebBrowser1->locationUrl();
    m_collectedPages = {AlbumPageKey(AlbumPageUrl)};
    m_savedAddresses.clear();
    JobState = JobStates::CollectPicture;

    if (followNextPage(WebBrowser1, true))
        return;
    Frame1->setTitle(QStringLiteral("相册《 ") + ShortAlbumName(AlbumName) + QStringLiteral(" 》有 ")
                     + count(List1) + QStringLiteral(" 张图片"));
    JobState = JobStates::GetUrl;
    TimerGetCode->start();
}

void MainForm::CmdDownloadThis_Click()
{
    if (JobState != JobStates::Login) {
        information(QStringLiteral("上一个操作正在进行，请等待下载结束"));
        return;
    }
    const int row = LstAlbumName->currentRow();
    if (row < 0 || !LstAlbumName->item(row)->isSelected() || row >= LstUrl->count()) {
        information(QStringLiteral("您没有选中任何相册"));
        return;
    }
    if (!createTempFolder())
        return;

    CmdDownloadThis->setEnabled(false);
    JobSource = MemberListJob;
    ListView2->clear();
    addProgressRow(ListView2, QStringLiteral("Collecting"), QStringLiteral("程序开始采集图片"), 1);
    const QString address = LstUrl->item(row)->text();
    m_collectedPages = {AlbumPageKey(address)};
    m_savedAddresses.clear();
    JobState = JobStates::CollectPicture2;
    WebBrowser2->navigate(address);
}

void MainForm::WebBrowser1_DocumentComplete(const QString &address)
{
    const QString base = siteAddresses().photoHostBase;
    CmdStartDown->setEnabled(StartButtonEnabledFor(WebBrowser1->locationUrl(), base, JobState));

    if (JobState != JobStates::CollectPicture)
        return;
    if (!address.contains(base + QStringLiteral("/photo/")))
        return;

    m_collectedPages.insert(AlbumPageKey(address));
    List1->addItems(PicturePageLinks(WebBrowser1->links(), base));
    setCollectingText(ListView1, QStringLiteral("已采集") + count(List1) + QStringLiteral("张图片列表，请稍等... ..."));

    if (followNextPage(WebBrowser1, true))
        return;
    WebBrowser1->navigate(QStringLiteral("about:blank"));
    setCollectingText(ListView1, QStringLiteral("共采集") + count(List1) + QStringLiteral("张图片列表，开始下载"));
    Frame1->setTitle(QStringLiteral("相册《 ") + ShortAlbumName(AlbumName) + QStringLiteral(" 》共有")
                     + count(List1) + QStringLiteral("张图片"));
    JobState = JobStates::GetUrl;
    TimerGetCode->start();
}

void MainForm::WebBrowser2_DocumentComplete(const QString &address)
{
    if (JobState != JobStates::CollectPicture2)
        return;
    // The blank page the pane shows before the album (at start-up or after
    // an earlier job) may complete late; it is not the album's last page.
    if (address.startsWith(QLatin1String("about:")))
        return;

    AlbumName = CleanAlbumTitle(WebBrowser2->Title());
    m_collectedPages.insert(AlbumPageKey(address));
    const QStringList found = PicturePageLinks(WebBrowser2->links(), siteAddresses().photoHostBase);
    for (const QString &link : found) {
        if (List1->findItems(link, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            List1->addItem(link);
    }
    setCollectingText(ListView2, QStringLiteral("已采集") + count(List1) + QStringLiteral("张图片列表，请稍等... ..."));

    if (followNextPage(WebBrowser2, false))
        return;
    setCollectingText(ListView2, QStringLiteral("共采集") + count(List1) + QStringLiteral("张图片列表，开始下载"));
    JobState = JobStates::GetUrl;
    WebBrowser2->navigate(QStringLiteral("about:blank"));
    const QString albumFolder = saveFolder() + QLatin1Char('/') + AlbumName;
    if (IsUsableFolderName(AlbumName) && AlbumName != TempFolderName
        && FileSystem::FolderExists(albumFolder))
        FileSystem::DeleteFolder(albumFolder, true);
    TimerGetCode->start();
}

bool MainForm::followNextPage(BrowserPane *pane, bool requireCurpage)
{
    const qsizetype next = NextPageLinkIndex(pane->links(), requireCurpage);
    if (next < 0)
        return false;
    const QString address = pane->links().at(next).address;
    // A next page already collected means the site loops: hand over what we have.
    if (m_collectedPages.contains(AlbumPageKey(address)))
        return false;
    pane->navigate(address);
    return true;
}

void MainForm::TimerGetCode_Timer()
{
    // Off for the whole tick, so ticks never overlap while a request waits.
    TimerGetCode->stop();
    if (List1->count() == 0) {
        DownloadStep({});
        return;
    }
    const QString pageAddress = List1->item(0)->text();
    FetchPage(network(), QStringLiteral("UTF-8"), pageAddress, QString(), m_job,
              [this](const QString &page) {
                  const QString picture = ResolvePictureAddress(page);
                  delete List1->takeItem(0);
                  if (picture.isEmpty()) {
                      TimerGetCode->start();
                      return;
                  }
                  List2->addItem(picture);
                  DownloadStep([this] { TimerGetCode->start(); });
              });
}

void MainForm::DownloadStep(const std::function<void()> &then)
{
    if (List2->count() == 0) {
        if (List1->count() == 0)
            completeJob();
        return;
    }

    QTreeWidget *progress = JobSource == BrowserPaneJob ? ListView1 : ListView2;
    QLabel *status = JobSource == BrowserPaneJob ? Label1 : lblstate;
    const QString address = List2->item(0)->text();
    const QString folder = saveFolder() + QLatin1Char('/') + TempFolderName;

    // Every picture gets a row: saved, failed (with the reason) or skipped.
    auto finish = [this, progress, status, then](const QString &word, const QString &text, int icon) {
        addProgressRow(progress, word, text, icon);
        showLastRow(progress);
        status->setText(QStringLiteral("已下载") + QString::number(m_savedCount) + QStringLiteral("张图片 "));
        delete List2->takeItem(0);
        if (then)
            then();
    };
    const QString picture = QStringLiteral("图片") + address;

    if (m_savedAddresses.contains(address)) {
        finish(QStringLiteral("Skipped"), picture + QStringLiteral("已保存过，不再重复下载."), 0);
        return;
    }
    const QString name = GetPicName(address);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        finish(QStringLiteral("Failed"), picture + QStringLiteral("下载失败: 地址中没有文件名"), 0);
        return;
    }
    // Two pictures of one album may share a name; neither may be lost.
    const QString path = folder + QLatin1Char('/') + FreeFileName(folder, name);
    DownPic(network(), address, path, m_job, [this, finish, address, picture](const DownPicResult &result) {
        if (result.ok()) {
            ++m_savedCount;
            m_savedAddresses.insert(address);
            finish(QStringLiteral("Success"), picture + QStringLiteral("下载完毕."), 2);
        } else {
            finish(QStringLiteral("Failed"), picture + QStringLiteral("下载失败: ") + result.message, 0);
        }
    });
}

void MainForm::completeJob()
{
    TimerGetCode->stop();
    QTreeWidget *progress = JobSource == BrowserPaneJob ? ListView1 : ListView2;

    const QString save = saveFolder();
    QString finalName = TempFolderName;
    QString note;
    if (AlbumName == TempFolderName) {
        // The pictures are already where the album's name says.
    } else if (!IsUsableFolderName(AlbumName)) {
        note = QStringLiteral("\n相册名称不能用作文件夹名，图片保留在临时文件夹中。");
    } else if (FileSystem::MoveFolder(save + QLatin1Char('/') + TempFolderName,
                                      save + QLatin1Char('/') + AlbumName)) {
        finalName = AlbumName;
    } else {
        note = QStringLiteral("\n无法将临时文件夹改名为《") + AlbumName
            + QStringLiteral("》，图片保留在临时文件夹中。");
    }

    addProgressRow(progress, QStringLiteral("Finished"), QStringLiteral("相册下载完毕."), 3);
    showLastRow(progress);
    if (!CmdDownloadThis->isEnabled())
        CmdDownloadThis->setEnabled(true);

    // The window may be closed while the message is up.
    const QPointer<MainForm> self(this);
    information(QStringLiteral("下载完毕\n保存在 《") + finalName + QStringLiteral("》") + note);
    if (!self)
        return;

    if (JobSource == BrowserPaneJob) {
        Frame1->setTitle(IdleFrameText);
        Label1->setText(QStringLiteral("图片下载完毕. "));
    }
    lblstate->setText(QString());
    m_savedCount = 0;
    TempFolderName.clear();
    JobState = JobStates::Login;
    ListView1->hide();
    if (!AlbumPageUrl.isEmpty() && JobSource == BrowserPaneJob)
        WebBrowser1->navigate(AlbumPageUrl);
    JobSource = NoJob;
}
