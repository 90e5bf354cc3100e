#pragma once

#include <QHash>
#include <QList>
#include <QString>

// What an album folder holds, kept as a small hidden file inside it, so that
// a later "only new pictures" run can tell a picture it saved before without
// asking the site. Losing the file loses nothing but that shortcut.
class AlbumRecord
{
public:
    struct Entry {
        QString page;    // the picture page's address
        QString picture; // the picture's address
        QString file;    // its file name in the album folder
    };

    static QString fileName();

    // The record of `albumFolder`; an empty one when there is none or it
    // cannot be read.
    static AlbumRecord load(const QString &albumFolder);
    // Written whole under a temporary name; false when the folder refuses it.
    bool save(const QString &albumFolder) const;

    // The entry of a picture page, or nullptr.
    const Entry *forPage(const QString &page) const;
    // Adds an entry or replaces the one of the same page.
    void add(const Entry &entry);
    const QList<Entry> &entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_byPage;
};
