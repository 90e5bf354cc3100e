#include "albumlistmodel.h"

#include <algorithm>

AlbumListModel::AlbumListModel(QObject *parent) : QAbstractListModel(parent) { }

int AlbumListModel::rowCount(const QModelIndex &parent) const
{
    // A list: only the invisible root has rows.
    return parent.isValid() ? 0 : int(m_albums.size());
}

QVariant AlbumListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AlbumEntry &album = m_albums.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return album.title;
    case AddressRole:
        return album.url;
    default:
        return {};
    }
}

QHash<int, QByteArray> AlbumListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(AddressRole, QByteArrayLiteral("address"));
    return names;
}

void AlbumListModel::clear()
{
    setAlbums({});
}

void AlbumListModel::setAlbums(const QList<AlbumEntry> &albums)
{
    beginResetModel();
    m_albums = albums;
    endResetModel();
}

void AlbumListModel::append(const QList<AlbumEntry> &albums)
{
    if (albums.isEmpty())
        return;
    const int first = int(m_albums.size());
    beginInsertRows({}, first, first + int(albums.size()) - 1);
    m_albums += albums;
    endInsertRows();
}

QList<AlbumEntry> AlbumListModel::albumsAt(const QModelIndexList &indexes) const
{
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.model() == this && !index.parent().isValid() && index.row() < m_albums.size())
            rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    QList<AlbumEntry> out;
    out.reserve(rows.size());
    for (int row : std::as_const(rows))
        out << m_albums.at(row);
    return out;
}
