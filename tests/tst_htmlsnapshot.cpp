#include "demosite.h"
#include "download/jobrules.h"
#include "web/htmlpagereader.h"
#include "web/htmlsnapshot.h"
#include "web/networksession.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTest>

namespace {

const QByteArray Seed = R"({ "members": [ { "id": "7", "albums": [
    { "id": "61", "name": "两页", "pages": 2, "perPage": 3 },
    { "id": "62", "name": "坏了", "pageStatus": 500 },
    { "id": "63", "name": "诱饵", "pages": 2, "perPage": 2, "decoys": true },
    { "id": "64", "name": "跳走", "pages": 2, "perPage": 2, "nextLink": "redirectAway" }
] } ] })";

RequestOptions oneTry()
{
    RequestOptions options;
    options.timeoutMs = 5000;
    options.retry = RetryPolicy::none();
    return options;
}

const QUrl PageAddress(QStringLiteral("http://site.test/photo/7/album-1?curpage=2"));

QStringList hrefs(const PageSnapshot &page)
{
    QStringList out;
    for (const PageLink &link : page.links)
        out << link.href;
    return out;
}

QStringList texts(const PageSnapshot &page)
{
    QStringList out;
    for (const PageLink &link : page.links)
        out << link.innerText;
    return out;
}

PageSnapshot albumPage(const QString &title, const QStringList &pictures, const QString &next)
{
    PageSnapshot page{QStringLiteral("http://h/photo/7/album-1"), title, {}, false, {}};
    page.links.append({QStringLiteral("http://h/"), QStringLiteral("http://h/"), QStringLiteral("首页")});
    for (const QString &picture : pictures)
        page.links.append({picture, picture, QStringLiteral("图片")});
    if (!next.isEmpty())
        page.links.append({next, next, QStringLiteral("下一页")});
    return page;
}

} // namespace

class TestHtmlSnapshot : public QObject
{
    Q_OBJECT

private:
    HtmlReadResult read(const QString &address, HtmlPageReader *reader = nullptr)
    {
        HtmlPageReader own(m_session.manager());
        own.setRequestOptions(oneTry());
        HtmlPageReader *r = reader ? reader : &own;
        QSignalSpy finished(r, &HtmlPageReader::finished);
        r->read(address);
        if (!finished.wait(15000))
            return {HtmlReadFailure::Request, {}, {}, {}, {address, {}, {}, true, {WebReason::LoadTimedOut}}};
        return finished.first().first().value<HtmlReadResult>();
    }

