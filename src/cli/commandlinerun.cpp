// A run of albums without a window, reporting to the terminal.
#include "commandline.h"
#include "terminaltext.h"

#include "addresses/siteaddresses.h"
#include "albums/albumlistrequest.h"
#include "browser/browserprofile.h"
#include "browser/headlesspage.h"
#include "download/albumfolder.h"
#include "download/recordedalbums.h"
#include "progress/progresstexts.h"
#include "storage/settingsfile.h"
#include "web/fetchpage.h"
#include "web/ratelimit.h"
#include "web/networksession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

using namespace TerminalText;

CommandLineRun::CommandLineRun(const CommandLineRequest &request, const AppLocations &locations, QObject *parent)
    : QObject(parent)
    , m_request(request)
    , m_locations(locations)
{
    // The window's save folder unless the command names another; the
    // settings are only read, never written.
    m_saveFolder = request.saveFolder;
    if (m_saveFolder.isEmpty())
        m_saveFolder = ReadSetting(locations.settingsFile, QStringLiteral("Settings"), QStringLiteral("Path"));
    if (m_saveFolder.isEmpty())
        m_saveFolder = locations.defaultSaveFolder;
    m_saveFolder = QDir::cleanPath(QDir::current().absoluteFilePath(m_saveFolder));
}

CommandLineRun::~CommandLineRun()
{
    // Pages go before the profile they use, which main() deletes later.
    delete m_queue;
    delete m_page;
}

FILE *CommandLineRun::lines() const
{
    return m_request.json ? errors() : stdout;
}

JobSettings CommandLineRun::jobSettings() const
{
    JobSettings settings;
    settings.source = JobSource::MemberList;
    settings.saveFolder = m_saveFolder;
    settings.photoHostBase = siteAddresses().photoHostBase;
    settings.network = BrowserProfile::network()->manager();
    settings.mode = m_request.replace ? DownloadMode::ReplaceAll : DownloadMode::OnlyNew;
    // One limiter for the whole run, so every request of it shares the limit.
    const qint64 rate = m_request.limitRate >= 0
        ? m_request.limitRate
        : ReadSetting(m_locations.settingsFile, QStringLiteral("Settings"), QStringLiteral("LimitRate")).toLongLong();
    settings.requests.rateLimit = RateLimiter::make(qMax<qint64>(0, rate));
    // The window's choice, unless the command line names one.
    const QString captions = !m_request.captions.isEmpty()
        ? m_request.captions
        : ReadSetting(m_locations.settingsFile, QStringLiteral("Settings"), QStringLiteral("Captions")).toLower();
    settings.captions = captions == QLatin1String("embed")                               ? CaptionMode::Embed
        : captions == QLatin1String("xmp") || captions == QLatin1String("sidecar") ? CaptionMode::Sidecar
                                                                                         : CaptionMode::None;
    if (m_request.fast) {
        settings.pauseMs = 0;
        int count = m_request.inFlight;
        if (count == 0)
            count = ReadSetting(m_locations.settingsFile, QStringLiteral("Settings"), QStringLiteral("InFlight")).toInt();
        settings.maxInFlight = count >= 1 && count <= JobSettings::MaxInFlight ? count : JobSettings::DefaultFastInFlight;
    }
    return settings;
}

void CommandLineRun::start()
{
    if (!QDir(m_saveFolder).exists()) {
        writeLine(errors(), QCoreApplication::translate("CommandLine", "保存路径不存在：") + m_saveFolder);
        m_outcome.notWhole = true;
        return end(m_outcome.exitCode());
    }
    // An album copy left aside by a replacement that a crash cut short.
    AlbumFolder::recover(m_saveFolder);
    if (m_request.verify)
        return verify();
    if (!m_request.member.isEmpty()) {
        m_list = new AlbumListRequest(BrowserProfile::network()->manager(), siteAddresses().photoHostBase,
                                      m_request.member, this);
        connect(m_list, &AlbumListRequest::listed, this, &CommandLineRun::onListed);
        connect(m_list, &AlbumListRequest::failed, this, &CommandLineRun::onListFailed);
        m_list->start();
        return;
    }
    if (m_request.updateAll || !m_request.updateFolders.isEmpty())
        return startUpdate();
    QList<AlbumQueue::Album> albums;
    for (const QString &address : std::as_const(m_request.albums))
        albums.append({address, address, {}, {}, {}});
    startQueue(albums);
}

