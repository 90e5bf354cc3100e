#include "mainform.h"

#include "download/albumfolders.h"
#include "download/jobrules.h"
#include "icons.h"
#include "propertybag.h"
#include "platform/browserpane.h"
#include "platform/dialogs.h"
#include "storage/filesystem.h"
#include "storage/settingsfile.h"
#include "siteaddresses.h"
#include "web/networksession.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

// The window's resources live in a static library, which does not register them by itself.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// Places in the window's layout are kept in twips, as the layout was drawn.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}
QRect twips(int x, int y, int w, int h)
{
    return QRect(px(x), px(y), px(w), px(h));
}

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

CommandButton *makeButton(const QString &name, QWidget *parent, const QRect &place)
{
    auto *button = new CommandButton(parent);
    button->setObjectName(name);
    button->setGeometry(place);
    button->readProperties(storedButtons().value(name));
    return button;
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

// Widens a button whose caption does not fit, up to `rightEdge` of its parent.
void widenToCaption(CommandButton *button, int rightEdge)
{
    const int needed = button->fontMetrics().horizontalAdvance(button->Caption()) + 12;
    const int room = rightEdge - button->x();
    if (needed > button->width())
        button->resize(qMin(needed, room), button->height());
}

// Siblings stacked so that each lies over those after it.
void stackAsListed(const QList<QWidget *> &topFirst)
{
    for (auto it = topFirst.crbegin(); it != topFirst.crend(); ++it)
        (*it)->raise();
}

QTreeWidget *makeProgressList(QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setColumnCount(2);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setIconSize(QSize(16, 16));
    return list;
}

} // namespace

MainForm::MainForm(const QString &applicationFolder, QWidget *parent)
    : MainForm(portableLocations(applicationFolder), parent)
{
}

