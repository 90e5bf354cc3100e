#include "mainform.h"

#include "albums/albumlistmodel.h"
#include "download/albumfolder.h"
#include "download/jobrules.h"
#include "icons.h"
#include "progress/progressmodel.h"
#include "propertybag.h"
#include "platform/browserpane.h"
#include "platform/dialogs.h"
#include "storage/filesystem.h"
#include "storage/settingsfile.h"
#include "addresses/siteaddresses.h"
#include "web/networksession.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QMenu>
#include <QTreeView>

// The window's resources live in a static library, which does not register them by itself.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

QFont songFont(double pointSize, bool bold)
{
    // SimSun is a Windows font; an installed CJK font of the same size stands in.
    QFont f;
    f.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Sans CJK")});
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

// The buttons' stored properties: style, fonts, captions, states.
const QMap<QString, PropertyBag> &storedButtons()
{
    static const QMap<QString, PropertyBag> bags = [] {
        initResources();
        return PropertyBag::loadFile(QStringLiteral(":/quillmoor/mainform.buttons"))
            .value_or(QMap<QString, PropertyBag>());
    }();
    return bags;
}

// The buttons' stored captions and tooltips are the Chinese source texts of
// their translations; named here for lupdate, which cannot read the stored
// properties.
[[maybe_unused]] const char *const StoredButtonTexts[] = {
    QT_TRANSLATE_NOOP("MainFormButtons", "更改路径"),
    QT_TRANSLATE_NOOP("MainFormButtons", "选择保存图片的文件夹"),
    QT_TRANSLATE_NOOP("MainFormButtons", "打开文件夹"),
    QT_TRANSLATE_NOOP("MainFormButtons", "在文件管理器中打开保存文件夹"),
    QT_TRANSLATE_NOOP("MainFormButtons", "开始列队下载"),
    QT_TRANSLATE_NOOP("MainFormButtons", "下载浏览器中打开的相册的全部图片"),
    QT_TRANSLATE_NOOP("MainFormButtons", "打开好友相册"),
    QT_TRANSLATE_NOOP("MainFormButtons", "打开好友相册页面"),
    QT_TRANSLATE_NOOP("MainFormButtons", "打开热门相册首页"),
    QT_TRANSLATE_NOOP("MainFormButtons", "Kestrelnet首页"),
    QT_TRANSLATE_NOOP("MainFormButtons", "打开 Kestrelnet 首页"),
    QT_TRANSLATE_NOOP("MainFormButtons", "列出相册"),
    QT_TRANSLATE_NOOP("MainFormButtons", "列出该用户的全部相册"),
    QT_TRANSLATE_NOOP("MainFormButtons", "下载选中相册"),
    QT_TRANSLATE_NOOP("MainFormButtons", "下载列表中选中的相册"),
};

void translateButton(CommandButton *button)
{
    const auto translated = [](const QString &text) {
        return QCoreApplication::translate("MainFormButtons", text.toUtf8().constData());
    };
    button->setCaption(translated(button->Caption()));
    button->setToolTipText(translated(button->ToolTipText()));
}

// Checkable items added to `menu`, one of them checked at a time: the first
// until another is chosen.
QActionGroup *addChoices(QMenu *menu, const QStringList &texts)
{
    auto *group = new QActionGroup(menu);
    for (const QString &text : texts) {
        QAction *choice = menu->addAction(text);
        choice->setCheckable(true);
        group->addAction(choice);
    }
    group->actions().constFirst()->setChecked(true);
    return group;
}

// Widens a button whose caption does not fit (a translation may be longer),
// into the free room to its right: up to the next control beside it, or
// its parent's edge. A caption that fits leaves the form's place alone.
void widenToCaption(CommandButton *button)
{
    const int needed = button->fontMetrics().horizontalAdvance(button->Caption()) + 12;
    if (needed <= button->width())
        return;
    QWidget *parent = button->parentWidget();
    int rightEdge = parent->width() - 6;
    for (const QWidget *other : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool beside = other->y() < button->geometry().bottom() && other->geometry().bottom() > button->y();
        if (other != button && beside && other->x() > button->x())
            rightEdge = qMin(rightEdge, other->x() - 6);
    }
    button->resize(qMax(button->width(), qMin(needed, rightEdge - button->x())), button->height());
}

} // namespace

