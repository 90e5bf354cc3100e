// The window's side of an album left unfinished: the start-up question, and
// the question asked when an unfinished album is started again; each answer
// "继续下载" run to the album's end against the demo site.
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumrecord.h"
#include "download/downloadjob.h"
#include "pageloader.h"
#include "platform/browserpane.h"
#include "scripteddialogs.h"
#include "storage/settingsfile.h"
#include "testmain.h"
#include "web/networksession.h"
#include "windowtesting.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int JobTimeout = 90000;

QByteArray seed()
{
    return R"({ "members": [ { "id": "100000001", "albums": [
        { "id": "7001", "name": "半途相册", "pages": 2, "perPage": 3 },
        { "id": "7002", "name": "停下的相册", "pages": 1, "perPage": 5 } ] } ] })";
}

// The file names the album's pictures get, in order.
QStringList albumFiles(const QString &album, int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("p%1%2.jpg").arg(album).arg(i, 3, 10, QLatin1Char('0'));
    return out;
}

} // namespace

class TestContinueWindow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_appDir;
    DemoSite m_site{seed()};
    NetworkSession m_session;

    QString albumUrl(const QString &album) const { return m_site.url("/photo/" + Member + "/album-" + album); }

    // Downloads `keep` pictures of an album with the core alone, then kills
    // the job (as a crash would) or stops it; the folder it left, by name.
    QString interruptedAlbum(const QString &save, const QString &album, int keep, bool kill)
    {
        JobSettings s;
        s.source = JobSource::HiddenPane;
        s.saveFolder = save;
        s.albumAddress = albumUrl(album);
        s.photoHostBase = m_site.base();
        s.network = m_session.manager();
        s.pauseMs = 0;
        auto job = std::make_unique<DownloadJob>(s);
        int saved = 0;
        std::optional<JobReport> report;
        // Nothing else is in flight when a picture is reported: the next one
        // begins from the event loop.
        connect(job.get(), &DownloadJob::pictureDone, job.get(), [&] {
            if (++saved == keep)
                kill ? job->kill() : job->stop();
        });
        connect(job.get(), &DownloadJob::finished, job.get(), [&](const JobReport &r) { report = r; });
        if (!job->start(nullptr))
            return {};
        QString next = job->pageLoaded(loadSnapshot(m_session.manager(), albumUrl(album)));
        while (!next.isEmpty())
            next = job->pageLoaded(loadSnapshot(m_session.manager(), next));
        if (!QTest::qWaitFor([&] { return saved == keep && (kill || report); }, 60000))
            return {};
        return kill ? job->temporaryFolderName() : report->folderName;
    }

    bool finished(const ScriptedDialogs &dialogs) const
    {
        for (const QString &text : dialogs.texts())
            if (text.startsWith(QStringLiteral("下载完毕")))
                return true;
        return false;
    }

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
    void initTestCase()
    {
        QVERIFY(m_site.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }

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

    void startUpContinueCompletesTheAlbum()
    {
        // A job killed after two of six pictures.
        QTemporaryDir save;
        const QString folder = interruptedAlbum(save.path(), "7001", 2, true);
        QCOMPARE(folder, QStringLiteral("相册文件夹1"));
        QCOMPARE(AlbumRecord::load(save.path() + "/" + folder).state(), AlbumRecord::State::InProgress);
        const QStringList before = pictureFiles(save.path() + "/" + folder);
        QCOMPARE(before, albumFiles("7001", 2));
        QVERIFY(WriteSetting(SettingsFilePath(m_appDir.path()), "Settings", "Path", save.path()));
        m_site.requests(true);

        ScriptedDialogs dialogs;
        dialogs.chooseAnswers = {0};
        auto *w = new MainForm(m_appDir.path());
        w->show();
        QVERIFY(waitUntil([&] { return !dialogs.choices.isEmpty(); }, 10000));
        QCOMPARE(dialogs.choices.at(0).text, QStringLiteral("上次有未完成的相册：《半途相册》已下载 2 张，是否继续？"));
        QCOMPARE(dialogs.choiceAnswers.at(0).at(0), QStringLiteral("继续下载"));
        QVERIFY(w->queue());

        QVERIFY2(waitUntil([&] { return finished(dialogs); }, JobTimeout), qPrintable(dialogs.texts().join('\n')));
        QCOMPARE(dialogs.messages.size(), 1);
        // Whole, the folder it went on in takes the album's name; the two
        // pictures of the first run are there still, and were not asked for.
        QCOMPARE(QDir(save.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"半途相册"});
        const QString album = save.path() + "/半途相册";
        QCOMPARE(pictureFiles(album), albumFiles("7001", 6));
        QCOMPARE(recordedFiles(album), albumFiles("7001", 6));
        QCOMPARE(AlbumRecord::load(album).state(), AlbumRecord::State::Finished);
        const QJsonObject asked = m_site.requests();
        QCOMPARE(asked.value("picturePages").toInt(), 4);
        QCOMPARE(asked.value("pictures").toInt(), 4);
        QCOMPARE(dialogs.choices.size(), 1);
    }

    void startingAStoppedAlbumAsksAndContinues()
    {
        // A job stopped after three of five pictures keeps the album's name.
        QTemporaryDir save;
        QCOMPARE(interruptedAlbum(save.path(), "7002", 3, false), QStringLiteral("停下的相册"));
        const QString album = save.path() + "/停下的相册";
        QCOMPARE(AlbumRecord::load(album).state(), AlbumRecord::State::Stopped);
        QVERIFY(WriteSetting(SettingsFilePath(m_appDir.path()), "Settings", "Path", save.path()));

        ScriptedDialogs dialogs;
        dialogs.chooseAnswers = {0};
        auto *w = new MainForm(m_appDir.path());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // A stopped album is not offered at start-up, only when started again.
        w->WebBrowser1->navigate(albumUrl("7002"));
        QVERIFY(waitForDocument(w->WebBrowser1, albumUrl("7002")));
        QVERIFY(waitUntil([&] { return w->CmdStartDown->isEnabled(); }));
        QVERIFY(dialogs.choices.isEmpty());
        m_site.requests(true);

        QTest::mouseClick(w->CmdStartDown, Qt::LeftButton, {}, w->CmdStartDown->rect().center());
        QCOMPARE(dialogs.choices.size(), 1);
        QCOMPARE(dialogs.choices.at(0).text, QStringLiteral("上次有未完成的相册：《停下的相册》已下载 3 张，是否继续？"));
        QCOMPARE(dialogs.choiceAnswers.at(0), QStringList({"继续下载", "重新下载"}));
        QVERIFY(w->queue());

        QVERIFY2(waitUntil([&] { return finished(dialogs); }, JobTimeout), qPrintable(dialogs.texts().join('\n')));
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(QDir(save.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"停下的相册"});
        QCOMPARE(pictureFiles(album), albumFiles("7002", 5));
        QCOMPARE(recordedFiles(album), albumFiles("7002", 5));
        QCOMPARE(AlbumRecord::load(album).state(), AlbumRecord::State::Finished);
        const QJsonObject asked = m_site.requests();
        QCOMPARE(asked.value("picturePages").toInt(), 2);
        QCOMPARE(asked.value("pictures").toInt(), 2);
    }
};

QUILLMOOR_TEST_MAIN(TestContinueWindow)
#include "tst_continuewindow.moc"
