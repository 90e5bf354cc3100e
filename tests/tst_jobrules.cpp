// The rules of a download job that need no window.
#include "download/albumcollection.h"
#include "download/albumrecord.h"
#include "download/jobrules.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Base = "http://127.0.0.1:9";

// The record of earlier versions: one JSON file with the pictures only.
const QByteArray LegacyRecord =
    "{\"pictures\":[{\"page\":\"http://a/photo/1/photo-9\",\"picture\":\"p\",\"file\":\"9.jpg\"}]}";

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
        QVERIFY(!IsUsableFolderName("..."));
        QVERIFY(IsUsableFolderName("...旅行"));
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
        QVERIFY(StartButtonEnabledFor(album, Base, true));
        QVERIFY(!StartButtonEnabledFor(album, Base, false));
        QVERIFY(StartButtonEnabledFor(Base + "/getalbum.do?id=3", Base, false));
        QVERIFY(!StartButtonEnabledFor("about:blank", Base, true));
        QVERIFY(!StartButtonEnabledFor(Base + "/photo/7/photo-3", Base, true));
        QVERIFY(!StartButtonEnabledFor("http://other/photo/7/album-3", Base, true));
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
        // What the search finds in any case, the clean-up removes in any case.
        QTest::newRow("upper case keys")
            << "{\"LARGEURL\":\"http:\\/\\/h\\/e.jpg\",\"Summary\":\"\"}" << "http://h/e.jpg";
        QTest::newRow("no picture data") << "<html>nothing here</html>" << "";
        QTest::newRow("entry split over two lines")
            << "{\"largeurl\":\"http:\\/\\/h\\/\nx.jpg\",\"summary\":\"\"}" << "";
        QTest::newRow("empty page") << "" << "";
        QTest::newRow("https like http")
            << "{\"largeurl\":\"https:\\/\\/h\\/s.jpg\",\"summary\":\"\"}" << "https://h/s.jpg";
        // jpeg and png come only after jpg and gif, wherever they stand.
        const QString jpeg = "{\"largeurl\":\"http:\\/\\/h\\/f.jpeg\",\"summary\":\"\"}\n";
        const QString png = "{\"largeurl\":\"https:\\/\\/h\\/g.PNG\",\"summary\":\"\"}\n";
        const QString gif = "{\"largeurl\":\"http:\\/\\/h\\/b.gif\",\"summary\":\"\"}\n";
        QTest::newRow("jpeg alone") << jpeg << "http://h/f.jpeg";
        QTest::newRow("png alone") << png << "https://h/g.PNG";
        QTest::newRow("gif wins over an earlier jpeg and png") << jpeg + png + gif << "http://h/b.gif";
        QTest::newRow("jpeg wins over an earlier png") << png + jpeg << "http://h/f.jpeg";
        QTest::newRow("another scheme is no picture")
            << "{\"largeurl\":\"ftp:\\/\\/h\\/x.jpg\",\"summary\":\"\"}" << "";
    }
    void pictureAddressFromPage()
    {
        QFETCH(QString, page);
        QFETCH(QString, address);
        QCOMPARE(ResolvePictureAddress(page), address);
    }

    void captionFromPage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caption");
        const QString entry = "{\"largeurl\":\"http:\\/\\/h\\/a.jpg\",\"summary\"";
        QTest::newRow("escapes: \\u, a quote, a backslash, a slash, outside the first plane")
            << entry + ":\"\\u4ed6\\u8bf4 \\\"\\u4f60\\u597d\\\" a\\\\b c\\/d \\ud83d\\ude00\"}"
            << QString::fromUtf8("他说 \"你好\" a\\b c/d 😀");
        QTest::newRow("plain UTF-8, blanks around the colon") << entry + " : \"西湖\"}" << "西湖";
        QTest::newRow("empty") << entry + ":\"\"}" << "";
        QTest::newRow("only blanks") << entry + ":\"  \\t \"}" << "";
        QTest::newRow("missing: null") << entry + ":null}" << "";
        QTest::newRow("not closed on its line") << entry + ":\"abc\n\"}" << "";
        QTest::newRow("no string") << entry + ":12}" << "";
        QTest::newRow("control characters dropped, line break kept")
            << entry + ":\"a\\u0000b\\u001bc\\nd\"}" << "abc\nd";
        // The jpg entry wins, and the caption is the one after its address.
        QTest::newRow("the caption of the address found")
            << "{\"largeurl\":\"http:\\/\\/h\\/b.gif\",\"summary\":\"gif\"}\n" + entry + ":\"jpg\"}" << "jpg";
        QTest::newRow("upper case key") << "{\"largeurl\":\"http:\\/\\/h\\/a.jpg\",\"SUMMARY\":\"x\"}" << "x";
        QTest::newRow("cut to its bound, never inside a character")
            << entry + ":\"" + QString(MaxCaptionLength - 1, u'a') + "\\ud83d\\ude00b\"}"
            << QString(MaxCaptionLength - 1, u'a');
        QTest::newRow("no picture, no caption") << "{\"summary\":\"x\"}" << "";
    }
    void captionFromPage()
    {
        QFETCH(QString, page);
        QFETCH(QString, caption);
        const PictureData data = ResolvePicture(page);
        QCOMPARE(data.caption, caption);
        QCOMPARE(data.address, ResolvePictureAddress(page));
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

        // A name too long for the disk keeps its extension, is cut between
        // characters, and still takes the (n) rule within the limit.
        const QString longName = QString(100, QChar(u'长')) + "x.jpg"; // 306 bytes
        const QString fitted = FitFileName(longName);
        QVERIFY(fitted.toUtf8().size() <= 255 && fitted.endsWith("长.jpg"));
        QCOMPARE(fitted, QString(83, QChar(u'长')) + ".jpg");
        QFile first(dir.path() + "/" + fitted);
        QVERIFY(first.open(QIODevice::WriteOnly));
        first.close();
        const QString second = FreeFileName(dir.path(), longName);
        QVERIFY(second.endsWith("(2).jpg") && second.toUtf8().size() <= 255);
        QVERIFY(second != fitted);
        const QString emoji = QString(200, QChar(u'a')) + QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀😀😀😀😀") + ".gif";
        const QString cut = FitFileName(emoji);
        QVERIFY(cut.toUtf8().size() <= 255 && cut.endsWith(".gif"));
        QVERIFY(!cut.chopped(4).back().isHighSurrogate());
        QCOMPARE(cut.toUtf8().size(), QString::fromUtf8(cut.toUtf8()).toUtf8().size()); // still valid text
    }

    void collectionFollowsOnlyWhatLeadsOn()
    {
        const QString album = Base + "/photo/7/album-1";
        auto page = [&](const QString &address, const QStringList &pictures, const QList<PageLink> &more = {}) {
            PageSnapshot p{address, "Kestrelnet Kampus - 浏览相册 - 名字" + address.right(1), {}, false, {}};
            for (const QString &id : pictures)
                p.links << link(Base + "/photo/7/photo-" + id);
            p.links << more;
            return p;
        };
        auto next = [](const QString &href) { return PageLink{href, href, "下一页"}; };

        // Pages numbered from 0: a next page is refused only when it was
        // loaded already (fragment aside) or the page brought nothing new.
        AlbumCollection pane(CollectionRules::browserPane(Base));
        auto step = pane.addPage(page(album, {"1", "2"}, {next(album + "?curpage=1")}));
        QCOMPARE(step.outcome, AlbumCollection::Outcome::NextPage);
        QCOMPARE(step.nextAddress, album + "?curpage=1");
        step = pane.addPage(page(album + "?curpage=1", {"3", "2"}, {next(album + "#top")}));
        QCOMPARE(step.outcome, AlbumCollection::Outcome::LastPage);
        QCOMPARE(pane.picturePages().size(), 4); // the browser pane keeps the repeat
        QCOMPARE(pane.albumName(), QString("名字1"));

        // The hidden pane drops repeats, renames at every page and follows a
        // next link without curpage=; a page of nothing new ends the album.
        AlbumCollection hidden(CollectionRules::memberList(Base));
        step = hidden.addPage(page(album, {"1", "1", "2"}, {next(album + "?p=2")}));
        QCOMPARE(step.nextAddress, album + "?p=2");
        step = hidden.addPage(page(album + "?p=2", {"2", "1"}, {next(album + "?p=3")}));
        QCOMPARE(step.outcome, AlbumCollection::Outcome::LastPage);
        QCOMPARE(hidden.picturePages().size(), 2);
        QCOMPARE(hidden.albumName(), QString("名字1"));

        // No web address, an error page, or a page off the album: collection
        // stops early, says at which page, and an error page names nothing.
        AlbumCollection stops(CollectionRules::memberList(Base));
        step = stops.addPage(page(album, {"1"}, {next("javascript:go('curpage=2')")}));
        QCOMPARE(step.outcome, AlbumCollection::Outcome::StoppedEarly);
        QCOMPARE(step.stop.why, CollectionStop::Why::NextNotAnAddress);
        QCOMPARE(step.stop.page, 1);
        QCOMPARE(step.stop.address, QString("javascript:go('curpage=2')"));
        AlbumCollection failed(CollectionRules::memberList(Base));
        step = failed.addPage(page(album, {"1"}, {next(album + "?p=2")}));
        const WebFailure refused{WebReason::LoadFailed, {}, "refused"};
        step = failed.addPage({album + "?p=2", "127.0.0.1", {link(Base + "/photo/7/photo-9")}, true, refused});
        QCOMPARE(step.outcome, AlbumCollection::Outcome::StoppedEarly);
        QCOMPARE(step.stop.why, CollectionStop::Why::PageFailed);
        QCOMPARE(step.stop.page, 2);
        QCOMPARE(step.stop.address, album + "?p=2");
        QCOMPARE(step.stop.pageError.systemText, QString("refused"));
        QCOMPARE(failed.albumName(), QString("名字1"));
        QCOMPARE(failed.picturePages().size(), 1);
        AlbumCollection away(CollectionRules::browserPane(Base));
        step = away.addPage(page("http://elsewhere/", {"1"}));
        QCOMPARE(step.outcome, AlbumCollection::Outcome::StoppedEarly);
        QCOMPARE(step.stop.why, CollectionStop::Why::LeftAlbum);
        QCOMPARE(step.stop.page, 1);
        QVERIFY(away.picturePages().isEmpty());
    }

    void aLoginWhereAnAlbumPageShouldBe()
    {
        const QString album = Base + "/photo/7/album-1";
        PageSnapshot first{album, "Kestrelnet Kampus - 浏览相册 - 名字", {link(Base + "/photo/7/photo-1"),
                                                                          {album + "?curpage=2", album + "?curpage=2", "下一页"}}};
        // The login form where the next page should be, a 401 or 403, or a
        // redirect off the album to the form: the login expired, which is
        // neither the album's last page nor a page that merely failed.
        PageSnapshot form{Base + "/login", "Kestrelnet - 登录", {link(Base + "/photo/7/photo-2")}};
        form.passwordField = true;
        PageSnapshot forbidden{album + "?curpage=2", {}, {}, true, {WebReason::HttpStatus, {}, {}, 403}, 403};
        PageSnapshot unauthorized{album + "?curpage=2", {}, {}, true, {WebReason::HttpStatus, {}, {}, 401}, 401};
        for (const PageSnapshot &answer : {form, forbidden, unauthorized}) {
            AlbumCollection pane(CollectionRules::browserPane(Base));
            QCOMPARE(pane.addPage(first).outcome, AlbumCollection::Outcome::NextPage);
            const auto step = pane.addPage(answer);
            QCOMPARE(step.outcome, AlbumCollection::Outcome::LoginExpired);
            QCOMPARE(step.nextAddress, answer.address);
            QCOMPARE(pane.picturePages(), QStringList{Base + "/photo/7/photo-1"});
        }
        // Other error statuses stay failed pages.
        AlbumCollection gone(CollectionRules::memberList(Base));
        QCOMPARE(gone.addPage({album, {}, {}, true, {WebReason::HttpStatus, {}, {}, 404}, 404}).outcome,
                 AlbumCollection::Outcome::StoppedEarly);

        QVERIFY(HasPasswordField("<form><INPUT name=p TYPE=Password></form>"));
        QVERIFY(HasPasswordField("<input id=\"p\" type = 'password'>"));
        QVERIFY(!HasPasswordField("<input type=\"text\" name=\"password\">"));
        QVERIFY(!HasPasswordField("<p>type=password</p>"));
    }

    void addressKeyIsPathAndQuery()
    {
        const QString key = AddressKey("http://127.0.0.1:9/photo/1/photo-2?x=1#top");
        QCOMPARE(key, QString("/photo/1/photo-2?x=1"));
        QCOMPARE(AddressKey("https://other.example:8443/photo/1/photo-2?x=1"), key);
        QVERIFY(AddressKey("http://127.0.0.1:9/photo/1/photo-2?x=2") != key);
        QVERIFY(AddressKey("http://127.0.0.1:9/photo/1/photo-3?x=1") != key);
        // Written with or without percent-encoding, a path is one path.
        QCOMPARE(AddressKey("http://h/相册?名=1"), AddressKey("http://h/%E7%9B%B8%E5%86%8C?%E5%90%8D=1"));
    }

    void namesStayVisibleAndFit()
    {
        // Control characters and direction overrides go.
        QCOMPARE(VisibleName(QString("a\tb\x01" "c") + QChar(0x202E) + "gpj.exe" + QChar(0x2066)),
                 QString("abcgpj.exe"));
        QCOMPARE(PictureFileName(".hidden.jpg"), QString("_.hidden.jpg"));
        QCOMPARE(PictureFileName(QString(QChar(0x200F)) + ".jpg"), QString("_.jpg"));
        QCOMPARE(PictureFileName("p1.jpg"), QString("p1.jpg"));

        // 105 Chinese characters are 315 bytes: cut whole characters, with
        // room for the widest " (n)".
        const QString title(105, QChar(u'长'));
        const QString folder = AlbumFolderName(title);
        QVERIFY(title.startsWith(folder));
        QVERIFY(NumberedFolderName(folder, 32767).toUtf8().size() <= MaxFileNameBytes);
        QVERIFY(NumberedFolderName(folder + "长", 32767).toUtf8().size() > MaxFileNameBytes);
        QCOMPARE(AlbumFolderName("短"), QString("短"));
        // A surrogate pair is never split.
        const QString emoji = QString(120, QChar(u'a')) + QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀");
        const QString cut = AlbumFolderName(emoji);
        QVERIFY(!cut.back().isHighSurrogate());
        QVERIFY(emoji.startsWith(cut));
        QCOMPARE(NumberedFolderName("相册", 2), QString("相册 (2)"));
    }

    void recordIsAJournal()
    {
        QTemporaryDir dir;
        const QString f = dir.path();
        QVERIFY(!AlbumRecord::load(f).exists());
        QVERIFY(AlbumRecord::appendLine(f, QJsonObject{{"album", "http://a/photo/1/album-7"}, {"state", "inProgress"}}));
        QVERIFY(AlbumRecord::appendEntry(f, {"http://a/photo/1/photo-1", "http://a/pic/1.jpg", "1.jpg"}));
        // A crash in the middle of a line: that line is ignored, and the next
        // one written still counts.
        QFile torn(f + "/" + AlbumRecord::fileName());
        QVERIFY(torn.open(QIODevice::Append));
        torn.write("{\"page\":\"http://a/photo/1/photo-2\",\"pic");
        torn.close();
        AlbumRecord r = AlbumRecord::load(f);
        QVERIFY(r.exists() && !r.isLegacy());
        QCOMPARE(r.entries().size(), 1);
        QCOMPARE(r.state(), AlbumRecord::State::InProgress);
        QVERIFY(AlbumRecord::appendEntry(f, {"http://a/photo/1/photo-3", "http://a/pic/3.jpg", "3.jpg"}));
        // A job's end appends what the journal lacks: a later line of a page
        // takes the earlier one's place.
        r = AlbumRecord::load(f);
        const AlbumRecord::Entry renamed{"http://a/photo/1/photo-1", "http://a/pic/1.jpg", "1 (2).jpg"};
        r.add(renamed);
        r.setTitle("相册");
        r.setState(AlbumRecord::State::Finished);
        QVERIFY(r.finish(f, {renamed}));
        r = AlbumRecord::load(f);
        QCOMPARE(r.entries().size(), 2);
        QCOMPARE(r.forPage(renamed.page)->file, renamed.file);
        QCOMPARE(r.title(), QString("相册"));
        QCOMPARE(r.albumAddress(), QString("http://a/photo/1/album-7"));
        QCOMPARE(r.state(), AlbumRecord::State::Finished);
        // Pages and albums are known by path and query, on any host.
        QVERIFY(r.forPage("https://b:81/photo/1/photo-3#x"));
        QVERIFY(r.namesAlbum({"https://b/photo/1/album-7"}));
        QVERIFY(!r.namesAlbum({"http://a/photo/1/album-8", ""}));
        // A file name that leaves the folder is no entry.
        QVERIFY(AlbumRecord::appendEntry(f, {"http://a/photo/1/photo-4", "", "../x.jpg"}));
        QCOMPARE(AlbumRecord::load(f).entries().size(), 2);

        // Compacted whole; the record of earlier versions goes with it.
        QFile legacy(f + "/" + AlbumRecord::legacyFileName());
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write(LegacyRecord);
        legacy.close();
        QVERIFY(r.save(f));
        QVERIFY(!QFile::exists(legacy.fileName()));
        const AlbumRecord again = AlbumRecord::load(f);
        QCOMPARE(again.entries().size(), 2);
        QCOMPARE(again.albumAddress(), QString("http://a/photo/1/album-7"));
        QCOMPARE(again.state(), AlbumRecord::State::Finished);

        // Held open for a run of lines: a torn line before it, or lines
        // others append meanwhile, lose nothing.
        torn.open(QIODevice::Append);
        torn.write("{\"page\":\"http://a/photo/1/photo-9\",\"pic");
        torn.close();
        RecordJournal journal;
        const AlbumRecord::Entry fifth{"http://a/photo/1/photo-5", "http://a/pic/5.jpg", "5.jpg"};
        const AlbumRecord::Entry sixth{"http://a/photo/1/photo-6", "http://a/pic/6.jpg", "6.jpg"};
        QVERIFY(journal.append(f, AlbumRecord::entryBytes(fifth), nullptr));
        QVERIFY(AlbumRecord::appendEntry(f, {"http://a/photo/1/photo-7", "http://a/pic/7.jpg", "7.jpg"}));
        QVERIFY(journal.append(f, AlbumRecord::entryBytes(sixth), nullptr));
        QCOMPARE(AlbumRecord::load(f).entries().size(), 5);
        // Once the journal is replaced, the next line opens the new one.
        journal.close();
        QVERIFY(again.save(f));
        QVERIFY(journal.append(f, AlbumRecord::entryBytes(fifth), nullptr));
        QCOMPARE(AlbumRecord::load(f).entries().size(), 3);
    }

    void recordOfEarlierVersionsIsRead()
    {
        QTemporaryDir dir;
        QFile legacy(dir.path() + "/" + AlbumRecord::legacyFileName());
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write(LegacyRecord);
        legacy.close();
        const AlbumRecord r = AlbumRecord::load(dir.path());
        QVERIFY(r.exists() && r.isLegacy());
        QVERIFY(r.forPage("http://a/photo/1/photo-9"));
        // It names no album: it cannot make its folder replaceable.
        QVERIFY(!r.namesAlbum({"http://a/photo/1/album-7"}));
        // Ending a job in such a folder writes the journal whole, with the
        // pictures the old file listed, which then goes.
        AlbumRecord updated = r;
        updated.add({"http://a/photo/1/photo-10", "http://a/pic/10.jpg", "10.jpg"});
        QVERIFY(updated.finish(dir.path(), {updated.entries().constLast()}));
        QVERIFY(!QFile::exists(legacy.fileName()));
        const AlbumRecord again = AlbumRecord::load(dir.path());
        QVERIFY(!again.isLegacy());
        QCOMPARE(again.entries().size(), r.entries().size() + 1);
    }
};

QTEST_GUILESS_MAIN(TestJobRules)
#include "tst_jobrules.moc"
