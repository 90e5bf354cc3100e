#include "demosite.h"
#include "download/jobrules.h"
#include "platform/browserpane.h"
#include "testmain.h"
#include "web/htmlpagereader.h"
#include "web/networksession.h"

#include <QSignalSpy>
#include <QTest>

// The HTML reader must hand a job what a browser pane hands it. These tests
// load the same address both ways, the pane in a real Qt WebEngine page.
namespace {

const QByteArray Seed = R"({ "members": [ { "id": "7", "albums": [
    { "id": "51", "name": "春游 <2026> & '朋友'", "pages": 3, "perPage": 3 },
    { "id": "52", "name": "从零", "pages": 2, "perPage": 2, "firstPage": 0 },
    { "id": "53", "name": "回环", "pages": 2, "perPage": 2, "loopBack": true },
    { "id": "54", "name": "诱饵  相册\t之　间 &amp;", "pages": 2, "perPage": 2, "decoys": true, "titleSpaces": true },
    { "id": "55", "name": "重复", "pages": 2, "perPage": 2, "repeatAcrossPages": true },
    { "id": "56", "name": "脚本", "pages": 2, "perPage": 2, "scriptLinks": true },
    { "id": "57", "name": "跳走", "pages": 2, "perPage": 2, "nextLink": "redirectAway" },
    { "id": "58", "name": "脚本链接", "pages": 2, "perPage": 2, "nextLink": "javascript" }
] } ] })";

QString describe(const PageSnapshot &page)
{
    QStringList lines{QStringLiteral("address: ") + page.address, QStringLiteral("title: [") + page.title + u']'};
    for (const PageLink &link : page.links)
        lines << QStringLiteral("  %1 [%2]").arg(link.href, link.innerText);
    return lines.join(u'\n');
}

} // namespace

class TestHtmlVsPane : public QObject
{
    Q_OBJECT

private:
    PageSnapshot paneSnapshot(const QString &address)
    {
        QSignalSpy complete(m_pane, &BrowserPane::documentComplete);
        m_pane->navigate(address);
        if (!QTest::qWaitFor([&] { return !complete.isEmpty(); }, 20000))
            return {address, {}, {}, true, QStringLiteral("pane timed out")};
        return m_pane->snapshot();
    }

    HtmlReadResult htmlSnapshot(const QString &address)
    {
        HtmlPageReader reader(BrowserProfile::network()->manager());
        QSignalSpy finished(&reader, &HtmlPageReader::finished);
        reader.read(address);
        if (!finished.wait(20000))
            return {HtmlReadFailure::Request, {}, {}, {}, {address, {}, {}, true, QStringLiteral("timed out")}};
        return finished.first().first().value<HtmlReadResult>();
    }

    DemoSite m_site{Seed};
    BrowserPane *m_pane = nullptr;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<HtmlReadResult>();
        QVERIFY(m_site.start());
        m_pane = new BrowserPane(BrowserProfile::instance());
        m_pane->resize(800, 600);
        m_pane->show();
    }

    void cleanupTestCase()
    {
        delete m_pane;
        m_pane = nullptr;
    }

    void sameSnapshot_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("entities in title and links, page 1") << "/photo/7/album-51";
        QTest::newRow("middle page") << "/photo/7/album-51?curpage=2";
        QTest::newRow("last page") << "/photo/7/album-51?curpage=3";
        QTest::newRow("numbered from 0") << "/photo/7/album-52";
        QTest::newRow("numbered from 0, last") << "/photo/7/album-52?curpage=1";
        QTest::newRow("last page links back") << "/photo/7/album-53?curpage=2";
        QTest::newRow("decoys, base href, spaced title") << "/photo/7/album-54";
        QTest::newRow("decoys, last page") << "/photo/7/album-54?curpage=2";
        QTest::newRow("repeated link") << "/photo/7/album-55?curpage=2";
        QTest::newRow("redirected away") << "/photo/7/album-57?curpage=2";
        QTest::newRow("javascript next link") << "/photo/7/album-58";
        QTest::newRow("member form of the address") << "/getalbum.do?owner=7&id=54&curpage=2";
        QTest::newRow("relative links, spaced next") << "/test/links";
    }

    void sameSnapshot()
    {
        QFETCH(QString, path);
        const QString address = m_site.url(path);
        const PageSnapshot pane = paneSnapshot(address);
        QVERIFY2(!pane.failed, qPrintable(pane.error));
        const HtmlReadResult html = htmlSnapshot(address);
        QVERIFY2(html.ok(), qPrintable(html.snapshot.error));

        const QString both = QStringLiteral("pane:\n%1\nhtml:\n%2").arg(describe(pane), describe(html.snapshot));
        QVERIFY2(html.snapshot.address == pane.address, qPrintable(both));
        QVERIFY2(html.snapshot.title == pane.title, qPrintable(both));
        QVERIFY2(html.snapshot.links.size() == pane.links.size(), qPrintable(both));
        for (qsizetype i = 0; i < pane.links.size(); ++i) {
            QVERIFY2(html.snapshot.links.at(i).address == pane.links.at(i).address, qPrintable(both));
            QVERIFY2(html.snapshot.links.at(i).href == pane.links.at(i).href, qPrintable(both));
            QVERIFY2(html.snapshot.links.at(i).innerText == pane.links.at(i).innerText, qPrintable(both));
        }
        QVERIFY(SnapshotsAgreeForCollection(pane, html.snapshot, m_site.base(), true));
        QVERIFY(SnapshotsAgreeForCollection(pane, html.snapshot, m_site.base(), false));
    }

    // Links a script writes are seen by the pane alone: collection must not
    // trust the HTML on such an album.
    void scriptMadeLinksDisagree()
    {
        const QString address = m_site.url(QStringLiteral("/photo/7/album-56"));
        const PageSnapshot pane = paneSnapshot(address);
        const HtmlReadResult html = htmlSnapshot(address);
        QVERIFY(!pane.failed);
        QVERIFY(html.ok());
        QCOMPARE(PicturePageLinks(pane.links, m_site.base()).size(), 2);
        QCOMPARE(PicturePageLinks(html.snapshot.links, m_site.base()).size(), 0);
        QCOMPARE(html.snapshot.title, pane.title);
        QVERIFY(!SnapshotsAgreeForCollection(pane, html.snapshot, m_site.base(), true));
    }
};

QUILLMOOR_TEST_MAIN(TestHtmlVsPane)
#include "tst_htmlvspane.moc"