MainForm::MainForm(const QString &applicationFolder, QWidget *parent)
    : MainForm(portableLocations(applicationFolder), parent)
{
}

MainForm::MainForm(const AppLocations &locations, QWidget *parent)
    : QMainWindow(parent)
    , m_locations(locations)
    , m_albumList(new AlbumListModel(this))
{
    // Verdana is a Windows font; a condensed sans keeps captions inside
    // buttons sized for it.
    QFont::insertSubstitutions(QStringLiteral("Verdana"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption());
    setWindowIcon(Icons::windowIcon());
    m_rowFlush.setSingleShot(true);
    // A few batches a second: each one is a repaint, and to a screen reader
    // a handful of accessibility events, whatever the number of rows in it.
    m_rowFlush.setInterval(200);
    connect(&m_rowFlush, &QTimer::timeout, this, &MainForm::flushRows);
    createControls();
    createMenus();
    Form_Load();
}

MainForm::~MainForm()
{
    // Requests of a job must not answer into a window being torn down.
    if (m_queue)
        m_queue->kill();
}

QString MainForm::settingsFile() const
{
    return m_locations.settingsFile;
}

QNetworkAccessManager *MainForm::network() const
{
    return BrowserProfile::network()->manager();
}

QString MainForm::saveFolder() const
{
    return TxtPath->text();
}

void MainForm::createControls()
{
    setupUi(this);
    LstAlbumName->setModel(m_albumList);
    // What the form cannot hold: fractional point sizes and a CJK font
    // standing in for SimSun. Every control without its own takes the window's.
    setFont(songFont(9, false));
    const QFont defaultFont = font();
    for (QWidget *w : QList<QWidget *>{SSTab1, Frame1})
        w->setFont(songFont(10.5, false));
    for (QWidget *w : QList<QWidget *>{Label2, Label9})
        w->setFont(songFont(9, true));
    for (QWidget *w : QList<QWidget *>{Label1, lblstate})
        w->setFont(songFont(10.5, true));
    for (QWidget *w : QList<QWidget *>{ListView1, ListView2, Frame2})
        w->setFont(defaultFont);

    // The buttons' stored properties: style, fonts, captions, states.
    for (CommandButton *button : findChildren<CommandButton *>()) {
        button->readProperties(storedButtons().value(button->objectName()));
        translateButton(button);
    }
    // CmdHomePage's caption is wider than the place drawn for it; the frame
    // has room to its right, so it grows there rather than shrinking its text.
    for (CommandButton *button : findChildren<CommandButton *>())
        widenToCaption(button);

    setTabOrder();

    ImageList1 = {QIcon()};
    for (int i = 1; i <= 5; ++i)
        ImageList1 << Icons::statusIcon(i);
    ListView1->setModel(new ProgressModel(ImageList1, ListView1));
    ListView2->setModel(new ProgressModel(ImageList1, ListView2));
    connectControls();
}

void MainForm::setTabOrder()
{
    // Not in the form: the form makes the pages' controls inside the tab
    // control before the pages join it, and chaining them after the tab
    // control then splits the chain in two, leaving some out of reach of the
    // Tab key. Chained after the save-folder row first, with the tab control
    // put before them afterwards, they come in the order they always had.
    const QList<QWidget *> onPages = {TxtUserId, LstAlbumName, CmdStartDown, ListView1, WebBrowser1,
                                      ListView2, WebBrowser2, CmdFriendAlbum, CmdViewHot, CmdList,
                                      CmdDownloadThis, CmdHomePage};
    QWidget *previous = TxtPath;
    for (QWidget *next : QList<QWidget *>{CmdChangePath, CmdShellFolder} + onPages) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
    QWidget::setTabOrder(CmdShellFolder, SSTab1);
}

void MainForm::connectControls()
{
    connect(LstAlbumName, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        auto *menu = new QMenu(LstAlbumName);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(tr("全部下载"), this, &MainForm::downloadAllAlbums);
        menu->addAction(tr("下载选中相册"), this, &MainForm::CmdDownloadThis_Click);
        menu->popup(LstAlbumName->viewport()->mapToGlobal(at));
    });
    connect(CmdChangePath, &CommandButton::Click, this, &MainForm::ChangeFolder);
    connect(CmdShellFolder, &CommandButton::Click, this, &MainForm::OpenFolder);
    connect(CmdStartDown, &CommandButton::Click, this, &MainForm::CmdStartDown_Click);
    connect(CmdFriendAlbum, &CommandButton::Click, this, &MainForm::CmdFriendAlbum_Click);
    connect(CmdViewHot, &CommandButton::Click, this, &MainForm::CmdViewHot_Click);
    connect(CmdHomePage, &CommandButton::Click, this, &MainForm::CmdHomePage_Click);
    connect(CmdList, &CommandButton::Click, this, &MainForm::CmdList_Click);
    connect(CmdDownloadThis, &CommandButton::Click, this, &MainForm::CmdDownloadThis_Click);
    connect(WebBrowser1, &BrowserPane::documentComplete, this, &MainForm::WebBrowser1_DocumentComplete);
    connect(WebBrowser1, &BrowserPane::newWindow, this, &MainForm::WebBrowser1_NewWindow);
    connectAlbumsTab();
}

