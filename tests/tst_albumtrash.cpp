// Throwing an album away: what Quillmoor wrote goes to the desktop's trash,
// the user's files stay in the folder.
#include "download/albumfolder.h"
#include "download/albumrecord.h"
#include "download/albumtrash.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

const QString Address = QStringLiteral("http://photo.test/album-1");

// An album folder with three recorded pictures, one of them changed since,
// and what the user keeps beside them.
bool makeAlbum(const QString &folder, bool withUserFiles)
{
    if (!QDir().mkpath(folder))
        return false;
    AlbumRecord record;
    record.setAlbumAddress(Address);
    record.setTitle("相册");
    record.setState(AlbumRecord::State::Finished);
    for (const QString &name : {"a.jpg", "b.jpg", "c.jpg"}) {
        const QByteArray bytes = name.toUtf8().repeated(10);
        if (!write(folder + "/" + name, bytes))
            return false;
        record.add({Address + "/" + name, Address + "/" + name, name, bytes.size(),
                    Sha256Digest::fromBytes(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256))});
    }
    if (withUserFiles) {
        // The user's: one there before the album was adopted (and named in
        // the record as a picture too), one added later, one edited since.
        record.add({Address + "/mine", Address + "/mine.jpg", "mine.jpg", 4, {}});
        record.addUserFiles({"mine.jpg"});
        if (!write(folder + "/mine.jpg", "mine") || !write(folder + "/notes.txt", "notes")
            || !write(folder + "/c.jpg", "edited by the user"))
            return false;
        // A record edited by hand must not reach out of the folder (the
        // record's reader drops such a name; the trash checks it again).
        record.add({Address + "/out", Address + "/out.jpg", "../outside.jpg", -1, {}});
    }
    return record.save(folder);
}

} // namespace

class TestAlbumTrash : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QString trash() const { return m_home.path() + "/data/Trash"; }

private slots:
    void initTestCase()
    {
        // The home trash of a test's own: albums below the same home.
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toLocal8Bit());
        QVERIFY(QDir().mkpath(m_home.path() + "/data") && QDir().mkpath(m_home.path() + "/save"));
        QVERIFY(write(m_home.path() + "/save/outside.jpg", "x"));
    }

    void trashesOnlyWhatQuillmoorWrote_data()
    {
        QTest::addColumn<bool>("withUserFiles");
        QTest::addColumn<QStringList>("trashed");
        QTest::addColumn<QStringList>("stay"); // in the folder; none: the folder goes
        QTest::newRow("the user's files") << true << QStringList({"a.jpg", "b.jpg", AlbumRecord::fileName()})
                                          << QStringList({"c.jpg", "mine.jpg", "notes.txt"});
        QTest::newRow("Quillmoor's alone") << false
                                           << QStringList({"a.jpg", "b.jpg", "c.jpg", AlbumRecord::fileName()})
                                           << QStringList();
    }
    void trashesOnlyWhatQuillmoorWrote()
    {
        QFETCH(bool, withUserFiles);
        QFETCH(QStringList, trashed);
        QFETCH(QStringList, stay);
        QDir(trash()).removeRecursively();
        const QString folder = m_home.path() + "/save/相册";
        QVERIFY(makeAlbum(folder, withUserFiles));

        const AlbumTrashPlan plan = PlanAlbumTrash(folder);
        QCOMPARE(plan.kept, stay);
        QList<FolderProblem> problems;
        QVERIFY(MoveAlbumToTrash(folder, &problems));
        QVERIFY(problems.isEmpty());
        QStringList inTrash = entries(trash() + "/files");
        inTrash.sort();
        QStringList expected = trashed;
        expected.sort();
        QCOMPARE(inTrash, expected);
        for (const QString &name : trashed)
            QVERIFY2(QFile::exists(trash() + "/info/" + name + ".trashinfo"), qPrintable(name));
        QCOMPARE(QFileInfo::exists(folder), !stay.isEmpty());
        if (!stay.isEmpty())
            QCOMPARE(entries(folder), stay);
        QVERIFY(QFile::exists(m_home.path() + "/save/outside.jpg"));
        QDir(folder).removeRecursively();
    }

    void aJobAtWorkKeepsItsAlbum()
    {
        const QString folder = m_home.path() + "/save/忙";
        QVERIFY(makeAlbum(folder, false));
        QLockFile job(AlbumLockPath(m_home.path() + "/save", Address));
        QVERIFY(job.tryLock(0));
        QList<FolderProblem> problems;
        QVERIFY(!MoveAlbumToTrash(folder, &problems));
        QCOMPARE(problems.size(), 1);
        QCOMPARE(entries(folder).size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestAlbumTrash)
#include "tst_albumtrash.moc"