MainForm::MainForm(const AppLocations &locations, QWidget *parent)
    : QMainWindow(parent)
    , m_locations(locations)
{
    // Verdana is a Windows font; a condensed sans keeps captions inside
    // buttons sized for it.
    QFont::insertSubstitutions(QStringLiteral("Verdana"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption());
    setWindowIcon(Icons::windowIcon());
    m_rowFlush.setSingleShot(true);
    m_rowFlush.setInterval(16); // about one frame
    connect(&m_rowFlush, &QTimer::timeout, this, &MainForm::flushRows);
    createControls();
    createMenus();
    setTabOrder();
    Form_Load();
}

MainForm::~MainForm()
{
    // Requests of a job must not answer into a window being torn down.
    if (m_job)
        m_job->kill();
    // Rows still waiting for their frame belong to no list yet.
    qDeleteAll(m_pendingRows);
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

void MainForm::placeOnTab(QWidget *w, int x, int y, int width, int height)
{
    // Places on a tab are measured from the tab control's corner, like the
    // save-folder row above them; the page itself starts below the tab strip.
    m_tabPlaces.append({w, twips(x, y, width, height)});
    w->setGeometry(twips(x, y, width, height));
}

void MainForm::createControls()
{
    // The window's default font, which every control without its own uses.
    setFont(songFont(9, false));
    auto *central = new QWidget(this);
    central->setFixedSize(887, 563);
    setCentralWidget(central);

    // Created in the order of the layout; stacked as listed at the end.
    SSTab1 = new QTabWidget(central);
    SSTab1->setGeometry(twips(0, 0, 13215, 8400));
    SSTab1->setFont(songFont(10.5, false));
    auto *tab0 = new QWidget;
    auto *tab1 = new QWidget;
    SSTab1->addTab(tab0, QStringLiteral("下载热门相册"));
    SSTab1->addTab(tab1, QStringLiteral("下载指定ID用户相册"));
    const QFont defaultFont = font();

    TxtPath = new QLineEdit(central);
    TxtPath->setGeometry(twips(1800, 720, 4695, 270));
    TxtPath->setEnabled(false);

    CmdChangePath = makeButton(QStringLiteral("CmdChangePath"), central, twips(6840, 600, 1215, 375));
    CmdShellFolder = makeButton(QStringLiteral("CmdShellFolder"), central, twips(8400, 600, 1215, 375));

    // Tab 0: the browsing tab.
    Label2 = new QLabel(QStringLiteral("图片保存路径："), tab0);
    Label2->setFont(songFont(9, true));
    placeOnTab(Label2, 360, 720, 1365, 180);

    Frame1 = new QGroupBox(IdleFrameText, tab0);
    Frame1->setFont(songFont(10.5, false));
    placeOnTab(Frame1, 120, 1080, 12975, 7095);

    CmdStartDown = makeButton(QStringLiteral("CmdStartDown"), Frame1, twips(360, 255, 1815, 375));

    ImageList1 = {QIcon()};
    for (int i = 1; i <= 5; ++i)
        ImageList1 << Icons::statusIcon(i);

    WebBrowser1 = new BrowserPane(BrowserProfile::instance(), Frame1);
    WebBrowser1->setGeometry(twips(240, 720, 12615, 6135));
    ListView1 = makeProgressList(Frame1);
    ListView1->setGeometry(twips(240, 720, 12615, 6135));
    ListView1->setFont(defaultFont);
    ListView1->hide();

    CmdFriendAlbum = makeButton(QStringLiteral("CmdFriendAlbum"), Frame1, twips(8280, 240, 1215, 375));
    CmdViewHot = makeButton(QStringLiteral("CmdViewHot"), Frame1, twips(9720, 240, 1575, 375));
    CmdHomePage = makeButton(QStringLiteral("CmdHomePage"), Frame1, twips(11520, 240, 975, 375));
    // Its caption is wider than the place drawn for it; the frame has room
    // to its right, so it grows there rather than shrinking its text.
    widenToCaption(CmdHomePage, Frame1->width() - 6);

    Label1 = new QLabel(IdleLabelText, Frame1);
    Label1->setGeometry(twips(2280, 360, 9735, 255));
    Label1->setFont(songFont(10.5, true));

    // Tab 1: the member tab.
    Frame2 = new QGroupBox(QStringLiteral("使用该功能，可以下载非好友的相册"), tab1);
    Frame2->setFont(defaultFont);
    placeOnTab(Frame2, 240, 1200, 12855, 1455);

    LstUrl = new QListWidget(Frame2);
    LstUrl->setGeometry(twips(11040, 240, 5415, 600));
    LstUrl->hide();
    LstAlbumName = new QListWidget(Frame2);
    LstAlbumName->setGeometry(twips(5760, 240, 4095, 960));
    // Several albums may be chosen at once; they download one after another.
    LstAlbumName->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LstAlbumName->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LstAlbumName, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        auto *menu = new QMenu(LstAlbumName);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(QStringLiteral("全部下载"), this, &MainForm::downloadAllAlbums);
        menu->addAction(QStringLiteral("下载选中相册"), this, &MainForm::CmdDownloadThis_Click);
        menu->popup(LstAlbumName->viewport()->mapToGlobal(at));
    });

    TxtUserId = new QLineEdit(QStringLiteral("100000001"), Frame2);
    TxtUserId->setGeometry(twips(2040, 590, 1095, 270));

    CmdList = makeButton(QStringLiteral("CmdList"), Frame2, twips(3480, 480, 1215, 375));
    CmdDownloadThis = makeButton(QStringLiteral("CmdDownloadThis"), Frame2, twips(10200, 840, 1335, 375));

    lblstate = new QLabel(Frame2);
    lblstate->setGeometry(twips(240, 960, 5175, 255));
    lblstate->setFont(songFont(10.5, true));
    Label8 = new QLabel(QStringLiteral("但下载无影响"), Frame2);
    Label8->setGeometry(twips(10080, 480, 1080, 180));
    Label7 = new QLabel(QStringLiteral("部分特殊字符无法显示在列表中"), Frame2);
    Label7->setGeometry(twips(10080, 240, 2520, 180));
    Label6 = new QLabel(QStringLiteral("=>>>>"), Frame2);
    // Wider and taller than drawn, up to the album list, so the arrow is not cut off.
    Label6->setGeometry(twips(5160, 570, 585, 240));
    Label4 = new QLabel(QStringLiteral("需要下载的用户ID:"), Frame2);
    Label4->setGeometry(twips(240, 600, 1530, 180));

    WebBrowser2 = new BrowserPane(BrowserProfile::instance(), tab1);
    placeOnTab(WebBrowser2, 360, 2760, 12495, 5475);
    ListView2 = makeProgressList(tab1);
    ListView2->setFont(defaultFont);
    placeOnTab(ListView2, 240, 2760, 12615, 5535);

    Label9 = new QLabel(QStringLiteral("图片保存路径："), tab1);
    Label9->setFont(songFont(9, true));
    placeOnTab(Label9, 360, 720, 1365, 180);

    // Controls listed earlier lie over those listed later where they meet:
    // the navigation buttons over Label1, each list view over its pane, the
    // save-folder row over the tab control.
    stackAsListed({TxtPath, CmdChangePath, CmdShellFolder, SSTab1});
    stackAsListed({Label2, Frame1});
    stackAsListed({CmdStartDown, ListView1, WebBrowser1, CmdFriendAlbum, CmdViewHot, CmdHomePage, Label1});
    stackAsListed({LstUrl, LstAlbumName, TxtUserId, CmdList, CmdDownloadThis, lblstate, Label8, Label7,
                   Label6, Label4});
    stackAsListed({Frame2, ListView2, WebBrowser2, Label9});

    connect(CmdChangePath, &CommandButton::Click, this, &MainForm::ChangeFolder);
    connect(CmdShellFolder, &CommandButton::Click, this, &MainForm::OpenFolder);
    connect(CmdStartDown, &CommandButton::Click, this, &MainForm::CmdStartDown_Click);
    connect(CmdFriendAlbum, &CommandButton::Click, this, &MainForm::CmdFriendAlbum_Click);
    connect(CmdViewHot, &CommandButton::Click, this, &MainForm::CmdViewHot_Click);
    connect(CmdHomePage, &CommandButton::Click, this, &MainForm::CmdHomePage_Click);
    connect(CmdList, &CommandButton::Click, this, &MainForm::CmdList_Click);
    connect(CmdDownloadThis, &CommandButton::Click, this, &MainForm::CmdDownloadThis_Click);
    connect(WebBrowser1, &BrowserPane::documentComplete, this, &MainForm::WebBrowser1_DocumentComplete);
    connect(WebBrowser2, &BrowserPane::documentComplete, this, &MainForm::WebBrowser2_DocumentComplete);
    connect(WebBrowser1, &BrowserPane::newWindow, this, &MainForm::WebBrowser1_NewWindow);
}