    DemoSite m_site{Seed};
    NetworkSession m_session;

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }

    void titleAsTheBrowserGivesIt()
    {
        QCOMPARE(collapsedAsciiWhitespace(u"\n\t 相册  a\r\n\fb \t"), QStringLiteral("相册 a b"));
        // Only ASCII white space is collapsed: the ideographic and the no-break space stay.
        QCOMPARE(collapsedAsciiWhitespace(u" 春\u3000\u3000游\u00a0 "), QStringLiteral("春\u3000\u3000游\u00a0"));
        const QByteArray html = "<html><head><title>\n  a &amp;&lt;b&gt;  <i>c</i>\t</title><title>second</title>"
                                "</head><body><svg><title>svg</title></svg></body></html>";
        QCOMPARE(readHtmlPage(html, PageAddress).snapshot.title, QStringLiteral("a &<b> <i>c</i>"));
        QCOMPARE(readHtmlPage("<p>no title", PageAddress).snapshot.title, QString());
    }

    void linksAsDocumentLinksGivesThem()
    {
        const QByteArray html =
            "<title>t</title><body>"
            "<a href='/a'> 下一页</a><a name='x'>no href</a><area href='b' alt='图'>"
            "<template><a href='/in-template'>t</a></template><noscript><a href='/noscript'>n</a></noscript>"
            "<svg><a href='/svg'>s</a></svg><a href='c'>\n <b>图片</b>&nbsp;<!-- x -->1 &lt;&amp;&gt; </a>"
            "<a href=''>self</a><a href='#top'>top</a>";
        const PageSnapshot page = readHtmlPage(html, PageAddress).snapshot;
        QCOMPARE(page.address, PageAddress.toString());
        QCOMPARE(hrefs(page), (QStringList{"http://site.test/a", "http://site.test/photo/7/b",
                                           "http://site.test/photo/7/c", PageAddress.toString(),
                                           PageAddress.toString() + "#top"}));
        QCOMPARE(texts(page), (QStringList{" 下一页", "", "\n 图片\u00a01 <&> ", "self", "top"}));
        for (const PageLink &link : page.links)
            QCOMPARE(link.address, link.href);
    }

    void addressesResolvedLikeTheBrowser_data()
    {
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("expected");
        QTest::newRow("relative") << "../x?curpage=3" << "http://site.test/photo/x?curpage=3";
        QTest::newRow("spaces, tabs and breaks") << " \n/a b\t/c\r " << "http://site.test/a%20b/c";
        QTest::newRow("backslashes before the query") << "\\p\\q?r=\\" << "http://site.test/p/q?r=\\";
        QTest::newRow("default port and empty path") << "HTTP://Site.Test:80" << "http://site.test/";
        QTest::newRow("dot segments of an absolute address") << "http://h/a/../b/./c" << "http://h/b/c";
        QTest::newRow("query escapes as a browser does") << "?q=中 '\"|{%7B" << "http://site.test/photo/7/album-1?q=%E4%B8%AD%20%27%22|{%7B";
        QTest::newRow("javascript keeps its text") << "javascript:goPage('?curpage=2')" << "javascript:goPage('?curpage=2%27)";
        QTest::newRow("protocol-relative") << "//other.test/p" << "http://other.test/p";
    }

    void addressesResolvedLikeTheBrowser()
    {
        QFETCH(QString, href);
        QFETCH(QString, expected);
        QCOMPARE(resolvedHref(href, PageAddress), expected);
    }

    void baseElementDecidesResolution()
    {
        // The first <base> with an href counts, wherever it is, for links before it too.
        const QByteArray html = "<title>t</title><a href='x'>1</a><base target='_top'><base href='/sub/dir/'>"
                                "<base href='/other/'><a href='../y'>2</a>";
        QCOMPARE(hrefs(readHtmlPage(html, PageAddress).snapshot),
                 (QStringList{"http://site.test/sub/dir/x", "http://site.test/sub/y"}));
    }

    void charsetAsTheBrowserPicksIt()
    {
        const QString text = QStringLiteral("café");
        const QByteArray latin1 = "<meta charset='iso-8859-1'><title>" + text.toLatin1() + "</title>";
        QCOMPARE(readHtmlBody(latin1, "text/html", PageAddress).snapshot.title, text);
        // The header wins over the page.
        const QByteArray utf8 = "<meta charset='iso-8859-1'><title>" + text.toUtf8() + "</title>";
        QCOMPARE(readHtmlBody(utf8, "text/html; charset=UTF-8", PageAddress).snapshot.title, text);
        QStringEncoder toUtf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        const QByteArray utf16 = toUtf16(QStringLiteral("<title>%1</title>").arg(text));
        QCOMPARE(readHtmlBody(utf16, "text/html; charset=iso-8859-1", PageAddress).snapshot.title, text);
        const HtmlPage unknown = readHtmlBody("<meta charset='x-no-such'><title>t</title>", "text/html", PageAddress);
        QCOMPARE(unknown.unsupportedCharset, QByteArray("x-no-such"));
    }

    void agreementOnWhatCollectionUses()
    {
        const QString base = QStringLiteral("http://h");
        const QStringList pictures{"http://h/photo/7/photo-1", "http://h/photo/7/photo-2"};
        const QString next = QStringLiteral("http://h/photo/7/album-1?curpage=2");
        const PageSnapshot page = albumPage(QStringLiteral("相册"), pictures, next);
        QVERIFY(SnapshotsAgreeForCollection(page, page, base, true));

        PageSnapshot otherLinks = page;
        otherLinks.links.prepend({QStringLiteral("http://h/help"), QStringLiteral("http://h/help"), QStringLiteral("帮助")});
        QVERIFY(SnapshotsAgreeForCollection(page, otherLinks, base, true));

        QVERIFY(!SnapshotsAgreeForCollection(page, albumPage(QStringLiteral("相册 "), pictures, next), base, true));
        QVERIFY(!SnapshotsAgreeForCollection(page, albumPage(QStringLiteral("相册"), {pictures[1], pictures[0]}, next),
                                             base, true));
        QVERIFY(!SnapshotsAgreeForCollection(page, albumPage(QStringLiteral("相册"), pictures.mid(1), next), base, true));
        QVERIFY(!SnapshotsAgreeForCollection(page, albumPage(QStringLiteral("相册"), pictures, {}), base, true));
        QVERIFY(!SnapshotsAgreeForCollection(page, albumPage(QStringLiteral("相册"), pictures, next + "0"), base, true));
        // A 下一页 without curpage= is no next link for the browser-pane rule, but is for the other.
        const PageSnapshot noCurpage = albumPage(QStringLiteral("相册"), pictures, QStringLiteral("http://h/x"));
        QVERIFY(SnapshotsAgreeForCollection(albumPage(QStringLiteral("相册"), pictures, {}), noCurpage, base, true));
        QVERIFY(!SnapshotsAgreeForCollection(albumPage(QStringLiteral("相册"), pictures, {}), noCurpage, base, false));
        PageSnapshot failed = page;
        failed.failed = true;
        QVERIFY(!SnapshotsAgreeForCollection(page, failed, base, true));
    }

    void readerFetchesOnlyThePage()
    {
        m_site.requests(true);
        const HtmlReadResult result = read(m_site.url(QStringLiteral("/photo/7/album-61")));
        QVERIFY2(result.ok(), qPrintable(QString::number(int(result.snapshot.error.reason))));
        QCOMPARE(result.snapshot.title, QStringLiteral("Kestrelnet Kampus - 浏览相册 - 两页"));
        QCOMPARE(PicturePageLinks(result.snapshot.links, m_site.base()).size(), 3);
        const qsizetype next = NextPageLinkIndex(result.snapshot.links, true);
        QVERIFY(next >= 0);
        QCOMPARE(result.snapshot.links.at(next).href, m_site.url(QStringLiteral("/photo/7/album-61?curpage=2")));
        const QJsonObject counts = m_site.requests(true);
        QCOMPARE(counts.value(u"albumPages").toInt(), 1);
        QCOMPARE(counts.value(u"picturePages").toInt(), 0);
        QCOMPARE(counts.value(u"pictures").toInt(), 0);
        QCOMPARE(counts.value(u"other").toInt(), 0);
    }

    void readerFollowsRedirectsAndBase()
    {
        const HtmlReadResult moved = read(m_site.url(QStringLiteral("/photo/7/album-64?curpage=2")));
        QVERIFY(moved.ok());
        QVERIFY2(moved.snapshot.address.contains(u"//localhost:"), qPrintable(moved.snapshot.address));

        const HtmlReadResult decoys = read(m_site.url(QStringLiteral("/photo/7/album-63")));
        QVERIFY(decoys.ok());
        const qsizetype next = NextPageLinkIndex(decoys.snapshot.links, true);
        QVERIFY(next >= 0);
        QCOMPARE(decoys.snapshot.links.at(next).href, m_site.url(QStringLiteral("/photo/7/album-63?curpage=2")));
    }

    void readerRefusesWhatIsNoAlbumPage()
    {
        const HtmlReadResult broken = read(m_site.url(QStringLiteral("/photo/7/album-62")));
        QCOMPARE(broken.failure, HtmlReadFailure::HttpStatus);
        QCOMPARE(broken.web.httpStatus, 500);
        QVERIFY(broken.snapshot.failed);
        QVERIFY(broken.snapshot.links.isEmpty());
        QCOMPARE(read(m_site.url(QStringLiteral("/photo/7/album-99"))).failure, HtmlReadFailure::HttpStatus);

        const HtmlReadResult picture = read(m_site.url(QStringLiteral("/pic/61/61001/p61001.jpg")));
        QCOMPARE(picture.failure, HtmlReadFailure::NotHtml);
        QVERIFY2(picture.contentType.startsWith("image/"), picture.contentType.constData());

        const HtmlReadResult login = read(m_site.url(QStringLiteral("/login")));
        QCOMPARE(login.failure, HtmlReadFailure::LoginPage);
        QVERIFY(login.snapshot.failed);

        HtmlPageReader small(m_session.manager());
        RequestOptions capped = oneTry();
        capped.maxPageBytes = 200;
        small.setRequestOptions(capped);
        const HtmlReadResult large = read(m_site.url(QStringLiteral("/photo/7/album-61")), &small);
        QCOMPARE(large.failure, HtmlReadFailure::TooLarge);

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const HtmlReadResult refused = read(QStringLiteral("http://127.0.0.1:%1/photo/7/album-61").arg(port));
        QCOMPARE(refused.failure, HtmlReadFailure::Request);
        QCOMPARE(refused.web.error, WebError::Network);
    }

    // A newer read replaces the one in progress: only its answer comes.
    void readerAnswersTheLatestReadOnly()
    {
        HtmlPageReader reader(m_session.manager());
        QSignalSpy finished(&reader, &HtmlPageReader::finished);
        reader.read(m_site.url(QStringLiteral("/photo/7/album-61")));
        reader.read(m_site.url(QStringLiteral("/photo/7/album-61?curpage=2")));
        QVERIFY(reader.isReading());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.first().first().value<HtmlReadResult>().snapshot.address,
                 m_site.url(QStringLiteral("/photo/7/album-61?curpage=2")));
        QVERIFY(!reader.isReading());
        // An aborted read never answers, not even behind a later one.
        reader.read(m_site.url(QStringLiteral("/photo/7/album-61")));
        reader.abort();
        QVERIFY(!reader.isReading());
        HtmlPageReader later(m_session.manager());
        QSignalSpy laterFinished(&later, &HtmlPageReader::finished);
        later.read(m_site.url(QStringLiteral("/photo/7/album-61?curpage=1")));
        QVERIFY(laterFinished.wait(10000));
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHtmlSnapshot)
#include "tst_htmlsnapshot.moc"
