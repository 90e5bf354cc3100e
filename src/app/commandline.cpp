// The program without a window: reading the arguments, and a run of albums
// that reports to the terminal.
#include "commandline.h"

#include "albums/albumlistrequest.h"
#include "download/albumfolders.h"
#include "download/recordedalbums.h"
#include "platform/browserpane.h"
#include "platform/headlesspage.h"
#include "progresstexts.h"
#include "siteaddresses.h"
#include "storage/settingsfile.h"
#include "web/fetchpage.h"
#include "web/networksession.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void writeLine(FILE *stream, const QString &text)
{
    fputs(text.toLocal8Bit().constData(), stream);
    fputc('\n', stream);
    fflush(stream);
}

QString notLoggedInText()
{
    return QStringLiteral("未登录或登录已过期：请先打开 Quillmoor 的窗口登录一次，再运行此命令。");
}

QString unreachableText(const QString &detail)
{
    return QStringLiteral("无法连接网站：") + detail;
}

} // namespace

namespace {

// Every option of the program, the window's and the runs'.
struct Options {
    QCommandLineOption site{QStringLiteral("site"),
                            QStringLiteral("Use the site at BASE (e.g. http://127.0.0.1:8080) for every site address."),
                            QStringLiteral("BASE")};
    QCommandLineOption noTheme{QStringLiteral("no-theme"),
                               QStringLiteral("Draw the buttons in their plain look instead of the desktop theme.")};
    QCommandLineOption updateAll{QStringLiteral("update-all"),
                                 QStringLiteral("Fetch the new pictures of every album recorded in the save folder.")};
    QCommandLineOption update{QStringLiteral("update"),
                              QStringLiteral("Fetch the new pictures of the album in FOLDER (repeatable)."),
                              QStringLiteral("FOLDER")};
    QCommandLineOption album{QStringLiteral("album"), QStringLiteral("Download the album at URL (repeatable)."),
                             QStringLiteral("URL")};
    QCommandLineOption member{QStringLiteral("member"), QStringLiteral("Download every album of member ID."),
                              QStringLiteral("ID")};
    QCommandLineOption saveFolder{QStringLiteral("save-folder"),
                                  QStringLiteral("Save into DIR instead of the window's save folder."),
                                  QStringLiteral("DIR")};
    QCommandLineOption replace{QStringLiteral("replace"),
                               QStringLiteral("Download whole albums again (default: only new pictures).")};
    QCommandLineOption fast{QStringLiteral("fast"), QStringLiteral("Work on several pictures at once.")};
    QCommandLineOption inFlight{QStringLiteral("in-flight"), QStringLiteral("With --fast, N pictures at once (1 to 8)."),
                                QStringLiteral("N")};
    QCommandLineOption quiet{QStringLiteral("quiet"),
                             QStringLiteral("No progress line; only albums with a problem and the total.")};
};

CommandLineRequest usageError(const QString &text)
{
    CommandLineRequest request;
    request.action = CommandLineRequest::Action::UsageError;
    request.text = text;
    return request;
}

// The options of a run, once one of its kinds is given.
CommandLineRequest readRun(const QCommandLineParser &parser, const Options &options, CommandLineRequest request)
{
    const QStringList members = parser.values(options.member);
    const int kinds = int(request.updateAll) + int(!request.updateFolders.isEmpty()) + int(!request.albums.isEmpty())
        + int(!members.isEmpty());
    if (kinds > 1 || members.size() > 1)
        return usageError(QStringLiteral("Give one of --album, --member, --update or --update-all"));
    for (const QString &address : std::as_const(request.albums)) {
        const QUrl url(address);
        if (!url.isValid() || !url.scheme().startsWith(QLatin1String("http")) || url.host().isEmpty())
            return usageError(QStringLiteral("--album needs an album address: ") + address);
    }
    request.member = members.value(0);
    request.saveFolder = parser.value(options.saveFolder);
    request.replace = parser.isSet(options.replace);
    request.fast = parser.isSet(options.fast) || parser.isSet(options.inFlight);
    if (parser.isSet(options.inFlight)) {
        bool number = false;
        request.inFlight = parser.value(options.inFlight).toInt(&number);
        if (!number || request.inFlight < 1 || request.inFlight > JobSettings::MaxInFlight)
            return usageError(QStringLiteral("--in-flight needs a number from 1 to %1").arg(JobSettings::MaxInFlight));
    }
    if ((request.updateAll || !request.updateFolders.isEmpty()) && request.replace)
        return usageError(QStringLiteral("--update and --update-all fetch only new pictures; --replace does not apply"));
    request.quiet = parser.isSet(options.quiet);
    request.action = CommandLineRequest::Action::Run;
    return request;
}

} // namespace