void MainForm::createMenus()
{
    Pro = menuBar()->addMenu(QStringLiteral("程序"));
    Path = Pro->addAction(QStringLiteral("图片保存路径"));
    DownMode = Pro->addMenu(QStringLiteral("下载模式"));
    QActionGroup *modes = addChoices(DownMode, {QStringLiteral("全部重新下载"), QStringLiteral("只下载新上传的图片")});
    AllNew = modes->actions().at(0);
    OnlyNew = modes->actions().at(1);

    DownSpeed = Pro->addMenu(QStringLiteral("下载速度"));
    QActionGroup *speeds = addChoices(DownSpeed, {QStringLiteral("逐张下载"), QStringLiteral("快速下载")});
    OneByOne = speeds->actions().at(0);
    Fast = speeds->actions().at(1);
    InFlight = DownSpeed->addMenu(QStringLiteral("快速下载时同时下载"));
    QStringList counts;
    for (int n = 1; n <= JobSettings::MaxInFlight; ++n)
        counts << QStringLiteral("%1 张").arg(n);
    QActionGroup *inFlight = addChoices(InFlight, counts);
    for (int n = 1; n <= JobSettings::MaxInFlight; ++n)
        inFlight->actions().at(n - 1)->setData(n);
    inFlight->actions().at(JobSettings::DefaultFastInFlight - 1)->setChecked(true);

    Help = Pro->addAction(QStringLiteral("使用帮助"));
    FeedBack = Pro->addAction(QStringLiteral("意见反馈"));
    exit = Pro->addAction(QStringLiteral("退出"));

    connect(Path, &QAction::triggered, this, &MainForm::ChangeFolder);
    // The choices hold for the next job; each is kept for the next run.
    connect(modes, &QActionGroup::triggered, this, [this](QAction *mode) {
        writeSetting(QStringLiteral("DownMode"), mode == OnlyNew ? QStringLiteral("OnlyNew") : QStringLiteral("AllNew"));
    });
    connect(speeds, &QActionGroup::triggered, this, [this](QAction *speed) {
        writeSetting(QStringLiteral("DownSpeed"), speed == Fast ? QStringLiteral("Fast") : QStringLiteral("OneByOne"));
    });
    connect(inFlight, &QActionGroup::triggered, this, [this](QAction *count) {
        writeSetting(QStringLiteral("InFlight"), QString::number(count->data().toInt()));
    });
    connect(Help, &QAction::triggered, this, &MainForm::Help_Click);
    connect(FeedBack, &QAction::triggered, this, &MainForm::FeedBack_Click);
    connect(exit, &QAction::triggered, this, &MainForm::exit_Click);
}

