#include "progresstexts.h"

#include "failuretexts.h"

#include "download/jobrules.h"

#include <QCoreApplication>

namespace ProgressText {

QString collectingStarted()
{
    return QCoreApplication::translate("ProgressText", "程序开始采集图片");
}

QString collectedSoFar(int collected)
{
    return QCoreApplication::translate("ProgressText", "已采集%1张图片列表，请稍等... ...").arg(collected);
}

QString collectedAll(int collected)
{
    return QCoreApplication::translate("ProgressText", "共采集%1张图片列表，开始下载").arg(collected);
}

QString albumOfOnePage(const QString &albumName, int collected)
{
    return QCoreApplication::translate("ProgressText", "相册《 %1 》有 %2 张图片").arg(ShortAlbumName(albumName)).arg(collected);
}

QString albumOfAllPages(const QString &albumName, int collected)
{
    return QCoreApplication::translate("ProgressText", "相册《 %1 》共有%2张图片").arg(ShortAlbumName(albumName)).arg(collected);
}

QString savedSoFar(int saved)
{
    return QCoreApplication::translate("ProgressText", "已下载%1张图片 ").arg(saved);
}

QString savedInQueue(int saved, int album, int albums)
{
    return QCoreApplication::translate("ProgressText", "已下载%1张图片（第%2/%3个相册） ").arg(saved).arg(album).arg(albums);
}

// Why a picture the folder held was fetched again.
static QString refetchedNote(AlbumFolder::Held held)
{
    switch (held) {
    case AlbumFolder::Held::Missing:
        return QCoreApplication::translate("ProgressText", "（相册文件夹中的这张图片不见了，已重新下载）");
    case AlbumFolder::Held::Emptied:
        return QCoreApplication::translate("ProgressText", "（相册文件夹中的这张图片是空的，已重新下载）");
    case AlbumFolder::Held::OtherSize:
        return QCoreApplication::translate("ProgressText", "（相册文件夹中的这张图片大小不对，已重新下载）");
    case AlbumFolder::Held::No:
    case AlbumFolder::Held::Yes:
        break;
    }
    return {};
}

Row pictureRow(const PictureReport &picture, bool onlyNew)
{
    switch (picture.kind) {
    case PictureReport::Kind::Saved:
        return {QStringLiteral("Success"),
                QCoreApplication::translate("ProgressText", "图片") + picture.address + QCoreApplication::translate("ProgressText", "下载完毕.")
                    + (picture.refetched != AlbumFolder::Held::No ? QLatin1Char(' ') + refetchedNote(picture.refetched)
                       : onlyNew                                   ? QCoreApplication::translate("ProgressText", " 新图片")
                                                                   : QString()),
                SavedIcon};
    case PictureReport::Kind::AlreadyThere:
        return {QStringLiteral("Exists"),
                QCoreApplication::translate("ProgressText", "图片") + picture.address + QCoreApplication::translate("ProgressText", "已在相册文件夹中（")
                    + picture.fileName + QCoreApplication::translate("ProgressText", "），不再下载."),
                SavedIcon};
    case PictureReport::Kind::Skipped:
        if (picture.noPictureAddress)
            return {QStringLiteral("Skipped"),
                    QCoreApplication::translate("ProgressText", "图片页") + picture.address + QCoreApplication::translate("ProgressText", "中没有找到图片地址，已跳过."),
                    WarningIcon};
        return {QStringLiteral("Skipped"),
                QCoreApplication::translate("ProgressText", "图片%1%2.").arg(picture.address, FailureText::pictureReason(picture)),
                WarningIcon};
    case PictureReport::Kind::Failed:
        break;
    }
    if (picture.pageFailed)
        return {QStringLiteral("Failed"),
                QCoreApplication::translate("ProgressText", "图片页") + picture.address + QCoreApplication::translate("ProgressText", "无法打开：") + FailureText::pictureReason(picture),
                FailedIcon};
    return {QStringLiteral("Failed"),
            QCoreApplication::translate("ProgressText", "图片") + picture.address + QCoreApplication::translate("ProgressText", "下载失败：") + FailureText::pictureReason(picture),
            FailedIcon};
}

Row stoppedRow(const CollectionStop &stop)
{
    return {QStringLiteral("Stopped"), FailureText::collectionStop(stop) + QCoreApplication::translate("ProgressText", "，已采集的图片照常下载"),
            WarningIcon};
}

Row paneFallbackRow(PaneFallback why, const QString &address)
{
    QString cause;
    switch (why) {
    case PaneFallback::None:
        return {};
    case PaneFallback::TitleDiffers:
        cause = QCoreApplication::translate("ProgressText", "页面标题与浏览器所见不同");
        break;
    case PaneFallback::PicturePagesDiffer:
        cause = QCoreApplication::translate("ProgressText", "图片链接与浏览器所见不同（可能由页面脚本生成）");
        break;
    case PaneFallback::NextPageDiffers:
        cause = QCoreApplication::translate("ProgressText", "“下一页”链接与浏览器所见不同");
        break;
    case PaneFallback::UnsupportedCharset:
        cause = QCoreApplication::translate("ProgressText", "页面的字符集无法直接读取");
        break;
    case PaneFallback::HtmlUnreadable:
        cause = QCoreApplication::translate("ProgressText", "无法直接读取页面");
        break;
    case PaneFallback::PaneFailed:
        cause = QCoreApplication::translate("ProgressText", "浏览器未能加载页面");
        break;
    }
    return {QStringLiteral("Collecting"), cause + QCoreApplication::translate("ProgressText", "，改由浏览器逐页采集：") + address, WarningIcon};
}

QString haltedLine(const JobReport &report)
{
    const QString counts = QCoreApplication::translate("ProgressText", "保存了 %1 张，还有 %2 张未下载").arg(report.saved).arg(report.notDownloaded);
    switch (report.haltedBy) {
    case HaltReason::LoginExpired:
        return QCoreApplication::translate("ProgressText", "登录已失效（%1），已停止：").arg(report.loginPage) + counts
            + QCoreApplication::translate("ProgressText", "，相册不完整");
    case HaltReason::User:
        return QCoreApplication::translate("ProgressText", "已停止：") + counts + QCoreApplication::translate("ProgressText", "，相册不完整");
    case HaltReason::None:
        break;
    }
    return {};
}

QString noPictureAddressLine(const JobReport &report)
{
    return QCoreApplication::translate("ProgressText", "%1 个图片页中没有找到图片地址，已跳过").arg(report.noPictureAddress);
}

QString sidecarsInsteadLine(const JobReport &report)
{
    return QCoreApplication::translate("ProgressText", "%1 张图片的格式无法写入说明，已另存为 .xmp 文件").arg(report.sidecarsInstead);
}

QString pausedText(HaltReason reason)
{
    if (reason == HaltReason::LoginExpired)
        return QCoreApplication::translate("ProgressText", "登录已失效，请在浏览器窗口中重新登录，然后点击继续下载");
    return QCoreApplication::translate("ProgressText", "已暂停下载");
}

QString durationText(qint64 ms)
{
    const qint64 seconds = (qMax<qint64>(0, ms) + 999) / 1000;
    if (seconds >= 3600)
        return QCoreApplication::translate("ProgressText", "%1小时%2分").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    if (seconds >= 60)
        return QCoreApplication::translate("ProgressText", "%1分%2秒").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QCoreApplication::translate("ProgressText", "%1秒").arg(seconds);
}

QString progressBarText(const BarState &state)
{
    QString text = QCoreApplication::translate("ProgressText", "%1/%2 张").arg(state.done).arg(state.total);
    if (state.albums > 1)
        text = QCoreApplication::translate("ProgressText", "相册 %1/%2，").arg(state.album).arg(state.albums) + text;
    if (state.collecting)
        text += QCoreApplication::translate("ProgressText", "，仍在采集");
    if (state.paused)
        return text + QCoreApplication::translate("ProgressText", "，已暂停");
    if (state.perSecond)
        text += QCoreApplication::translate("ProgressText", "，%1 张/秒").arg(*state.perSecond, 0, 'f', 1);
    if (state.remainingMs && !state.collecting)
        text += QCoreApplication::translate("ProgressText", "，剩余 ") + durationText(*state.remainingMs);
    return text;
}

static QString failedLine(const JobReport &report)
{
    return QCoreApplication::translate("ProgressText", "其中 %1 张图片下载失败，详见下载进度").arg(report.failed);
}

static QString addedLine(const JobReport &report)
{
    return QCoreApplication::translate("ProgressText", "新增 %1 张图片，%2 张已在相册中").arg(report.saved).arg(report.alreadyThere);
}


// What became of the album's folder beyond where the pictures are.
static QStringList folderLines(const JobReport &report)
{
    QStringList lines;
    if (!report.earlierKept.isEmpty())
        lines << QCoreApplication::translate("ProgressText", "相册不完整，原先下载的《%1》保持不变，新图片保存在《%2》")
                     .arg(report.earlierKept, report.folderName);
    if (report.nameTaken)
        lines << QCoreApplication::translate("ProgressText", "文件夹《%1》已被占用（不是本相册的下载），未做任何改动")
                     .arg(AlbumFolderName(report.albumName));
    if (report.replacedEarlier && !report.earlierBeside.isEmpty())
        lines << QCoreApplication::translate("ProgressText", "已替换原先下载的同一相册，回收站不可用，原先的副本保存在《%1》")
                     .arg(report.earlierBeside);
    else if (report.replacedEarlier && report.earlierTrashed)
        lines << QCoreApplication::translate("ProgressText", "已替换原先下载的同一相册，原先的副本已移到回收站");
    else if (report.replacedEarlier)
        lines << QCoreApplication::translate("ProgressText", "已替换原先下载的同一相册");
    for (const FolderProblem &problem : report.problems)
        lines << FailureText::folderProblem(problem);
    return lines;
}

static QString busyText()
{
    return QCoreApplication::translate("ProgressText", "这个相册正由另一个下载任务处理，本次未做任何改动");
}

Row finishedRow(const JobReport &report)
{
    if (report.albumGone)
        return {QStringLiteral("Gone"), goneLine(report) + QLatin1Char('.'), WarningIcon};
    QString text = QCoreApplication::translate("ProgressText", "相册下载完毕.");
    if (report.haltedBy != HaltReason::None)
        text = haltedLine(report) + QLatin1Char('.');
    if (report.failed > 0)
        text += QLatin1Char(' ') + failedLine(report);
    if (report.noPictureAddress > 0)
        text += QLatin1Char(' ') + noPictureAddressLine(report);
    if (report.haltedBy != HaltReason::None)
        return {QStringLiteral("Stopped"), text, WarningIcon};
    return {QStringLiteral("Finished"), text, FinishedIcon};
}

QString completionMessage(const JobReport &report)
{
    if (report.busy)
        return busyText();
    QString text = QCoreApplication::translate("ProgressText", "下载完毕\n");
    if (report.haltedBy != HaltReason::None)
        text = haltedLine(report) + QLatin1Char('\n');
    text += savedWhere(report).join(QLatin1Char('\n'));
    for (const QString &line : folderLines(report))
        text += QLatin1Char('\n') + line;
    if (report.mode == DownloadMode::OnlyNew)
        text += QLatin1Char('\n') + addedLine(report);
    if (report.failed > 0)
        text += QLatin1Char('\n') + failedLine(report);
    if (report.noPictureAddress > 0)
        text += QLatin1Char('\n') + noPictureAddressLine(report);
    if (report.sidecarsInstead > 0)
        text += QLatin1Char('\n') + sidecarsInsteadLine(report);
    if (!report.collectionStop.isNone())
        text += QLatin1Char('\n') + FailureText::collectionStop(report.collectionStop)
            + QCoreApplication::translate("ProgressText", "，相册可能不完整");
    return text;
}

QString queueMessage(const QList<QueueAlbum> &albums)
{
    QString text = QCoreApplication::translate("ProgressText", "下载完毕");
    for (const QueueAlbum &album : albums) {
        if (!album.report)
            continue;
        const JobReport &r = *album.report;
        text += QCoreApplication::translate("ProgressText", "\n相册《%1》：").arg(album.title);
        if (r.busy) {
            text += busyText();
            continue;
        }
        text += savedWhere(r).join(QLatin1Char(' '));
        for (const QString &line : folderLines(r))
            text += QCoreApplication::translate("ProgressText", "，") + line;
        if (r.mode == DownloadMode::OnlyNew)
            text += QCoreApplication::translate("ProgressText", "，") + addedLine(r);
        if (r.failed > 0)
            text += QCoreApplication::translate("ProgressText", "，其中 %1 张图片下载失败").arg(r.failed);
        if (r.noPictureAddress > 0)
            text += QCoreApplication::translate("ProgressText", "，") + noPictureAddressLine(r);
        if (r.sidecarsInstead > 0)
            text += QCoreApplication::translate("ProgressText", "，") + sidecarsInsteadLine(r);
        if (r.haltedBy != HaltReason::None)
            text += QCoreApplication::translate("ProgressText", "，") + haltedLine(r);
        if (!r.collectionStop.isNone())
            text += QCoreApplication::translate("ProgressText", "，") + FailureText::collectionStop(r.collectionStop);
    }
    return text;
}

QStringList savedWhere(const JobReport &report)
{
    const QString note = FailureText::folderNote(report);
    if (report.folderGone)
        return {note};
    QStringList parts{QCoreApplication::translate("ProgressText", "保存在 《") + report.folderName
                      + QCoreApplication::translate("ProgressText", "》")};
    if (!note.isEmpty())
        parts << note;
    return parts;
}

QString noTemporaryFolder(const QString &saveFolder, const JobStartFailure &failure)
{
    return QCoreApplication::translate("ProgressText", "无法在保存路径中创建临时文件夹，请检查保存路径是否存在并且可写：\n")
        + saveFolder + QLatin1Char('\n') + FailureText::jobStart(failure);
}

QString albumListFailure(const AlbumListFailure &failure)
{
    switch (failure.error) {
    case AlbumListError::InvalidUserId:
        return QCoreApplication::translate("ProgressText", "用户ID输入有误");
    case AlbumListError::NotLoggedIn:
        return QCoreApplication::translate("ProgressText", "您还没有登录，请先在浏览器窗口登录");
    case AlbumListError::NoAlbums:
        return QCoreApplication::translate("ProgressText", "该用户没有可供下载的相册");
    case AlbumListError::Unreachable:
        break;
    }
    return QCoreApplication::translate("ProgressText", "无法连接到网站，请稍后再试：") + FailureText::web(failure.reason);
}

QString updateListTitle()
{
    return QCoreApplication::translate("ProgressText", "更新全部相册");
}

QString updateListText(const QString &saveFolder)
{
    return QCoreApplication::translate("ProgressText", "保存路径 %1 中记录的相册。勾选的相册将只下载新上传的图片：").arg(saveFolder);
}

QStringList updateListHeaders()
{
    return {QCoreApplication::translate("ProgressText", "相册"), QCoreApplication::translate("ProgressText", "文件夹"), QCoreApplication::translate("ProgressText", "图片", "column"), QCoreApplication::translate("ProgressText", "最后更新")};
}

QStringList updateListColumns(const RecordedAlbum &album)
{
    QString title = album.title.isEmpty() ? album.folder : album.title;
    if (!album.updatable())
        title += QCoreApplication::translate("ProgressText", "（无法更新：记录中没有相册地址，请用“只下载新上传的图片”重新下载一次）");
    return {title, album.folder, QString::number(album.pictures),
            album.lastUpdate.toString(QStringLiteral("yyyy-MM-dd HH:mm"))};
}

QString noRecordedAlbums(const QString &saveFolder)
{
    return QCoreApplication::translate("ProgressText", "保存路径 %1 中没有记录的相册").arg(saveFolder);
}

QString nothingChosen()
{
    return QCoreApplication::translate("ProgressText", "您没有选中任何相册");
}

QString goneLine(const JobReport &report)
{
    if (!report.albumGone)
        return {};
    const QString what = report.goneStatus > 0 ? QStringLiteral("HTTP %1").arg(report.goneStatus)
                                               : QCoreApplication::translate("ProgressText", "页面《%1》不是相册").arg(report.goneTitle);
    return QCoreApplication::translate("ProgressText", "相册已不在网站上（%1，%2），文件夹《%3》保持原样")
        .arg(what, report.goneAddress, report.folderName);
}

// What went wrong with one album of an update, or the empty text.
static QString updateTrouble(const JobReport &r)
{
    if (r.busy)
        return busyText();
    if (r.albumGone)
        return goneLine(r);
    QStringList lines;
    if (r.haltedBy != HaltReason::None)
        lines << haltedLine(r);
    if (r.failed > 0)
        lines << failedLine(r);
    if (!r.collectionStop.isNone())
        lines << FailureText::collectionStop(r.collectionStop);
    if (r.folderGone || r.folderNote != JobReport::FolderNote::None)
        lines << FailureText::folderNote(r);
    for (const FolderProblem &problem : r.problems)
        lines << FailureText::folderProblem(problem);
    return lines.join(QCoreApplication::translate("ProgressText", "，"));
}

QString updateMessage(const QueueReport &report)
{
    QStringList added;
    QStringList troubles;
    for (const QueueAlbum &album : report.albums) {
        if (!album.report)
            continue;
        const JobReport &r = *album.report;
        if (r.saved > 0)
            added << QCoreApplication::translate("ProgressText", "相册《%1》（文件夹《%2》）：%3 张").arg(album.title, album.targetFolder).arg(r.saved);
        if (const QString trouble = updateTrouble(r); !trouble.isEmpty())
            troubles << QCoreApplication::translate("ProgressText", "相册《%1》：%2").arg(album.title, trouble);
    }
    QString text = QCoreApplication::translate("ProgressText", "更新完毕：检查了 %1 个相册，共新增 %2 张图片").arg(report.done).arg(report.saved);
    if (!added.isEmpty())
        text += QCoreApplication::translate("ProgressText", "\n\n新图片：\n") + added.join(QLatin1Char('\n'));
    if (!troubles.isEmpty())
        text += QCoreApplication::translate("ProgressText", "\n\n未能完成：\n") + troubles.join(QLatin1Char('\n'));
    if (report.done < report.albums.size())
        text += QCoreApplication::translate("ProgressText", "\n\n还有 %1 个相册没有检查").arg(report.albums.size() - report.done);
    return text;
}

QString queueStoppedLine(int notBegun)
{
    return QCoreApplication::translate("ProgressText", "已停止：其余 %1 个相册未下载").arg(notBegun);
}

QString interruptedQuestion(const QString &title, int saved)
{
    return QCoreApplication::translate("ProgressText", "上次有未完成的相册：《%1》已下载 %2 张，是否继续？").arg(title).arg(saved);
}

QStringList interruptedAnswers()
{
    return {QCoreApplication::translate("ProgressText", "继续下载"), QCoreApplication::translate("ProgressText", "以后再说"), QCoreApplication::translate("ProgressText", "删除这些图片")};
}

QStringList restartAnswers()
{
    return {QCoreApplication::translate("ProgressText", "继续下载"), QCoreApplication::translate("ProgressText", "重新下载")};
}

QString notAllDeleted(const QString &folder, const FileError &reason)
{
    return QCoreApplication::translate("ProgressText", "未能删除相册文件夹 %1 中的全部图片：%2").arg(folder, FailureText::file(reason));
}

QString checkMessage(const QList<FolderCheck> &checks)
{
    if (checks.isEmpty())
        return QCoreApplication::translate("ProgressText", "保存路径中没有记录下来的相册");
    QStringList troubles;
    int pictures = 0;
    for (const FolderCheck &check : checks) {
        pictures += check.pictures;
        if (check.intact())
            continue;
        QStringList what;
        if (!check.missing.isEmpty())
            what << QCoreApplication::translate("ProgressText", "缺少 %1 张（%2）").arg(check.missing.size()).arg(check.missing.join(QLatin1String("、")));
        if (!check.emptied.isEmpty())
            what << QCoreApplication::translate("ProgressText", "%1 张是空文件（%2）").arg(check.emptied.size()).arg(check.emptied.join(QLatin1String("、")));
        if (!check.changed.isEmpty())
            what << QCoreApplication::translate("ProgressText", "%1 张与下载时不同（%2）").arg(check.changed.size()).arg(check.changed.join(QLatin1String("、")));
        troubles << QCoreApplication::translate("ProgressText", "相册《%1》（文件夹《%2》）：").arg(check.title, check.folder)
                + what.join(QCoreApplication::translate("ProgressText", "，"));
    }
    QString text = QCoreApplication::translate("ProgressText", "检查了 %1 个相册，共 %2 张图片").arg(checks.size()).arg(pictures);
    if (troubles.isEmpty())
        return text + QCoreApplication::translate("ProgressText", "，全部完好");
    return text + QCoreApplication::translate("ProgressText", "\n\n有问题的相册：\n") + troubles.join(QLatin1Char('\n'))
        + QCoreApplication::translate("ProgressText", "\n\n用“只下载新上传的图片”再下载一次这些相册，可以补回缺少的图片");
}

} // namespace ProgressText
