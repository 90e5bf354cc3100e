// The words the window makes from what the core reports: each code with
// sample details gives the text the user has always read, character for
// character, also when it travels through the album queue as text.
#include "progress/failuretexts.h"
#include "progress/progresstexts.h"

#include <QTest>

namespace {

const QString Page = QStringLiteral("http://h/photo/7/album-1?curpage=2");
// Percent-encoded, as a site's addresses often are. To QString::arg "%20" is
// a place marker: such an address must come through as it is.
const QString EncodedPage = QStringLiteral("http://h/photo/7/%E5%9B%BE%201?curpage=3");

WebFailure failure(WebReason reason, const QString &subject = {}, const QString &system = {}, qint64 amount = 0,
                   qint64 limit = 0)
{
    return {reason, subject, system, amount, limit};
}

QString webText(WebReason reason, const QString &subject = {}, const QString &system = {}, qint64 amount = 0,
                qint64 limit = 0)
{
    return FailureText::web(failure(reason, subject, system, amount, limit));
}

QString fileText(FileError::Code code, const QString &path, const QString &system = {},
                 const QString &destination = {})
{
    return FailureText::file({code, path, destination, system});
}

FileError file(FileError::Code code, const QString &path, const QString &system = {},
               const QString &destination = {})
{
    return {code, path, destination, system};
}

PictureReport picture(PictureReport::Why why, const WebFailure &failure = {})
{
    PictureReport report;
    report.kind = PictureReport::Kind::Failed;
    report.why = why;
    report.failure = failure;
    return report;
}

JobReport noted(JobReport::FolderNote note, const QString &subject = {})
{
    JobReport report;
    report.folderNote = note;
    report.folderNoteSubject = subject;
    return report;
}

void row(const char *name, const QString &made, const QString &expected)
{
    QTest::newRow(name) << made << expected;
}

void addWebRows()
{
    // The network, the site's answers, the disk.
    using R = WebReason;
    row("not an address", webText(R::NotAnAddress, "file:///etc/hostname"), "不是网址：file:///etc/hostname");
    row("session closed", webText(R::SessionClosed), "网络会话已关闭");
    row("refused", webText(R::ConnectionRefused, {}, "Connection refused"), "服务器拒绝连接");
    row("closed", webText(R::ConnectionClosed, {}, "Remote host closed"), "服务器关闭了连接");
    row("host not found", webText(R::HostNotFound, "nowhere.invalid", "Host not found"),
        "找不到服务器 nowhere.invalid");
    row("connection timed out", webText(R::ConnectionTimedOut, {}, "timed out"), "连接超时");
    row("network", webText(R::NetworkFailure, {}, "Protocol error"), "网络错误：Protocol error");
    row("page cap", webText(R::TooLarge, {}, {}, 0, 16 * 1024 * 1024), "内容超过 16.0 MB 的上限");
    row("picture cap", webText(R::TooLarge, {}, {}, 0, 512 * 1024 * 1024), "内容超过 512.0 MB 的上限");
    row("too slow", webText(R::TooSlow, {}, {}, 1000, 30000), "传输太慢（30 秒内平均每秒不到 1000 字节）");
    row("too slow, short window", webText(R::TooSlow, {}, {}, 1000, 500),
        "传输太慢（0.5 秒内平均每秒不到 1000 字节）");
    row("no data", webText(R::NoData, {}, {}, 0, 60000), "连接超时（60 秒内没有收到数据）");
    row("cut with length", webText(R::Truncated, {}, {}, 1234, 5000), "传输中断，只收到 1234 / 5000 字节");
    row("cut without length", webText(R::Truncated, {}, {}, 1234, -1), "传输中断，只收到 1234 字节");
    row("compressed cut", webText(R::CompressedTruncated, {}, {}, 99), "传输中断，压缩数据不完整（收到 99 字节）");
    row("unknown encoding", webText(R::UnknownEncoding, "br"), "无法解码服务器的压缩格式 br");
    row("status", webText(R::HttpStatus, {}, {}, 404), "服务器返回 HTTP 404");
    row("retry after a day", webText(R::RetryTooLate, {}, {}, 86400000, 30000),
        "服务器繁忙，要求 86400 秒后再试，超过了 30 秒的上限");
    row("retry after 1.5 s", webText(R::RetryTooLate, {}, {}, 1500, 1000),
        "服务器繁忙，要求 2 秒后再试，超过了 1 秒的上限");
    row("empty", webText(R::EmptyBody), "服务器返回的内容是空的");
    row("page", webText(R::PageNotPicture), "服务器返回的是网页而不是图片");
    row("text", webText(R::TextNotPicture), "服务器返回的是文字而不是图片");
    row("206", webText(R::PartialContent), "服务器只发来了图片的一部分（HTTP 206）");
    row("no file name", webText(R::NoFileName, "/s/x/"), "路径里没有文件名：/s/x/");
    row("disk full", webText(R::DiskFull, "/s/a.jpg", "No space left on device"), "磁盘已满");
    row("name too long", webText(R::NameTooLong, "/s/长长.jpg"), "文件名太长：长长.jpg");
    row("file exists", webText(R::FileExists, "/s/a.jpg"), "文件已存在：/s/a.jpg");
    row("no folder", webText(R::NoFolder, "/s/missing/p.jpg"), "文件夹不存在：/s/missing");
    row("no permission", webText(R::NoPermission, "/s/a.jpg"), "没有权限写入 /s/a.jpg");
    row("read-only", webText(R::ReadOnlyDisk, "/s/a.jpg"), "磁盘是只读的，无法写入 /s/a.jpg");
    row("write failed", webText(R::WriteFailed, "/s/a.jpg", "Input/output error"),
        "无法写入 /s/a.jpg：Input/output error");
    row("load failed", webText(R::LoadFailed), "页面加载失败");
    row("load failed, browser's words", webText(R::LoadFailed, {}, "net::ERR_CONNECTION_REFUSED"),
        "net::ERR_CONNECTION_REFUSED");
    row("load timed out", webText(R::LoadTimedOut), "页面加载超时");

}

void addFolderRows()
{
    // Folder steps and the album record.
    using C = FileError::Code;
    row("exists", fileText(C::Exists, "/s/a", "File exists"), "已存在 /s/a：File exists");
    row("no parent", fileText(C::NoParent, "/s"), "上级文件夹不存在: /s");
    row("not created", fileText(C::NotCreated, "/s/相册文件夹1", "Permission denied"),
        "无法创建文件夹 /s/相册文件夹1：Permission denied");
    row("numbers used up", fileText(C::NumbersUsedUp, "/s"), "临时文件夹编号已用完。");
    row("not deleted", fileText(C::NotDeleted, "/s/a", "Directory not empty"),
        "无法删除文件夹 /s/a：Directory not empty");
    row("not renamed", fileText(C::NotRenamed, "/s/a", "File exists", "/s/b"),
        "无法将 /s/a 改名为 /s/b：File exists");
    row("folder missing", fileText(C::NoFolder, "/s/a", "No such file or directory"),
        "文件夹不存在 /s/a：No such file or directory");
    row("record", fileText(C::RecordNotWritten, "/s/a/.quillmoor-album.jsonl", "Disk quota exceeded"),
        "无法写入相册记录 /s/a/.quillmoor-album.jsonl：Disk quota exceeded");
    row("system only", fileText(C::Other, "/s/a/p.jpg", "Permission denied"), "Permission denied");
    row("problem without reason", FailureText::folderProblem({FolderProblem::Step::Move, "/s/a/p.jpg", {}}),
        "无法处理 /s/a/p.jpg");

}

void addJobRows()
{
    using namespace FailureText;
    using R = WebReason;
    using C = FileError::Code;
    // Collection that ended early.
    using W = CollectionStop::Why;
    row("page failed", collectionStop({W::PageFailed, 2, Page, failure(R::HttpStatus, {}, {}, 500)}),
        "采集在第2页提前结束：页面无法打开（服务器返回 HTTP 500）" + Page);
    row("encoded page failed", collectionStop({W::PageFailed, 3, EncodedPage, failure(R::LoadFailed)}),
        "采集在第3页提前结束：页面无法打开（页面加载失败）" + EncodedPage);
    row("left the album", collectionStop({W::LeftAlbum, 1, "http://elsewhere/"}),
        "采集在第1页提前结束：窗口离开了相册，转到了 http://elsewhere/");
    row("next is no address", collectionStop({W::NextNotAnAddress, 1, "javascript:go('curpage=2')"}),
        "采集在第1页提前结束：“下一页”不是网址 javascript:go('curpage=2')");
    row("page timed out", collectionStop({W::PageTimedOut, 3, EncodedPage, {}, 60}),
        "采集在第3页提前结束：页面 60 秒内没有加载完 " + EncodedPage);

    // A picture's reason, and a row that shows one.
    using P = PictureReport::Why;
    row("request", pictureReason(picture(P::Request, failure(R::HttpStatus, {}, {}, 404))), "服务器返回 HTTP 404");
    row("saved before", pictureReason(picture(P::SavedBefore)), "已保存过，不再重复下载");
    row("too many", pictureReason(picture(P::TooManyPictures, failure(R::None, {}, {}, 0, 32767))), "一次最多下载32767张图片");
    row("not placed", pictureReason(picture(P::NotPlaced, failure(R::None, "a.jpg", "Permission denied"))),
        "无法保存为 a.jpg：Permission denied");
    row("no file name in address", pictureReason(picture(P::NoFileName)), "地址中没有文件名");
    row("metadata not written",
        pictureReason(picture(P::MetadataNotWritten, failure(R::None, "a.jpg", "Failed to read image data"))),
        "无法把图片说明写入 a.jpg：Failed to read image data");
    JobReport gifs;
    gifs.folderName = "说明相册";
    gifs.sidecarsInstead = 2;
    row("sidecars instead of embedding", ProgressText::completionMessage(gifs),
        "下载完毕\n保存在 《说明相册》\n2 张图片的格式无法写入说明，已另存为 .xmp 文件");
    PictureReport failedPage = picture(P::Request, failure(R::NoData, {}, {}, 0, 60000));
    failedPage.address = Page;
    failedPage.pageFailed = true;
    row("failed page row", ProgressText::pictureRow(failedPage).text,
        "图片页" + Page + "无法打开：连接超时（60 秒内没有收到数据）");

    // Where the pictures are not.
    using N = JobReport::FolderNote;
    row("folder gone", folderNote(noted(N::FolderGone, "/s/相册文件夹2")), "但文件夹 /s/相册文件夹2 已不存在，图片没能保存下来。");
    row("unusable name", folderNote(noted(N::UnusableName)), "相册名称不能用作文件夹名，图片保留在临时文件夹中。");
    row("not renamed note", folderNote(noted(N::NotRenamed, "三页相册")),
        "无法将临时文件夹改名为《三页相册》，图片保留在临时文件夹中。");
    row("not all moved", folderNote(noted(N::NotAllMoved, "三页相册")), "部分新图片无法移入《三页相册》，保留在临时文件夹中。");
    JobReport gone = noted(N::FolderGone, "/s/相册文件夹2");
    gone.folderGone = true;
    gone.collectionStop = {W::LeftAlbum, 2, "http://elsewhere/"};
    gone.problems = {{FolderProblem::Step::SaveRecord, "/s/相册文件夹2",
                      file(C::RecordNotWritten, "/s/相册文件夹2/.quillmoor-album.jsonl", "No such file or directory")}};
    row("completion message", ProgressText::completionMessage(gone),
        "下载完毕\n但文件夹 /s/相册文件夹2 已不存在，图片没能保存下来。"
        "\n无法写入相册记录 /s/相册文件夹2/.quillmoor-album.jsonl：No such file or directory"
        "\n采集在第2页提前结束：窗口离开了相册，转到了 http://elsewhere/，相册可能不完整");

    // Why a job did not start.
    using S = JobStartFailure::Why;
    row("start: folder", jobStart(JobStartFailure{S::NoFolder, file(C::NoParent, "/s/不存在"), {}}),
        "上级文件夹不存在: /s/不存在");
    row("start: not unfinished", jobStart(JobStartFailure{S::NotUnfinished, {}, "/s/别人的"}),
        "/s/别人的 不是未完成的相册文件夹");
    row("start: busy", jobStart(JobStartFailure{S::AlbumBusy, {}, Page}), "相册 " + Page + " 正在下载中");
}

} // namespace