void MainForm::setTabOrder()
{
    const QList<QWidget *> order = {TxtPath, CmdChangePath, CmdShellFolder, SSTab1, TxtUserId,
                                    LstAlbumName, LstUrl, CmdStartDown, ListView1,
                                    WebBrowser1, ListView2, WebBrowser2, CmdFriendAlbum, CmdViewHot,
                                    CmdList, CmdDownloadThis, CmdHomePage};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void MainForm::showEvent(QShowEvent *event)
{
    // The tab pages start below the tab strip, known only once laid out.
    if (!m_tabPlaces.isEmpty()) {
        const QPoint origin = SSTab1->widget(0)->mapTo(SSTab1, QPoint(0, 0));
        for (const auto &[w, place] : std::as_const(m_tabPlaces)) {
            if (w)
                w->setGeometry(place.translated(-origin));
        }
        m_tabPlaces.clear();
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
    RecoverAlbumFolders(saveFolder());

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
    const int count = ReadSetting(file, section, QStringLiteral("InFlight")).toInt();
    for (QAction *choice : InFlight->actions())
        choice->setChecked(choice->data().toInt() == (count >= 1 && count <= JobSettings::MaxInFlight
                                                           ? count
                                                           : JobSettings::DefaultFastInFlight));

    WebBrowser1->navigate(siteAddresses().startPage);
    WebBrowser2->navigate(QStringLiteral("about:blank"));

    const int width = ListView1->width();
    for (QTreeWidget *list : {ListView1, ListView2}) {
        list->setHeaderLabels({QStringLiteral("Status"), QStringLiteral("下载进度")});
        list->setColumnWidth(0, qRound(0.15 * width));
        list->setColumnWidth(1, qRound(0.85 * width));
    }
}

void MainForm::writeSetting(const QString &key, const QString &value)
{
    if (WriteSetting(settingsFile(), QStringLiteral("Settings"), key, value) || m_settingsFailureShown)
        return;
    // Once per window: the program goes on with the value for this run. Shown
    // from the event loop, since start-up writes before the window is up.
    m_settingsFailureShown = true;
    QTimer::singleShot(0, this, [this] {
        information(QStringLiteral("无法写入设置文件，本次更改只在程序运行期间有效：\n") + settingsFile());
    });
}

void MainForm::information(const QString &text, const QString &title)
{
    dialogs().information(this, title.isNull() ? caption() : title, text);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (!m_job) {
        event->accept();
        return;
    }
    if (!dialogs().question(this, QStringLiteral("提示"),
                            QStringLiteral("正在进行下载操作,真的需要退出吗？退出将删除正在下载的文件"))) {
        event->ignore();
        return;
    }
    // The job stops first, so no request in flight writes into the folder
    // that goes with it; the folder is the one the job began in.
    m_job->discard();
    event->accept();
}

void MainForm::ChangeFolder()
{
    // Refused for the whole of a job: its folders lie in the folder it began in.
    if (m_job) {
        information(QStringLiteral("此时无法更改路径，请等待下载完毕"));
        return;
    }
    ChosenFolder = dialogs().chooseFolder(this, QStringLiteral("选择保存【图片】的【文件夹】"));
    if (ChosenFolder.isEmpty())
        return;
    writeSetting(QStringLiteral("Path"), ChosenFolder);
    TxtPath->setText(ChosenFolder);
}

void MainForm::OpenFolder()
{
    if (!dialogs().openUrl(QUrl::fromLocalFile(saveFolder())))
        information(QStringLiteral("无法打开文件夹：") + saveFolder());
}

void MainForm::Help_Click()
{
    if (!dialogs().openUrl(QUrl(siteAddresses().helpPage)))
        information(QStringLiteral("无法打开网页：") + siteAddresses().helpPage);
}

void MainForm::FeedBack_Click()
{
    if (!dialogs().openUrl(QUrl(siteAddresses().feedbackPage)))
        information(QStringLiteral("无法打开网页：") + siteAddresses().feedbackPage);
}

void MainForm::exit_Click()
{
    // Ends the program at once: no question, no clean-up; a running job's
    // temporary folder stays on disk.
    QCoreApplication::exit(0);
}

void MainForm::CmdFriendAlbum_Click()
{
    if (m_job) {
        information(QStringLiteral("当前状态不可进行此操作"));
        return;
    }
    WebBrowser1->navigate(siteAddresses().photoHostBase + QStringLiteral("/photo/")
                          + QString::fromLatin1(FriendsMemberId) + QStringLiteral("/album/friends?fb"));
}

void MainForm::CmdViewHot_Click()
{
    if (m_job) {
        information(QStringLiteral("当前状态不可进行此操作"));
        return;
    }
    WebBrowser1->navigate(siteAddresses().shareHostBase + QStringLiteral("/share/hotsharelist.do?t=8"));
}

void MainForm::CmdHomePage_Click()
{
    WebBrowser1->navigate(siteAddresses().homePage);
}

void MainForm::WebBrowser1_NewWindow(NewWindowRequest &request)
{
    if (!CmdDownloadThis->isEnabled()) {
        request.cancel = true;
        // Shown once the browser has its answer; a modal box inside its
        // callback would hold the browser up.
        QTimer::singleShot(0, this, [this] {
            information(QStringLiteral("此时不能打开新窗口，请等待下载完毕"));
        });
        return;
    }
    auto *next = new MainForm(m_locations);
    next->WebBrowser1->setRegisterAsBrowser(true);
    request.target = next->WebBrowser1;
    // The swap runs once the browser has its target: the close may ask a
    // question, and a modal box must not run inside the browser's callback.
    QTimer::singleShot(0, next, [self = QPointer<MainForm>(this), next] {
        if (self)
            self->close();
        next->show();
    });
}