CommandLineRequest parseCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Downloads Kestrelnet photo albums. Without --album, --member, --update or --update-all it opens the window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const Options o;
    parser.addOptions({o.site, o.noTheme, o.updateAll, o.update, o.album, o.member, o.saveFolder, o.replace, o.fast,
                       o.inFlight, o.quiet});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    CommandLineRequest request;
    if (parser.isSet(help)) {
        request.action = CommandLineRequest::Action::Help;
        // Read before any application object exists, the parser cannot know the program's name.
        request.text = parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("quillmoor"));
        return request;
    }
    if (parser.isSet(versionOption)) {
        request.action = CommandLineRequest::Action::Version;
        request.text = QStringLiteral("Quillmoor ") + version;
        return request;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unknown argument: ") + parser.positionalArguments().constFirst());
    request.site = parser.value(o.site);
    const QUrl base(request.site);
    if (parser.isSet(o.site) && (!base.isValid() || base.scheme() != QLatin1String("http") || base.host().isEmpty()))
        return usageError(QStringLiteral("--site needs an address like http://127.0.0.1:8080"));
    request.noTheme = parser.isSet(o.noTheme);
    request.updateAll = parser.isSet(o.updateAll);
    request.updateFolders = parser.values(o.update);
    request.albums = parser.values(o.album);
    if (request.updateAll || !request.updateFolders.isEmpty() || !request.albums.isEmpty() || parser.isSet(o.member))
        return readRun(parser, o, request);
    for (const QCommandLineOption &runOnly : {o.saveFolder, o.replace, o.fast, o.inFlight, o.quiet})
        if (parser.isSet(runOnly))
            return usageError(
                QStringLiteral("--%1 needs --album, --member, --update or --update-all").arg(runOnly.names().constFirst()));
    return request;
}

int RunOutcome::exitCode() const
{
    if (notLoggedIn)
        return ExitCode::NotLoggedIn;
    if (unreachable)
        return ExitCode::Unreachable;
    if (busy)
        return ExitCode::Busy;
    if (usage)
        return ExitCode::Usage;
    return notWhole ? ExitCode::NotWhole : ExitCode::Whole;
}

