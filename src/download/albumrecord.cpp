#include "albumrecord.h"

#include "jobrules.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

const char *stateName(AlbumRecord::State state)
{
    switch (state) {
    case AlbumRecord::State::InProgress:
        return "inProgress";
    case AlbumRecord::State::Stopped:
        return "stopped";
    case AlbumRecord::State::Finished:
        return "finished";
    case AlbumRecord::State::Unknown:
        break;
    }
    return "";
}

AlbumRecord::State stateFrom(const QString &name)
{
    for (const auto state : {AlbumRecord::State::InProgress, AlbumRecord::State::Stopped, AlbumRecord::State::Finished})
        if (name == QLatin1String(stateName(state)))
            return state;
    return AlbumRecord::State::Unknown;
}

// A file name that would leave the folder is no entry of ours.
bool isSafeEntry(const AlbumRecord::Entry &entry)
{
    return !entry.page.isEmpty() && IsUsableFolderName(entry.file);
}

QJsonObject entryLine(const AlbumRecord::Entry &e)
{
    QJsonObject line{{"page", e.page}, {"picture", e.picture}, {"file", e.file}};
    if (e.size >= 0)
        line.insert(QLatin1String("size"), e.size);
    if (!e.sha256.isEmpty())
        line.insert(QLatin1String("sha256"), QString::fromLatin1(e.sha256.toHex()));
    // Only what a picture has: lines of pictures without stay as they were.
    if (!e.caption.isEmpty())
        line.insert(u"caption", e.caption);
    if (e.date.isValid())
        line.insert(u"date", e.date.toUTC().toString(Qt::ISODate));
    if (e.sidecar)
        line.insert(u"sidecar", true);
    if (e.embedded)
        line.insert(u"embedded", true);
    return line;
}

AlbumRecord::Entry entryFrom(const QJsonObject &o)
{
    AlbumRecord::Entry entry{o.value(u"page").toString(), o.value(u"picture").toString(), o.value(u"file").toString()};
    entry.caption = o.value(u"caption").toString();
    entry.date = QDateTime::fromString(o.value(u"date").toString(), Qt::ISODate);
    entry.sidecar = o.value(u"sidecar").toBool();
    entry.embedded = o.value(u"embedded").toBool();
    entry.size = qint64(o.value(u"size").toDouble(-1));
    entry.sha256 = Sha256Digest::fromHex(o.value(u"sha256").toString().toLatin1());
    return entry;
}

FileError reasonFor(const QString &path, const QString &systemText)
{
    return {FileError::Code::RecordNotWritten, path, {}, systemText};
}

} // namespace

QString AlbumRecord::fileName()
{
    return QStringLiteral(".quillmoor-album.jsonl");
}

QString AlbumRecord::legacyFileName()
{
    return QStringLiteral(".quillmoor-album.json");
}

void AlbumRecord::readLine(const QJsonObject &line)
{
    if (line.contains(u"page")) {
        const Entry entry = entryFrom(line);
        if (isSafeEntry(entry))
            add(entry);
        return;
    }
    if (line.contains(u"album"))
        m_albumAddress = line.value(u"album").toString();
    if (line.contains(u"firstPage"))
        m_firstPage = line.value(u"firstPage").toString();
    if (line.contains(u"title"))
        m_title = line.value(u"title").toString();
    if (line.contains(u"state"))
        m_state = stateFrom(line.value(u"state").toString());
    if (line.contains(u"asideFrom"))
        m_asideFrom = line.value(u"asideFrom").toString();
    if (line.contains(u"replacedBy"))
        m_replacedBy = line.value(u"replacedBy").toString();
    if (line.contains(u"userFiles")) {
        QStringList names;
        for (const QJsonValue &name : line.value(u"userFiles").toArray())
            names << name.toString();
        addUserFiles(names);
    }
}

AlbumRecord AlbumRecord::load(const QString &albumFolder)
{
    QFile file(albumFolder + QLatin1Char('/') + fileName());
    if (!file.open(QIODevice::ReadOnly))
        return loadLegacy(albumFolder);
    AlbumRecord record;
    record.m_exists = true;
    // A line that does not parse is the torn end of a write a crash cut short.
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            record.readLine(doc.object());
    }
    return record;
}

AlbumRecord AlbumRecord::loadLegacy(const QString &albumFolder)
{
    AlbumRecord record;
    QFile file(albumFolder + QLatin1Char('/') + legacyFileName());
    if (!file.open(QIODevice::ReadOnly))
        return record;
    record.m_exists = true;
    record.m_legacy = true;
    const QJsonArray pictures = QJsonDocument::fromJson(file.readAll()).object().value(u"pictures").toArray();
    for (const QJsonValue &value : pictures) {
        const Entry entry = entryFrom(value.toObject());
        if (isSafeEntry(entry))
            record.add(entry);
    }
    return record;
}

