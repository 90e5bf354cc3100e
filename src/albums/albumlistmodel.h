#pragma once

#include "albumlist.h"

#include <QAbstractListModel>
#include <QList>
#include <QModelIndexList>

// A member's albums as the member tab shows them: one row per album, the
// title as the display text and the album page address beside it, so that a
// selected row always carries its own address.
class AlbumListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        AddressRole = Qt::UserRole + 1, // the album page address (QString)
    };

    explicit AlbumListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<AlbumEntry> &albums() const { return m_albums; }
    void clear();
    void setAlbums(const QList<AlbumEntry> &albums);
    void append(const QList<AlbumEntry> &albums);

    // The albums of `indexes` (a view's selected indexes, any column, any
    // order) in the order of the list, each once. Indexes of another model
    // or of rows no longer there are left out.
    QList<AlbumEntry> albumsAt(const QModelIndexList &indexes) const;

private:
    QList<AlbumEntry> m_albums;
};