// --verify: the recorded folders compared with their records, here and now
// (no window waits on it); exit 1 when a picture is missing or changed.
void CommandLineRun::verify()
{
    QStringList names;
    const QDir save(m_saveFolder);
    for (const QString &given : std::as_const(m_request.verifyFolders)) {
        const QFileInfo info(QDir::current(), given);
        if (QDir(info.absolutePath()) != save || !AlbumRecord::load(info.absoluteFilePath()).exists()) {
            writeLine(errors(), QCoreApplication::translate("CommandLine", "不是保存路径 %1 中记录下来的相册文件夹：%2").arg(m_saveFolder, given));
            m_outcome.usage = true;
            return end(m_outcome.exitCode());
        }
        names << info.fileName();
    }
    const QList<FolderCheck> checks = CheckRecordedAlbums(m_saveFolder, names);
    writeLine(lines(), ProgressText::checkMessage(checks));
    m_outcome.notWhole = std::any_of(checks.cbegin(), checks.cend(), [](const FolderCheck &c) { return !c.intact(); });
    end(m_outcome.exitCode());
}

// The recorded albums the request names: all of them, or those of the
// folders given (by name under the save folder, or by path).
QList<RecordedAlbum> CommandLineRun::chosenAlbums()
{
    const QList<RecordedAlbum> recorded = RecordedAlbums(m_saveFolder);
    QList<RecordedAlbum> chosen;
    for (const RecordedAlbum &album : recorded) {
        if (!album.updatable())
            writeLine(lines(), QCoreApplication::translate("CommandLine", "《%1》：记录中没有相册地址，无法更新；用“只下载新上传的图片”重新下载一次后即可更新")
                                  .arg(album.folder));
        else if (m_request.updateAll)
            chosen.append(album);
    }
    const QDir save(m_saveFolder);
    for (const QString &given : std::as_const(m_request.updateFolders)) {
        const QFileInfo info(QDir::current(), given);
        const bool inSaveFolder = QDir(info.absolutePath()) == save;
        const QString name = inSaveFolder ? info.fileName() : QString();
        auto found = std::find_if(recorded.cbegin(), recorded.cend(),
                                  [&name](const RecordedAlbum &album) { return album.folder == name; });
        if (found == recorded.cend() || !found->updatable()) {
            writeLine(errors(), QCoreApplication::translate("CommandLine", "不是保存路径 %1 中可更新的相册文件夹：%2").arg(m_saveFolder, given));
            m_outcome.usage = true;
            continue;
        }
        chosen.append(*found);
    }
    return chosen;
}

void CommandLineRun::startUpdate()
{
    const QList<RecordedAlbum> albums = chosenAlbums();
    if (albums.isEmpty() || m_outcome.usage) {
        if (!m_outcome.usage)
            writeLine(lines(), QCoreApplication::translate("CommandLine", "保存路径中没有可更新的相册：") + m_saveFolder);
        return end(m_outcome.exitCode());
    }
    makePage();
    JobStartFailure failure;
    m_queue = StartUpdateQueue(jobSettings(), m_source, albums, this, &failure);
    if (!m_queue)
        return failToStart(failure);
    connectQueue();
    // The queue began its first album while it was made.
    if (m_queue->currentIndex() >= 0)
        onAlbumStarted(m_queue->currentIndex());
}

void CommandLineRun::onListed(const QList<AlbumEntry> &entries)
{
    m_list->deleteLater();
    if (entries.isEmpty()) {
        writeLine(lines(), QCoreApplication::translate("CommandLine", "该用户没有可供下载的相册"));
        return end(m_outcome.exitCode());
    }
    QList<AlbumQueue::Album> albums;
    for (const AlbumEntry &entry : entries)
        albums.append({entry.title, entry.url, {}});
    startQueue(albums);
}

void CommandLineRun::onListFailed(const AlbumListFailure &failure)
{
    m_list->deleteLater();
    switch (failure.error) {
    case AlbumListError::InvalidUserId:
        writeLine(errors(), QCoreApplication::translate("CommandLine", "用户ID输入有误"));
        m_outcome.usage = true;
        break;
    case AlbumListError::NotLoggedIn:
        writeLine(errors(), notLoggedInText());
        m_outcome.notLoggedIn = true;
        break;
    case AlbumListError::NoAlbums:
        writeLine(lines(), QCoreApplication::translate("CommandLine", "该用户没有可供下载的相册"));
        break;
    case AlbumListError::Unreachable:
        writeLine(errors(), unreachableText(FailureText::web(failure.reason)));
        m_outcome.unreachable = true;
        break;
    }
    end(m_outcome.exitCode());
}
