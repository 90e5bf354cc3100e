// The fate of an album's folder, rule by rule, on real folders: what is
// replaced, trashed, kept beside, adopted or proven changed. No site, no
// window: each case lays out the folders a job would have left.
#include "albumfiles.h"
#include "download/albumfolder.h"
#include "download/jobrules.h"
#include "download/recordedalbums.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Album = QStringLiteral("http://old.example:8080/photo/1/album-7");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A folder as a job leaves it: pictures "a.jpg" and "b.jpg" with their
// record, in `state`; `extra` files beside them that the record does not name.
void albumFolder(const QString &path, AlbumRecord::State state, const QStringList &extra = {})
{
    QVERIFY(QDir().mkpath(path));
    AlbumRecord record;
    record.setAlbumAddress(Album);
    record.setTitle(QStringLiteral("旅行"));
    record.setState(state);
    for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}) {
        const QByteArray bytes = path.toUtf8() + name.toUtf8();
        writeFile(path + "/" + name, bytes);
        record.add({Album + "/photo-" + name, "http://pic/" + name, name, bytes.size(),
                    Sha256Digest::fromBytes(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256))});
    }
    for (const QString &name : extra)
        writeFile(path + "/" + name, "mine");
    QVERIFY(record.save(path));
}

AlbumEnding ending(DownloadMode mode, bool whole)
{
    AlbumEnding e;
    e.title = QStringLiteral("旅行");
    e.albumAddress = Album;
    e.mode = mode;
    e.whole = whole;
    e.saved = 2;
    return e;
}

} // namespace

class TestAlbumFolder : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

    QString trashFiles() const { return m_home.filePath("data/Trash/files"); }

