#include "albumstab.h"

#include "progress/recordedalbummodel.h"

#include <QAction>
#include <QBoxLayout>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSortFilterProxyModel>

#include <utility>

AlbumsTab::AlbumsTab(QWidget *parent)
    : QWidget(parent)
    , m_model(new RecordedAlbumModel(this))
    , m_shown(new QSortFilterProxyModel(this))
{
    m_shown->setSourceModel(m_model);
    m_shown->setFilterRole(RecordedAlbumModel::TitleRole);
    m_shown->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto *findLabel = new QLabel(tr("查找相册："), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("TxtFindAlbum"));
    m_filter->setAccessibleName(tr("按标题查找相册"));
    m_filter->setClearButtonEnabled(true);
    findLabel->setBuddy(m_filter);
    connect(m_filter, &QLineEdit::textChanged, m_shown, &QSortFilterProxyModel::setFilterFixedString);

    makeView();
    makeButtons();
    layOut(findLabel);
    watchForChanges();
    updateCommands();
}

void AlbumsTab::makeView()
{
    m_view = new QListView(this);
    m_view->setObjectName(QStringLiteral("LstRecordedAlbums"));
    m_view->setAccessibleName(tr("已下载的相册"));
    m_view->setViewMode(QListView::IconMode);
    m_view->setResizeMode(QListView::Adjust);
    m_view->setMovement(QListView::Static);
    m_view->setUniformItemSizes(true);
    m_view->setWordWrap(true);
    m_view->setIconSize(QSize(128, 128));
    m_view->setGridSize(QSize(168, 200));
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Thousands of albums: the view lays them out in batches, the window
    // stays responsive while it does.
    m_view->setLayoutMode(QListView::Batched);
    m_view->setBatchSize(200);
    m_view->setModel(m_shown);
    // Enter and a double click open the album's folder.
    connect(m_view, &QAbstractItemView::activated, this, [this] { onSelection(&AlbumsTab::openRequested); });
    connect(m_view, &QWidget::customContextMenuRequested, this, &AlbumsTab::showMenu);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &AlbumsTab::updateCommands);
    connect(m_model, &QAbstractItemModel::modelReset, this, &AlbumsTab::updateCommands);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &AlbumsTab::updateCommands);
    connect(m_model, &RecordedAlbumModel::loaded, this, &AlbumsTab::watchFolders);
}

void AlbumsTab::makeButtons()
{
    CmdOpenAlbum = addButton(QStringLiteral("CmdOpenAlbum"), tr("打开文件夹"), tr("在文件管理器中打开选中的相册"));
    CmdUpdateAlbum = addButton(QStringLiteral("CmdUpdateAlbum"), tr("更新"), tr("只下载选中相册新上传的图片"));
    CmdContinueAlbum = addButton(QStringLiteral("CmdContinueAlbum"), tr("继续"), tr("继续下载已停止或未完成的相册"));
    CmdCheckAlbum = addButton(QStringLiteral("CmdCheckAlbum"), tr("检查"), tr("检查选中相册的图片是否完好"));
    CmdTrashAlbum = addButton(QStringLiteral("CmdTrashAlbum"), tr("移到回收站"),
                              tr("把程序下载的图片移到回收站，您自己的文件留在文件夹中"));
    CmdUpdateAllAlbums = addButton(QStringLiteral("CmdUpdateAllAlbums"), tr("更新全部相册"),
                                   tr("只下载全部相册新上传的图片"));
    connect(CmdOpenAlbum, &CommandButton::Click, this, [this] { onSelection(&AlbumsTab::openRequested); });
    connect(CmdUpdateAlbum, &CommandButton::Click, this, [this] { onSelection(&AlbumsTab::updateRequested); });
    connect(CmdContinueAlbum, &CommandButton::Click, this, [this] { onSelection(&AlbumsTab::continueRequested); });
    connect(CmdCheckAlbum, &CommandButton::Click, this, [this] { onSelection(&AlbumsTab::checkRequested); });
    connect(CmdTrashAlbum, &CommandButton::Click, this, [this] { onSelection(&AlbumsTab::trashRequested); });
    connect(CmdUpdateAllAlbums, &CommandButton::Click, this, &AlbumsTab::updateAllRequested);
    // The Delete key throws the selected albums away, after the question.
    auto *trash = new QAction(this);
    trash->setShortcut(QKeySequence::Delete);
    trash->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(trash);
    connect(trash, &QAction::triggered, this, [this] { onSelection(&AlbumsTab::trashRequested); });
}

