#include "albums/albumlist.h"

#include <QLocale>
#include <QTest>

namespace {

const QString Prefix = AlbumLinkPrefix(QStringLiteral("http://photo.example"), QStringLiteral("42"));

QString albumLink(const QString &album, const QString &title)
{
    return QStringLiteral("<a href=\"%1%2\" title=\"%3\">x</a>\n").arg(Prefix, album, title);
}

QStringList urls(const QList<AlbumEntry> &entries)
{
    QStringList out;
    for (const AlbumEntry &e : entries)
        out << e.url;
    return out;
}

QStringList titles(const QList<AlbumEntry> &entries)
{
    QStringList out;
    for (const AlbumEntry &e : entries)
        out << e.title;
    return out;
}

} // namespace

class TestAlbumList : public QObject
{
    Q_OBJECT

private slots:
    void userIdValidation_data();
    void userIdValidation();
    void loginAndNoAlbumsTests();
    void profilePassListsEachAlbumOnceInPageOrder();
    void secondPassSkipsAlbumsAlreadyListed();
    void malformedPagesEndThePass_data();
    void malformedPagesEndThePass();
};

void TestAlbumList::userIdValidation_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::newRow("digits") << "123456789" << true;
    QTest::newRow("spaces around") << "  123  " << true;
    QTest::newRow("sign") << "+12" << true;
    QTest::newRow("exponent") << "1e5" << true;
    QTest::newRow("decimal point") << "12.5" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("only spaces") << "   " << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("digits and letters") << "12ab" << false;
    QTest::newRow("space inside") << "12 34" << false;
    QTest::newRow("infinity") << "inf" << false;
    QTest::newRow("not a number") << "nan" << false;
}

void TestAlbumList::userIdValidation()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUserId(typed), valid);
}

void TestAlbumList::loginAndNoAlbumsTests()
{
    QVERIFY(!IsLoggedInPage(QString()));
    QVERIFY(!IsLoggedInPage(QString(99, QLatin1Char('x'))));
    QVERIFY(IsLoggedInPage(QString(100, QLatin1Char('x'))));
    // Counted in characters, not bytes: 100 Chinese characters are a page.
    QVERIFY(IsLoggedInPage(QString(100, QChar(u'相'))));

    // The marker wins even beside album links.
    const QString page = QStringLiteral("<div class=\"album-list-me\">") + albumLink("1", "A")
            + QStringLiteral("<p>没有其他相册了</p>");
    QVERIFY(HasNoAlbumsMarker(page));
    QVERIFY(!HasNoAlbumsMarker(albumLink("1", "A")));

    QCOMPARE(Prefix, QStringLiteral("http://photo.example/photo/42/album-"));
    // The typed text is used as typed, spaces and all.
    QCOMPARE(AlbumLinkPrefix("http://h", " 7 "), QStringLiteral("http://h/photo/ 7 /album-"));
}

void TestAlbumList::profilePassListsEachAlbumOnceInPageOrder()
{
    // Links before the album list section (the member's own menu) are ignored;
    // a link repeated in the list is listed once; titles keep their entities.
    const QString page = QStringLiteral("<html><head><title>profile</title></head><body>")
            + albumLink("99", "Before the section")
            + QStringLiteral("<ul class=\"album-list-me\">") + albumLink("10", "Spring &amp; Summer")
            + albumLink("20", "Empty below") + albumLink("10", "Spring &amp; Summer")
            + albumLink("30", "") + QStringLiteral("</ul></body></html>");

    const QList<AlbumEntry> entries = ParseAlbumPass(page, Prefix, {});
    QCOMPARE(urls(entries), QStringList({Prefix + "10", Prefix + "20", Prefix + "30"}));
    QCOMPARE(titles(entries), QStringList({"Spring &amp; Summer", "Empty below", ""}));

    // Without the section marker the whole page is searched.
    QCOMPARE(urls(ParseAlbumPass(albumLink("5", "Five"), Prefix, {})), QStringList({Prefix + "5"}));
    // Another member's albums are not this member's.
    const QString other = AlbumLinkPrefix("http://photo.example", "43");
    QVERIFY(ParseAlbumPass(QStringLiteral("album-list-me <a href=\"%1\" title=\"x\">").arg(other + "1"),
                           Prefix, {}).isEmpty());
}

void TestAlbumList::secondPassSkipsAlbumsAlreadyListed()
{
    // The album page links the member's albums again, plus its own page links
    // that begin with its address: those are cut with it and not listed.
    const QString albumPage = QStringLiteral("<body class=\"album-list-me\">")
            + albumLink("10", "Spring") + albumLink("10?curpage=2", "page two")
            + albumLink("40", "New one") + albumLink("20", "Listed") + albumLink("50", "Another new")
            + QStringLiteral("</body>");
    const QStringList listed{Prefix + "10", Prefix + "20", Prefix + "30"};

    const QList<AlbumEntry> entries = ParseAlbumPass(albumPage, Prefix, listed);
    QCOMPARE(urls(entries), QStringList({Prefix + "40", Prefix + "50"}));
    // Each new address keeps its own title although the skipped ones came first.
    QCOMPARE(titles(entries), QStringList({"New one", "Another new"}));

    // The comparison is exact: a different case is a different address.
    const QList<AlbumEntry> cased = ParseAlbumPass(albumLink("AB", "upper"), Prefix, {Prefix + "ab"});
    QCOMPARE(urls(cased), QStringList({Prefix + "AB"}));
}

void TestAlbumList::malformedPagesEndThePass_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("expected");

    const QString good = albumLink("1", "One");
    QTest::newRow("link without closing quote")
            << good + QStringLiteral("<a href=\"%1%2").arg(Prefix, "2 title=\"Two")
            << QStringList{Prefix + "1"};
    QTest::newRow("link without title")
            << good + QStringLiteral("<a href=\"%1%2\">no title</a>").arg(Prefix, "2")
            << QStringList{Prefix + "1"};
    QTest::newRow("title without closing quote")
            << good + QStringLiteral("<a href=\"%1%2\" title=\"Two").arg(Prefix, "2")
            << QStringList{Prefix + "1"};
    QTest::newRow("title marker at the very end")
            << good + QStringLiteral("<a href=\"%1%2\" title=").arg(Prefix, "2")
            << QStringList{Prefix + "1"};
    // The shortest possible address is the prefix itself; deleting it removes
    // both copies, so the pass moves on and ends.
    QTest::newRow("bare prefix directly before a quote")
            << Prefix + QStringLiteral("\"") + Prefix + QStringLiteral("\" title=\"t\"")
            << QStringList{Prefix};
    QTest::newRow("prefix many times, no quotes at all")
            << QString(Prefix + QStringLiteral(" ")).repeated(200) << QStringList{};
    QTest::newRow("empty page") << QString() << QStringList{};
}

void TestAlbumList::malformedPagesEndThePass()
{
    QFETCH(QString, page);
    QFETCH(QStringList, expected);
    // Returning at all is half the test: none of these may loop forever.
    const QList<AlbumEntry> entries = ParseAlbumPass(page, Prefix, {});
    QCOMPARE(urls(entries), expected);
    // Address and title lists stay parallel: no address without its title.
    QCOMPARE(titles(entries).size(), entries.size());
}

QTEST_GUILESS_MAIN(TestAlbumList)
#include "tst_albumlist.moc"
