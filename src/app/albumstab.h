#pragma once

#include "commandbutton.h"

#include <QFileSystemWatcher>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QSortFilterProxyModel;
class RecordedAlbumModel;

// The "已下载的相册" tab: the albums of the save folder as covers, a filter
// by title, and the commands on the selected ones. The window runs the
// commands; the tab only says which albums they are for.
class AlbumsTab : public QWidget
{
    Q_OBJECT
public:
    explicit AlbumsTab(QWidget *parent = nullptr);

    RecordedAlbumModel *model() const { return m_model; }
    QListView *view() const { return m_view; }
    QLineEdit *filter() const { return m_filter; }
    QSortFilterProxyModel *shown() const { return m_shown; }
    // Where the albums are: read when the tab is first shown, and again
    // whenever the folder or one of its albums changes on disk.
    void setSaveFolder(const QString &saveFolder);
    // Reads the folder again, when the tab has been shown once.
    void refresh();
    // The folder names of the selected albums, in the order shown.
    QStringList selectedFolders() const;

    CommandButton *CmdOpenAlbum = nullptr;
    CommandButton *CmdUpdateAlbum = nullptr;
    CommandButton *CmdContinueAlbum = nullptr;
    CommandButton *CmdCheckAlbum = nullptr;
    CommandButton *CmdTrashAlbum = nullptr;
    CommandButton *CmdUpdateAllAlbums = nullptr;

signals:
    void openRequested(const QStringList &folders);
    void updateRequested(const QStringList &folders);
    void continueRequested(const QStringList &folders);
    void checkRequested(const QStringList &folders);
    void trashRequested(const QStringList &folders);
    void updateAllRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void makeView();
    void makeButtons();
    void layOut(QLabel *findLabel);
    void watchForChanges();
    CommandButton *addButton(const QString &name, const QString &caption, const QString &tip);
    void updateCommands();
    void watchFolders();
    QStringList subfolders() const;
    void showMenu(const QPoint &at);
    // Runs `command` on the selection, when there is one.
    void onSelection(void (AlbumsTab::*command)(const QStringList &));

    RecordedAlbumModel *m_model = nullptr;
    QSortFilterProxyModel *m_shown = nullptr;
    QLineEdit *m_filter = nullptr;
    QListView *m_view = nullptr;
    QFileSystemWatcher m_watcher;
    QTimer m_changed;
    QString m_saveFolder;
    QStringList m_subfolders; // of the save folder, when last read
    bool m_shownOnce = false;
    bool m_albumChanged = false; // an album folder changed, not only the save folder
};
