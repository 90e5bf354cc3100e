#include "albums/albumlist.h"
#include "albums/albumlistmodel.h"
#include "albums/albumlistrequest.h"
#include "demosite.h"
#include "web/fetchpage.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>

#include <memory>
#include <optional>

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

const QByteArray Seed = R"({
  "members": [
    { "id": "100000001", "profileRepeatsLinks": true, "albums": [
        { "id": "11", "name": "春游", "pages": 1, "perPage": 1 },
        { "id": "12", "name": "家人 & 朋友", "pages": 1, "perPage": 1 },
        { "id": "13", "name": "毕业照", "pages": 1, "perPage": 1, "inProfile": false } ] },
    { "id": "100000002", "noAlbums": true, "albums": [
        { "id": "21", "name": "看不见", "pages": 1, "perPage": 1 } ] },
    { "id": "100000003", "profileStatus": 500, "albums": [] },
    { "id": "100000004", "albums": [] },
    { "id": "100000005", "albums": [
        { "id": "51", "name": "坏页", "pages": 1, "perPage": 1, "pageStatus": 500 },
        { "id": "52", "name": "好页", "pages": 1, "perPage": 1 } ] }
  ] })";

// One request and every ending it reported.
struct Listing {
    Listing(QNetworkAccessManager *network, const QString &base, const QString &id)
        : request(new AlbumListRequest(network, base, id))
    {
        QObject::connect(request.get(), &AlbumListRequest::listed, [this](const QList<AlbumEntry> &found) {
            albums = found;
            ++endings;
        });
        QObject::connect(request.get(), &AlbumListRequest::failed, [this](const AlbumListFailure &why) {
            failure = why;
            ++endings;
        });
    }

    // Starts the request and waits for its end; nothing may end inside start().
    bool run()
    {
        request->start();
        return endings == 0 && QTest::qWaitFor([this] { return endings > 0; }, 20000);
    }

    std::unique_ptr<AlbumListRequest> request;
    QList<AlbumEntry> albums;
    std::optional<AlbumListFailure> failure;
    int endings = 0;
};

QList<AlbumEntry> entries(const QStringList &ids)
{
    QList<AlbumEntry> out;
    for (const QString &id : ids)
        out.append({Prefix + id, QStringLiteral("album ") + id});
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

    void modelKeepsTitleAndAddressTogether();
    void modelGivesSelectedAlbumsInListOrder();

    void initTestCase();
    void requestListsBothPassesOnce();
    void requestFailures_data();
    void requestFailures();
    void requestKeepsWhatTheProfileListed();
    void deletingARunningRequestAbortsIt();

private:
    DemoSite m_site{Seed};
    QNetworkAccessManager m_loggedIn; // carries the demo site's session cookie
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

void TestAlbumList::modelKeepsTitleAndAddressTogether()
{
    AlbumListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    model.setAlbums(entries({"1", "2"}));
    model.append({});
    model.append(entries({"3"}));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.albums(), entries({"1", "2", "3"}));
    const QModelIndex last = model.index(2);
    QCOMPARE(last.data().toString(), QStringLiteral("album 3"));
    QCOMPARE(last.data(AlbumListModel::AddressRole).toString(), Prefix + "3");
    QVERIFY(!last.data(Qt::DecorationRole).isValid());
    QCOMPARE(model.roleNames().value(AlbumListModel::AddressRole), QByteArray("address"));
    // A list has no children.
    QCOMPARE(model.rowCount(model.index(0)), 0);

    model.setAlbums(entries({"9"}));
    QCOMPARE(model.index(0).data(AlbumListModel::AddressRole).toString(), Prefix + "9");
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestAlbumList::modelGivesSelectedAlbumsInListOrder()
{
    AlbumListModel model;
    model.setAlbums(entries({"1", "2", "3", "4"}));
    QItemSelectionModel selection(&model);
    // Selected bottom up, one row twice: the albums come in list order, once.
    selection.select(model.index(3), QItemSelectionModel::Select);
    selection.select(model.index(0), QItemSelectionModel::Select);
    QModelIndexList chosen = selection.selectedIndexes();
    chosen << model.index(3);
    QCOMPARE(model.albumsAt(chosen), entries({"1", "4"}));

    // Another model's rows, and rows the list no longer has, give nothing.
    QStringListModel other({"a", "b", "c"});
    QVERIFY(model.albumsAt({other.index(1)}).isEmpty());
    const QModelIndex stale = model.index(3);
    model.setAlbums(entries({"1"}));
    QCOMPARE(model.albumsAt({model.index(0), stale}), entries({"1"}));
    QVERIFY(model.albumsAt({}).isEmpty());
}

void TestAlbumList::initTestCase()
{
    QVERIFY(m_site.start());
    bool loggedIn = false;
    fetchPage(&m_loggedIn, "UTF-8", m_site.url("/login?user=demo"), this,
              [&loggedIn](const PageResult &answer) { loggedIn = answer.ok(); });
    QTRY_VERIFY_WITH_TIMEOUT(loggedIn, 20000);
}

void TestAlbumList::requestListsBothPassesOnce()
{
    m_site.requests(true);
    Listing listing(&m_loggedIn, m_site.base(), "100000001");
    // A second start while the first runs sends nothing more.
    listing.request->start();
    QVERIFY(listing.run());
    QVERIFY(!listing.failure);
    const QString album = m_site.url("/photo/100000001/album-");
    // The profile repeats every link; the third album is only on album pages.
    QCOMPARE(urls(listing.albums), QStringList({album + "11", album + "12", album + "13"}));
    QCOMPARE(titles(listing.albums), QStringList({"春游", "家人 &amp; 朋友", "毕业照"}));
    QCOMPARE(m_site.requests().value("other").toInt(), 1);
    QCOMPARE(m_site.requests().value("albumPages").toInt(), 1);
    QVERIFY(!listing.request->isRunning());

    // Ended is ended: a later start neither asks the site nor ends again.
    listing.request->start();
    Listing later(&m_loggedIn, m_site.base(), "100000004");
    QVERIFY(later.run());
    QCOMPARE(listing.endings, 1);
    QCOMPARE(m_site.requests().value("albumPages").toInt(), 1);
}

void TestAlbumList::requestFailures_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<AlbumListError>("error");
    QTest::addColumn<int>("requests");

    QTest::newRow("not a number") << "12ab" << true << AlbumListError::InvalidUserId << 0;
    QTest::newRow("only blanks") << "  " << true << AlbumListError::InvalidUserId << 0;
    QTest::newRow("not logged in") << "100000001" << false << AlbumListError::NotLoggedIn << 1;
    QTest::newRow("no albums") << "100000002" << true << AlbumListError::NoAlbums << 1;
    QTest::newRow("no such member") << "999" << true << AlbumListError::NoAlbums << 1;
    QTest::newRow("server error") << "100000003" << true << AlbumListError::Unreachable << 1;
}

