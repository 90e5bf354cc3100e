// The demo site stands in for Kestrelnet: these checks pin down the page
// formats and transfer behaviour that the program's parsers rely on.

#include "demosite.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Response
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray contentType;
    qint64 contentLength = -1;
    QByteArray location;
    QByteArray setCookie;
    QByteArray retryAfter;

    QString text() const { return QString::fromUtf8(body); }
};

// One request without the manager's cookie jar or redirect following, so
// that each test decides exactly which cookie is sent and sees the 302.
Response fetch(QNetworkAccessManager &manager, const QString &url, const QByteArray &cookie = {})
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!cookie.isEmpty())
        request.setRawHeader("Cookie", cookie);
    QNetworkReply *reply = manager.get(request);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    Response response;
    if (!finished.wait(15000)) {
        reply->abort();
        response.error = QNetworkReply::TimeoutError;
    } else {
        response.error = reply->error();
    }
    response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    response.body = reply->readAll();
    response.contentType = reply->rawHeader("Content-Type");
    if (reply->hasRawHeader("Content-Length"))
        response.contentLength = reply->rawHeader("Content-Length").toLongLong();
    response.location = reply->rawHeader("Location");
    response.setCookie = reply->rawHeader("Set-Cookie");
    response.retryAfter = reply->rawHeader("Retry-After");
    reply->deleteLater();
    return response;
}

// The picture address the program finds in a picture page: the first match of
// its pattern with the key, quotes and escaped slashes removed.
QString largeUrl(const QString &page, const QString &extension)
{
    const QRegularExpression pattern(QStringLiteral("\"largeurl\":\"http:.*.%1\",\"summary\"").arg(extension),
                                     QRegularExpression::CaseInsensitiveOption);
    QString match = pattern.match(page).captured(0);
    match.remove(QStringLiteral("\"largeurl\":\""), Qt::CaseInsensitive);
    match.remove(QStringLiteral("\",\"summary\""), Qt::CaseInsensitive);
    return match.replace(QStringLiteral("\\/"), QStringLiteral("/"));
}

QStringList linkAddresses(const QString &html, const QString &containing)
{
    QStringList result;
    static const QRegularExpression href(QStringLiteral("<a href=\"([^\"]*)\""));
    for (const QRegularExpressionMatch &match : href.globalMatch(html)) {
        if (match.captured(1).contains(containing))
            result << match.captured(1);
    }
    return result;
}

QByteArray loginCookie(QNetworkAccessManager &manager, const DemoSite &site, const QString &user)
{
    const Response login = fetch(manager, site.url(QStringLiteral("/login?user=") + user));
    return login.setCookie.left(login.setCookie.indexOf(';'));
}

// The album name with quotes goes in afterwards: moc cannot read a raw
// string that holds backslashes.
QByteArray variantsSeed()
{
    return QByteArray(R"({
  "friendsId": "300",
  "members": [
    { "id": "300", "noAlbums": true, "profileRepeatsLinks": true,
      "albums": [
        { "id": "71", "name": "@NAME@", "pages": 2, "perPage": 2, "repeatAcrossPages": true, "loopBack": true },
        { "id": "72", "name": "mixed", "pictures": [
            {"id": "801", "file": "same.jpg", "kind": "jpg", "width": 33, "height": 21},
            {"id": "802", "file": "same.jpg", "kind": "jpg", "width": 33, "height": 21},
            {"id": "803", "kind": "both"},
            {"id": "804", "kind": "none"},
            {"id": "805", "status": 404},
            {"id": "806", "cut": true}
        ] }
      ] }
  ]
})")
        .replace("@NAME@", "a \\\"q\\\" <b> & c");
}

