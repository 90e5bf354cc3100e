// The window's start-up question about an album left unfinished.
#include "app/mainform.h"
#include "app/siteaddresses.h"
#include "download/albumrecord.h"
#include "scripteddialogs.h"
#include "storage/settingsfile.h"
#include "testmain.h"
#include "windowtesting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestContinueWindow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_appDir;

    // An album folder a killed job left: one picture in its record, and a
    // file of the user's beside it.
    static QString interruptedFolder(const QString &save)
    {
        const QString folder = save + "/相册文件夹1";
        QDir().mkpath(folder);
        QFile picture(folder + "/p1.jpg");
        picture.open(QIODevice::WriteOnly);
        picture.write("jpeg");
        picture.close();
        QFile mine(folder + "/mine.txt");
        mine.open(QIODevice::WriteOnly);
        mine.close();
        AlbumRecord::appendLine(folder, QJsonObject{{"album", "http://127.0.0.1:9/photo/1/album-1"},
                                                    {"state", "inProgress"}});
        AlbumRecord::appendLine(folder, QJsonObject{{"title", "半途相册"}});
        AlbumRecord::appendEntry(folder, {"http://127.0.0.1:9/p/1", "http://127.0.0.1:9/pic/p1.jpg", "p1.jpg"});
        return folder;
    }

private slots:
    void cleanup() { qDeleteAll(mainForms()); }

    void startUpQuestion()
    {
        QTemporaryDir save;
        const QString folder = interruptedFolder(save.path());
        QVERIFY(WriteSetting(SettingsFilePath(m_appDir.path()), "Settings", "Path", save.path()));

        // Later, the default: nothing changes.
        ScriptedDialogs dialogs;
        MainForm *w = new MainForm(m_appDir.path());
        QTRY_COMPARE(dialogs.choices.size(), 1);
        QCOMPARE(dialogs.choices.at(0).text, QStringLiteral("上次有未完成的相册：《半途相册》已下载 1 张，是否继续？"));
        QCOMPARE(dialogs.choiceAnswers.at(0).size(), 3);
        QVERIFY(!w->queue());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
        delete w;

        // Delete those pictures: only the recorded picture and the record go.
        dialogs.chooseAnswers = {2};
        w = new MainForm(m_appDir.path());
        QTRY_COMPARE(dialogs.choices.size(), 2);
        QVERIFY(!w->queue());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"mine.txt"});
        delete w;

        // Nothing unfinished is left to ask about.
        w = new MainForm(m_appDir.path());
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.choices.size(), 2);
        delete w;
    }
};

QUILLMOOR_TEST_MAIN(TestContinueWindow)
#include "tst_continuewindow.moc"
