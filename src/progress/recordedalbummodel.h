#pragma once

#include "download/albumfolder.h"
#include "download/recordedalbums.h"

#include <QAbstractListModel>
#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QList>
#include <QThreadPool>

// The albums recorded in a save folder, as the "已下载的相册" tab shows them:
// newest update first, each with its cover, picture count, state and the
// day it was last brought up to date. The folder is read and the covers are
// made off the window's thread; the model changes only on it.
class RecordedAlbumModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        FolderRole = Qt::UserRole + 1, // folder name under the save folder
        TitleRole,
        PicturesRole,
        StateTextRole,
        LastUpdateRole,
        UpdatableRole,
        ContinuableRole, // stopped or unfinished
        CoverRole,       // the cover as a QImage, null until it came
    };

    explicit RecordedAlbumModel(QObject *parent = nullptr);
    ~RecordedAlbumModel() override;

    QString saveFolder() const { return m_saveFolder; }
    // Reads `saveFolder` again (also when it is the one shown): listed()
    // once its album folders are shown newest first (named by folder, as
    // they are found by their record's time alone), loaded() once every
    // record is read into them, coversDone() once every cover is in.
    void reload(const QString &saveFolder);
    void reload() { reload(m_saveFolder); }
    bool isLoading() const { return m_listing.isRunning() || m_reading.isRunning(); }

    // What a check found: a folder with pictures missing says how many
    // until its record changes (an update brought them back).
    void setChecks(const QList<FolderCheck> &checks);

    // The threads for work on the albums' folders (a check, the trash):
    // long work on the shared threads would hold the window's painting.
    QThreadPool *workers() { return &m_pool; }

    const RecordedAlbum &album(int row) const { return m_albums.at(row).album; }
    int rowOfFolder(const QString &folder) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The words the tab shows for an album's state.
    static QString stateText(AlbumRecord::State state, int missing);
    // Newest update first; by folder name between albums of the same time.
    static void sortNewestFirst(QList<RecordedAlbum> &albums);

signals:
    void listed();
    void loaded();
    void coversDone();

private:
    struct Row {
        RecordedAlbum album;
        QImage cover;
        bool read = false; // the record is read into `album`
    };
    struct Missing {
        QDateTime recordTime; // the record's time when checked
        int count = 0;
    };
    void onListed();
    void onRead();
    void startCovers();
    void stopCovers();
    int missingOf(const Row &row) const;

    QString m_saveFolder;
    QList<Row> m_albums;
    // The folder is read and the covers made on threads of the model's own:
    // the window's painting splits its fills over the global pool's threads
    // and waits for them, so work that held those threads held the window.
    // Declared before the watchers, so it outlives their futures.
    QThreadPool m_pool;
    QHash<QString, Missing> m_missing; // by folder name
    QFutureWatcher<QList<RecordedAlbum>> m_listing;
    QFutureWatcher<std::optional<RecordedAlbum>> m_reading;
    // The run of covers for the rows as they are; a run for rows gone is
    // let go, not waited for.
    QFutureWatcher<QImage> *m_covers = nullptr;
    bool m_reloadAgain = false;
};
