#include "failuretexts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

namespace FailureText {

namespace {

QString networkText(const WebFailure &f)
{
    switch (f.reason) {
    case WebReason::NotAnAddress:
        return QCoreApplication::translate("FailureText", "不是网址：%1").arg(f.subject);
    case WebReason::SessionClosed:
        return QCoreApplication::translate("FailureText", "网络会话已关闭");
    case WebReason::ConnectionRefused:
        return QCoreApplication::translate("FailureText", "服务器拒绝连接");
    case WebReason::ConnectionClosed:
        return QCoreApplication::translate("FailureText", "服务器关闭了连接");
    case WebReason::HostNotFound:
        return QCoreApplication::translate("FailureText", "找不到服务器 %1").arg(f.subject);
    case WebReason::ConnectionTimedOut:
        return QCoreApplication::translate("FailureText", "连接超时");
    case WebReason::NetworkFailure:
        return QCoreApplication::translate("FailureText", "网络错误：%1").arg(f.systemText);
    case WebReason::TooLarge:
        return QCoreApplication::translate("FailureText", "内容超过 %1 的上限")
            .arg(QLocale::c().formattedDataSize(f.limit, 1, QLocale::DataSizeTraditionalFormat));
    case WebReason::DeadlinePassed:
        return QCoreApplication::translate("FailureText", "传输超时（%1 分钟内没有下载完）").arg(f.limit / 60000.0);
    case WebReason::InsecureRedirect:
        return QCoreApplication::translate("FailureText", "网址从 https 转到了不安全的 http，已拒绝：%1").arg(f.subject);
    case WebReason::BadRedirect:
        return QCoreApplication::translate("FailureText", "服务器转向了无法打开的地址：%1").arg(f.subject);
    case WebReason::TooManyRedirects:
        return QCoreApplication::translate("FailureText", "转向次数超过 %1 次").arg(f.limit);
    case WebReason::TooSlow:
        return QCoreApplication::translate("FailureText", "传输太慢（%1 秒内平均每秒不到 %2 字节）")
            .arg(f.limit / 1000.0)
            .arg(f.amount);
    case WebReason::NoData:
        return QCoreApplication::translate("FailureText", "连接超时（%1 秒内没有收到数据）").arg(f.limit / 1000.0);
    case WebReason::Truncated:
        return QCoreApplication::translate("FailureText", "传输中断，只收到 %1%2 字节")
            .arg(f.amount)
            .arg(f.limit >= 0 ? QStringLiteral(" / %1").arg(f.limit) : QString());
    case WebReason::CompressedTruncated:
        return QCoreApplication::translate("FailureText", "传输中断，压缩数据不完整（收到 %1 字节）").arg(f.amount);
    case WebReason::UnknownEncoding:
        return QCoreApplication::translate("FailureText", "无法解码服务器的压缩格式 %1").arg(f.subject);
    case WebReason::HttpStatus:
        return QCoreApplication::translate("FailureText", "服务器返回 HTTP %1").arg(f.amount);
    case WebReason::RetryTooLate:
        return QCoreApplication::translate("FailureText", "服务器繁忙，要求 %1 秒后再试，超过了 %2 秒的上限")
            .arg((f.amount + 999) / 1000)
            .arg(f.limit / 1000.0);
    default:
        return {};
    }
}

QString answerText(const WebFailure &f)
{
    switch (f.reason) {
    case WebReason::EmptyBody:
        return QCoreApplication::translate("FailureText", "服务器返回的内容是空的");
    case WebReason::PageNotPicture:
        return QCoreApplication::translate("FailureText", "服务器返回的是网页而不是图片");
    case WebReason::TextNotPicture:
        return QCoreApplication::translate("FailureText", "服务器返回的是文字而不是图片");
    case WebReason::PartialContent:
        return QCoreApplication::translate("FailureText", "服务器只发来了图片的一部分（HTTP 206）");
    case WebReason::LoadFailed:
        return f.systemText.isEmpty() ? QCoreApplication::translate("FailureText", "页面加载失败") : f.systemText;
    case WebReason::LoadTimedOut:
        return QCoreApplication::translate("FailureText", "页面加载超时");
    default:
        return {};
    }
}

QString diskText(const WebFailure &f)
{
    switch (f.reason) {
    case WebReason::NoFileName:
        return QCoreApplication::translate("FailureText", "路径里没有文件名：%1").arg(f.subject);
    case WebReason::DiskFull:
        return QCoreApplication::translate("FailureText", "磁盘已满");
    case WebReason::NameTooLong:
        return QCoreApplication::translate("FailureText", "文件名太长：%1").arg(QFileInfo(f.subject).fileName());
    case WebReason::FileExists:
        return QCoreApplication::translate("FailureText", "文件已存在：%1").arg(f.subject);
    case WebReason::NoFolder:
        return QCoreApplication::translate("FailureText", "文件夹不存在：%1").arg(QFileInfo(f.subject).absolutePath());
    case WebReason::NoPermission:
        return QCoreApplication::translate("FailureText", "没有权限写入 %1").arg(f.subject);
    case WebReason::ReadOnlyDisk:
        return QCoreApplication::translate("FailureText", "磁盘是只读的，无法写入 %1").arg(f.subject);
    case WebReason::WriteFailed:
        return QCoreApplication::translate("FailureText", "无法写入 %1：%2").arg(f.subject, f.systemText);
    default:
        return {};
    }
}

} // namespace

QString web(const WebFailure &failure)
{
    if (QString text = networkText(failure); !text.isEmpty())
        return text;
    if (QString text = answerText(failure); !text.isEmpty())
        return text;
    return diskText(failure);
}

QString file(const FileError &e)
{
    switch (e.code) {
    case FileError::Code::None:
        return {};
    case FileError::Code::Exists:
        return QCoreApplication::translate("FailureText", "已存在 %1：%2").arg(e.path, e.systemText);
    case FileError::Code::NoParent:
        return QCoreApplication::translate("FailureText", "上级文件夹不存在: %1").arg(e.path);
    case FileError::Code::NotCreated:
        return QCoreApplication::translate("FailureText", "无法创建文件夹 %1：%2").arg(e.path, e.systemText);
    case FileError::Code::NumbersUsedUp:
        return QCoreApplication::translate("FailureText", "临时文件夹编号已用完。");
    case FileError::Code::NotDeleted:
        return QCoreApplication::translate("FailureText", "无法删除文件夹 %1：%2").arg(e.path, e.systemText);
    case FileError::Code::NotRenamed:
        return QCoreApplication::translate("FailureText", "无法将 %1 改名为 %2：%3")
            .arg(e.path, e.destination, e.systemText);
    case FileError::Code::NoFolder:
        return QCoreApplication::translate("FailureText", "文件夹不存在 %1：%2").arg(e.path, e.systemText);
    case FileError::Code::RecordNotWritten:
        return QCoreApplication::translate("FailureText", "无法写入相册记录 %1：%2").arg(e.path, e.systemText);
    case FileError::Code::Other:
        return e.systemText;
    }
    return {};
}

QString folderProblem(const FolderProblem &problem)
{
    const QString text = file(problem.reason);
    return text.isEmpty() ? QCoreApplication::translate("FailureText", "无法处理 %1").arg(problem.path) : text;
}

QString collectionStop(const CollectionStop &stop)
{
    if (stop.isNone())
        return {};
    QString text = QCoreApplication::translate("FailureText", "采集在第%1页提前结束：").arg(stop.page);
    switch (stop.why) {
    case CollectionStop::Why::None:
        break;
    case CollectionStop::Why::PageFailed:
        text += QCoreApplication::translate("FailureText", "页面无法打开（%1）%2").arg(web(stop.pageError), stop.address);
        break;
    case CollectionStop::Why::LeftAlbum:
        text += QCoreApplication::translate("FailureText", "窗口离开了相册，转到了 %1").arg(stop.address);
        break;
    case CollectionStop::Why::NextNotAnAddress:
        text += QCoreApplication::translate("FailureText", "“下一页”不是网址 %1").arg(stop.address);
        break;
    case CollectionStop::Why::NoPictureLinks:
        text += QCoreApplication::translate("FailureText", "页面中没有图片链接 %1").arg(stop.address);
        break;
    case CollectionStop::Why::PageTimedOut:
        text += QCoreApplication::translate("FailureText", "页面 %1 秒内没有加载完 %2")
                    .arg(QString::number(stop.seconds), stop.address);
        break;
    }
    return text;
}

QString pictureReason(const PictureReport &picture)
{
    switch (picture.why) {
    case PictureReport::Why::None:
        return {};
    case PictureReport::Why::Request:
        return web(picture.failure);
    case PictureReport::Why::SavedBefore:
        return QCoreApplication::translate("FailureText", "已保存过，不再重复下载");
    case PictureReport::Why::TooManyPictures:
        return QCoreApplication::translate("FailureText", "一次最多下载%1张图片").arg(picture.failure.limit);
    case PictureReport::Why::NotPlaced:
        return QCoreApplication::translate("FailureText", "无法保存为 %1：%2")
            .arg(picture.failure.subject, picture.failure.systemText);
    case PictureReport::Why::NoFileName:
        return QCoreApplication::translate("FailureText", "地址中没有文件名");
    case PictureReport::Why::MetadataNotWritten:
        return QCoreApplication::translate("FailureText", "无法把图片说明写入 %1：%2")
            .arg(picture.failure.subject, picture.failure.systemText);
    }
    return {};
}

QString folderNote(const JobReport &report)
{
    switch (report.folderNote) {
    case JobReport::FolderNote::None:
        return {};
    case JobReport::FolderNote::FolderGone:
        return QCoreApplication::translate("FailureText", "但文件夹 %1 已不存在，图片没能保存下来。")
            .arg(report.folderNoteSubject);
    case JobReport::FolderNote::UnusableName:
        return QCoreApplication::translate("FailureText", "相册名称不能用作文件夹名，图片保留在临时文件夹中。");
    case JobReport::FolderNote::NotRenamed:
        return QCoreApplication::translate("FailureText", "无法将临时文件夹改名为《%1》，图片保留在临时文件夹中。")
            .arg(report.folderNoteSubject);
    case JobReport::FolderNote::NotAllMoved:
        return QCoreApplication::translate("FailureText", "部分新图片无法移入《%1》，保留在临时文件夹中。")
            .arg(report.folderNoteSubject);
    }
    return {};
}

QString jobStart(const JobStartFailure &failure)
{
    switch (failure.why) {
    case JobStartFailure::Why::None:
        return {};
    case JobStartFailure::Why::NoFolder:
        return file(failure.folder);
    case JobStartFailure::Why::NotUnfinished:
        return QCoreApplication::translate("FailureText", "%1 不是未完成的相册文件夹").arg(failure.subject);
    case JobStartFailure::Why::AlbumBusy:
        return QCoreApplication::translate("FailureText", "相册 %1 正在下载中").arg(failure.subject);
    }
    return {};
}

} // namespace FailureText
