// "更新全部相册" as the window runs it: the list of recorded albums, the
// user's choice, one queue on the member tab and the one message at its end.
// What an update does to folders is proven on the core (tst_updateall).
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "albumfiles.h"
#include "demosite.h"
#include "download/albumqueue.h"
#include "download/albumrecord.h"
#include "pageloader.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "web/networksession.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int JobTimeout = 90000;

QByteArray seed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "8001", "name": "会长大", "pages": 1, "perPage": 2 },
    { "id": "8002", "name": "会消失", "pages": 1, "perPage": 2 },
    { "id": "8003", "name": "不选它", "pages": 1, "perPage": 2 }
  ] } ]
})";
}

// Answers the list of albums as a user would: leaves out `uncheck`.
class UpdateDialogs : public ScriptedDialogs
{
public:
    std::optional<QList<int>> chooseRows(QWidget *, const QString &title, const QString &, const QStringList &headers,
                                         const QList<CheckRow> &rows) override
    {
        listTitle = title;
        listHeaders = headers;
        shown = rows;
        QList<int> chosen;
        for (int i = 0; i < rows.size(); ++i)
            if (rows.at(i).checked && rows.at(i).enabled && rows.at(i).columns.value(1) != uncheck)
                chosen << i;
        return chosen;
    }
    bool finished() const
    {
        return std::any_of(messages.cbegin(), messages.cend(),
                           [](const Message &m) { return m.text.startsWith(QStringLiteral("更新完毕")); });
    }

    QString uncheck;
    QString listTitle;
    QStringList listHeaders;
    QList<CheckRow> shown;
};

} // namespace

class TestUpdateWindow : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{seed()};
    NetworkSession m_session;
    QTemporaryDir m_appDir;

    QString albumUrl(const QString &id) const { return m_site.url("/photo/" + Member + "/album-" + id); }

    // The folders an earlier run left, made on the core.
    bool earlierRun(const QString &saveFolder)
    {
        QStringList addresses;
        for (const QString &id : {"8001", "8002", "8003"})
            addresses << m_site.url("/photo/" + Member + "/album-" + id);
        return downloadAlbums(m_session.manager(), m_site.base(), saveFolder, addresses, JobTimeout);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }

    void cleanup() { qDeleteAll(mainForms()); }

    void updateAllFromTheMenu()
    {
        QTemporaryDir save;
        QVERIFY(earlierRun(save.path()));
        // Saved before records named the album.
        QVERIFY(QDir(save.path()).mkpath("旧相册"));
        QFile legacy(save.path() + "/旧相册/" + AlbumRecord::legacyFileName());
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write(R"({"pictures": []})");
        legacy.close();
        QCOMPARE(m_site.grow("8001", 1), 3);
        QCOMPARE(m_site.get("/test/album?album=8002&status=404"), QByteArray("changed"));
        const QStringList untouched = besideRecord(save.path() + "/不选它");

        UpdateDialogs dialogs;
        dialogs.uncheck = "不选它";
        auto *w = new MainForm(m_appDir.path());
        w->TxtPath->setText(save.path());
        w->show();
        QVERIFY(w->Pro->actions().contains(w->UpdateAll));
        QCOMPARE(w->UpdateAll->text(), QString("更新全部相册"));
        // The download mode setting says otherwise: an update fetches only
        // what is new anyway.
        QVERIFY(w->AllNew->isChecked());
        w->UpdateAll->trigger();

        QCOMPARE(dialogs.listTitle, QString("更新全部相册"));
        QCOMPARE(dialogs.listHeaders, QStringList({"相册", "文件夹", "图片", "最后更新"}));
        QCOMPARE(dialogs.shown.size(), 4);
        QHash<QString, CheckRow> byFolder;
        for (const CheckRow &row : dialogs.shown)
            byFolder.insert(row.columns.value(1), row);
        QCOMPARE(byFolder.size(), 4);
        const CheckRow grown = byFolder.value("会长大");
        QCOMPARE(grown.columns.value(0), QString("会长大"));
        QCOMPARE(grown.columns.value(2), QString("2"));
        QVERIFY(grown.checked && grown.enabled);
        const CheckRow old = byFolder.value("旧相册");
        QVERIFY(!old.checked && !old.enabled);
        QVERIFY(old.columns.value(0).contains("无法更新"));

        QVERIFY(waitUntil([&] { return dialogs.finished(); }, JobTimeout));
        QCOMPARE(dialogs.messages.size(), 1);
        const QString message = dialogs.lastText();
        QVERIFY2(message.startsWith("更新完毕：检查了 2 个相册，共新增 1 张图片"), qPrintable(message));
        QVERIFY2(message.contains("新图片：\n相册《会长大》（文件夹《会长大》）：1 张"), qPrintable(message));
        QVERIFY2(message.contains("相册《会消失》：相册已不在网站上（HTTP 404"), qPrintable(message));
        QVERIFY2(message.contains("文件夹《会消失》保持原样"), qPrintable(message));
        QVERIFY2(!message.contains("不选它"), qPrintable(message));

        // Each album under its header row, the new picture among those
        // already there.
        const QStringList rows = columnTexts(w->ListView2, 0);
        QCOMPARE(rows, QStringList({"Album", "Collecting", "Gone",
                                    "Album", "Collecting", "Exists", "Exists", "Success", "Finished"}));
        const QStringList texts = columnTexts(w->ListView2, 1);
        QCOMPARE(texts.at(0), QString("相册《会消失》 (1/2)"));
        QVERIFY2(texts.at(2).startsWith("相册已不在网站上（HTTP 404"), qPrintable(texts.at(2)));
        QCOMPARE(texts.at(3), QString("相册《会长大》 (2/2)"));
        QCOMPARE(besideRecord(save.path() + "/会长大").size(), 3);
        QCOMPARE(besideRecord(save.path() + "/不选它"), untouched);
        QVERIFY(w->CmdDownloadThis->isEnabled());
        QVERIFY(!w->queue());
    }
};

QUILLMOOR_TEST_MAIN(TestUpdateWindow)
#include "tst_updatewindow.moc"