private slots:
    void initTestCase()
    {
        // The desktop's trash of this test alone, on the save folders' disk.
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
    }

    // A new copy at its end, beside an earlier copy of the same album.
    void replacing_data()
    {
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("trash");
        QTest::addRow("whole, to the trash") << true << true;
        QTest::addRow("whole, no usable trash") << true << false;
        QTest::addRow("not whole") << false << true;
    }
    void replacing()
    {
        QFETCH(bool, whole);
        QFETCH(bool, trash);
        // A trash whose folder cannot be made is no trash.
        qputenv("XDG_DATA_HOME", QFile::encodeName(trash ? m_home.filePath("data") : m_home.filePath("file")));
        writeFile(m_home.filePath("file"), "not a folder");
        QTemporaryDir save(m_home.filePath("save-XXXXXX"));
        albumFolder(save.filePath("旅行"), AlbumRecord::State::Finished, {"notes.txt"});
        const QByteArray earlierA = readFile(save.filePath("旅行/a.jpg"));

        AlbumFolder folder(save.path());
        FileError error;
        QVERIFY(folder.create(&error));
        QVERIFY(QFile::copy(save.filePath("旅行/a.jpg"), save.filePath("new.jpg")));
        QCOMPARE(folder.place(save.filePath("new.jpg"), {Album + "/photo-a.jpg", "http://pic/a.jpg", "a.jpg"}, {}, nullptr),
                 QString("a.jpg"));
        const FolderFate fate = folder.finish(ending(DownloadMode::ReplaceAll, whole));

        QCOMPARE(fate.replacedEarlier, whole);
        if (!whole) {
            // The earlier copy stays as it was; the new pictures beside it, unfinished.
            QCOMPARE(fate.earlierKept, QString("旅行"));
            QCOMPARE(fate.folderName, QString("旅行 (2)"));
            QCOMPARE(besideRecord(save.filePath("旅行")), QStringList({"a.jpg", "b.jpg", "notes.txt"}));
            QCOMPARE(AlbumRecord::load(save.filePath("旅行 (2)")).state(), AlbumRecord::State::InProgress);
            return;
        }
        QCOMPARE(fate.folderName, QString("旅行"));
        QCOMPARE(AlbumRecord::load(save.filePath("旅行")).state(), AlbumRecord::State::Finished);
        // The user's file came across; nothing of the earlier copy is deleted.
        QCOMPARE(readFile(save.filePath("旅行/notes.txt")), QByteArray("mine"));
        const QString earlier = trash ? trashFiles() + "/" + AsideFolderName("旅行") : save.filePath("旅行 (2)");
        QCOMPARE(fate.earlierTrashed, trash);
        QCOMPARE(fate.earlierBeside, trash ? QString() : QString("旅行 (2)"));
        QCOMPARE(readFile(earlier + "/a.jpg"), earlierA);
        QVERIFY(QFile::exists(earlier + "/b.jpg"));
        if (trash) {
            QVERIFY(QFile::exists(m_home.filePath("data/Trash/info/") + AsideFolderName("旅行") + ".trashinfo"));
            QVERIFY(QDir(m_home.filePath("data/Trash")).removeRecursively());
        } else {
            // Kept beside, it is no longer the album's folder.
            QCOMPARE(FindAlbumFolder(save.path(), {Album}, {}), QString("旅行"));
            QCOMPARE(RecordedAlbums(save.path()).size(), 1);
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
    }

    // Start-up after a crash in the middle of a swap.
    void recovery_data()
    {
        QTest::addColumn<int>("replacement"); // -1 none, else its record's state
        QTest::addColumn<QString>("earlierAt");
        QTest::addRow("replacement whole: earlier to the trash")
            << int(AlbumRecord::State::Finished) << trashFiles() + "/" + AsideFolderName("旅行");
        QTest::addRow("replacement unfinished: earlier put back") << int(AlbumRecord::State::InProgress) << "旅行";
        QTest::addRow("no replacement: earlier put back") << -1 << "旅行";
    }
    void recovery()
    {
        QFETCH(int, replacement);
        QFETCH(QString, earlierAt);
        QTemporaryDir save(m_home.filePath("save-XXXXXX"));
        const QString aside = save.filePath(AsideFolderName("旅行"));
        albumFolder(aside, AlbumRecord::State::Finished);
        QVERIFY(AlbumRecord::appendLine(aside, QJsonObject{{"asideFrom", "旅行"}}));
        const QByteArray earlierA = readFile(aside + "/a.jpg");
        if (replacement >= 0)
            albumFolder(save.filePath("旅行"), AlbumRecord::State(replacement));
        QVERIFY(AlbumFolder::recover(save.path()).isEmpty());
        const QString earlier = QDir::isAbsolutePath(earlierAt) ? earlierAt : save.filePath(earlierAt);
        QCOMPARE(readFile(earlier + "/a.jpg"), earlierA);
        QVERIFY(!QFile::exists(aside));
        if (replacement == int(AlbumRecord::State::InProgress))
            QCOMPARE(AlbumRecord::load(save.filePath("旅行 (2)")).state(), AlbumRecord::State::InProgress);
        QDir(m_home.filePath("data/Trash")).removeRecursively();
    }

    // What the folder holds, as only-new pictures and a check see it.
    void holdingAndChecking()
    {
        QTemporaryDir save(m_home.filePath("save-XXXXXX"));
        albumFolder(save.filePath("旅行"), AlbumRecord::State::Finished);
        // Moved: the same album at another host is the same album.
        AlbumFolder folder(save.path());
        FileError error;
        QVERIFY(folder.create(&error));
        folder.lookFor("旅行", {"https://new.example/photo/1/album-7"}, {});
        QCOMPARE(folder.targetName(), QString("旅行"));
        AlbumRecord::Entry entry;
        QCOMPARE(folder.holds(Album + "/photo-a.jpg", &entry), AlbumFolder::Held::Yes);
        QVERIFY(CheckAlbumFolder(save.path(), "旅行").intact());

        // A digest damaged in the record vouches for no file, and stays
        // damaged when the record is written again.
        const QString recordPath = save.filePath("旅行/" + AlbumRecord::fileName());
        const QByteArray intact = readFile(recordPath);
        const QByteArray aHash = QCryptographicHash::hash(save.filePath("旅行").toUtf8() + "a.jpg",
                                                          QCryptographicHash::Sha256).toHex();
        for (const QByteArray &damage : {aHash.left(63), aHash + "0", aHash.left(63) + "g"}) {
            writeFile(recordPath, QByteArray(intact).replace(aHash, damage));
            QCOMPARE(CheckAlbumFolder(save.path(), "旅行").changed, QStringList{"a.jpg"});
            AlbumRecord reread = AlbumRecord::load(save.filePath("旅行"));
            QVERIFY(reread.save(save.filePath("旅行")));
            QCOMPARE(CheckAlbumFolder(save.path(), "旅行").changed, QStringList{"a.jpg"});
        }
        writeFile(recordPath, intact);

        // Deleted, cut short, changed in place at the same size.
        QFile::remove(save.filePath("旅行/a.jpg"));
        const QByteArray b = readFile(save.filePath("旅行/b.jpg"));
        QByteArray same = b;
        same[0] = char(same.at(0) ^ 1);
        writeFile(save.filePath("旅行/b.jpg"), same);
        FolderCheck check = CheckAlbumFolder(save.path(), "旅行");
        QCOMPARE(check.missing, QStringList{"a.jpg"});
        QCOMPARE(check.changed, QStringList{"b.jpg"});
        QCOMPARE(folder.holds(Album + "/photo-a.jpg", &entry), AlbumFolder::Held::Missing);
        writeFile(save.filePath("旅行/b.jpg"), b.left(3));
        QCOMPARE(folder.holds(Album + "/photo-b.jpg", &entry), AlbumFolder::Held::OtherSize);
        writeFile(save.filePath("旅行/b.jpg"), {});
        QCOMPARE(CheckAlbumFolder(save.path(), "旅行").emptied, QStringList{"b.jpg"});
        QCOMPARE(folder.holds(Album + "/photo-b.jpg", &entry), AlbumFolder::Held::Emptied);
    }

    // A folder of the album's name without a record: everything in it is the
    // user's, also under a picture's name; only its very bytes stand for a picture.
    void adoptedFolderStaysTheUsers()
    {
        QTemporaryDir save(m_home.filePath("save-XXXXXX"));
        QVERIFY(QDir(save.path()).mkdir("旅行"));
        writeFile(save.filePath("旅行/a.jpg"), "the picture");
        writeFile(save.filePath("旅行/b.jpg"), "my own b");
        AlbumFolder folder(save.path());
        FileError error;
        QVERIFY(folder.create(&error));
        folder.lookFor("旅行", {Album}, {});
        QCOMPARE(folder.targetName(), QString("旅行"));
        AlbumRecord::Entry entry;
        QCOMPARE(folder.holds(Album + "/photo-a.jpg", &entry), AlbumFolder::Held::No);
        const QByteArray picture = "the picture";
        const auto hash = Sha256Digest::fromBytes(QCryptographicHash::hash(picture, QCryptographicHash::Sha256));
        QCOMPARE(folder.userFileWithBytes("a.jpg", picture.size(), hash), QString("a.jpg"));
        QCOMPARE(folder.userFileWithBytes("b.jpg", picture.size(), hash), QString());

        writeFile(save.filePath("staged"), "site's b");
        QCOMPARE(folder.place(save.filePath("staged"), {Album + "/photo-b.jpg", "http://pic/b.jpg", "b.jpg"}, {}, nullptr),
                 QString("b.jpg"));
        folder.finish(ending(DownloadMode::OnlyNew, true));
        QCOMPARE(readFile(save.filePath("旅行/b.jpg")), QByteArray("my own b"));
        QCOMPARE(readFile(save.filePath("旅行/b(2).jpg")), QByteArray("site's b"));
        // The record says what was there first: the user's, whatever its name.
        const AlbumRecord record = AlbumRecord::load(save.filePath("旅行"));
        QCOMPARE(record.userFiles(), QStringList({"a.jpg", "b.jpg"}));
        QVERIFY(!record.files().contains("b.jpg"));
        QVERIFY(record.files().contains("b(2).jpg"));
    }

    void namesStayVisible_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("folder");
        QTest::addRow("leading dots") << "...旅行" << "旅行";
        QTest::addRow("leading space and dot") << " .旅行 " << "旅行 ";
        QTest::addRow("dots alone") << "..." << "...";
    }
    void namesStayVisible()
    {
        QFETCH(QString, title);
        QFETCH(QString, folder);
        QCOMPARE(AlbumFolderName(title), folder);
        QCOMPARE(IsUsableFolderName(AlbumFolderName(title)), !folder.startsWith('.'));
    }
};

QTEST_GUILESS_MAIN(TestAlbumFolder)
#include "tst_albumfolder.moc"