namespace {
int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a handler; the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto read = ::read(g_signalPipe[0], &byte, 1);
        emit stopRequested();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

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

JobSettings CommandLineRun::jobSettings() const
{
    JobSettings settings;
    settings.source = JobSource::MemberList;
    settings.saveFolder = m_saveFolder;
    settings.photoHostBase = siteAddresses().photoHostBase;
    settings.network = BrowserProfile::network()->manager();
    settings.mode = m_request.replace ? DownloadMode::ReplaceAll : DownloadMode::OnlyNew;
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
        writeLine(stderr, QStringLiteral("保存路径不存在：") + m_saveFolder);
        m_outcome.notWhole = true;
        return end(m_outcome.exitCode());
    }
    // An album copy left aside by a replacement that a crash cut short.
    RecoverAlbumFolders(m_saveFolder);
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

// The recorded albums the request names: all of them, or those of the
// folders given (by name under the save folder, or by path).
QList<RecordedAlbum> CommandLineRun::chosenAlbums()
{
    const QList<RecordedAlbum> recorded = RecordedAlbums(m_saveFolder);
    QList<RecordedAlbum> chosen;
    for (const RecordedAlbum &album : recorded) {
        if (!album.updatable())
            writeLine(stdout, QStringLiteral("《%1》：记录中没有相册地址，无法更新；用“只下载新上传的图片”重新下载一次后即可更新")
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
            writeLine(stderr, QStringLiteral("不是保存路径 %1 中可更新的相册文件夹：%2").arg(m_saveFolder, given));
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
            writeLine(stdout, QStringLiteral("保存路径中没有可更新的相册：") + m_saveFolder);
        return end(m_outcome.exitCode());
    }
    makePage();
    QString error;
    m_queue = StartUpdateQueue(jobSettings(), m_source, albums, this, &error);
    if (!m_queue)
        return failToStart(error);
    connectQueue();
    // The queue began its first album while it was made.
    if (m_queue->currentIndex() >= 0)
        onAlbumStarted(m_queue->currentIndex());
}

void CommandLineRun::onListed(const QList<AlbumEntry> &entries)
{
    m_list->deleteLater();
    if (entries.isEmpty()) {
        writeLine(stdout, QStringLiteral("该用户没有可供下载的相册"));
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
        writeLine(stderr, QStringLiteral("用户ID输入有误"));
        m_outcome.usage = true;
        break;
    case AlbumListError::NotLoggedIn:
        writeLine(stderr, notLoggedInText());
        m_outcome.notLoggedIn = true;
        break;
    case AlbumListError::NoAlbums:
        writeLine(stdout, QStringLiteral("该用户没有可供下载的相册"));
        break;
    case AlbumListError::Unreachable:
        writeLine(stderr, unreachableText(failure.reason));
        m_outcome.unreachable = true;
        break;
    }
    end(m_outcome.exitCode());
}

// The page without a view as the queue's source, minus the blank page the
// walk loads once an album is collected: with fast downloads the next album
// begins while that load is still on its way, and the page then reports the
// blank page's end in place of the album's, so the album would wait for a page
// that never comes. Nothing is shown here, so skipping the blank costs nothing.
class AlbumPages : public PageSource
{
public:
    explicit AlbumPages(HeadlessPage *page, QObject *parent)
        : PageSource(parent)
        , m_page(page)
    {
        connect(page, &PageSource::pageReady, this, &PageSource::pageReady);
    }
    void load(const QString &address) override
    {
        if (address != QLatin1String("about:blank"))
            m_page->load(address);
    }

private:
    HeadlessPage *m_page;
};

void CommandLineRun::makePage()
{
    m_page = new HeadlessPage(BrowserProfile::instance());
    m_source = new AlbumPages(m_page, this);
    connect(m_page, &PageSource::pageReady, this, [this](const PageSnapshot &page) {
        if (page.failed)
            probeSite(page.address);
    });
}

void CommandLineRun::connectQueue()
{
    connect(m_queue, &AlbumQueue::albumStarted, this, &CommandLineRun::onAlbumStarted);
    connect(m_queue, &AlbumQueue::collectionFinished, this, [this](int collected) {
        // An album given by its address is named once its page is read.
        if (const DownloadJob *job = m_queue->currentJob(); job && !job->albumName().isEmpty())
            m_title = job->albumName();
        m_total = collected;
        showProgress(true);
    });
    connect(m_queue, &AlbumQueue::pictureDone, this, &CommandLineRun::onPictureDone);
    connect(m_queue, &AlbumQueue::albumFinished, this, &CommandLineRun::onAlbumFinished);
    connect(m_queue, &AlbumQueue::finished, this, &CommandLineRun::onQueueFinished);
}

void CommandLineRun::failToStart(const QString &error)
{
    writeLine(stderr, QStringLiteral("无法在保存路径中创建临时文件夹，请检查保存路径是否存在并且可写：")
                          + m_saveFolder + QLatin1Char(' ') + error);
    m_outcome.notWhole = true;
    end(m_outcome.exitCode());
}

void CommandLineRun::startQueue(const QList<AlbumQueue::Album> &albums)
{
    if (m_stopping)
        return end(m_outcome.exitCode());
    makePage();
    m_queue = new AlbumQueue(jobSettings(), m_source, albums, this);
    connectQueue();
    QString error;
    if (!m_queue->start(&error))
        failToStart(error);
}

void CommandLineRun::onAlbumStarted(int index)
{
    m_title = m_queue->album(index).title;
    m_total = -1;
    m_done = 0;
    m_saved = 0;
    m_albumClock.start();
    m_lastProgress.invalidate();
}

void CommandLineRun::onPictureDone(const PictureReport &picture)
{
    ++m_done;
    if (picture.kind == PictureReport::Kind::Saved)
        ++m_saved;
    showProgress(false);
}

void CommandLineRun::showProgress(bool force)
{
    if (m_request.quiet)
        return;
    const bool terminal = ::isatty(fileno(stderr));
    // Into a log file at most one line a second.
    if (!terminal && !force && m_lastProgress.isValid() && m_lastProgress.elapsed() < 1000)
        return;
    m_lastProgress.start();
    const double seconds = qMax<qint64>(m_albumClock.elapsed(), 1) / 1000.0;
    const QString line = QStringLiteral("[%1/%2] %3：%4/%5 张，%6 张/秒")
                             .arg(m_queue->currentIndex() + 1)
                             .arg(m_queue->count())
                             .arg(m_title)
                             .arg(m_done)
                             .arg(m_total < 0 ? QStringLiteral("?") : QString::number(m_total))
                             .arg(m_saved / seconds, 0, 'f', 1);
    if (terminal) {
        fputs(("\r\033[K" + line).toLocal8Bit().constData(), stderr);
        fflush(stderr);
    } else {
        writeLine(stderr, line);
    }
}

namespace {

// One album's line at its end: where its pictures are and what went wrong.
QString albumLine(int index, int count, const QString &title, const JobReport &report)
{
    QString line = QStringLiteral("[%1/%2] %3：").arg(index + 1).arg(count).arg(title);
    if (report.busy)
        return line + QStringLiteral("此相册正由另一个下载使用，未做改动");
    if (report.albumGone)
        return line + QStringLiteral("相册已不在网站上（%1%2），文件夹《%3》保持原样")
                          .arg(report.goneStatus ? QString::number(report.goneStatus) + QLatin1Char(' ') : QString(),
                               report.goneAddress, report.folderName);
    line += report.mode == DownloadMode::OnlyNew ? QStringLiteral("新图片 %1 张，已有 %2 张")
                                                       .arg(report.saved)
                                                       .arg(report.alreadyThere)
                                                 : QStringLiteral("保存 %1 张").arg(report.saved);
    if (report.failed > 0)
        line += QStringLiteral("，失败 %1 张").arg(report.failed);
    if (report.haltedBy != HaltReason::None)
        line += QStringLiteral("，") + ProgressText::haltedLine(report);
    if (!report.collectionNote.isEmpty())
        line += QStringLiteral("，") + report.collectionNote;
    line += report.folderGone ? QStringLiteral("，") + report.folderNote
                              : QStringLiteral("，保存在 《") + report.folderName + QStringLiteral("》");
    if (!report.folderGone && !report.folderNote.isEmpty())
        line += QStringLiteral("，") + report.folderNote;
    for (const FolderProblem &problem : report.problems)
        line += QStringLiteral("，") + problem.path + QStringLiteral("：") + problem.reason;
    return line;
}

} // namespace

void CommandLineRun::onAlbumFinished(int index, const JobReport &report)
{
    if (!m_request.quiet && ::isatty(fileno(stderr)))
        fputs("\r\033[K", stderr);
    bool endQueue = m_stopping;
    if (report.haltedBy == HaltReason::LoginExpired) {
        m_outcome.notLoggedIn = true;
        endQueue = true;
    }
    if (report.busy)
        m_outcome.busy = true;
    else if (report.albumGone)
        m_outcome.notWhole = true;
    else if (!report.isWhole())
        m_outcome.notWhole = true;
    else
        ++m_albumsWhole;

    const QString title = report.albumName.isEmpty() ? m_queue->album(index).title : report.albumName;
    const bool whole = report.isWhole() && !report.busy;
    if (!m_request.quiet || !whole)
        writeLine(stdout, albumLine(index, m_queue->count(), title, report));
    if (report.haltedBy == HaltReason::LoginExpired)
        writeLine(stderr, notLoggedInText());
    // No further album begins: the same would happen to each.
    if (endQueue) {
        m_queue->kill();
        QTimer::singleShot(0, this, &CommandLineRun::onQueueFinished);
    }
}

void CommandLineRun::probeSite(const QString &address)
{
    // The page reader cannot tell an error page from no answer at all; one
    // bounded request of the same address can.
    RequestOptions options;
    options.timeoutMs = ProbeTimeoutMs;
    options.retry = RetryPolicy::none();
    ++m_probes;
    fetchPage(BrowserProfile::network()->manager(), QStringLiteral("utf-8"), address, this,
              [this, address](const PageResult &answer) {
                  --m_probes;
                  const bool noAnswer = answer.error == WebError::Network || answer.error == WebError::Timeout;
                  if (noAnswer && !m_outcome.unreachable) {
                      m_outcome.unreachable = true;
                      writeLine(stderr, unreachableText(address + QLatin1Char(' ') + answer.message));
                      // Every further page would fail the same way.
                      stopQueue();
                  }
                  if (m_probes == 0 && m_queueEnded)
                      onQueueFinished();
              },
              options);
}

void CommandLineRun::onQueueFinished()
{
    m_queueEnded = true;
    if (m_ended || m_probes > 0)
        return;
    const AlbumQueue::Report &report = m_queue->report();
    if (report.stop == AlbumQueue::Stop::NoTemporaryFolder) {
        writeLine(stderr, QStringLiteral("无法在保存路径中创建临时文件夹：") + report.stopDetail);
        m_outcome.notWhole = true;
    }
    const int notBegun = m_queue->count() - report.done;
    if (notBegun > 0)
        m_outcome.notWhole = true;
    QString total = QStringLiteral("共 %1 个相册，完整 %2 个，新保存 %3 张图片")
                        .arg(m_queue->count())
                        .arg(m_albumsWhole)
                        .arg(report.saved);
    if (report.failed > 0)
        total += QStringLiteral("，失败 %1 张").arg(report.failed);
    if (notBegun > 0)
        total += QStringLiteral("，%1 个相册未开始").arg(notBegun);
    writeLine(stdout, total);
    end(m_outcome.exitCode());
}

void CommandLineRun::stop()
{
    if (m_stopping || m_ended)
        return;
    m_stopping = true;
    if (m_list) {
        delete m_list;
        m_outcome.notWhole = true;
        return end(m_outcome.exitCode());
    }
    stopQueue();
}

void CommandLineRun::stopQueue()
{
    m_stopping = true;
    DownloadJob *job = m_queue ? m_queue->currentJob() : nullptr;
    if (m_queue && m_queue->isRunning() && job)
        job->stop(); // its end comes through onAlbumFinished, which ends the queue
}

void CommandLineRun::end(int code)
{
    if (m_ended)
        return;
    m_ended = true;
    // Reported from the event loop, never from inside start().
    QTimer::singleShot(0, this, [this, code] { emit finished(code); });
}

int runCommandLine(const CommandLineRequest &request, const AppLocations &locations)
{
    int code = ExitCode::Whole;
    {
        CommandLineRun run(request, locations);
        StopSignals stopSignals;
        QObject::connect(&stopSignals, &StopSignals::stopRequested, &run, &CommandLineRun::stop);
        QObject::connect(&run, &CommandLineRun::finished, &run, [&code](int result) {
            code = result;
            QCoreApplication::quit();
        });
        run.start();
        QCoreApplication::exec();
    }
    // Pages must go before the browser profile they use.
    BrowserProfile::shutdown();
    return code;
}
