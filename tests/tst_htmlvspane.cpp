#include "progress/failuretexts.h"
#include "demosite.h"
#include "download/jobrules.h"
#include "platform/browserpane.h"
#include "testmain.h"
#include "web/htmlpagereader.h"
#include "web/htmlsnapshot.h"
#include "web/networksession.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

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
            return {address, {}, {}, true, {WebReason::LoadTimedOut}};
        return m_pane->snapshot();
    }

    PageSnapshot paneSnapshotOfHtml(const QString &html, const QUrl &address)
    {
        QSignalSpy complete(m_pane, &BrowserPane::documentComplete);
        m_pane->page()->setHtml(html, address);
        if (!QTest::qWaitFor([&] { return !complete.isEmpty(); }, 20000))
            return {address.toString(), {}, {}, true, {WebReason::LoadTimedOut}};
        return m_pane->snapshot();
    }

    static void compareSnapshots(const PageSnapshot &html, const PageSnapshot &pane)
    {
        const QString both = QStringLiteral("pane:\n%1\nhtml:\n%2").arg(describe(pane), describe(html));
        QVERIFY2(html.title == pane.title, qPrintable(both));
        QVERIFY2(html.links.size() == pane.links.size(), qPrintable(both));
        for (qsizetype i = 0; i < pane.links.size(); ++i) {
            QVERIFY2(html.links.at(i).address == pane.links.at(i).address, qPrintable(both));
            QVERIFY2(html.links.at(i).href == pane.links.at(i).href, qPrintable(both));
            QVERIFY2(html.links.at(i).innerText == pane.links.at(i).innerText, qPrintable(both));
        }
    }

    HtmlReadResult htmlSnapshot(const QString &address)
    {
        HtmlPageReader reader(BrowserProfile::network()->manager());
        QSignalSpy finished(&reader, &HtmlPageReader::finished);
        reader.read(address);
        if (!finished.wait(20000))
            return {HtmlReadFailure::Request, {}, {}, {}, {address, {}, {}, true, {WebReason::LoadTimedOut}}};
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
        QVERIFY2(!pane.failed, qPrintable(FailureText::web(pane.error)));
        const HtmlReadResult html = htmlSnapshot(address);
        QVERIFY2(html.ok(), qPrintable(FailureText::web(html.snapshot.error)));

        QCOMPARE(html.snapshot.address, pane.address);
        compareSnapshots(html.snapshot, pane);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(SnapshotsAgreeForCollection(pane, html.snapshot, m_site.base(), true));
        QVERIFY(SnapshotsAgreeForCollection(pane, html.snapshot, m_site.base(), false));
    }

    // Markup where a careless reading parts from the browser's: the parser's
    // repairs, elements that hold no links of the document, the URL rules.
    void sameSnapshotOfMarkup_data()
    {
        QTest::addColumn<QString>("html");
        QTest::newRow("hidden from document.links")
            << "<title>t</title><body><noscript><a href='/n'>n</a></noscript><template><a href='/t'>t</a></template>"
               "<svg><a href='/s'>s</a></svg><a>no href</a><a href>empty</a><map><area href='/m'></map>";
        QTest::newRow("base in body, second base")
            << "<a href='x'>1</a><base href='/sub/dir/'><base href='/other/'><a href='../y?a=1#f'>2</a>";
        QTest::newRow("first base with href wins") << "<base target='_self'><base href='http://127.0.0.1:9/b/'>"
                                                      "<a href='c'>c</a>";
        QTest::newRow("parser repairs")
            << "<p><a href='1'>x<a href='2'>y</a><table><a href='t'>fostered</a><tr><td>c</td></tr></table>"
               "<b><a href='3'>b<i>i</b>j</i></a>";
        QTest::newRow("titles") << "<body><svg><title>svg</title></svg><title>\n <!-- x --> &amp; two\t\n t\u3000"
                                   "&nbsp;</title><title>second</title>";
        QTest::newRow("text content")
            << "<title>t</title><a href='a'>&nbsp;&amp &notin; &#x1F600;\r\n<script>var s = '<b>';</script>"
               "<style>p{}</style><!-- c --><pre>\nline</pre></a><a href='b'> 下一页</a><a href='c'>下一页\n</a>";
        QTest::newRow("hrefs")
            << "<title>t</title><a href=' \n/sp ace\t/x '>1</a><a href='\\back\\slash?q=\\'>2</a>"
               "<a href='//127.0.0.1:80/p'>3</a><a href='?q=中文 x'>4</a><a href='#frag'>5</a>"
               "<a href='HTTP://127.0.0.1/A/../B'>6</a><a href='mailto:a@b.c'>7</a><a href='/%7e/~/'>8</a>"
               "<a href='/a/b/../../../c/./d'>9</a>"
               "<a href='/p|^{}`\"<>\\?q=|^{}`\"<>\\&amp;%7B%41'>10</a><a href=\"/'x'?'\">11</a>";
    }

    void sameSnapshotOfMarkup()
    {
        QFETCH(QString, html);
        const QUrl address(m_site.url(QStringLiteral("/photo/7/album-51?curpage=1")));
        const PageSnapshot pane = paneSnapshotOfHtml(html, address);
        QVERIFY2(!pane.failed, qPrintable(FailureText::web(pane.error)));
        compareSnapshots(readHtmlPage(html.toUtf8(), address).snapshot, pane);
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