class TestFailureTexts : public QObject
{
    Q_OBJECT

private slots:
    void textsAreAsBefore_data();
    void textsAreAsBefore();
    void stopAndStartFailuresAsTheWindowSaysThem();
};

void TestFailureTexts::textsAreAsBefore_data()
{
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("expected");
    addWebRows();
    addFolderRows();
    addJobRows();
}

void TestFailureTexts::textsAreAsBefore()
{
    QFETCH(QString, made);
    QFETCH(QString, expected);
    QCOMPARE(made, expected);
}

void TestFailureTexts::stopAndStartFailuresAsTheWindowSaysThem()
{
    const CollectionStop stop{CollectionStop::Why::PageFailed, 4, EncodedPage,
                              failure(WebReason::Truncated, "subject", "system", 1234, -1)};
    QCOMPARE(ProgressText::stoppedRow(stop).text,
             "采集在第4页提前结束：页面无法打开（传输中断，只收到 1234 字节）" + EncodedPage + "，已采集的图片照常下载");

    const JobStartFailure failure{JobStartFailure::Why::NoFolder,
                                  file(FileError::Code::NotRenamed, "/s/a", "File exists", "/s/b"), {}};
    QCOMPARE(FailureText::jobStart(failure), "无法将 /s/a 改名为 /s/b：File exists");
    // No reason at all says nothing.
    QCOMPARE(FailureText::jobStart(JobStartFailure{}), QString());
    QCOMPARE(FailureText::collectionStop(CollectionStop{}), QString());
}

QTEST_APPLESS_MAIN(TestFailureTexts)
#include "tst_failuretexts.moc"