void MainForm::createMenus()
{
    Pro = menuBar()->addMenu(tr("程序"));
    Path = Pro->addAction(tr("图片保存路径"));
    DownMode = Pro->addMenu(tr("下载模式"));
    QActionGroup *modes = addChoices(DownMode, {tr("全部重新下载"), tr("只下载新上传的图片")});
    AllNew = modes->actions().at(0);
    OnlyNew = modes->actions().at(1);

    createSpeedMenu();

    LimitRate = Pro->addMenu(tr("下载限速"));
    QActionGroup *rates = addChoices(LimitRate, {tr("不限速"), tr("100 KB/s"), tr("300 KB/s"), tr("1 MB/s"), tr("3 MB/s")});
    const qint64 limits[] = {0, 100 * 1024, 300 * 1024, 1024 * 1024, 3 * 1024 * 1024};
    for (int i = 0; i < rates->actions().size(); ++i)
        rates->actions().at(i)->setData(limits[i]);

    Captions = Pro->addMenu(tr("图片说明"));
    QActionGroup *captions = addChoices(Captions, {tr("不保存"), tr("写入图片"), tr("另存为 .xmp 文件")});
    NoCaptions = captions->actions().at(0);
    EmbedCaptions = captions->actions().at(1);
    XmpCaptions = captions->actions().at(2);

    UpdateAll = Pro->addAction(tr("更新全部相册"));
    CheckAlbums = Pro->addAction(tr("检查相册"));
    Help = Pro->addAction(tr("使用帮助"));
    FeedBack = Pro->addAction(tr("意见反馈"));
    exit = Pro->addAction(tr("退出"));

    connect(Path, &QAction::triggered, this, &MainForm::ChangeFolder);
    // The choices hold for the next job; each is kept for the next run.
    connect(modes, &QActionGroup::triggered, this, [this](QAction *mode) {
        writeSetting(QStringLiteral("DownMode"), mode == OnlyNew ? QStringLiteral("OnlyNew") : QStringLiteral("AllNew"));
    });
    connect(captions, &QActionGroup::triggered, this, [this](QAction *choice) {
        writeSetting(QStringLiteral("Captions"), choice == EmbedCaptions ? QStringLiteral("Embed")
                                                 : choice == XmpCaptions ? QStringLiteral("Xmp")
                                                                         : QStringLiteral("None"));
    });
    connect(rates, &QActionGroup::triggered, this, [this](QAction *rate) {
        writeSetting(QStringLiteral("LimitRate"), QString::number(rate->data().toLongLong()));
    });
    connect(UpdateAll, &QAction::triggered, this, &MainForm::updateAllAlbums);
    connect(CheckAlbums, &QAction::triggered, this, &MainForm::checkAlbums);
    connect(Help, &QAction::triggered, this, &MainForm::Help_Click);
    connect(FeedBack, &QAction::triggered, this, &MainForm::FeedBack_Click);
    connect(exit, &QAction::triggered, this, &MainForm::exit_Click);
    createJobCommands();
}

