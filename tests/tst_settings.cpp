// The settings file and the folder operations, without a window.
#include "storage/settingsfile.h"
#include "storage/filesystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void missingFileSectionOrKeyReadsEmpty()
    {
        QTemporaryDir dir;
        const QString file = SettingsFilePath(dir.path());
        QCOMPARE(ReadSetting(file, "Settings", "Path"), QString());
        writeAll(file, "[Other]\nPath=/x\n[Settings]\nUserId=\n");
        QCOMPARE(ReadSetting(file, "Settings", "Path"), QString()); // only in another section
        QCOMPARE(ReadSetting(file, "Settings", "UserId"), QString()); // present but empty
        QCOMPARE(ReadSetting(file, "settings", "path"), QString());
    }

    void writeCreatesAndReplacesKeepingOtherLines()
    {
        QTemporaryDir dir;
        const QString file = SettingsFilePath(dir.path());
        QVERIFY(WriteSetting(file, "Settings", "Path", "/home/a"));
        QCOMPARE(readAll(file), QByteArray("[Settings]\nPath=/home/a\n"));
        QVERIFY(WriteSetting(file, "Settings", "UserId", "100000001"));
        QVERIFY(WriteSetting(file, "Settings", "Path", "/home/b"));
        QCOMPARE(readAll(file), QByteArray("[Settings]\nPath=/home/b\nUserId=100000001\n"));

        // A hand-edited file keeps its other sections and comments.
        writeAll(file, "; mine\r\n[Window]\r\nX=3\r\n\r\n[SETTINGS]\r\npath = /old\r\n\r\n[Tail]\r\nY=4\r\n");
        QCOMPARE(ReadSetting(file, "Settings", "Path"), QString("/old"));
        QVERIFY(WriteSetting(file, "Settings", "UserId", "42"));
        QVERIFY(WriteSetting(file, "Settings", "Path", "/new"));
        QCOMPARE(readAll(file),
                 QByteArray("; mine\n[Window]\nX=3\n\n[SETTINGS]\nPath=/new\nUserId=42\n\n[Tail]\nY=4\n"));
        QCOMPARE(ReadSetting(file, "Window", "X"), QString("3"));
        QCOMPARE(ReadSetting(file, "Tail", "Y"), QString("4"));
    }

    void valuesRoundTripWholeAsUtf8()
    {
        QTemporaryDir dir;
        const QString file = SettingsFilePath(dir.path());
        // Longer than the 99 bytes an old reader would have kept.
        const QString longPath = "/home/用户/" + QString(150, QChar('p')) + "/图片 保存";
        QVERIFY(WriteSetting(file, "Settings", "Path", longPath));
        QCOMPARE(ReadSetting(file, "Settings", "Path"), longPath);
        QVERIFY(readAll(file).contains(longPath.toUtf8()));
        QVERIFY(WriteSetting(file, "Settings", "UserId", "a=b"));
        QCOMPARE(ReadSetting(file, "Settings", "UserId"), QString("a=b"));
    }

    void unwritableFileReportsFailure()
    {
        QTemporaryDir dir;
        QVERIFY(!WriteSetting(dir.path() + "/missing/Settings.ini", "Settings", "Path", "x"));
    }

    void folderOperations()
    {
        QTemporaryDir dir;
        const QString a = dir.path() + "/a";
        QVERIFY(!FileSystem::FolderExists(a));
        QVERIFY(FileSystem::CreateFolder(a));
        QVERIFY(FileSystem::FolderExists(a));
        QVERIFY(!FileSystem::CreateFolder(a));                       // exists already
        FileError error;
        QVERIFY(!FileSystem::CreateFolder(dir.path() + "/no/b", &error)); // parent missing
        QCOMPARE(error.code, FileError::Code::NoParent);
        QCOMPARE(error.path, dir.path() + "/no");
        QVERIFY(!FileSystem::FolderExists(dir.path() + "/no"));

        writeAll(a + "/file.jpg", "x");
        QVERIFY(!FileSystem::FolderExists(a + "/file.jpg"));         // a file is no folder

        // A move never replaces what is at the target.
        QVERIFY(FileSystem::CreateFolder(dir.path() + "/taken"));
        QVERIFY(!FileSystem::MoveFolder(a, dir.path() + "/taken"));
        QVERIFY(QFile::exists(a + "/file.jpg"));
        QVERIFY(FileSystem::MoveFolder(a, dir.path() + "/相册"));
        QVERIFY(QFile::exists(dir.path() + "/相册/file.jpg"));
        QVERIFY(!FileSystem::FolderExists(a));
        QVERIFY(!FileSystem::MoveFolder(a, dir.path() + "/c"));      // source gone
    }

    void renamesAndNumbersNeverTakeWhatIsThere()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        // An empty folder at the target would be replaced by a plain rename.
        QVERIFY(QDir(d).mkdir("new") && QDir(d).mkdir("empty"));
        writeAll(d + "/new/p.jpg", "p");
        FileError error;
        bool taken = false;
        QVERIFY(!FileSystem::RenameNoReplace(d + "/new", d + "/empty", &error, &taken));
        QVERIFY(taken);
        QCOMPARE(error.code, FileError::Code::NotRenamed);
        QCOMPARE(error.path, d + "/new");
        QCOMPARE(error.destination, d + "/empty");
        QVERIFY(QFile::exists(d + "/new/p.jpg"));
        // Other failures are told apart, with the system's reason.
        QVERIFY(!FileSystem::RenameNoReplace(d + "/missing", d + "/x", &error, &taken));
        QVERIFY(!taken);
        QCOMPARE(error.path, d + "/missing");
        QCOMPARE(error.systemText, QString::fromLocal8Bit(strerror(ENOENT)));

        // Numbers: a file, a folder or a dangling link of a number block it.
        writeAll(d + "/n1", "file");
        QVERIFY(QDir(d).mkdir("n2"));
        QVERIFY(QFile::link(d + "/nowhere", d + "/n3"));
        QCOMPARE(FileSystem::CreateNumberedFolder(d, "n", 10, &error), QString("n4"));
        QVERIFY(FileSystem::FolderExists(d + "/n4"));
        QCOMPARE(FileSystem::CreateNumberedFolder(d, "n", 4, &error), QString());
        QCOMPARE(error.code, FileError::Code::NumbersUsedUp);
    }

    void saveFolderMayBeALink()
    {
        QTemporaryDir dir, real;
        QVERIFY(QFile::link(real.path(), dir.path() + "/save"));
        // The save folder itself is followed; folders inside it are not.
        QVERIFY(FileSystem::SaveFolderExists(dir.path() + "/save"));
        QVERIFY(!FileSystem::FolderExists(dir.path() + "/save"));
        QVERIFY(!FileSystem::SaveFolderExists(dir.path() + "/none"));
        FileError error;
        QCOMPARE(FileSystem::CreateNumberedFolder(dir.path() + "/save", "n", 3, &error), QString("n1"));
        QVERIFY(QDir(real.path()).exists("n1"));
    }

    void forcedDeleteTakesReadOnlyContent()
    {
        QTemporaryDir dir;
        const QString album = dir.path() + "/album";
        QVERIFY(FileSystem::CreateFolder(album));
        QVERIFY(FileSystem::CreateFolder(album + "/inner"));
        writeAll(album + "/inner/p.jpg", "jpeg");
        QFile::setPermissions(album + "/inner/p.jpg", QFile::ReadOwner);
        QFile::setPermissions(album + "/inner", QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(FileSystem::DeleteFolder(album, true));
        QVERIFY(!QFile::exists(album));
        QVERIFY(!FileSystem::DeleteFolder(album, true)); // nothing left to delete
    }

    void deleteNeverFollowsALink()
    {
        QTemporaryDir dir, outside;
        writeAll(outside.path() + "/keep.jpg", "keep");
        QVERIFY(QFile::link(outside.path(), dir.path() + "/link"));
        QVERIFY(!FileSystem::FolderExists(dir.path() + "/link"));
        QVERIFY(!FileSystem::DeleteFolder(dir.path() + "/link", true));
        QVERIFY(QFile::exists(outside.path() + "/keep.jpg"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
