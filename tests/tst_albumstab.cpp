// The "已下载的相册" tab in the window, with real input: two downloaded albums
// as covers, a picture deleted by hand found by "检查" and fetched again by
// "更新". The model's rules and the cache are proven without a window
// (tst_albumsmodel), the trash on the core (tst_albumtrash).
#include "app/albumstab.h"
#include "app/mainform.h"
#include "addresses/siteaddresses.h"
#include "demosite.h"
#include "download/albumqueue.h"
#include "download/albumrecord.h"
#include "pageloader.h"
#include "progress/recordedalbummodel.h"
#include "progress/thumbnailcache.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "web/networksession.h"

#include <QFile>
#include <QListView>
#include <QSortFilterProxyModel>
#include <QTabBar>
#include <QTemporaryDir>

namespace {

const QString Member = QStringLiteral("100000001");
constexpr int JobTimeout = 90000;

QByteArray seed()
{
    return R"({
  "members": [ { "id": "100000001", "albums": [
    { "id": "8101", "name": "春游", "pages": 1, "perPage": 3 },
    { "id": "8102", "name": "秋色", "pages": 1, "perPage": 2 }
  ] } ]
})";
}

QStringList texts(const QAbstractItemModel *model, int role)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data(role).toString();
    out.sort();
    return out;
}

} // namespace

class TestAlbumsTab : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site{seed()};
    NetworkSession m_session;
    QTemporaryDir m_appDir;

    bool download(const QString &saveFolder)
    {
        QStringList addresses;
        for (const QString &id : {"8101", "8102"})
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

    void showsCheckesAndMendsDownloadedAlbums()
    {
        QTemporaryDir save;
        QVERIFY(download(save.path()));
        ScriptedDialogs dialogs;
        auto *w = new MainForm(m_appDir.path());
        w->TxtPath->setText(save.path());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        AlbumsTab *tab = w->AlbumsPage;
        RecordedAlbumModel *model = tab->model();
        QSignalSpy covers(model, &RecordedAlbumModel::coversDone);

        QTabBar *tabs = w->SSTab1->tabBar();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(2), QString("已下载的相册"));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(w->SSTab1->currentWidget(), tab->parentWidget());
        QVERIFY(waitUntil([&] { return !covers.isEmpty(); }, 20000));
        QCOMPARE(texts(model, Qt::AccessibleTextRole), QStringList({"春游，3 张，完整", "秋色，2 张，完整"}));
        // Each cover in the desktop's cache under the name of its first picture.
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString folder = save.path() + "/" + model->album(row).folder;
            const QString first = folder + "/" + AlbumRecord::load(folder).entries().constFirst().file;
            const QImage cached(ThumbnailCache::thumbnailPath(first));
            QCOMPARE(cached.text("Thumb::URI"), ThumbnailCache::fileUri(first));
            QVERIFY(!model->index(row).data(RecordedAlbumModel::CoverRole).value<QImage>().isNull());
            QFile::remove(ThumbnailCache::thumbnailPath(first));
        }

        // The filter, typed.
        // (keyClicks takes Latin-1 alone: the key's text is sent as typed.)
        QTest::sendKeyEvent(QTest::Click, tab->filter(), Qt::Key_unknown, QString("秋"), Qt::NoModifier);
        QCOMPARE(tab->shown()->rowCount(), 1);
        QTest::keyClick(tab->filter(), Qt::Key_Backspace);
        QCOMPARE(tab->shown()->rowCount(), 2);

        // A picture deleted by hand.
        const QString spring = save.path() + "/春游";
        const QString lost = AlbumRecord::load(spring).entries().at(1).file;
        QVERIFY(QFile::remove(spring + "/" + lost));
        int row = 0;
        while (tab->shown()->index(row, 0).data(RecordedAlbumModel::FolderRole).toString() != "春游")
            ++row;
        const QRect item = tab->view()->visualRect(tab->shown()->index(row, 0));
        QTest::mouseClick(tab->view()->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(tab->selectedFolders(), QStringList({"春游"}));

        // Enter opens the album's folder.
        tab->view()->setFocus();
        QTest::keyClick(tab->view(), Qt::Key_Return);
        QCOMPARE(dialogs.opened, QList<QUrl>({QUrl::fromLocalFile(spring)}));

        QTest::mouseClick(tab->CmdCheckAlbum, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return !dialogs.messages.isEmpty(); }, 20000));
        QVERIFY2(dialogs.lastText().contains("缺少 1 张（" + lost + "）"), qPrintable(dialogs.lastText()));
        const QModelIndex spot = model->index(model->rowOfFolder("春游"));
        QCOMPARE(spot.data(RecordedAlbumModel::StateTextRole).toString(), QString("有缺失 1 张"));
        QCOMPARE(spot.data(Qt::AccessibleTextRole).toString(), QString("春游，3 张，有缺失 1 张"));

        // "更新" fetches that picture alone.
        m_site.requests(true);
        QSignalSpy reloaded(model, &RecordedAlbumModel::loaded);
        QVERIFY(tab->CmdUpdateAlbum->isEnabled());
        QTest::mouseClick(tab->CmdUpdateAlbum, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return dialogs.messages.size() == 2; }, JobTimeout));
        QVERIFY2(dialogs.lastText().startsWith("更新完毕"), qPrintable(dialogs.lastText()));
        QCOMPARE(m_site.requests().value("pictures").toInt(), 1);
        QVERIFY(QFile::exists(spring + "/" + lost));
        QVERIFY(waitUntil([&] { return !reloaded.isEmpty() && !model->isLoading(); }, 20000));
        QCOMPARE(model->index(model->rowOfFolder("春游")).data(RecordedAlbumModel::StateTextRole).toString(),
                 QString("完整"));
    }
};

QUILLMOOR_TEST_MAIN(TestAlbumsTab)
#include "tst_albumstab.moc"