void MainForm::createSpeedMenu()
{
    DownSpeed = Pro->addMenu(tr("下载速度"));
    QActionGroup *speeds = addChoices(DownSpeed, {tr("逐张下载"), tr("快速下载")});
    OneByOne = speeds->actions().at(0);
    Fast = speeds->actions().at(1);
    InFlight = DownSpeed->addMenu(tr("快速下载时同时下载"));
    QStringList counts;
    for (int n = 1; n <= JobSettings::MaxInFlight; ++n)
        counts << tr("%1 张").arg(n);
    QActionGroup *inFlight = addChoices(InFlight, counts);
    for (int n = 1; n <= JobSettings::MaxInFlight; ++n)
        inFlight->actions().at(n - 1)->setData(n);
    inFlight->actions().at(JobSettings::DefaultFastInFlight - 1)->setChecked(true);
    // Kept for the next run, as every choice of the menu is.
    connect(speeds, &QActionGroup::triggered, this, [this](QAction *speed) {
        writeSetting(QStringLiteral("DownSpeed"), speed == Fast ? QStringLiteral("Fast") : QStringLiteral("OneByOne"));
    });
    connect(inFlight, &QActionGroup::triggered, this, [this](QAction *count) {
        writeSetting(QStringLiteral("InFlight"), QString::number(count->data().toInt()));
    });
}