void TestAlbumList::requestFailures()
{
    QFETCH(QString, id);
    QFETCH(bool, loggedIn);
    QFETCH(AlbumListError, error);
    QFETCH(int, requests);

    QNetworkAccessManager visitor;
    m_site.requests(true);
    Listing listing(loggedIn ? &m_loggedIn : &visitor, m_site.base(), id);
    QVERIFY(listing.run());
    QVERIFY(listing.failure);
    QCOMPARE(listing.failure->error, error);
    QVERIFY(listing.albums.isEmpty());
    // Only the profile page is asked for, and only when the id is a number.
    QCOMPARE(m_site.requests().value("other").toInt(), requests);
    QCOMPARE(m_site.requests().value("albumPages").toInt(), 0);
    if (error == AlbumListError::Unreachable) {
        QCOMPARE(listing.failure->webError, WebError::HttpStatus);
        QCOMPARE(listing.failure->httpStatus, 500);
        QCOMPARE(listing.failure->reason.reason, WebReason::HttpStatus);
        QCOMPARE(listing.failure->reason.amount, 500);
    }
}

void TestAlbumList::requestKeepsWhatTheProfileListed()
{
    const QString album = m_site.url("/photo/100000005/album-");
    // The first album's page fails: the profile's list stands.
    Listing broken(&m_loggedIn, m_site.base(), "100000005");
    QVERIFY(broken.run());
    QVERIFY(!broken.failure);
    QCOMPARE(urls(broken.albums), QStringList({album + "51", album + "52"}));

    // A profile without album links is an empty list, not a failure.
    m_site.requests(true);
    Listing none(&m_loggedIn, m_site.base(), "100000004");
    QVERIFY(none.run());
    QVERIFY(!none.failure);
    QVERIFY(none.albums.isEmpty());
    QCOMPARE(m_site.requests().value("albumPages").toInt(), 0);

    // The id is used as typed: the links carry it without blanks.
    QCOMPARE(Listing(&m_loggedIn, m_site.base(), " 7 ").request->profileAddress(),
             m_site.base() + "/getalbumprofile.do?owner= 7 ");

    // A site that does not answer at all.
    DemoSite gone;
    QVERIFY(gone.start());
    const QString goneBase = gone.base();
    gone.stop();
    Listing unreachable(&m_loggedIn, goneBase, "100000001");
    QVERIFY(unreachable.run());
    QVERIFY(unreachable.failure);
    QCOMPARE(unreachable.failure->error, AlbumListError::Unreachable);
    QCOMPARE(unreachable.failure->webError, WebError::Network);
    // The system's own words come along for whoever shows them.
    QVERIFY(unreachable.failure->reason.reason != WebReason::None);
    QVERIFY(!unreachable.failure->reason.systemText.isEmpty());
}

void TestAlbumList::deletingARunningRequestAbortsIt()
{
    DemoSite slow(R"({"delayMs": 1000, "members": []})");
    QVERIFY(slow.start());
    QNetworkAccessManager network;
    auto dropped = std::make_unique<Listing>(&network, slow.base(), "100000001");
    dropped->request->start();
    QVERIFY(dropped->request->isRunning());
    // Dropped once the site holds the request, so its answer is on its way.
    auto *reply = network.findChild<QNetworkReply *>();
    QVERIFY(reply);
    QSignalSpy sent(reply, &QNetworkReply::requestSent);
    QVERIFY(sent.wait(10000));
    const QPointer<QNetworkReply> transfer(reply);
    dropped->request.reset();
    // Its transfer is cut off at once, not left to finish (and deleted later).
    QVERIFY(transfer);
    QCOMPARE(transfer->error(), QNetworkReply::OperationCanceledError);

    // A request sent after it ends after the dropped one would have; the
    // event loop runs meanwhile and must not reach into the deleted one.
    Listing after(&network, slow.base(), "100000001");
    QVERIFY(after.run());
    QVERIFY(after.failure);
    QCOMPARE(after.failure->error, AlbumListError::NotLoggedIn);
    QCOMPARE(dropped->endings, 0);
}

QTEST_GUILESS_MAIN(TestAlbumList)
#include "tst_albumlist.moc"
