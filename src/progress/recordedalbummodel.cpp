#include "recordedalbummodel.h"

#include "progresstexts.h"
#include "thumbnailcache.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>

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
    connect(&m_listing, &QFutureWatcher<QList<RecordedAlbum>>::finished, this, &RecordedAlbumModel::onListed);
    // Records come in batches, in the order shown: the first screen first.
    connect(&m_reading, &QFutureWatcher<std::optional<RecordedAlbum>>::resultsReadyAt, this, [this](int begin, int end) {
        for (int i = begin; i < end && i < m_albums.size(); ++i) {
            if (const std::optional<RecordedAlbum> album = m_reading.resultAt(i)) {
                m_albums[i].album = *album;
                m_albums[i].read = true;
            }
        }
        if (begin < end && begin < m_albums.size())
            emit dataChanged(index(begin), index(qMin(end, int(m_albums.size())) - 1));
    });
    connect(&m_reading, &QFutureWatcher<std::optional<RecordedAlbum>>::finished, this, &RecordedAlbumModel::onRead);
}

RecordedAlbumModel::~RecordedAlbumModel()
{
    // The workers read folders only; each ends after the album at hand.
    if (m_covers)
        m_covers->cancel();
    m_reading.cancel();
    m_reading.waitForFinished();
    m_listing.waitForFinished();
}

void RecordedAlbumModel::reload(const QString &saveFolder)
{
    m_saveFolder = saveFolder;
    if (isLoading()) {
        // Read again once this read is in: the folder changed under it.
        m_reloadAgain = true;
        return;
    }
    // The folders and their records' times only: a look at each folder, no
    // record read, so the list is up at once however many albums there are.
    m_listing.setFuture(QtConcurrent::run(&m_pool, [saveFolder] {
        QList<RecordedAlbum> albums;
        const QDir dir(saveFolder);
        for (const QString &name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
            const QString path = saveFolder + QLatin1Char('/') + name;
            if (IsWorkingFolderName(name)
                || (!QFileInfo::exists(path + QLatin1Char('/') + AlbumRecord::fileName())
                    && !QFileInfo::exists(path + QLatin1Char('/') + AlbumRecord::legacyFileName())))
                continue;
            RecordedAlbum album;
            album.folder = name;
            album.lastUpdate = RecordTime(path);
            albums.append(album);
        }
        sortNewestFirst(albums);
        return albums;
    }));
}

void RecordedAlbumModel::onListed()
{
    if (m_reloadAgain) {
        m_reloadAgain = false;
        reload(m_saveFolder);
        return;
    }
    stopCovers();
    const QList<RecordedAlbum> albums = m_listing.result();
    // What is known of an album stays while it is read again.
    QHash<QString, Row> known;
    for (const Row &row : std::as_const(m_albums))
        known.insert(row.album.folder, row);
    beginResetModel();
    m_albums.clear();
    m_albums.reserve(albums.size());
    QStringList names;
    for (const RecordedAlbum &album : albums) {
        Row row = known.value(album.folder);
        if (!row.read)
            row.album = album;
        m_albums.append(row);
        names << album.folder;
    }
    endResetModel();
    emit listed();
    const QString saveFolder = m_saveFolder;
    m_reading.setFuture(QtConcurrent::mapped(&m_pool, names, [saveFolder](const QString &name) {
        return RecordedAlbumIn(saveFolder, name);
    }));
}

void RecordedAlbumModel::onRead()
{
    if (m_reloadAgain) {
        m_reloadAgain = false;
        reload(m_saveFolder);
        return;
    }
    // Folders whose record says they are no album (a replaced copy, a job
    // at work) leave the list.
    for (int i = int(m_albums.size()) - 1; i >= 0; --i) {
        if (i < m_reading.future().resultCount() && m_reading.resultAt(i))
            continue;
        beginRemoveRows({}, i, i);
        m_albums.removeAt(i);
        endRemoveRows();
    }
    emit loaded();
    startCovers();
}

void RecordedAlbumModel::startCovers()
{
    QStringList folders;
    folders.reserve(m_albums.size());
    for (const Row &row : std::as_const(m_albums))
        folders << m_saveFolder + QLatin1Char('/') + row.album.folder;
    stopCovers();
    auto *covers = new QFutureWatcher<QImage>(this);
    m_covers = covers;
    // Covers come in batches: one change per batch, none per pixel.
    connect(covers, &QFutureWatcher<QImage>::resultsReadyAt, this, [this, covers](int begin, int end) {
        for (int i = begin; i < end && i < m_albums.size(); ++i)
            m_albums[i].cover = covers->resultAt(i);
        if (begin < end && begin < m_albums.size())
            emit dataChanged(index(begin), index(qMin(end, int(m_albums.size())) - 1),
                             {Qt::DecorationRole, CoverRole});
    });
    connect(covers, &QFutureWatcher<QImage>::finished, this, [this, covers] {
        if (!covers->isCanceled())
            emit coversDone();
    });
    covers->setFuture(QtConcurrent::mapped(&m_pool, folders, coverOf));
}

void RecordedAlbumModel::stopCovers()
{
    // The rows the run was made for are about to change: its covers go
    // nowhere, and it ends after the pictures at hand on the model's threads.
    // Waiting for that here would hold the window.
    QFutureWatcher<QImage> *covers = std::exchange(m_covers, nullptr);
    if (!covers)
        return;
    disconnect(covers, nullptr, this, nullptr);
    covers->cancel();
    connect(covers, &QFutureWatcher<QImage>::finished, covers, &QObject::deleteLater);
    if (covers->isFinished())
        covers->deleteLater();
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
    const QString state = row.read ? stateText(album.state, missingOf(row)) : QString();
    const QString count = row.read ? QCoreApplication::translate("RecordedAlbumModel", "%1 张").arg(album.pictures)
                                   : QStringLiteral("…");
    const QString day = album.lastUpdate.toString(QStringLiteral("yyyy-MM-dd"));
    switch (role) {
    case Qt::DisplayRole: {
        QStringList line{count};
        if (!state.isEmpty())
            line << state;
        return title + QLatin1Char('\n') + line.join(QStringLiteral(" · ")) + QLatin1Char('\n') + day;
    }
    case Qt::AccessibleTextRole: {
        QStringList parts{title};
        if (row.read)
            parts << count;
        if (!state.isEmpty())
            parts << state;
        if (row.read && !album.updatable())
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
