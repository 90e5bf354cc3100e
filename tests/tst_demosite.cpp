// The demo site stands in for Kestrelnet: these checks pin down the page
// formats and transfer behaviour that the program's parsers rely on.

#include "demosite.h"

#include <QElapsedTimer>
#include <QImage>
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
    match.remove(QStringLiteral("\"largeurl\":\""));
    match.remove(QStringLiteral("\",\"summary\""));
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

QTEST_MAIN(TestDemoSite)
#include "tst_demosite.moc"
