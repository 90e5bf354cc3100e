// The rules of a download job that need no window.
#include "download/jobrules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Base = "http://127.0.0.1:9";

PageLink link(const QString &address, const QString &text = "x")
{
    return {address, address, text};
}
} // namespace

class TestJobRules : public QObject
{
    Q_OBJECT
private slots:
    void titleCleanupAndShortName()
    {
        QCOMPARE(CleanAlbumTitle("Kestrelnet Kampus - 浏览相册 - a?b:c"), QString("abc"));
        QCOMPARE(CleanAlbumTitle("Kestrelnet Kampus - 浏览相册 - "), QString());
        QCOMPARE(CleanAlbumTitle(" 春游/2026 | <一> \"二\" *\\ "), QString(" 春游2026  一 二  "));
        // Matching is exact: another spacing or case stays in the name.
        QCOMPARE(CleanAlbumTitle("kestrelnet kampus - 浏览相册 - x"), QString("kestrelnet kampus - 浏览相册 - x"));
        QCOMPARE(CleanAlbumTitle("Kestrelnet Kampus - 浏览相册 - A Kestrelnet Kampus - 浏览相册 - B"), QString("A B"));

        const QString thirty(30, QChar(u'相'));
        QCOMPARE(ShortAlbumName(thirty), thirty);
        QCOMPARE(ShortAlbumName(thirty + "X"), thirty + "... ...");
        QCOMPARE(ShortAlbumName(QString()), QString());
    }

    void folderNamesThatMustNotBeUsed()
    {
        QVERIFY(!IsUsableFolderName(""));
        QVERIFY(!IsUsableFolderName("."));
        QVERIFY(!IsUsableFolderName(".."));
        QVERIFY(IsUsableFolderName("..."));
        QVERIFY(IsUsableFolderName(" 春游 "));
    }

    void picturePageAndNextPageLinks()
    {
        QVERIFY(IsPicturePageLink(Base + "/photo/7/photo-12", Base));
        QVERIFY(!IsPicturePageLink(Base + "/photo/7/album-12", Base));
        QVERIFY(!IsPicturePageLink("http://elsewhere/photo/7/photo-12", Base));
        QVERIFY(!IsPicturePageLink(Base + "/photos/photo-12", Base));

        const QList<PageLink> links = {
            link(Base + "/photo/7/photo-1"),
            {Base + "/a?curpage=2", Base + "/a?curpage=2", " 下一页"}, // leading space
            {Base + "/a?curpage=3", Base + "/a?curpage=3", "下一页 "}, // trailing space
            {Base + "/a?page=2", Base + "/a?page=2", "下一页"},         // no curpage=
            link(Base + "/photo/7/photo-1"),
            {Base + "/a?curpage=4", Base + "/a?curpage=4", "下一页"},
            {Base + "/a?curpage=5", Base + "/a?curpage=5", "下一页"},
        };
        QCOMPARE(PicturePageLinks(links, Base),
                 QStringList({Base + "/photo/7/photo-1", Base + "/photo/7/photo-1"}));
        QCOMPARE(NextPageLinkIndex(links, true), 5);  // first with curpage=
        QCOMPARE(NextPageLinkIndex(links, false), 3); // first by text alone
        QCOMPARE(NextPageLinkIndex({}, false), -1);
    }

    void startButtonRule()
    {
        const QString album = Base + "/photo/7/album-3";
        QVERIFY(StartButtonEnabledFor(album, Base, JobStates::Login));
        QVERIFY(!StartButtonEnabledFor(album, Base, JobStates::GetUrl));
        QVERIFY(!StartButtonEnabledFor(album, Base, JobStates::CollectPicture));
        QVERIFY(StartButtonEnabledFor(Base + "/getalbum.do?id=3", Base, JobStates::GetUrl));
        QVERIFY(!StartButtonEnabledFor("about:blank", Base, JobStates::Login));
        QVERIFY(!StartButtonEnabledFor(Base + "/photo/7/photo-3", Base, JobStates::Login));
        QVERIFY(!StartButtonEnabledFor("http://other/photo/7/album-3", Base, JobStates::Login));
    }

    void temporaryFolderNumbering()
    {
        QTemporaryDir dir;
        QDir d(dir.path());
        QCOMPARE(NextTempFolderName(dir.path()), QString("相册文件夹1"));
        QVERIFY(d.mkdir("相册文件夹2"));
        QCOMPARE(NextTempFolderName(dir.path()), QString("相册文件夹1")); // the gap is used
        QVERIFY(d.mkdir("相册文件夹1"));
        QCOMPARE(NextTempFolderName(dir.path()), QString("相册文件夹3"));
        QFile file(dir.path() + "/相册文件夹3");
        QVERIFY(file.open(QIODevice::WriteOnly)); // a file blocks the name as well
        file.close();
        QCOMPARE(NextTempFolderName(dir.path()), QString("相册文件夹4"));
    }

    void pictureAddressFromPage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("address");
        QTest::newRow("jpg, escaped slashes")
            << "var p = {\"id\":\"1\",\"largeurl\":\"http:\\/\\/h\\/pic\\/a.jpg\",\"summary\":\"s\"};"
            << "http://h/pic/a.jpg";
        QTest::newRow("gif only")
            << "x\n{\"largeurl\":\"http:\\/\\/h\\/b.gif\",\"summary\":\"\"}\n" << "http://h/b.gif";
        QTest::newRow("jpg wins over an earlier gif")
            << "{\"largeurl\":\"http:\\/\\/h\\/b.gif\",\"summary\":\"\"}\n"
               "{\"largeurl\":\"http:\\/\\/h\\/c.jpg\",\"summary\":\"\"}"
            << "http://h/c.jpg";
        QTest::newRow("upper case scheme and extension")
            << "{\"largeurl\":\"HTTP:\\/\\/h\\/D.JPG\",\"summary\":\"\"}" << "HTTP://h/D.JPG";
        QTest::newRow("no picture data") << "<html>nothing here</html>" << "";
        QTest::newRow("entry split over two lines")
            << "{\"largeurl\":\"http:\\/\\/h\\/\nx.jpg\",\"summary\":\"\"}" << "";
        QTest::newRow("empty page") << "" << "";
    }
    void pictureAddressFromPage()
    {
        QFETCH(QString, page);
        QFETCH(QString, address);
        QCOMPARE(ResolvePictureAddress(page), address);
    }

    void freeFileNameKeepsEveryPicture()
    {
        QTemporaryDir dir;
        QCOMPARE(FreeFileName(dir.path(), "a.jpg"), QString("a.jpg"));
        for (const QString &name : {"a.jpg", "a(2).jpg", "noext"}) {
            QFile f(dir.path() + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(FreeFileName(dir.path(), "a.jpg"), QString("a(3).jpg"));
        QCOMPARE(FreeFileName(dir.path(), "noext"), QString("noext(2)"));
    }
};

QTEST_GUILESS_MAIN(TestJobRules)
#include "tst_jobrules.moc"