bool AlbumRecord::appendLine(const QString &albumFolder, const QJsonObject &line, FileError *error)
{
    return appendBytes(albumFolder, QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n', error);
}

bool AlbumRecord::appendBytes(const QString &albumFolder, QByteArray bytes, FileError *error)
{
    RecordJournal journal;
    return journal.append(albumFolder, std::move(bytes), error);
}

bool RecordJournal::append(const QString &albumFolder, QByteArray bytes, FileError *error)
{
    if (!m_file || m_folder != albumFolder) {
        close();
        auto file = std::make_unique<QFile>(albumFolder + QLatin1Char('/') + AlbumRecord::fileName());
        if (!file->open(QIODevice::ReadWrite | QIODevice::Append)) {
            if (error)
                *error = reasonFor(file->fileName(), file->errorString());
            return false;
        }
        // After a torn line, start a fresh one so this one is not lost with it.
        if (const qint64 size = file->size(); size > 0 && file->seek(size - 1) && file->read(1) != "\n")
            bytes.prepend('\n');
        file->seek(file->size());
        m_file = std::move(file);
        m_folder = albumFolder;
    }
    if (m_file->write(bytes) != bytes.size() || !m_file->flush()) {
        if (error)
            *error = reasonFor(m_file->fileName(), m_file->errorString());
        close();
        return false;
    }
    return true;
}

void RecordJournal::close()
{
    m_file.reset();
    m_folder.clear();
}

bool AlbumRecord::appendEntry(const QString &albumFolder, const Entry &entry, FileError *error)
{
    return appendBytes(albumFolder, entryBytes(entry), error);
}

QByteArray AlbumRecord::entryBytes(const Entry &entry)
{
    return QJsonDocument(entryLine(entry)).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray AlbumRecord::headerLine() const
{
    return QJsonDocument(QJsonObject{{"album", m_albumAddress}, {"firstPage", m_firstPage}, {"title", m_title}})
               .toJson(QJsonDocument::Compact)
        + '\n';
}

QByteArray AlbumRecord::stateLine() const
{
    if (m_state == State::Unknown)
        return {};
    return QJsonDocument(QJsonObject{{"state", QLatin1String(stateName(m_state))}}).toJson(QJsonDocument::Compact)
        + '\n';
}

bool AlbumRecord::save(const QString &albumFolder, FileError *error) const
{
    QByteArray bytes = headerLine();
    if (!m_userFiles.isEmpty())
        bytes += QJsonDocument(QJsonObject{{"userFiles", QJsonArray::fromStringList(m_userFiles)}})
                     .toJson(QJsonDocument::Compact)
            + '\n';
    for (const Entry &e : m_entries)
        bytes += entryBytes(e);
    bytes += stateLine();
    QSaveFile out(albumFolder + QLatin1Char('/') + fileName());
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        if (error)
            *error = reasonFor(out.fileName(), out.errorString());
        return false;
    }
    QFile::remove(albumFolder + QLatin1Char('/') + legacyFileName());
    return true;
}

bool AlbumRecord::finish(const QString &albumFolder, const QList<Entry> &notInJournal, FileError *error) const
{
    if (!QFile::exists(albumFolder + QLatin1Char('/') + fileName()))
        return save(albumFolder, error);
    QByteArray bytes;
    for (const Entry &e : notInJournal)
        bytes += entryBytes(e);
    bytes += headerLine() + stateLine();
    if (!appendBytes(albumFolder, bytes, error))
        return false;
    QFile::remove(albumFolder + QLatin1Char('/') + legacyFileName());
    return true;
}

bool AlbumRecord::namesAlbum(const QStringList &addresses) const
{
    for (const QString &mine : {m_albumAddress, m_firstPage}) {
        if (mine.isEmpty())
            continue;
        for (const QString &other : addresses)
            if (!other.isEmpty() && AddressKey(mine) == AddressKey(other))
                return true;
    }
    return false;
}

qsizetype AlbumRecord::indexOfPage(const QString &page, const QString &key) const
{
    // The same address needs no second reading of its key.
    for (auto [it, end] = m_byPage.equal_range(qHash(key)); it != end; ++it) {
        const QString &mine = m_entries.at(*it).page;
        if (mine == page || AddressKey(mine) == key)
            return *it;
    }
    return -1;
}

const AlbumRecord::Entry *AlbumRecord::forPage(const QString &page) const
{
    const qsizetype index = indexOfPage(page, AddressKey(page));
    return index < 0 ? nullptr : &m_entries.at(index);
}

void AlbumRecord::add(const Entry &entry)
{
    const QString key = AddressKey(entry.page);
    if (const qsizetype index = indexOfPage(entry.page, key); index >= 0) {
        m_entries[index] = entry;
        return;
    }
    m_byPage.insert(qHash(key), m_entries.size());
    m_entries.append(entry);
}

QStringList AlbumRecord::files() const
{
    QStringList out{fileName(), legacyFileName()};
    for (const Entry &e : m_entries) {
        if (!m_userFiles.contains(e.file))
            out << e.file;
        if (e.sidecar)
            out << e.sidecarFile();
    }
    return out;
}

void AlbumRecord::addUserFiles(const QStringList &names)
{
    for (const QString &name : names)
        if (IsUsableFolderName(name) && !m_userFiles.contains(name))
            m_userFiles << name;
}
