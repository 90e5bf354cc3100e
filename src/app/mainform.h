#pragma once

#include "commandbutton.h"
#include "download/albumqueue.h"
#include "download/downloadjob.h"
#include "download/jobsettings.h"
#include "progress/progressestimate.h"
#include "progress/progresstexts.h"
#include "storage/applocations.h"
#include "ui_mainform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>

class AlbumListModel;
struct AlbumListFailure;
class BrowserPane;
class DesktopNotifier;
class ProgressModel;
struct NewWindowRequest;
struct RecordedAlbum;
class QAction;
class QMenu;
class QNetworkAccessManager;
class QProgressBar;
class QTimer;

// Quillmoor's window. It owns every control and all run-time state of a
// download job; the controls keep the names other parts of the program and
// the tests know them by.
class MainForm : public QMainWindow, public Ui::MainFormControls
{
    Q_OBJECT
public:
    explicit MainForm(const AppLocations &locations, QWidget *parent = nullptr);
    // A program kept in `applicationFolder`, with its settings beside it.
    explicit MainForm(const QString &applicationFolder = QCoreApplication::applicationDirPath(),
                      QWidget *parent = nullptr);
    ~MainForm() override;

    static QString caption() { return QStringLiteral("Quillmoor Beta 4.0"); }
    static inline const QString IdleFrameText =
        QStringLiteral("进入您需要下载的相册列表页面,点击按钮开始列队下载");
    static inline const QString IdleLabelText =
        QStringLiteral("进入相册列表页面后按钮才可用，此时请单击开始列队下载");
    QString settingsFile() const;
    // The network session every fetch and download of the window goes through.
    QNetworkAccessManager *network() const;
    // The album now at work (or completing), if any.
    DownloadJob *albumJob() const { return m_queue ? m_queue->currentJob() : nullptr; }
    // The running download: one album of the browsing tab, or the member
    // tab's queue of albums.
    AlbumQueue *queue() const { return m_queue; }
    // The member tab's albums, as LstAlbumName shows them.
    AlbumListModel *albumList() const { return m_albumList; }
    QString saveFolder() const;

    // Controls, by their names; the fixed ones come from the form.
    QList<QIcon> ImageList1; // index 0 unused: rows use the icons 1 to 5

    // Menu.
    QMenu *Pro = nullptr;
    QAction *Path = nullptr;
    QMenu *DownMode = nullptr;
    QAction *AllNew = nullptr;
    QAction *OnlyNew = nullptr;
    QMenu *DownSpeed = nullptr;
    QAction *OneByOne = nullptr;
    QAction *Fast = nullptr;
    QMenu *InFlight = nullptr;
    // 图片说明: what is kept of each picture's caption beside the record.
    QMenu *Captions = nullptr;
    QAction *NoCaptions = nullptr;
    QAction *EmbedCaptions = nullptr;
    QAction *XmpCaptions = nullptr;
    CaptionMode captionMode() const;
    // 下载限速: each choice's data is its limit in bytes a second, 0 for none.
    QMenu *LimitRate = nullptr;
    QAction *UpdateAll = nullptr;
    QAction *CheckAlbums = nullptr;
    QAction *Help = nullptr;
    QAction *FeedBack = nullptr;
    QAction *exit = nullptr;
    // Commands on the running job, also in the progress lists' context menu.
    QAction *PauseDown = nullptr;
    QAction *ResumeDown = nullptr;
    QAction *StopDown = nullptr;
    // Pictures done of the album (and the album of a queue) in the status bar.
    QProgressBar *JobProgress = nullptr;

    // The job variables, as the window shows them. The job itself (its
    // queues, pace, folders and counts) is the DownloadJob.
    QString JobState() const;
    QString AlbumName() const;
    QString TempFolderName() const;
    qint16 JobSource() const;
    // Where the browser pane returns after its job.
    QString AlbumPageUrl;
    // The folder last returned by the folder dialog.
    QString ChosenFolder;

    // Commands, as the buttons and menu items run them.
    void ChangeFolder();
    void OpenFolder();
    void CmdList_Click();
    void CmdStartDown_Click();
    void CmdDownloadThis_Click();
    // The album list's "全部下载": every album of the member, in list order.
    void downloadAllAlbums();
    // "更新全部相册": the chosen recorded albums of the save folder, only
    // their new pictures, as one queue of the member tab.
    void updateAllAlbums();
    // "检查相册": every recorded album folder compared with its record, off
    // the window's thread; one message says what is missing or changed.
    void checkAlbums();
    // The "已下载的相册" tab's commands on recorded albums of the save folder,
    // by folder name; each runs its albums as one queue with one message.
    void openAlbumFolders(const QStringList &folders);
    void updateAlbums(const QStringList &folders);
    void continueAlbums(const QStringList &folders);
    void checkAlbumFolders(const QStringList &folders);
    void trashAlbums(const QStringList &folders);
    void CmdFriendAlbum_Click();
    void CmdViewHot_Click();
    void CmdHomePage_Click();
    void Help_Click();
    void FeedBack_Click();
    void exit_Click();
    void PauseDown_Click();
    void ResumeDown_Click();
    void StopDown_Click();

