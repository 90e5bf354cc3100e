// A run of albums without a window, reporting to the terminal.
#include "commandline.h"
#include "terminaltext.h"

#include "addresses/siteaddresses.h"
#include "albums/albumlistrequest.h"
#include "browser/browserprofile.h"
#include "browser/headlesspage.h"
#include "download/albumfolder.h"
#include "download/jobsettings.h"
#include "download/recordedalbums.h"
#include "progress/progresstexts.h"
#include "storage/settingsfile.h"
#include "web/fetchpage.h"
#include "web/ratelimit.h"
#include "web/networksession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWebEngineProfile>
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

JobSettings CommandLineRun::jobSettings(FrontEnd frontEnd) const
{
    JobChoices choices;
    choices.frontEnd = frontEnd;
    choices.source = JobSource::HiddenPane;
    choices.saveFolder = m_saveFolder;
    if (m_request.replace)
        choices.mode = DownloadMode::ReplaceAll;
    choices.fast = m_request.fast;
    choices.inFlight = m_request.inFlight;
    choices.network = BrowserProfile::network()->manager();
    choices.userAgent = BrowserProfile::instance()->httpUserAgent().toUtf8();
    choices.photoHostBase = siteAddresses().photoHostBase;
    if (m_request.limitRate >= 0)
        choices.limitRate = m_request.limitRate;
    if (!m_request.captions.isEmpty())
        choices.captions = m_request.captions == QLatin1String("embed") ? CaptionMode::Embed
            : m_request.captions == QLatin1String("xmp")                 ? CaptionMode::Sidecar
                                                                         : CaptionMode::None;
    return MakeJobSettings(choices, StoredJobSettings::read(m_locations.settingsFile));
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
    m_queue = StartUpdateQueue(jobSettings(FrontEnd::UpdateList), m_source, albums, this, &failure);
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
        writeLine(lines(), ProgressText::albumListFailure({AlbumListError::NoAlbums}));
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
        writeLine(errors(), ProgressText::albumListFailure(failure));
        m_outcome.usage = true;
        break;
    case AlbumListError::NotLoggedIn:
        writeLine(errors(), notLoggedInText());
        m_outcome.notLoggedIn = true;
        break;
    case AlbumListError::NoAlbums:
        writeLine(lines(), ProgressText::albumListFailure(failure));
        break;
    case AlbumListError::Unreachable:
        writeLine(errors(), unreachableText(FailureText::web(failure.reason)));
        m_outcome.unreachable = true;
        break;
    }
    end(m_outcome.exitCode());
}