void MainForm::showEvent(QShowEvent *event)
{
    // The form places the tab pages' controls from the tab control's corner,
    // as the save-folder row above them; the pages start below the tab strip,
    // which is known only once laid out.
    if (!m_placedOnPages) {
        m_placedOnPages = true;
        const QPoint origin = SSTab1->widget(0)->mapTo(SSTab1, QPoint(0, 0));
        for (QWidget *page : {SSTab1->widget(0), SSTab1->widget(1)})
            for (QWidget *w : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                w->move(w->pos() - origin);
    }
    QMainWindow::showEvent(event);
}

void MainForm::Form_Load()
{
    const QString file = settingsFile();
    const QString section = QStringLiteral("Settings");

    const QString path = ReadSetting(file, section, QStringLiteral("Path"));
    if (!path.isEmpty()) {
        TxtPath->setText(path);
    } else {
        writeSetting(QStringLiteral("Path"), m_locations.defaultSaveFolder);
        TxtPath->setText(m_locations.defaultSaveFolder);
    }
    // An album copy left aside by a replacement that a crash cut short.
    AlbumFolder::recover(saveFolder());
    // Asked once the window is up, so the question has a window to belong to.
    QTimer::singleShot(0, this, &MainForm::offerInterruptedAlbums);

    const QString userId = ReadSetting(file, section, QStringLiteral("UserId"));
    if (!userId.isEmpty()) {
        TxtUserId->setText(userId);
    } else {
        writeSetting(QStringLiteral("UserId"), QString::fromLatin1(DefaultUserId));
        TxtUserId->setText(QString::fromLatin1(DefaultUserId));
    }

    // Download mode and speed, when stored; the menu's defaults otherwise.
    const QString mode = ReadSetting(file, section, QStringLiteral("DownMode"));
    (mode == QLatin1String("OnlyNew") ? OnlyNew : AllNew)->setChecked(true);
    const QString speed = ReadSetting(file, section, QStringLiteral("DownSpeed"));
    (speed == QLatin1String("Fast") ? Fast : OneByOne)->setChecked(true);
    const QString captions = ReadSetting(file, section, QStringLiteral("Captions"));
    (captions == QLatin1String("Embed") ? EmbedCaptions : captions == QLatin1String("Xmp") ? XmpCaptions : NoCaptions)
        ->setChecked(true);
    const int count = ReadSetting(file, section, QStringLiteral("InFlight")).toInt();
    for (QAction *choice : InFlight->actions())
        choice->setChecked(choice->data().toInt() == (count >= 1 && count <= JobSettings::MaxInFlight
                                                           ? count
                                                           : JobSettings::DefaultFastInFlight));
    // A limit none of the choices offers counts as none, as the menu shows.
    const qint64 rate = ReadSetting(file, section, QStringLiteral("LimitRate")).toLongLong();
    QAction *limit = LimitRate->actions().constFirst();
    for (QAction *choice : LimitRate->actions())
        if (choice->data().toLongLong() == rate)
            limit = choice;
    limit->setChecked(true);

    WebBrowser1->navigate(siteAddresses().startPage);
    WebBrowser2->navigate(QStringLiteral("about:blank"));

    const int width = ListView1->width();
    for (QTreeView *list : {ListView1, ListView2}) {
        list->setColumnWidth(0, qRound(0.15 * width));
        list->setColumnWidth(1, qRound(0.85 * width));
    }
}

CaptionMode MainForm::captionMode() const
{
    return EmbedCaptions->isChecked() ? CaptionMode::Embed
        : XmpCaptions->isChecked()    ? CaptionMode::Sidecar
                                      : CaptionMode::None;
}

qint64 MainForm::limitRate() const
{
    for (const QAction *choice : LimitRate->actions())
        if (choice->isChecked())
            return choice->data().toLongLong();
    return 0;
}

void MainForm::writeSetting(const QString &key, const QString &value)
{
    if (WriteSetting(settingsFile(), QStringLiteral("Settings"), key, value) || m_settingsFailureShown)
        return;
    // Once per window: the program goes on with the value for this run. Shown
    // from the event loop, since start-up writes before the window is up.
    m_settingsFailureShown = true;
    QTimer::singleShot(0, this, [this] {
        information(tr("无法写入设置文件，本次更改只在程序运行期间有效：\n") + settingsFile());
    });
}

void MainForm::information(const QString &text, const QString &title)
{
    dialogs().information(this, title.isNull() ? caption() : title, text);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (!m_queue) {
        event->accept();
        return;
    }
    if (!dialogs().question(this, tr("提示"),
                            tr("正在进行下载操作,真的需要退出吗？退出将删除正在下载的文件"))) {
        event->ignore();
        return;
    }
    // The job stops first, so no request in flight writes into the folder
    // that goes with it; the folder is the one the job began in.
    m_queue->discard();
    event->accept();
}

void MainForm::ChangeFolder()
{
    // Refused for the whole of a job: its folders lie in the folder it began in.
    if (m_queue) {
        information(tr("此时无法更改路径，请等待下载完毕"));
        return;
    }
    ChosenFolder = dialogs().chooseFolder(this, tr("选择保存【图片】的【文件夹】"));
    if (ChosenFolder.isEmpty())
        return;
    writeSetting(QStringLiteral("Path"), ChosenFolder);
    TxtPath->setText(ChosenFolder);
}

void MainForm::OpenFolder()
{
    if (!dialogs().openUrl(QUrl::fromLocalFile(saveFolder())))
        information(tr("无法打开文件夹：") + saveFolder());
}

void MainForm::Help_Click()
{
    if (!dialogs().openUrl(QUrl(siteAddresses().helpPage)))
        information(tr("无法打开网页：") + siteAddresses().helpPage);
}

void MainForm::FeedBack_Click()
{
    if (!dialogs().openUrl(QUrl(siteAddresses().feedbackPage)))
        information(tr("无法打开网页：") + siteAddresses().feedbackPage);
}

void MainForm::exit_Click()
{
    // Ends the program at once: no question, no clean-up; a running job's
    // temporary folder stays on disk.
    QCoreApplication::exit(0);
}
