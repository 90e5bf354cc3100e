// The main window: start-up and settings, controls and menus, the folder
// commands, closing, and the browser pane against the demo site.
#include "app/albumstab.h"
#include "albums/albumlistmodel.h"
#include "app/mainform.h"
#include "storage/settingsfile.h"
#include "demosite.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "web/fetchpage.h"
#include "addresses/siteaddresses.h"
#include "web/cookiejar.h"
#include "web/networksession.h"
#include "skintooltip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QNetworkCookieJar>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWebEnginePage>

#include <algorithm>

namespace {
QByteArray fileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}


bool hasSessionCookie(const QUrl &site)
{
    for (const QNetworkCookie &c : BrowserProfile::network()->cookieJar()->cookiesForUrl(site))
        if (c.name() == "ksession")
            return true;
    return false;
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site;
    QTemporaryDir m_appDir;

    // Every answer of this site waits, so a job started on it keeps running.
    DemoSite m_slow{R"({"delayMs": 2000, "members": [{"id": "100000001", "albums": [
        {"id": "7001", "name": "慢相册", "pages": 1, "perPage": 3}]}]})"};

    // Three pictures of 100 KiB, for a job under a speed limit.
    DemoSite m_large{R"({"members": [{"id": "100000001", "albums": [{"id": "7002", "name": "大图相册", "perPage": 3,
        "pictures": [{"id": "70021", "padKb": 100}, {"id": "70022", "padKb": 100}, {"id": "70023", "padKb": 100}]}]}]})"};

    MainForm *newWindow() { return new MainForm(m_appDir.path()); }

    // A window on screen that saves into `saveFolder`.
    MainForm *shownWindow(const QString &saveFolder)
    {
        MainForm *w = newWindow();
        w->show();
        w->TxtPath->setText(saveFolder);
        return w;
    }

    // A member-list job that is still collecting when this returns.
    void startSlowJob(MainForm *w)
    {
        w->albumList()->setAlbums({{m_slow.url("/photo/100000001/album-7001"), "慢相册"}});
        w->LstAlbumName->setCurrentIndex(w->albumList()->index(0));
        w->CmdDownloadThis->Click();
        QCOMPARE(w->JobState(), QString("CollectPicture2"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        QVERIFY(m_slow.start());
        QVERIFY(m_large.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }

    void cleanup()
    {
        qDeleteAll(mainForms());
        QFile::remove(SettingsFilePath(m_appDir.path()));
    }

    void firstStartWritesDefaultsAndShowsStartPage()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> w = newWindow();
        const QString file = SettingsFilePath(m_appDir.path());
        QCOMPARE(ReadSetting(file, "Settings", "Path"), m_appDir.path());
        QCOMPARE(ReadSetting(file, "Settings", "UserId"), QString(DefaultUserId));
        QCOMPARE(w->TxtPath->text(), m_appDir.path());
        QCOMPARE(w->TxtUserId->text(), QString(DefaultUserId));
        QCOMPARE(w->JobState(), QString("login"));
        QCOMPARE(w->JobSource(), qint16(0));
        QVERIFY(waitForDocument(w->WebBrowser1, "/quillmoor/start"));
        QCOMPARE(w->WebBrowser1->locationUrl(), siteAddresses().startPage);
        QVERIFY(dialogs.messages.isEmpty());
    }

    void storedSettingsAreKept()
    {
        const QString file = SettingsFilePath(m_appDir.path());
        // A stored folder without a user id: the folder stays, only the id is written.
        QVERIFY(WriteSetting(file, "Settings", "Path", "/srv/相册 保存"));
        delete newWindow();
        QCOMPARE(ReadSetting(file, "Settings", "Path"), QString("/srv/相册 保存"));
        QCOMPARE(ReadSetting(file, "Settings", "UserId"), QString(DefaultUserId));

        // An empty stored folder counts as missing.
        QVERIFY(WriteSetting(file, "Settings", "Path", ""));
        QVERIFY(WriteSetting(file, "Settings", "UserId", "  777 "));
        QPointer<MainForm> w = newWindow();
        QCOMPARE(w->TxtPath->text(), m_appDir.path());
        QCOMPARE(ReadSetting(file, "Settings", "Path"), m_appDir.path());
        QCOMPARE(w->TxtUserId->text(), QString("777"));
    }

    // Every control where it was drawn, in window pixels once shown, with
    // its font; the tab chain as it has always been.
    void controlsKeepTheirPlaces()
    {
        QPointer<MainForm> w = newWindow();
        w->show();
        struct Place {
            QWidget *control;
            QRect inWindow;
            double pointSize;
            bool bold;
        };
        const QList<Place> places = {
            {w->TxtPath, {120, 68, 313, 18}, 9, false},
            {w->CmdChangePath, {456, 60, 81, 25}, 8.25, false},
            {w->CmdShellFolder, {560, 60, 81, 25}, 8.25, false},
            {w->SSTab1, {0, 20, 881, 560}, 10.5, false},
            {w->Label2, {24, 68, 91, 12}, 9, true},
            {w->Frame1, {8, 92, 865, 473}, 10.5, false},
            {w->CmdStartDown, {32, 109, 121, 25}, 8.25, false},
            {w->ListView1, {24, 140, 841, 409}, 9, false},
            {w->WebBrowser1, {24, 140, 841, 409}, 10.5, false},
            {w->CmdFriendAlbum, {560, 108, 81, 25}, 8.25, false},
            {w->CmdViewHot, {656, 108, 105, 25}, 8.25, false},
            {w->CmdHomePage, {776, 108, 84, 25}, 8.25, false},
            {w->Label1, {160, 116, 649, 17}, 10.5, true},
            {w->Frame2, {16, 100, 857, 97}, 9, false},
            {w->LstAlbumName, {400, 116, 273, 64}, 9, false},
            {w->TxtUserId, {152, 139, 73, 18}, 9, false},
            {w->CmdList, {248, 132, 81, 25}, 8.25, false},
            {w->CmdDownloadThis, {696, 156, 89, 25}, 8.25, false},
            {w->lblstate, {32, 164, 345, 17}, 10.5, true},
            {w->Label8, {688, 132, 72, 12}, 9, false},
            {w->Label7, {688, 116, 168, 12}, 9, false},
            {w->Label6, {360, 138, 39, 16}, 9, false},
            {w->Label4, {32, 140, 102, 12}, 9, false},
            {w->ListView2, {16, 204, 841, 369}, 9, false},
            {w->WebBrowser2, {24, 204, 833, 365}, 10.5, false},
            {w->Label9, {24, 68, 91, 12}, 9, true},
        };
        for (const Place &p : places) {
            const QRect actual(p.control->mapTo(w, QPoint(0, 0)), p.control->size());
            QVERIFY2(actual == p.inWindow, qPrintable(p.control->objectName()));
            QCOMPARE(p.control->font().pointSizeF(), p.pointSize);
            QCOMPARE(p.control->font().bold(), p.bold);
        }
        // Listed earlier lies over listed later.
        const QList<QList<QWidget *>> stacks = {
            {w->TxtPath, w->CmdChangePath, w->CmdShellFolder, w->SSTab1},
            {w->Label2, w->Frame1},
            {w->CmdStartDown, w->ListView1, w->WebBrowser1, w->CmdFriendAlbum, w->CmdViewHot, w->CmdHomePage, w->Label1},
            {w->LstAlbumName, w->TxtUserId, w->CmdList, w->CmdDownloadThis, w->lblstate, w->Label8,
             w->Label7, w->Label6, w->Label4},
            {w->Frame2, w->ListView2, w->WebBrowser2, w->Label9}};
        for (const QList<QWidget *> &stack : stacks) {
            const QObjectList siblings = stack.constFirst()->parentWidget()->children();
            for (qsizetype i = 1; i < stack.size(); ++i)
                QVERIFY2(siblings.indexOf(stack.at(i - 1)) > siblings.indexOf(stack.at(i)),
                         qPrintable(stack.at(i)->objectName()));
        }
        QStringList chain;
        QWidget *at = w->TxtPath;
        do {
            if (places.end() != std::find_if(places.begin(), places.end(), [at](const Place &p) { return p.control == at; })
                && (at->focusPolicy() & Qt::TabFocus))
                chain << at->objectName();
            at = at->nextInFocusChain();
        } while (at != w->TxtPath && chain.size() < 100);
        QCOMPARE(chain, QStringList({"TxtPath", "CmdChangePath", "CmdShellFolder", "SSTab1", "CmdFriendAlbum",
                                     "CmdViewHot", "CmdList", "CmdDownloadThis", "CmdHomePage", "ListView2",
                                     "TxtUserId", "LstAlbumName", "CmdStartDown", "ListView1"}));
    }

    // In fast mode the job can end before the frame that shows its last
    // pictures: they still come before the "Finished" row, each once.
    void fastJobRowsInTheOrderReported()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir save;
        QPointer<MainForm> w = shownWindow(save.path());
        w->Fast->trigger();
        const QString album = m_site.url("/photo/100000001/album-5001");
        w->WebBrowser1->navigate(album);
        QVERIFY(waitForDocument(w->WebBrowser1, album));
        QTRY_VERIFY(w->CmdStartDown->isEnabled());
        w->CmdStartDown->Click();
        QVERIFY(waitUntil([&] { return !dialogs.messages.isEmpty(); }, 60000));
        const QAbstractItemModel *rows = w->ListView1->model();
        QStringList status;
        QSet<QString> shown;
        for (int i = 0; i < rows->rowCount(); ++i) {
            status << rows->index(i, 0).data().toString();
            shown << rows->index(i, 1).data().toString();
        }
        QCOMPARE(status, QStringList() << "Collecting" << QStringList(12, "Success") << "Finished");
        QCOMPARE(shown.size(), rows->rowCount());
        QCOMPARE(w->ListView1->currentIndex().row(), rows->rowCount() - 1);
    }

    void controlsMenusAndColumns()
    {
        QPointer<MainForm> w = newWindow();
        w->show();
        QCOMPARE(w->windowTitle(), QString("Quillmoor Beta 4.0"));
        QCOMPARE(w->centralWidget()->size(), QSize(887, 563));
        QVERIFY(!w->windowIcon().isNull());
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QCOMPARE(w->SSTab1->tabText(0), QString("下载热门相册"));
        QCOMPARE(w->SSTab1->tabText(1), QString("下载指定ID用户相册"));
        QVERIFY(!w->TxtPath->isEnabled());
        QVERIFY(!w->CmdStartDown->isEnabled());
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QVERIFY(w->ListView1->isHidden());
        QCOMPARE(w->CmdChangePath->geometry(), QRect(456, 40, 81, 25));
        // The buttons come from their stored properties.
        QCOMPARE(w->CmdStartDown->Caption(), QString("开始列队下载"));
        QCOMPARE(w->CmdHomePage->Caption(), QString("Kestrelnet首页"));
        // Its caption fits whole at its own size, and the button stays in its frame.
        QVERIFY(w->CmdHomePage->fontMetrics().horizontalAdvance("Kestrelnet首页") < w->CmdHomePage->width() - 4);
        QVERIFY(w->CmdHomePage->geometry().right() < w->Frame1->width());
        QCOMPARE(w->CmdStartDown->BackColor(), OleColor::Value(0xFFFFFF));
        QList<CommandButton *> formButtons;
        for (CommandButton *b : w->findChildren<CommandButton *>())
            if (!w->findChild<AlbumsTab *>()->isAncestorOf(b))
                formButtons << b;
        for (CommandButton *b : std::as_const(formButtons)) {
            QCOMPARE(b->Style(), 6);
            QCOMPARE(b->NonThemeStyle(), 0);
            QCOMPARE(b->ToolTipType(), 1);
            QCOMPARE(b->font().family(), QString("Verdana"));
        }
        QCOMPARE(formButtons.size(), 8);

        // They react to the pointer and show their own balloon tooltip.
        QSignalSpy entered(w->CmdShellFolder, &CommandButton::MouseEnter);
        const QPointF inside(5, 5);
        QEnterEvent enter(inside, inside, w->CmdShellFolder->mapToGlobal(inside));
        QApplication::sendEvent(w->CmdShellFolder, &enter);
        QCOMPARE(entered.count(), 1);
        QVERIFY(w->CmdShellFolder->toolTipWindow());
        QCOMPARE(w->CmdShellFolder->toolTipWindow()->kind(), SkinToolTip::Balloon);
        QCOMPARE(w->CmdShellFolder->ToolTipText(), QString("在文件管理器中打开保存文件夹"));
        QVERIFY(w->CmdShellFolder->toolTip().isEmpty()); // the window's own tooltip gives way
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w->CmdShellFolder, &leave);
        QVERIFY(!w->CmdShellFolder->toolTipWindow());
        QCOMPARE(w->CmdShellFolder->toolTip(), QString("在文件管理器中打开保存文件夹"));
        QCOMPARE(w->Frame1->title(), MainForm::IdleFrameText);
        // The progress list covers the browser pane exactly.
        QCOMPARE(w->ListView1->geometry(), w->WebBrowser1->geometry());

        QCOMPARE(w->Pro->title(), QString("程序"));

        for (QTreeView *list : {w->ListView1, w->ListView2}) {
            QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QString("Status"));
            QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QString("下载进度"));
            QCOMPARE(list->columnWidth(0), qRound(0.15 * w->ListView1->width()));
            QCOMPARE(list->columnWidth(1), qRound(0.85 * w->ListView1->width()));
        }
        QCOMPARE(w->ImageList1.size(), 6);
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(w->ImageList1.at(i).availableSizes().value(0), QSize(16, 16));
    }

    void downloadModeAndSpeedAreKept()
    {
        const QString file = SettingsFilePath(m_appDir.path());
        QVERIFY(WriteSetting(file, "Other", "Keep", "1"));
        QPointer<MainForm> w = newWindow();
        // The defaults: everything again, one picture after the other.
        QVERIFY(w->AllNew->isChecked() && !w->OnlyNew->isChecked());
        QVERIFY(w->OneByOne->isChecked() && !w->Fast->isChecked());
        QCOMPARE(w->DownSpeed->title(), QString("下载速度"));
        QCOMPARE(w->Captions->title(), QString("图片说明"));
        QVERIFY(w->NoCaptions->isChecked() && w->captionMode() == CaptionMode::None);
        // Each choice is exclusive; the choices are kept and read back.
        w->OnlyNew->trigger();
        QVERIFY(w->OnlyNew->isChecked() && !w->AllNew->isChecked());
        w->Fast->trigger();
        QVERIFY(w->Fast->isChecked() && !w->OneByOne->isChecked());
        w->InFlight->actions().at(5)->trigger(); // 6 at once
        w->XmpCaptions->trigger();
        QVERIFY(w->XmpCaptions->isChecked() && !w->NoCaptions->isChecked() && !w->EmbedCaptions->isChecked());
        QCOMPARE(ReadSetting(file, "Settings", "Captions"), QString("Xmp"));
        QCOMPARE(ReadSetting(file, "Settings", "DownMode"), QString("OnlyNew"));
        QCOMPARE(ReadSetting(file, "Settings", "DownSpeed"), QString("Fast"));
        QCOMPARE(ReadSetting(file, "Settings", "InFlight"), QString("6"));
        QCOMPARE(ReadSetting(file, "Other", "Keep"), QString("1"));
        delete w;
        w = newWindow();
        QVERIFY(w->OnlyNew->isChecked() && w->Fast->isChecked());
        QVERIFY(w->InFlight->actions().at(5)->isChecked());
        QCOMPARE(w->captionMode(), CaptionMode::Sidecar);
        w->EmbedCaptions->trigger();
        QCOMPARE(ReadSetting(file, "Settings", "Captions"), QString("Embed"));
        w->AllNew->trigger();
        w->OneByOne->trigger();
        delete w;
        w = newWindow();
        QVERIFY(w->AllNew->isChecked() && w->OneByOne->isChecked());
        QCOMPARE(w->captionMode(), CaptionMode::Embed);
    }

    void speedLimitIsKept()
    {
        const QString file = SettingsFilePath(m_appDir.path());
        QPointer<MainForm> w = newWindow();
        QCOMPARE(w->LimitRate->title(), QString("下载限速"));
        QStringList texts;
        for (const QAction *choice : w->LimitRate->actions())
            texts << choice->text();
        QCOMPARE(texts, QStringList({"不限速", "100 KB/s", "300 KB/s", "1 MB/s", "3 MB/s"}));
        QVERIFY(w->LimitRate->actions().at(0)->isChecked());
        // Chosen with the keyboard in the open menu; exclusive, and kept.
        w->show();
        w->LimitRate->popup(w->mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(w->LimitRate->isVisible());
        w->LimitRate->setActiveAction(w->LimitRate->actions().at(2));
        QTest::keyClick(w->LimitRate, Qt::Key_Return);
        QVERIFY(w->LimitRate->actions().at(2)->isChecked() && !w->LimitRate->actions().at(0)->isChecked());
        QCOMPARE(ReadSetting(file, "Settings", "LimitRate"), QString("307200"));
        delete w;
        w = newWindow();
        QVERIFY(w->LimitRate->actions().at(2)->isChecked());
        delete w;
        // A limit the menu does not offer is none, as the menu then shows.
        QVERIFY(WriteSetting(file, "Settings", "LimitRate", "12345"));
        w = newWindow();
        QVERIFY(w->LimitRate->actions().at(0)->isChecked());
    }

    void jobKeepsToTheSpeedLimit()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir save;
        QVERIFY(WriteSetting(SettingsFilePath(m_appDir.path()), "Settings", "LimitRate", "102400"));
        QPointer<MainForm> w = shownWindow(save.path());
        QVERIFY(w->LimitRate->actions().at(1)->isChecked());
        setSiteAddresses(SiteAddresses::forBase(m_large.base()));
        w->albumList()->setAlbums({{m_large.url("/photo/100000001/album-7002"), "大图相册"}});
        w->LstAlbumName->setCurrentIndex(w->albumList()->index(0));
        QElapsedTimer clock;
        clock.start();
        w->CmdDownloadThis->Click();
        const bool ended = waitUntil([&] { return !dialogs.messages.isEmpty(); }, 30000);
        const qint64 elapsed = clock.elapsed();
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
        QVERIFY(ended);
        QVERIFY2(dialogs.lastText().startsWith("下载完毕"), qPrintable(dialogs.lastText()));
        // 300 KiB at 100 KiB/s, less the limit's first tenth of a second.
        QVERIFY2(elapsed >= 2800, qPrintable(QString::number(elapsed)));
    }

    void navigationButtonsAnswerOnTheirWholeFace()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> w = newWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        for (CommandButton *b : {w->CmdFriendAlbum, w->CmdViewHot, w->CmdHomePage}) {
            // Label1 lies beside them and must not take the lower half of their face.
            QVERIFY(b->geometry().intersects(w->Label1->geometry()));
            const QRect face = b->rect().adjusted(2, 2, -3, -3);
            for (const QPoint &at : {face.topLeft(), face.topRight(), face.center(), face.bottomLeft(),
                                     face.bottomRight()}) {
                QSignalSpy clicks(b, &CommandButton::Click);
                const QPoint inWindow = b->mapTo(w, at);
                QTest::mouseMove(w->windowHandle(), inWindow);
                QVERIFY2(b->isMouseInside(), qPrintable(b->objectName()));
                QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, inWindow);
                QVERIFY2(clicks.count() == 1, qPrintable(QString("%1 at %2,%3").arg(b->objectName()).arg(at.x()).arg(at.y())));
            }
        }
        // A click on the home button's lower edge takes the pane home.
        const QPoint lower = w->CmdHomePage->mapTo(w, QPoint(w->CmdHomePage->width() / 2, w->CmdHomePage->height() - 3));
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, lower);
        QVERIFY(waitUntil([&] { return QUrl(w->WebBrowser1->locationUrl()).path() == "/"; }));
    }

    void closeRules()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir save;
        QDir d(save.path());

        // Idle: no question.
        QPointer<MainForm> w = newWindow();
        w->show();
        QVERIFY(w->close());
        QVERIFY(dialogs.questions.isEmpty());
        QVERIFY(waitUntil([&] { return !w; }));

        // During a job, No keeps everything; Yes deletes the job's folder only.
        QVERIFY(d.mkdir("相册文件夹1"));
        QVERIFY(d.mkdir("旧相册"));
        w = shownWindow(save.path());
        startSlowJob(w);
        QCOMPARE(w->TempFolderName(), QString("相册文件夹2"));
        QVERIFY(d.mkpath("相册文件夹2/sub"));
        QFile pic(save.path() + "/相册文件夹2/sub/p.jpg");
        QVERIFY(pic.open(QIODevice::WriteOnly));
        pic.close();

        dialogs.answerYes = false;
        QVERIFY(!w->close());
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(dialogs.questions.at(0).title, QString("提示"));
        QCOMPARE(dialogs.questions.at(0).text,
                 QString("正在进行下载操作,真的需要退出吗？退出将删除正在下载的文件"));
        QVERIFY(w->isVisible());
        QVERIFY(d.exists("相册文件夹2/sub/p.jpg"));

        dialogs.answerYes = true;
        QVERIFY(w->close());
        QVERIFY(waitUntil([&] { return !w; }));
        QVERIFY(!d.exists("相册文件夹2"));
        QVERIFY(d.exists("相册文件夹1"));
        QVERIFY(d.exists("旧相册"));
    }

    void exitLeavesTheTemporaryFolder()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir save;
        QPointer<MainForm> w = shownWindow(save.path());
        startSlowJob(w);
        QCOMPARE(w->TempFolderName(), QString("相册文件夹1"));
        w->exit->trigger();
        QVERIFY(dialogs.questions.isEmpty());
        QVERIFY(QDir(save.path()).exists("相册文件夹1"));
    }

    void changeAndOpenFolder()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> w = newWindow();
        const QString file = SettingsFilePath(m_appDir.path());

        dialogs.folderAnswer = "/data/图片 新";
        w->CmdChangePath->Click();
        QCOMPARE(dialogs.folderDialogTitles, QStringList{"选择保存【图片】的【文件夹】"});
        QCOMPARE(w->TxtPath->text(), QString("/data/图片 新"));
        QCOMPARE(ReadSetting(file, "Settings", "Path"), QString("/data/图片 新"));

        dialogs.folderAnswer.clear(); // cancelled
        w->Path->trigger();
        QCOMPARE(dialogs.folderDialogTitles.size(), 2);
        QCOMPARE(w->TxtPath->text(), QString("/data/图片 新"));
        QCOMPARE(ReadSetting(file, "Settings", "Path"), QString("/data/图片 新"));

        // While a job runs the command is refused, the start button enabled or not.
        QTemporaryDir save;
        w->TxtPath->setText(save.path());
        startSlowJob(w);
        dialogs.folderAnswer = "/elsewhere";
        w->CmdChangePath->Click();
        QCOMPARE(dialogs.folderDialogTitles.size(), 2);
        QCOMPARE(dialogs.lastText(), QString("此时无法更改路径，请等待下载完毕"));
        QCOMPARE(dialogs.messages.constLast().title, MainForm::caption());
        w->CmdStartDown->setEnabled(true);
        w->Path->trigger();
        QCOMPARE(dialogs.folderDialogTitles.size(), 2);
        QCOMPARE(w->TxtPath->text(), save.path());
        delete w;
        w = newWindow();
        w->CmdChangePath->Click();
        QCOMPARE(w->TxtPath->text(), QString("/elsewhere"));

        // Opening works in any state and hands the folder, blanks and all, to the desktop.
        w->CmdShellFolder->Click();
        QCOMPARE(dialogs.opened.constLast(), QUrl::fromLocalFile("/elsewhere"));
        w->Help->trigger();
        QCOMPARE(dialogs.opened.constLast(), QUrl(m_site.url("/quillmoor/help")));
        dialogs.openSucceeds = false;
        w->FeedBack->trigger();
        QCOMPARE(dialogs.opened.constLast(), QUrl(m_site.url("/quillmoor/feedback")));
        QVERIFY(dialogs.lastText().contains("/quillmoor/feedback"));
    }

    void browserPaneReadsTitleAndLinks()
    {
        QPointer<MainForm> w = newWindow();
        w->show();
        w->WebBrowser1->navigate(m_site.url("/test/links"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/links"));
        // The links are readable when the event arrives.
        QCOMPARE(w->WebBrowser1->Title(), QString("links"));
        const QList<PageLink> links = w->WebBrowser1->links();
        QCOMPARE(links.size(), 3);
        QCOMPARE(links.at(0).address, m_site.url("/quillmoor/help"));
        QCOMPARE(links.at(0).innerText, QString(" 下一页"));
        QCOMPARE(links.at(1).address, m_site.url("/test/photo/1/photo-2"));
        QCOMPARE(links.at(2).href, m_site.url("/quillmoor/start?curpage=2"));
        QCOMPARE(links.at(2).innerText, QString("下一页"));
        QCOMPARE(w->WebBrowser1->locationUrl(), m_site.url("/test/links"));
    }

    void cookiesOfThePaneReachTheNetwork()
    {
        QPointer<MainForm> w = newWindow();
        w->WebBrowser1->navigate(m_site.url("/test/setcookie?name=qm&value=42"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/setcookie"));
        // The cookie reaches the network session once the browser reports it ...
        QVERIFY(waitUntil([&] {
            for (const QNetworkCookie &c : BrowserProfile::network()->cookieJar()->cookiesForUrl(QUrl(m_site.base())))
                if (c.name() == "qm")
                    return true;
            return false;
        }));
        // ... and the page fetch sends it.
        QString echoed;
        fetchText(w->network(), "UTF-8", m_site.url("/test/cookie"), QString(), w, [&](const QString &t) { echoed = t; });
        QVERIFY(waitUntil([&] { return !echoed.isEmpty(); }));
        QVERIFY2(echoed.contains("qm=42"), qPrintable(echoed));
    }

    void newWindowTakesThePlaceOfTheWindow()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> w = newWindow();
        w->show();
        w->WebBrowser1->navigate(m_site.url("/test/newwindow"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/newwindow"));
        w->WebBrowser1->page()->runJavaScript("document.getElementById('nw').click();");
        QVERIFY(waitUntil([&] { return !w; }, 15000));
        QTRY_COMPARE(mainForms().size(), 1);
        MainForm *next = mainForms().constFirst();
        QVERIFY(next->isVisible());
        QVERIFY(next->WebBrowser1->registerAsBrowser());
        QVERIFY(waitForDocument(next->WebBrowser1, "/quillmoor/help"));
        QVERIFY(dialogs.questions.isEmpty());
    }

    void newWindowDuringABrowserPaneJobAsksFirst()
    {
        ScriptedDialogs dialogs;
        QTemporaryDir save;
        QPointer<MainForm> w = shownWindow(save.path());
        w->WebBrowser1->navigate(m_site.url("/test/newwindow"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/newwindow"));
        // A browser-pane job leaves the member-list button enabled, so the
        // request goes ahead and the close question decides.
        setSiteAddresses(SiteAddresses::forBase(m_slow.base()));
        w->WebBrowser1->navigate(m_slow.url("/photo/100000001/album-7001"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/album-7001"));
        QVERIFY(w->CmdStartDown->isEnabled());
        w->CmdStartDown->Click();
        QCOMPARE(w->JobState(), QString("GetUrl"));
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
        w->WebBrowser1->navigate(m_site.url("/test/newwindow"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/newwindow"));
        dialogs.answerYes = false;
        w->WebBrowser1->page()->runJavaScript("document.getElementById('nw').click();");
        QVERIFY(waitUntil([&] { return mainForms().size() == 2 && !dialogs.questions.isEmpty(); }, 15000));
        QVERIFY(w && w->isVisible());
        QVERIFY(QDir(save.path()).exists("相册文件夹1"));
        MainForm *next = mainForms().constFirst() == w ? mainForms().constLast() : mainForms().constFirst();
        QVERIFY(next->isVisible());
        QCOMPARE(next->JobState(), QString("login"));
        QVERIFY(waitForDocument(next->WebBrowser1, "/quillmoor/help"));
    }

    void newWindowRefusedDuringAMemberListJob()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> w = newWindow();
        w->show();
        w->WebBrowser1->navigate(m_site.url("/test/newwindow"));
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/newwindow"));
        startSlowJob(w);
        w->WebBrowser1->page()->runJavaScript("document.getElementById('nw').click();");
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(), QStringList{"此时不能打开新窗口，请等待下载完毕"}, 15000);
        QCOMPARE(dialogs.messages.constFirst().title, MainForm::caption());
        QVERIFY(w);
        QCOMPARE(mainForms().size(), 1);
        QCOMPARE(w->WebBrowser1->locationUrl(), m_site.url("/test/newwindow"));
    }

    void loginSurvivesARestart()
    {
        if (qEnvironmentVariableIsSet("QUILLMOOR_TEST_PROFILE"))
            QSKIP("runs in the parent process only");
        // Two runs of the program on one profile: the first logs in and ends,
        // the second must start logged in.
        QTemporaryDir profile;
        auto runChild = [&](const char *function) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QUILLMOOR_TEST_PROFILE", profile.path());
            env.insert("QUILLMOOR_TEST_SITE", m_site.base());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(function)});
            if (!child.waitForFinished(120000))
                return QByteArray("timed out");
            const QByteArray out = child.readAll();
            return out.contains(QByteArray("PASS   : TestMainForm::") + function + "()")
                ? QByteArray()
                : out.right(3000);
        };
        // An earlier version left the profile's folders and the cookie file
        // open to others; the login makes them owner-only.
        const QString storage = profile.path() + "/storage", cache = profile.path() + "/cache";
        QVERIFY(QDir().mkpath(storage) && QDir().mkpath(cache));
        QFile oldCookies(storage + "/NetworkCookies");
        QVERIFY(oldCookies.open(QIODevice::WriteOnly));
        oldCookies.close();
        QVERIFY(oldCookies.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        for (const QString &folder : {storage, cache})
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                      | QFile::ReadOther | QFile::ExeOther));
        const QByteArray first = runChild("logInAndEnd");
        QVERIFY2(first.isEmpty(), first.constData());
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                | QFile::WriteUser | QFile::ExeUser;
        for (const QString &folder : {storage, cache})
            QCOMPARE(QFile::permissions(folder), ownerOnly);
        QCOMPARE(QFile::permissions(storage + "/NetworkCookies"),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QVERIFY(fileText(storage + "/NetworkCookies").contains("ksession="));
        // Even when the browser did not get to write its cookies before the
        // first run ended, the login must come back.
        QFile::remove(profile.path() + "/storage/Cookies");
        const QByteArray second = runChild("storedLoginIsLoaded");
        QVERIFY2(second.isEmpty(), second.constData());
    }

    // The two runs of loginSurvivesARestart, each in a process of its own.
    void logInAndEnd()
    {
        if (!qEnvironmentVariableIsSet("QUILLMOOR_TEST_PROFILE"))
            QSKIP("runs in a child process of loginSurvivesARestart only");
        const QString site = qEnvironmentVariable("QUILLMOOR_TEST_SITE");
        QPointer<MainForm> w = newWindow();
        w->WebBrowser1->navigate(site + "/login?user=restart");
        QVERIFY(waitForDocument(w->WebBrowser1, "/quillmoor/start"));
        QVERIFY(waitUntil([&] { return hasSessionCookie(QUrl(site)); }));
    }

    void storedLoginIsLoaded()
    {
        if (!qEnvironmentVariableIsSet("QUILLMOOR_TEST_PROFILE"))
            QSKIP("runs in a child process of loginSurvivesARestart only");
        QPointer<MainForm> w = newWindow();
        w->WebBrowser1->navigate(qEnvironmentVariable("QUILLMOOR_TEST_SITE") + "/test/cookie");
        QVERIFY(waitForDocument(w->WebBrowser1, "/test/cookie"));
        // The pane sends the stored login ...
        QString shown;
        w->WebBrowser1->page()->toPlainText([&](const QString &t) { shown = t; });
        QVERIFY(waitUntil([&] { return shown.contains("ksession="); }));
        // ... and so does the network session of the page fetch.
        QVERIFY(hasSessionCookie(QUrl(qEnvironmentVariable("QUILLMOOR_TEST_SITE"))));
    }
};

QUILLMOOR_TEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