void AlbumsTab::layOut(QLabel *findLabel)
{
    auto *findRow = new QHBoxLayout;
    findRow->addWidget(findLabel);
    findRow->addWidget(m_filter, 1);
    auto *buttons = new QHBoxLayout;
    for (CommandButton *button : {CmdOpenAlbum, CmdUpdateAlbum, CmdContinueAlbum, CmdCheckAlbum, CmdTrashAlbum})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(CmdUpdateAllAlbums);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(findRow);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    setTabOrder(m_filter, m_view);
    QWidget *previous = m_view;
    for (CommandButton *button : {CmdOpenAlbum, CmdUpdateAlbum, CmdContinueAlbum, CmdCheckAlbum, CmdTrashAlbum,
                                  CmdUpdateAllAlbums}) {
        setTabOrder(previous, button);
        previous = button;
    }
}

void AlbumsTab::watchForChanges()
{
    // A burst of changes (a job writing pictures) reads the folder once.
    m_changed.setSingleShot(true);
    m_changed.setInterval(500);
    connect(&m_changed, &QTimer::timeout, this, [this] {
        // Reading the albums takes and drops lock files in the save folder:
        // there, only a folder come or gone is news.
        if (!std::exchange(m_albumChanged, false) && subfolders() == m_subfolders)
            return;
        refresh();
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        m_albumChanged = m_albumChanged || path != m_saveFolder;
        m_changed.start();
    });
}

CommandButton *AlbumsTab::addButton(const QString &name, const QString &caption, const QString &tip)
{
    auto *button = new CommandButton(this);
    button->setObjectName(name);
    // As the window's own buttons are stored: the theme's look, Verdana 8.25.
    button->setStyle(6);
    button->setCaption(caption);
    button->setToolTipText(tip);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    button->setFont(font);
    button->setMinimumSize(qMax(81, button->fontMetrics().horizontalAdvance(caption) + 16), 25);
    return button;
}

void AlbumsTab::setSaveFolder(const QString &saveFolder)
{
    if (saveFolder == m_saveFolder)
        return;
    m_saveFolder = saveFolder;
    refresh();
}

void AlbumsTab::refresh()
{
    if (m_shownOnce)
        m_model->reload(m_saveFolder);
}

void AlbumsTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        refresh();
    }
}

void AlbumsTab::watchFolders()
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_subfolders = subfolders();
    QStringList folders{m_saveFolder};
    for (int row = 0; row < m_model->rowCount(); ++row)
        folders << m_saveFolder + QLatin1Char('/') + m_model->album(row).folder;
    m_watcher.addPaths(folders);
}

QStringList AlbumsTab::subfolders() const
{
    return QDir(m_saveFolder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList AlbumsTab::selectedFolders() const
{
    QModelIndexList rows = m_view->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList out;
    for (const QModelIndex &index : std::as_const(rows))
        out << index.data(RecordedAlbumModel::FolderRole).toString();
    return out;
}

void AlbumsTab::onSelection(void (AlbumsTab::*command)(const QStringList &))
{
    const QStringList folders = selectedFolders();
    if (!folders.isEmpty())
        emit(this->*command)(folders);
}

void AlbumsTab::updateCommands()
{
    const QModelIndexList rows = m_view->selectionModel()->selectedIndexes();
    bool updatable = false;
    bool continuable = false;
    for (const QModelIndex &index : rows) {
        updatable = updatable || index.data(RecordedAlbumModel::UpdatableRole).toBool();
        continuable = continuable || index.data(RecordedAlbumModel::ContinuableRole).toBool();
    }
    CmdOpenAlbum->setEnabled(!rows.isEmpty());
    CmdUpdateAlbum->setEnabled(updatable);
    CmdContinueAlbum->setEnabled(continuable);
    CmdCheckAlbum->setEnabled(!rows.isEmpty());
    CmdTrashAlbum->setEnabled(!rows.isEmpty());
    CmdUpdateAllAlbums->setEnabled(m_model->rowCount() > 0);
}

void AlbumsTab::showMenu(const QPoint &at)
{
    auto *menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [&](CommandButton *button, void (AlbumsTab::*command)(const QStringList &)) {
        QAction *action = menu->addAction(button->Caption(), this, [this, command] { onSelection(command); });
        action->setEnabled(button->isEnabled());
    };
    add(CmdOpenAlbum, &AlbumsTab::openRequested);
    add(CmdUpdateAlbum, &AlbumsTab::updateRequested);
    add(CmdContinueAlbum, &AlbumsTab::continueRequested);
    add(CmdCheckAlbum, &AlbumsTab::checkRequested);
    menu->addSeparator();
    add(CmdTrashAlbum, &AlbumsTab::trashRequested);
    menu->addSeparator();
    menu->addAction(CmdUpdateAllAlbums->Caption(), this, &AlbumsTab::updateAllRequested)
        ->setEnabled(CmdUpdateAllAlbums->isEnabled());
    menu->popup(m_view->viewport()->mapToGlobal(at));
}