// The album pages and pictures that a job meets on a site noisier than this
// one's defaults.
QByteArray faultsSeed(const QString &longName)
{
    return QByteArray(R"({ "members": [
    { "id": "400", "albums": [
        { "id": "81", "pages": 3, "perPage": 2, "firstPage": 0, "loopBack": true },
        { "id": "82", "pages": 2, "nextLink": "javascript" },
        { "id": "83", "pages": 2, "nextLink": "deadHost" },
        { "id": "84", "pages": 3, "nextLink": "redirectAway" },
        { "id": "85", "pages": 2, "nextLink": "error" },
        { "id": "86", "pages": 2, "pageStatus": 404 },
        { "id": "87", "pictures": [
            {"id": "871", "keyCase": "upper", "file": "@LONG@"},
            {"id": "872", "pageFails": 1, "pageStatus": 429, "pageRetryAfter": 7},
            {"id": "873", "fails": -1, "failStatus": 503, "retryAfter": "Wed, 21 Oct 2015 07:28:00 GMT"}
        ] } ] },
    { "id": "401", "profileStatus": 500, "albums": [] }
  ] })")
        .replace("@LONG@", longName.toUtf8());
}

} // namespace

class TestDemoSite : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loginGatesTheProfile();
    void profileListsAlbumsWithUndecodedTitles();
    void albumPagesChainByNextPageLinks();
    void picturePagesLeadToRealPictures();
    void seedVariants();
    void testEndpoints();
    void albumNumberingAndBrokenPaging();
    void pictureFaults();
    void endpointsForJobTests();
    void aSessionThatExpires();

private:
    DemoSite m_site;
    QNetworkAccessManager m_manager;
};

void TestDemoSite::initTestCase()
{
    QVERIFY2(m_site.start(), "the demo site did not announce its port");
    QVERIFY(m_site.port() != 0);
    const Response home = fetch(m_manager, m_site.url(QStringLiteral("/")));
    QCOMPARE(home.status, 200);
    QVERIFY(home.text().contains(QStringLiteral("<title>Kestrelnet 首页</title>")));
    QCOMPARE(home.contentType, QByteArray("text/html; charset=utf-8"));
}

