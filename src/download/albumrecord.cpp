#include "albumrecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

QString AlbumRecord::fileName()
{
    return QStringLiteral(".quillmoor-album.json");
}

AlbumRecord AlbumRecord::load(const QString &albumFolder)
{
    AlbumRecord record;
    QFile file(albumFolder + QLatin1Char('/') + fileName());
    if (!file.open(QIODevice::ReadOnly))
        return record;
    const QJsonArray pictures = QJsonDocument::fromJson(file.readAll()).object().value(u"pictures").toArray();
    for (const QJsonValue &value : pictures) {
        const QJsonObject o = value.toObject();
        const Entry entry{o.value(u"page").toString(), o.value(u"picture").toString(), o.value(u"file").toString()};
        // A file name that would leave the folder is no entry of ours.
        if (!entry.page.isEmpty() && !entry.file.isEmpty() && !entry.file.contains(QLatin1Char('/'))
            && entry.file != QLatin1String(".") && entry.file != QLatin1String(".."))
            record.add(entry);
    }
    return record;
}

bool AlbumRecord::save(const QString &albumFolder) const
{
    QJsonArray pictures;
    for (const Entry &e : m_entries)
        pictures.append(QJsonObject{{"page", e.page}, {"picture", e.picture}, {"file", e.file}});
    QSaveFile out(albumFolder + QLatin1Char('/') + fileName());
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(QJsonObject{{"pictures", pictures}}).toJson(QJsonDocument::Indented));
    return out.commit();
}

const AlbumRecord::Entry *AlbumRecord::forPage(const QString &page) const
{
    const auto it = m_byPage.constFind(page);
    return it == m_byPage.cend() ? nullptr : &m_entries.at(*it);
}

void AlbumRecord::add(const Entry &entry)
{
    if (const auto it = m_byPage.constFind(entry.page); it != m_byPage.cend()) {
        m_entries[*it] = entry;
        return;
    }
    m_byPage.insert(entry.page, m_entries.size());
    m_entries.append(entry);
}