    // Browser events.
    void WebBrowser1_DocumentComplete(const QString &address);
    void WebBrowser1_NewWindow(NewWindowRequest &request);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createMenus();
    void createSpeedMenu();
    void setTabOrder();
    void connectControls();
    void Form_Load();

    void information(const QString &text, const QString &title = QString());
    bool refusedWhileDownloading();
    void onAlbumListFailed(const AlbumListFailure &failure);
    AlbumQueue *startQueue(::JobSource source, const QList<AlbumQueue::Album> &albums,
                           const PageSnapshot *shown = nullptr, const QString &continueFolder = QString());
    // Unfinished albums: offered at start-up, and when one is started again.
    void offerInterruptedAlbums();
    // The unfinished folder of the album at `address` to continue into, or
    // the empty text for a new download.
    QString askToContinue(const QString &address);
    void connectQueue(AlbumQueue *queue);
    void onAlbumStarted(int index);
    // The progress rows: each list shows a ProgressModel of its own.
    QTreeView *progressList() const;
    ProgressModel *progressRows(QTreeView *list) const;
    void clearProgressRows(QTreeView *list);
    void addProgressRow(QTreeView *list, const QString &status, const QString &text, int icon);
    // The album's "Collecting" row, which setCollectingText() writes to.
    void addCollectingRow(QTreeView *list);
    void addAlbumRow(const QString &title, int album, int albums);
    void addStoppedRow(const CollectionStop &stop);
    void addFinishedRow(const JobReport &report);
    void queueRow(const PictureReport &picture, bool onlyNew, const QString &status);
    void flushRows();
    void showLastRow(QTreeView *list);
    void setCollectingText(const QString &text);
    void onPictureDone(const PictureReport &picture);
    void onCollectionFinished(int collected);
    void onAlbumFinished(const JobReport &report);
    void onQueueFinished(const AlbumQueue::Report &report);
    JobSettings updateSettings() const;
    // The speed limit chosen in 下载限速, in bytes a second; 0 for none.
    qint64 limitRate() const;
    // What the window's menus say for a job (see MakeJobSettings).
    JobChoices windowChoices(FrontEnd frontEnd, ::JobSource source, const QString &continueFolder = {}) const;
    // Only new pictures of `albums` into their folders, as one queue on the member tab.
    void startUpdate(const QList<RecordedAlbum> &albums);
    void connectAlbumsTab();
    QList<RecordedAlbum> recordedAlbumsOf(const QStringList &folders) const;
    void onUpdateFinished(const AlbumQueue::Report &report);
    // The end-of-job message on the desktop too, when the window is behind others.
    void notifyIfInactive(const QString &message);
    void endJob();
    void createJobCommands();
    void updateJobCommands();
    void onJobPaused(HaltReason reason, const QString &loginPage);
    void onJobResumed();
    void resetProgressBar();
    void updateProgressBar();
    QLabel *statusLabel() const;

    // Writes one setting; the first write that fails is reported.
    void writeSetting(const QString &key, const QString &value);

    AppLocations m_locations;
    AlbumListModel *m_albumList = nullptr;
    bool m_settingsFailureShown = false;
    // Whether work is running is asked of it, never of a button.
    QPointer<AlbumQueue> m_queue;
    // The album name stays after its job, until the next one starts.
    QString m_albumName;
    // The "Collecting" row of the album being collected, in progressList().
    int m_collectingRow = -1;
    // Picture rows waiting for the next batch, and the status text with them.
    QList<PictureReport> m_pendingPictures;
    bool m_pendingOnlyNew = false;
    QString m_pendingStatus;
    // The "Collecting" row's next text, shown with the next batch (null: none).
    QString m_pendingCollecting;
    QTimer m_rowFlush;
    // The progress bar's count and pace, and the status text a pause hid.
    ProgressEstimate m_estimate;
    QElapsedTimer m_clock;
    QString m_runningStatus;
    // The tab pages' controls are placed from the tab control's corner
    // until the page's own corner is known, at the first show.
    bool m_placedOnPages = false;
    // Made at the first job that ends behind other windows.
    DesktopNotifier *m_notifier = nullptr;
};
