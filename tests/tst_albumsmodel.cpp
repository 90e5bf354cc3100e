// The model of the "已下载的相册" tab and its covers in the shared thumbnail
// cache, without a window: states, order, filter, accessible names, and a
// second look that decodes no picture.
#include "progress/recordedalbummodel.h"
#include "progress/thumbnailcache.h"
#include "recordedalbumfiles.h"

#include <QCryptographicHash>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

const QDateTime Day = QDateTime(QDate(2026, 3, 1), QTime(12, 0));

QStringList column(const QAbstractItemModel &model, int role)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row, 0).data(role).toString();
    return out;
}

bool load(RecordedAlbumModel &model, const QString &saveFolder)
{
    QSignalSpy covers(&model, &RecordedAlbumModel::coversDone);
    model.reload(saveFolder);
    return covers.wait(20000);
}

} // namespace

class TestAlbumsModel : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_cache;
    QTemporaryDir m_save;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", m_cache.path().toLocal8Bit());
        const QByteArray jpeg = smallJpeg(qRgb(200, 40, 40), {640, 480});
        const QList<MadeAlbum> albums = {
            {"春游", "春游", 3, AlbumRecord::State::Finished, Day.addDays(-2)},
            {"秋天 (2)", "秋天", 2, AlbumRecord::State::Stopped, Day},
            {"相册文件夹1", "冬天的春节", 1, AlbumRecord::State::InProgress, Day.addDays(-1)},
            {"旧相册", "", 2, AlbumRecord::State::Unknown, Day.addDays(-3), true},
        };
        for (const MadeAlbum &album : albums)
            QVERIFY(makeRecordedAlbum(m_save.path(), album, "http://photo.test/album-" + album.folder, jpeg));
    }

    void listsStatesNewestFirst()
    {
        RecordedAlbumModel model;
        QVERIFY(load(model, m_save.path()));
        QCOMPARE(column(model, RecordedAlbumModel::FolderRole),
                 QStringList({"秋天 (2)", "相册文件夹1", "春游", "旧相册"}));
        QCOMPARE(column(model, RecordedAlbumModel::StateTextRole), QStringList({"已停止", "未完成", "完整", ""}));
        QCOMPARE(column(model, Qt::AccessibleTextRole),
                 QStringList({"秋天，2 张，已停止", "冬天的春节，1 张，未完成", "春游，3 张，完整", "旧相册，2 张，无法更新"}));
        QCOMPARE(column(model, RecordedAlbumModel::ContinuableRole), QStringList({"true", "true", "false", "false"}));
        QVERIFY(model.index(3).data(Qt::ToolTipRole).toString().contains("无法更新"));
        QCOMPARE(model.index(0).data().toString(), QString("秋天\n2 张 · 已停止\n2026-03-01"));

        // A check's missing pictures show until the record changes.
        FolderCheck check;
        check.folder = "春游";
        check.missing = {"0002.jpg"};
        check.emptied = {"0003.jpg"};
        model.setChecks({check});
        QCOMPARE(model.index(2).data(RecordedAlbumModel::StateTextRole).toString(), QString("有缺失 2 张"));
        QFile record(m_save.path() + "/春游/" + AlbumRecord::fileName());
        QVERIFY(record.open(QIODevice::ReadWrite));
        QVERIFY(record.setFileTime(Day.addDays(1), QFileDevice::FileModificationTime));
        QVERIFY(load(model, m_save.path()));
        QCOMPARE(model.index(0).data(RecordedAlbumModel::StateTextRole).toString(), QString("完整"));

        QSortFilterProxyModel shown;
        shown.setSourceModel(&model);
        shown.setFilterRole(RecordedAlbumModel::TitleRole);
        shown.setFilterFixedString("春");
        QCOMPARE(column(shown, RecordedAlbumModel::TitleRole), QStringList({"春游", "冬天的春节"}));
    }

    void coversComeFromTheSharedCacheOnceMade()
    {
        QVERIFY(QDir(m_cache.path() + "/thumbnails").removeRecursively());
        const int before = ThumbnailCache::picturesDecoded();
        RecordedAlbumModel model;
        QVERIFY(load(model, m_save.path()));
        QCOMPARE(ThumbnailCache::picturesDecoded() - before, 4);
        QHash<QString, QDateTime> written;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QImage cover = model.index(row).data(RecordedAlbumModel::CoverRole).value<QImage>();
            QCOMPARE(cover.size(), QSize(128, 96));
            const QString picture = m_save.path() + "/" + model.album(row).folder + "/0001.jpg";
            const QString uri = QUrl::fromLocalFile(picture).toString(QUrl::FullyEncoded);
            const QString name = QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex() + ".png";
            const QString path = m_cache.path() + "/thumbnails/normal/" + name;
            QCOMPARE(ThumbnailCache::thumbnailPath(picture), path);
            const QImage thumbnail(path);
            QCOMPARE(thumbnail.text("Thumb::URI"), uri);
            QCOMPARE(thumbnail.text("Thumb::MTime"),
                     QString::number(QFileInfo(picture).lastModified().toSecsSinceEpoch()));
            written.insert(path, QFileInfo(path).lastModified());
        }
        QCOMPARE(QFileInfo(m_cache.path() + "/thumbnails").permissions() & 0x0077, QFile::Permissions());

        // Reopened: every cover as the cache has it, no picture decoded, no
        // thumbnail written again.
        RecordedAlbumModel again;
        QVERIFY(load(again, m_save.path()));
        QCOMPARE(ThumbnailCache::picturesDecoded() - before, 4);
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            QCOMPARE(QFileInfo(it.key()).lastModified(), it.value());

        // A picture changed since: its thumbnail is made again.
        QFile picture(m_save.path() + "/春游/0001.jpg");
        QVERIFY(picture.open(QIODevice::ReadWrite));
        QVERIFY(picture.setFileTime(Day.addDays(5), QFileDevice::FileModificationTime));
        QVERIFY(load(again, m_save.path()));
        QCOMPARE(ThumbnailCache::picturesDecoded() - before, 5);
    }

    void readsWithTheSharedThreadsBusy()
    {
        // The window's painting hands its fills to the shared threads and
        // waits for them: records and covers must not queue for those threads.
        QThreadPool *shared = QThreadPool::globalInstance();
        const int threads = shared->maxThreadCount();
        QSemaphore started;
        QSemaphore release;
        for (int i = 0; i < threads; ++i)
            shared->start([&] {
                started.release();
                release.tryAcquire(1, 60000);
            });
        const auto freeThreads = qScopeGuard([&] {
            release.release(threads);
            shared->waitForDone();
        });
        QVERIFY(started.tryAcquire(threads, 10000));
        RecordedAlbumModel model;
        QVERIFY(load(model, m_save.path()));
        QCOMPARE(model.rowCount(), 4);
        QVERIFY(!model.index(0).data(RecordedAlbumModel::CoverRole).value<QImage>().isNull());
    }
};

QTEST_MAIN(TestAlbumsModel)
#include "tst_albumsmodel.moc"
