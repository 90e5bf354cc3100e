#pragma once

#include "commandbutton.h"
#include "storage/applocations.h"

#include <QCoreApplication>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSet>

#include <functional>

class BrowserPane;
struct NewWindowRequest;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QNetworkAccessManager;
class QTabWidget;
class QTimer;
class QTreeWidget;

// Quillmoor's window. It owns every control and all run-time state of a
// download job; the controls keep the names other parts of the program and
// the tests know them by.
class MainForm : public QMainWindow
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
    // Pictures saved in the current job.
    int savedCount() const { return m_savedCount; }
    QString saveFolder() const;

    // Controls, by their names.
    QLineEdit *TxtPath = nullptr;
    QTimer *TimerGetCode = nullptr;
    CommandButton *CmdChangePath = nullptr;
    CommandButton *CmdShellFolder = nullptr;
    QTabWidget *SSTab1 = nullptr;
    QLabel *Label2 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QListWidget *List1 = nullptr;
    QListWidget *List2 = nullptr;
    CommandButton *CmdStartDown = nullptr;
    QList<QIcon> ImageList1; // index 0 unused: rows use the icons 1 to 3
    QTreeWidget *ListView1 = nullptr;
    BrowserPane *WebBrowser1 = nullptr;
    CommandButton *CmdFriendAlbum = nullptr;
    CommandButton *CmdViewHot = nullptr;
    CommandButton *CmdHomePage = nullptr;
    QLabel *Label1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QListWidget *LstUrl = nullptr;
    QListWidget *LstAlbumName = nullptr;
    QLineEdit *TxtUserId = nullptr;
    CommandButton *CmdList = nullptr;
    CommandButton *CmdDownloadThis = nullptr;
    QLabel *lblstate = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label4 = nullptr;
    QTreeWidget *ListView2 = nullptr;
    BrowserPane *WebBrowser2 = nullptr;
    QLabel *Label9 = nullptr;

    // Menu.
    QMenu *Pro = nullptr;
    QAction *Path = nullptr;
    QMenu *DownMode = nullptr;
    QAction *AllNew = nullptr;
    QAction *OnlyNew = nullptr;
    QAction *Help = nullptr;
    QAction *FeedBack = nullptr;
    QAction *exit = nullptr;

    // Job variables.
    QString JobState;
    QString AlbumName;
    QString TempFolderName;
    QString AlbumPageUrl;
    qint16 JobSource = 0;
    // The folder last returned by the folder dialog.
    QString ChosenFolder;

    // Commands, as the buttons and menu items run them.
    void ChangeFolder();
    void OpenFolder();
    void CmdList_Click();
    void CmdStartDown_Click();
    void CmdDownloadThis_Click();
    void CmdFriendAlbum_Click();
    void CmdViewHot_Click();
    void CmdHomePage_Click();
    void Help_Click();
    void FeedBack_Click();
    void exit_Click();

    // Browser and timer events.
    void WebBrowser1_DocumentComplete(const QString &address);
    void WebBrowser2_DocumentComplete(const QString &address);
    void WebBrowser1_NewWindow(NewWindowRequest &request);
    void TimerGetCode_Timer();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setTabOrder();
    void placeOnTab(QWidget *w, int x, int y, int width, int height);
    void Form_Load();

    void information(const QString &text, const QString &title = QString());
    bool createTempFolder();
    void addProgressRow(QTreeWidget *list, const QString &status, const QString &text, int icon);
    void showLastRow(QTreeWidget *list);
    void setCollectingText(QTreeWidget *list, const QString &text);
    void DownloadStep(const std::function<void()> &then);
    void completeJob();
    void abandonJob();
    bool followNextPage(BrowserPane *pane, bool requireCurpage);

    // Writes one setting; the first write that fails is reported.
    void writeSetting(const QString &key, const QString &value);

    AppLocations m_locations;
    bool m_settingsFailureShown = false;
    int m_savedCount = 0;
    // Every request of a job answers to this object; deleting it abandons them.
    QPointer<QObject> m_job;
    // Album pages collected in this job, so a page that links back to an
    // earlier one ends the collection instead of looping.
    QSet<QString> m_collectedPages;
    // Picture addresses saved in this job: a link the album shows on two
    // pages is one picture and is saved once.
    QSet<QString> m_savedAddresses;
    // Tab-page controls and their places relative to the tab control.
    QList<QPair<QPointer<QWidget>, QRect>> m_tabPlaces;
};