void TestDemoSite::loginGatesTheProfile()
{
    const QString profile = m_site.url(QStringLiteral("/getalbumprofile.do?owner=100000001"));
    QVERIFY(fetch(m_manager, profile).text().size() < 100);

    const QString form = fetch(m_manager, m_site.url(QStringLiteral("/login"))).text();
    QVERIFY(form.contains(QStringLiteral("method=\"post\" action=\"%1/login\"").arg(m_site.base())));
    QVERIFY(form.contains(QStringLiteral("name=\"user\"")) && form.contains(QStringLiteral("name=\"password\"")));

    const Response login = fetch(m_manager, m_site.url(QStringLiteral("/login?user=alice")));
    QCOMPARE(login.status, 302);
    QVERIFY(login.location.endsWith("/quillmoor/start"));
    QVERIFY(login.setCookie.startsWith("ksession="));
    QVERIFY(login.setCookie.contains("Path=/"));
    QVERIFY(login.setCookie.contains("Max-Age=31536000"));
    const QByteArray cookie = login.setCookie.left(login.setCookie.indexOf(';'));
    QVERIFY(fetch(m_manager, profile, cookie).text().size() > 100);
    QVERIFY(fetch(m_manager, profile, "other=1; " + cookie).text().size() > 100);

    // A forged or altered cookie is no login.
    QVERIFY(fetch(m_manager, profile, "ksession=616c696365.0000000000000000").text().size() < 100);
    QVERIFY(fetch(m_manager, profile, cookie + "x").text().size() < 100);

    // The form posts to /login and logs in just the same.
    QNetworkRequest post{QUrl(m_site.url(QStringLiteral("/login")))};
    post.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    post.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = m_manager.post(post, "user=bob&password=x");
    QSignalSpy posted(reply, &QNetworkReply::finished);
    QVERIFY(posted.wait(15000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 302);
    const QByteArray bobCookie = reply->rawHeader("Set-Cookie").split(';').first();
    reply->deleteLater();
    QVERIFY(fetch(m_manager, profile, bobCookie).text().size() > 100);

    // The cookie outlives the site: a new instance accepts it.
    DemoSite restarted;
    QVERIFY(restarted.start());
    QVERIFY(fetch(m_manager, restarted.url(QStringLiteral("/getalbumprofile.do?owner=100000001")), cookie)
                .text()
                .contains(QStringLiteral("album-list-me")));

    const Response logout = fetch(m_manager, m_site.url(QStringLiteral("/logout")));
    QVERIFY(logout.setCookie.startsWith("ksession=;"));
    QVERIFY(logout.setCookie.contains("Max-Age=0"));
}

void TestDemoSite::profileListsAlbumsWithUndecodedTitles()
{
    const QByteArray cookie = loginCookie(m_manager, m_site, QStringLiteral("carol"));
    const QString base = m_site.base();
    const QString page = fetch(m_manager, m_site.url(QStringLiteral("/getalbumprofile.do?owner=%20100000001%20")),
                               cookie).text();
    const QString list = page.mid(page.indexOf(QStringLiteral("album-list-me")));
    QVERIFY(!page.contains(QStringLiteral("没有其他相册了")));
    QCOMPARE(linkAddresses(list, QStringLiteral("/album-")),
             QStringList({base + "/photo/100000001/album-5001", base + "/photo/100000001/album-5002",
                          base + "/photo/100000001/album-5004"}));
    QVERIFY(list.contains(base + QStringLiteral("/photo/100000001/album-5001\" title=\"春游 2026\"")));
    QVERIFY(list.contains(QStringLiteral("title=\"校园/风景\"")));
    QVERIFY(list.contains(QStringLiteral("title=\"家人 &amp; 朋友\"")));

    const QString empty = fetch(m_manager, m_site.url(QStringLiteral("/getalbumprofile.do?owner=100000002")),
                                cookie).text();
    QVERIFY(empty.size() > 100);
    QVERIFY(empty.contains(QStringLiteral("没有其他相册了")));
    const QString unknown = fetch(m_manager, m_site.url(QStringLiteral("/getalbumprofile.do?owner=42")), cookie).text();
    QVERIFY(unknown.size() > 100);
    QVERIFY(unknown.contains(QStringLiteral("没有其他相册了")));
}

void TestDemoSite::albumPagesChainByNextPageLinks()
{
    const QString base = m_site.base();
    const QString albumUrl = base + QStringLiteral("/photo/100000001/album-5001");
    const QRegularExpression next(QStringLiteral("<a href=\"([^\"]*)\">下一页</a>"));

    QStringList pictures;
    QString url = albumUrl;
    int pages = 0;
    QString last;
    while (!url.isEmpty() && pages < 10) {
        const Response page = fetch(m_manager, url);
        QCOMPARE(page.status, 200);
        last = page.text();
        QVERIFY(last.contains(QStringLiteral("<title>Kestrelnet Kampus - 浏览相册 - 春游 2026</title>")));
        const QStringList links = linkAddresses(last, base + QStringLiteral("/photo/100000001/photo-"));
        QCOMPARE(links.size(), 4);
        pictures << links;
        url = next.match(last).captured(1);
        ++pages;
        if (!url.isEmpty())
            QCOMPARE(url, albumUrl + QStringLiteral("?curpage=%1").arg(pages + 1));
    }
    QCOMPARE(pages, 3);
    QCOMPARE(QSet<QString>(pictures.begin(), pictures.end()).size(), 12);
    QVERIFY(last.contains(QStringLiteral(">上一页</a>")));

    // The member's whole album list, hidden albums included, follows the
    // picture and paging links.
    const qsizetype section = last.indexOf(QStringLiteral("album-list-me"));
    QVERIFY(section > last.lastIndexOf(QStringLiteral("photo-")));
    QVERIFY(section > last.lastIndexOf(QStringLiteral("上一页")));
    QCOMPARE(linkAddresses(last.mid(section), QStringLiteral("/album-")).size(), 4);
    QVERIFY(last.mid(section).contains(base + QStringLiteral("/photo/100000001/album-5003\" title=\"毕业照\"")));

    QCOMPARE(fetch(m_manager, m_site.url(QStringLiteral("/getalbum.do?owner=100000001&id=5001&curpage=3"))).body,
             last.toUtf8());
    QCOMPARE(fetch(m_manager, albumUrl + QStringLiteral("?curpage=4")).status, 404);
    QCOMPARE(fetch(m_manager, base + QStringLiteral("/photo/100000001/album-9999")).status, 404);
}

void TestDemoSite::picturePagesLeadToRealPictures()
{
    const QString base = m_site.base();
    struct Album { QString id; QString extension; QByteArray format; QByteArray type; };
    QSet<QByteArray> seen;
    for (const Album &album : {Album{"5001", "jpg", "JPG", "image/jpeg"}, Album{"5002", "gif", "GIF", "image/gif"}}) {
        const QString albumPage = fetch(m_manager, base + "/photo/100000001/album-" + album.id).text();
        const QStringList links = linkAddresses(albumPage, QStringLiteral("/photo-"));
        QVERIFY(!links.isEmpty());
        for (const QString &link : links) {
            const QString page = fetch(m_manager, link).text();
            QVERIFY2(page.contains(QStringLiteral("\"largeurl\":\"http:\\/\\/127.0.0.1:")), qPrintable(link));
            const QString picture = largeUrl(page, album.extension);
            QVERIFY(picture.startsWith(base + "/pic/" + album.id + "/"));
            QVERIFY(picture.endsWith(QStringLiteral("/p%1.%2").arg(link.section(u'-', -1), album.extension)));

            const Response bytes = fetch(m_manager, picture);
            QCOMPARE(bytes.status, 200);
            QCOMPARE(bytes.contentType, album.type);
            QCOMPARE(bytes.contentLength, bytes.body.size());
            QImage image;
            QVERIFY2(image.loadFromData(bytes.body, album.format.constData()), qPrintable(picture));
            QVERIFY(image.width() > 1 && image.height() > 1);
            QVERIFY2(!seen.contains(bytes.body), "two pictures share the same bytes");
            seen.insert(bytes.body);
        }
    }

    // Bytes are made the same way every time the site starts.
    DemoSite again;
    QVERIFY(again.start());
    const QString path = QStringLiteral("/pic/5001/5001001/p5001001.jpg");
    const QByteArray first = fetch(m_manager, m_site.url(path)).body;
    QVERIFY(!first.isEmpty());
    QCOMPARE(fetch(m_manager, again.url(path)).body, first);
}

void TestDemoSite::seedVariants()
{
    DemoSite site(variantsSeed());
    QVERIFY(site.start());
    const QString base = site.base();
    const QByteArray cookie = loginCookie(m_manager, site, QStringLiteral("dave"));

    const QString profile = fetch(m_manager, site.url(QStringLiteral("/getalbumprofile.do?owner=300")), cookie).text();
    QVERIFY(profile.contains(QStringLiteral("没有其他相册了")));
    QCOMPARE(linkAddresses(profile, QStringLiteral("/album-")),
             QStringList({base + "/photo/300/album-71", base + "/photo/300/album-71", base + "/photo/300/album-72",
                          base + "/photo/300/album-72"}));
    QVERIFY(profile.contains(QStringLiteral("title=\"a &quot;q&quot; &lt;b&gt; &amp; c\"")));

    // Page 2 starts with the last link of page 1; the last page loops back.
    const QString page1 = fetch(m_manager, base + QStringLiteral("/photo/300/album-71")).text();
    const QString page2 = fetch(m_manager, base + QStringLiteral("/photo/300/album-71?curpage=2")).text();
    const QStringList links1 = linkAddresses(page1, QStringLiteral("/photo-"));
    const QStringList links2 = linkAddresses(page2, QStringLiteral("/photo-"));
    QCOMPARE(links1.size(), 2);
    QCOMPARE(links2.size(), 3);
    QCOMPARE(links2.first(), links1.last());
    QVERIFY(page2.contains(QStringLiteral("<a href=\"%1/photo/300/album-71?curpage=1\">下一页</a>").arg(base)));

    const QString mixed = fetch(m_manager, base + QStringLiteral("/photo/300/album-72")).text();
    QCOMPARE(mixed.count(QStringLiteral("/photo-")), 4);
    QVERIFY(mixed.contains(QStringLiteral("curpage=2\">下一页</a>")));

    // Two pictures with one file name: different addresses, different bytes,
    // and the size the seed asks for.
    const QString same1 = largeUrl(fetch(m_manager, base + "/photo/300/photo-801").text(), "jpg");
    const QString same2 = largeUrl(fetch(m_manager, base + "/photo/300/photo-802").text(), "jpg");
    QVERIFY(same1.endsWith(QStringLiteral("/same.jpg")) && same2.endsWith(QStringLiteral("/same.jpg")));
    QVERIFY(same1 != same2);
    const QByteArray bytes1 = fetch(m_manager, same1).body;
    QVERIFY(bytes1 != fetch(m_manager, same2).body);
    QCOMPARE(QImage::fromData(bytes1, "JPG").size(), QSize(33, 21));

    // A page with both entries: the gif line comes first, and the jpg is what
    // the pattern finds.
    const QString both = fetch(m_manager, base + "/photo/300/photo-803").text();
    const qsizetype gifLine = both.indexOf(QStringLiteral(".gif\",\"summary\""));
    const qsizetype jpgLine = both.indexOf(QStringLiteral(".jpg\",\"summary\""));
    QVERIFY(gifLine >= 0 && jpgLine > gifLine);
    QVERIFY(both.mid(gifLine, jpgLine - gifLine).contains(u'\n'));
    QVERIFY(largeUrl(both, "jpg").endsWith(QStringLiteral("/p803.jpg")));
    QVERIFY(!QImage::fromData(fetch(m_manager, largeUrl(both, "gif")).body, "GIF").isNull());

    const Response none = fetch(m_manager, base + "/photo/300/photo-804");
    QCOMPARE(none.status, 200);
    QVERIFY(!none.text().contains(QStringLiteral("largeurl")));

    const Response missing = fetch(m_manager, largeUrl(fetch(m_manager, base + "/photo/300/photo-805").text(), "jpg"));
    QCOMPARE(missing.status, 404);
    QVERIFY(missing.text().contains(QStringLiteral("status 404")));

    const Response cut = fetch(m_manager, largeUrl(fetch(m_manager, base + "/photo/300/photo-806").text(), "jpg"));
    QVERIFY(cut.error != QNetworkReply::NoError);
    QVERIFY(cut.contentLength > 0);
    QVERIFY(cut.body.size() < cut.contentLength);
}

void TestDemoSite::testEndpoints()
{
    const Response status = fetch(m_manager, m_site.url(QStringLiteral("/test/status?code=500")));
    QCOMPARE(status.status, 500);
    QVERIFY(status.text().contains(QStringLiteral("status 500")));
    const Response notFound = fetch(m_manager, m_site.url(QStringLiteral("/no/such/page")));
    QCOMPARE(notFound.status, 404);
    QVERIFY(notFound.text().contains(QStringLiteral("status 404")));

    const Response bytes = fetch(m_manager, m_site.url(QStringLiteral("/test/bytes?n=1000")));
    QCOMPARE(bytes.body.size(), 1000);
    QCOMPARE(quint8(bytes.body.at(999)), quint8((999 * 7 + 3) % 256));
    const Response cut = fetch(m_manager, m_site.url(QStringLiteral("/test/cut?n=1000")));
    QVERIFY(cut.error != QNetworkReply::NoError);
    QCOMPARE(cut.contentLength, 1000);
    QVERIFY(cut.body.size() <= 500);

    QCOMPARE(fetch(m_manager, m_site.url(QStringLiteral("/test/text?len=123"))).body.size(), 123);
    const Response charset = fetch(m_manager, m_site.url(QStringLiteral("/test/charset?declared=gb2312")));
    QCOMPARE(charset.contentType, QByteArray("text/html; charset=gb2312"));
    QCOMPARE(charset.text(), QStringLiteral("<html><body>汉字 Kestrelnet 相册</body></html>"));
    QCOMPARE(fetch(m_manager, m_site.url(QStringLiteral("/test/cookie")), "a=1; b=2").body, QByteArray("a=1; b=2"));
    QVERIFY(fetch(m_manager, m_site.url(QStringLiteral("/test/setcookie?name=k&value=v"))).setCookie.startsWith("k=v;"));

    const QString links = fetch(m_manager, m_site.url(QStringLiteral("/test/links"))).text();
    QCOMPARE(linkAddresses(links, QString()),
             QStringList({"/quillmoor/help", "photo/1/photo-2", m_site.base() + "/quillmoor/start?curpage=2"}));

    // A hanging request must not hold up the rest of the site.
    QNetworkReply *hang = m_manager.get(QNetworkRequest(QUrl(m_site.url(QStringLiteral("/test/hang")))));
    QVERIFY(fetch(m_manager, m_site.url(QStringLiteral("/test/slow?ms=50"))).text().contains(QStringLiteral("slow")));
    QVERIFY(!hang->isFinished());
    hang->abort();
    hang->deleteLater();

    // A seeded delay holds back every answer.
    DemoSite delayed(R"({"delayMs": 300, "members": []})");
    QVERIFY(delayed.start());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(fetch(m_manager, delayed.url(QStringLiteral("/quillmoor/help"))).status, 200);
    QVERIFY(timer.elapsed() >= 300);
}

void TestDemoSite::albumNumberingAndBrokenPaging()
{
    DemoSite site(faultsSeed(QStringLiteral("x.jpg")));
    QVERIFY(site.start());
    const QString album = site.url(QStringLiteral("/photo/400/album-%1"));
    const QRegularExpression next(QStringLiteral("<a href=\"([^\"]*)\">下一页</a>"));

    // Numbered from 0: the bare address is page 0, and the last page loops back.
    const Response first = fetch(m_manager, album.arg(81));
    QCOMPARE(fetch(m_manager, album.arg(81) + "?curpage=0").body, first.body);
    QCOMPARE(next.match(first.text()).captured(1), album.arg(81) + "?curpage=1");
    QStringList pictures = linkAddresses(first.text(), QStringLiteral("/photo-"));
    for (int page = 1; page <= 2; ++page)
        pictures << linkAddresses(fetch(m_manager, album.arg(81) + "?curpage=" + QString::number(page)).text(),
                                  QStringLiteral("/photo-"));
    QCOMPARE(QSet<QString>(pictures.begin(), pictures.end()).size(), 6);
    QCOMPARE(next.match(fetch(m_manager, album.arg(81) + "?curpage=2").text()).captured(1),
             album.arg(81) + "?curpage=0");
    QCOMPARE(fetch(m_manager, album.arg(81) + "?curpage=3").status, 404);

    // Next-page links that lead nowhere usable.
    const QString script = next.match(fetch(m_manager, album.arg(82)).text()).captured(1);
    QVERIFY2(script.startsWith(u"javascript:") && script.contains(u"curpage="), qPrintable(script));
    const QString dead = next.match(fetch(m_manager, album.arg(83)).text()).captured(1);
    QVERIFY2(dead.startsWith(u"http://127.0.0.1:") && !dead.startsWith(site.base()) && dead.contains(u"curpage=2"),
             qPrintable(dead));
    QCOMPARE(fetch(m_manager, dead).error, QNetworkReply::ConnectionRefusedError);
    const Response away = fetch(m_manager, album.arg(84) + "?curpage=2");
    QCOMPARE(away.status, 302);
    QCOMPARE(away.location, QStringLiteral("http://localhost:%1/").arg(site.port()).toUtf8());
    QCOMPARE(fetch(m_manager, album.arg(84) + "?curpage=3").status, 200);
    QCOMPARE(fetch(m_manager, album.arg(85)).status, 200);
    QCOMPARE(fetch(m_manager, album.arg(85) + "?curpage=2").status, 500);
    QCOMPARE(fetch(m_manager, album.arg(86)).status, 404);
    QCOMPARE(fetch(m_manager, album.arg(86) + "?curpage=2").status, 404);

    // A profile server error is no login page, logged in or not.
    const QByteArray cookie = loginCookie(m_manager, site, QStringLiteral("erin"));
    for (const QByteArray &sent : {QByteArray(), cookie}) {
        const Response profile = fetch(m_manager, site.url(QStringLiteral("/getalbumprofile.do?owner=401")), sent);
        QCOMPARE(profile.status, 500);
        QVERIFY(profile.text().contains(QStringLiteral("status 500")));
    }
}

// The body variants (gzip, cut, 206, HTML, empty) are proved by the picture
// download's tests, which fail if the site sends anything else.
void TestDemoSite::pictureFaults()
{
    // 100 CJK characters: 300 bytes in UTF-8, longer than most file systems allow.
    const QString longName = QString(100, QChar(0x957F)) + QStringLiteral(".jpg");
    DemoSite site(faultsSeed(longName));
    QVERIFY(site.start());
    const QString page = site.url(QStringLiteral("/photo/400/photo-%1"));

    const QString upper = fetch(m_manager, page.arg(871)).text();
    QVERIFY(upper.contains(QStringLiteral("\"LARGEURL\":")) && upper.contains(QStringLiteral("\"SUMMARY\":")));
    QVERIFY(!upper.contains(QStringLiteral("largeurl")));
    const QString longAddress = largeUrl(upper, QStringLiteral("jpg"));
    QVERIFY2(QUrl(longAddress).path().endsWith(longName), qPrintable(longAddress));
    QVERIFY(!QImage::fromData(fetch(m_manager, longAddress).body, "JPG").isNull());

    const Response throttled = fetch(m_manager, page.arg(872));
    QCOMPARE(throttled.status, 429);
    QCOMPARE(throttled.retryAfter, QByteArray("7"));
    QCOMPARE(fetch(m_manager, page.arg(872)).status, 200);
    for (int i = 0; i < 2; ++i) {
        const Response failing = fetch(m_manager, site.url(QStringLiteral("/pic/87/873/p873.jpg")));
        QCOMPARE(failing.status, 503);
        QCOMPARE(failing.retryAfter, QByteArray("Wed, 21 Oct 2015 07:28:00 GMT"));
    }
}

void TestDemoSite::endpointsForJobTests()
{
    DemoSite site(R"({ "maxInFlight": 1, "pictureDelayMs": 300, "throttleStatus": 503, "throttleRetryAfter": 3,
                       "members": [ { "id": "500", "albums": [ { "id": "91", "pages": 1, "perPage": 3 } ] } ] })");
    QVERIFY(site.start());
    const QString album = site.url(QStringLiteral("/photo/500/album-91"));

    // Counted by kind, and reset on request.
    site.requests(true);
    fetch(m_manager, album);
    fetch(m_manager, site.url(QStringLiteral("/photo/500/photo-91001")));
    fetch(m_manager, site.url(QStringLiteral("/pic/91/91001/p91001.jpg")));
    fetch(m_manager, site.url(QStringLiteral("/")));
    const QJsonObject counted{{"albumPages", 1}, {"picturePages", 1}, {"pictures", 1}, {"other", 1}};
    QCOMPARE(site.requests(true), counted);
    QCOMPARE(site.requests(), QJsonObject({{"albumPages", 0}, {"picturePages", 0}, {"pictures", 0}, {"other", 0}}));

    // Growing adds pictures and the pages they need; removing takes one out.
    QCOMPARE(site.grow(QStringLiteral("91"), 4), 7);
    QCOMPARE(linkAddresses(fetch(m_manager, album + "?curpage=3").text(), QStringLiteral("/photo-")).size(), 1);
    QVERIFY(!QImage::fromData(fetch(m_manager, site.url(QStringLiteral("/pic/91/91007/p91007.jpg"))).body, "JPG")
                 .isNull());
    QCOMPARE(site.remove(QStringLiteral("91"), QStringLiteral("91002")), 6);
    QCOMPARE(fetch(m_manager, site.url(QStringLiteral("/photo/500/photo-91002"))).status, 404);
    QCOMPARE(site.grow(QStringLiteral("99"), 1), -1);

    // Beyond one picture request at a time, the site refuses with its throttle status.
    site.requests(true);
    QNetworkReply *busy = m_manager.get(QNetworkRequest(QUrl(site.url(QStringLiteral("/photo/500/photo-91001")))));
    QTRY_COMPARE(site.requests().value("picturePages").toInt(), 1);
    const Response refused = fetch(m_manager, site.url(QStringLiteral("/pic/91/91001/p91001.jpg")));
    QCOMPARE(refused.status, 503);
    QCOMPARE(refused.retryAfter, QByteArray("3"));
    QSignalSpy done(busy, &QNetworkReply::finished);
    QVERIFY(busy->isFinished() || done.wait(5000));
    QCOMPARE(busy->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    busy->deleteLater();
    QCOMPARE(fetch(m_manager, site.url(QStringLiteral("/pic/91/91001/p91001.jpg"))).status, 200);
}

void TestDemoSite::aSessionThatExpires()
{
    DemoSite site(R"({ "members": [ { "id": "500", "albums": [ { "id": "91", "pages": 2, "perPage": 2 } ] } ] })");
    QVERIFY(site.start());
    const QString album = site.url(QStringLiteral("/photo/500/album-91"));
    const QString page = site.url(QStringLiteral("/photo/500/photo-91001"));

    // One more page, then the login form in place of album and picture
    // pages; the pictures themselves still come.
    QVERIFY(!site.get(QStringLiteral("/test/expire?after=1&answer=form")).isEmpty());
    QVERIFY(fetch(m_manager, page).text().contains(QStringLiteral("largeurl")));
    for (const QString &address : {page, album}) {
        const Response login = fetch(m_manager, address);
        QCOMPARE(login.status, 200);
        QVERIFY(login.text().contains(QStringLiteral("type=\"password\"")));
    }
    QCOMPARE(fetch(m_manager, site.url(QStringLiteral("/pic/91/91001/p91001.jpg"))).status, 200);

    QVERIFY(!site.get(QStringLiteral("/test/expire?answer=redirect")).isEmpty());
    QCOMPARE(fetch(m_manager, page).location, site.url(QStringLiteral("/login")).toUtf8());
    QVERIFY(!site.get(QStringLiteral("/test/expire?answer=401")).isEmpty());
    QCOMPARE(fetch(m_manager, album).status, 401);

    // Logging in again renews it.
    QCOMPARE(fetch(m_manager, site.url(QStringLiteral("/login?user=demo"))).status, 302);
    QCOMPARE(fetch(m_manager, page).status, 200);
}

QTEST_MAIN(TestDemoSite)
#include "tst_demosite.moc"
