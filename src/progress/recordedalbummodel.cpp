#include "recordedalbummodel.h"

#include "progresstexts.h"
#include "thumbnailcache.h"

#include <QCollator>
#include <QCoreApplication>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

// The album's first picture that is still in its folder.
QImage coverOf(const QString &folder)
{
    const AlbumRecord record = AlbumRecord::load(folder);
    for (const AlbumRecord::Entry &entry : record.entries()) {
        if (entry.file.isEmpty() || entry.file.contains(QLatin1Char('/')))
            continue;
        const QString picture = folder + QLatin1Char('/') + entry.file;
        if (!QFileInfo(picture).isFile())
            continue;
        const QImage image = ThumbnailCache::thumbnail(picture);
        if (!image.isNull())
            return image;
    }
    return {};
}

} // namespace

RecordedAlbumModel::RecordedAlbumModel(QObject *parent)
    : QAbstractListModel(parent)
{
    connect(&m_loading, &QFutureWatcher<QList<RecordedAlbum>>::finished, this, &RecordedAlbumModel::onLoaded);
    // Covers come in batches: one change per batch, none per pixel.
    connect(&m_covers, &QFutureWatcher<QImage>::resultsReadyAt, this, [this](int begin, int end) {
        for (int i = begin; i < end && i < m_albums.size(); ++i)
            m_albums[i].cover = m_covers.resultAt(i);
        if (begin < end && begin < m_albums.size())
            emit dataChanged(index(begin), index(qMin(end, int(m_albums.size())) - 1),
                             {Qt::DecorationRole, CoverRole});
    });
    connect(&m_covers, &QFutureWatcher<QImage>::finished, this, [this] {
        if (!m_covers.isCanceled())
            emit coversDone();
    });
}

RecordedAlbumModel::~RecordedAlbumModel()
{
    // The workers read folders only; they are let finish, not waited on
    // longer than their own file.
    m_covers.cancel();
    m_covers.waitForFinished();
    m_loading.waitForFinished();
}

void RecordedAlbumModel::reload(const QString &saveFolder)
{
    if (m_loading.isRunning()) {
        // Read again once this read is in: the folder changed under it.
        m_reloadAgain = true;
        m_saveFolder = saveFolder;
        return;
    }
    m_saveFolder = saveFolder;
    m_loading.setFuture(QtConcurrent::run([saveFolder] {
        QList<RecordedAlbum> albums = RecordedAlbums(saveFolder);
        sortNewestFirst(albums);
        return albums;
    }));
}

void RecordedAlbumModel::onLoaded()
{
    if (m_reloadAgain) {
        m_reloadAgain = false;
        reload(m_saveFolder);
        return;
    }
    m_covers.cancel();
    m_covers.waitForFinished();
    const QList<RecordedAlbum> albums = m_loading.result();
    // Covers already made stay while the new ones come.
    QHash<QString, QImage> covers;
    for (const Row &row : std::as_const(m_albums))
        covers.insert(row.album.folder, row.cover);
    beginResetModel();
    m_albums.clear();
    m_albums.reserve(albums.size());
    for (const RecordedAlbum &album : albums)
        m_albums.append({album, covers.value(album.folder)});
    endResetModel();
    emit loaded();
    startCovers();
}

void RecordedAlbumModel::startCovers()
{
    QStringList folders;
    folders.reserve(m_albums.size());
    for (const Row &row : std::as_const(m_albums))
        folders << m_saveFolder + QLatin1Char('/') + row.album.folder;
    m_covers.setFuture(QtConcurrent::mapped(folders, coverOf));
}

void RecordedAlbumModel::setChecks(const QList<FolderCheck> &checks)
{
    for (const FolderCheck &check : checks) {
        const int row = rowOfFolder(check.folder);
        if (row < 0)
            continue;
        const int count = int(check.missing.size() + check.emptied.size());
        if (count == 0)
            m_missing.remove(check.folder);
        else
            m_missing.insert(check.folder, {m_albums.at(row).album.lastUpdate, count});
        emit dataChanged(index(row), index(row));
    }
}

int RecordedAlbumModel::missingOf(const Row &row) const
{
    const auto found = m_missing.constFind(row.album.folder);
    if (found == m_missing.cend() || found->recordTime != row.album.lastUpdate)
        return 0;
    return found->count;
}

int RecordedAlbumModel::rowOfFolder(const QString &folder) const
{
    for (int i = 0; i < m_albums.size(); ++i)
        if (m_albums.at(i).album.folder == folder)
            return i;
    return -1;
}

int RecordedAlbumModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_albums.size());
}

QString RecordedAlbumModel::stateText(AlbumRecord::State state, int missing)
{
    if (missing > 0)
        return QCoreApplication::translate("RecordedAlbumModel", "有缺失 %1 张").arg(missing);
    switch (state) {
    case AlbumRecord::State::Finished:
        return QCoreApplication::translate("RecordedAlbumModel", "完整");
    case AlbumRecord::State::Stopped:
        return QCoreApplication::translate("RecordedAlbumModel", "已停止");
    case AlbumRecord::State::InProgress:
        return QCoreApplication::translate("RecordedAlbumModel", "未完成");
    case AlbumRecord::State::Unknown:
        break;
    }
    // An earlier version's record says no state.
    return QString();
}

void RecordedAlbumModel::sortNewestFirst(QList<RecordedAlbum> &albums)
{
    QCollator collator;
    collator.setNumericMode(true);
    std::stable_sort(albums.begin(), albums.end(), [&](const RecordedAlbum &a, const RecordedAlbum &b) {
        if (a.lastUpdate != b.lastUpdate)
            return a.lastUpdate > b.lastUpdate;
        return collator.compare(a.folder, b.folder) < 0;
    });
}

QVariant RecordedAlbumModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_albums.size())
        return {};
    const Row &row = m_albums.at(index.row());
    const RecordedAlbum &album = row.album;
    const QString title = album.title.isEmpty() ? album.folder : album.title;
    const QString state = stateText(album.state, missingOf(row));
    const QString count = QCoreApplication::translate("RecordedAlbumModel", "%1 张").arg(album.pictures);
    const QString day = album.lastUpdate.toString(QStringLiteral("yyyy-MM-dd"));
    switch (role) {
    case Qt::DisplayRole: {
        QStringList line{count};
        if (!state.isEmpty())
            line << state;
        return title + QLatin1Char('\n') + line.join(QStringLiteral(" · ")) + QLatin1Char('\n') + day;
    }
    case Qt::AccessibleTextRole: {
        QStringList parts{title, count};
        if (!state.isEmpty())
            parts << state;
        if (!album.updatable())
            parts << QCoreApplication::translate("RecordedAlbumModel", "无法更新");
        return parts.join(QCoreApplication::translate("RecordedAlbumModel", "，"));
    }
    case Qt::ToolTipRole:
        // The update list's words for an album that cannot be updated.
        return album.updatable() ? title + QLatin1Char('\n') + album.folder
                                 : ProgressText::updateListColumns(album).value(0);
    case Qt::DecorationRole:
    case CoverRole:
        return row.cover.isNull() ? QVariant() : QVariant(row.cover);
    case FolderRole:
        return album.folder;
    case TitleRole:
        return title;
    case PicturesRole:
        return album.pictures;
    case StateTextRole:
        return state;
    case LastUpdateRole:
        return album.lastUpdate;
    case UpdatableRole:
        return album.updatable();
    case ContinuableRole:
        return album.updatable()
            && (album.state == AlbumRecord::State::Stopped || album.state == AlbumRecord::State::InProgress);
    default:
        return {};
    }
}
