// A run of albums without a window: its queue, and what it reports to the
// terminal as albums and pictures end.
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
#include "web/networksession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

using namespace TerminalText;

namespace {

// The page without a view as the queue's source, minus the blank page the
// walk loads once the last album is collected: nothing is shown here, so a
// blank page would only be one more load.
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

} // namespace

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
        showProgress();
    });
    connect(m_queue, &AlbumQueue::pictureDone, this, &CommandLineRun::onPictureDone);
    connect(m_queue, &AlbumQueue::albumFinished, this, &CommandLineRun::onAlbumFinished);
    connect(m_queue, &AlbumQueue::finished, this, &CommandLineRun::onQueueFinished);
}

void CommandLineRun::failToStart(const JobStartFailure &failure)
{
    writeLine(errors(), oneLine(ProgressText::noTemporaryFolder(m_saveFolder, failure)));
    m_outcome.notWhole = true;
    end(m_outcome.exitCode());
}

void CommandLineRun::startQueue(const QList<AlbumQueue::Album> &albums)
{
    if (m_stopping)
        return end(m_outcome.exitCode());
    makePage();
    m_queue = new AlbumQueue(jobSettings(FrontEnd::CommandLine), m_source, albums, this);
    connectQueue();
    JobStartFailure failure;
    if (!m_queue->start(&failure))
        failToStart(failure);
}

void CommandLineRun::onAlbumStarted(int index)
{
    m_title = m_queue->album(index).title;
    m_total = -1;
    m_done = 0;
    m_saved = 0;
    m_albumClock.start();
    // Into a log, where a redrawn line would pile up, a line as the album begins.
    if (!m_request.quiet && !errorsIsTerminal())
        writeLine(errors(), QCoreApplication::translate("CommandLine", "[%1/%2] %3：开始").arg(index + 1).arg(m_queue->count()).arg(m_title));
}

void CommandLineRun::onPictureDone(const PictureReport &picture)
{
    ++m_done;
    if (picture.kind == PictureReport::Kind::Saved)
        ++m_saved;
    showProgress();
}

QString CommandLineRun::progressLine() const
{
    const double seconds = qMax<qint64>(m_albumClock.elapsed(), 1) / 1000.0;
    return QCoreApplication::translate("CommandLine", "[%1/%2] %3：%4/%5 张，%6 张/秒")
        .arg(m_queue->currentIndex() + 1)
        .arg(m_queue->count())
        .arg(m_title)
        .arg(m_done)
        .arg(m_total < 0 ? QStringLiteral("?") : QString::number(m_total))
        .arg(m_saved / seconds, 0, 'f', 1);
}

// Redrawn in place, so only on a terminal.
void CommandLineRun::showProgress()
{
    if (m_request.quiet || !errorsIsTerminal())
        return;
    fputs(("\r\033[K" + progressLine()).toLocal8Bit().constData(), errors());
    fflush(errors());
}

namespace {

// One album's line at its end: where its pictures are and what went wrong.
QString albumLine(int index, int count, const QString &title, const JobReport &report)
{
    QString line = QCoreApplication::translate("CommandLine", "[%1/%2] %3：").arg(index + 1).arg(count).arg(title);
    if (report.busy)
        return line + QCoreApplication::translate("CommandLine", "此相册正由另一个下载使用，未做改动");
    if (report.albumGone)
        return line + QCoreApplication::translate("CommandLine", "相册已不在网站上（%1%2），文件夹《%3》保持原样")
                          .arg(report.goneStatus ? QString::number(report.goneStatus) + QLatin1Char(' ') : QString(),
                               report.goneAddress, report.folderName);
    line += report.mode == DownloadMode::OnlyNew ? QCoreApplication::translate("CommandLine", "新图片 %1 张，已有 %2 张")
                                                       .arg(report.saved)
                                                       .arg(report.alreadyThere)
                                                 : QCoreApplication::translate("CommandLine", "保存 %1 张").arg(report.saved);
    if (report.failed > 0)
        line += QCoreApplication::translate("CommandLine", "，失败 %1 张").arg(report.failed);
    if (report.haltedBy != HaltReason::None)
        line += QCoreApplication::translate("CommandLine", "，") + ProgressText::haltedLine(report);
    if (!report.collectionStop.isNone())
        line += QCoreApplication::translate("CommandLine", "，") + FailureText::collectionStop(report.collectionStop);
    for (const QString &part : ProgressText::savedWhere(report))
        line += QCoreApplication::translate("CommandLine", "，") + part;
    for (const FolderProblem &problem : report.problems)
        line += QCoreApplication::translate("CommandLine", "，") + problem.path + QCoreApplication::translate("CommandLine", "：") + FailureText::file(problem.reason);
    return line;
}

} // namespace

void CommandLineRun::onAlbumFinished(int index, const JobReport &report)
{
    if (!m_request.quiet) {
        if (errorsIsTerminal())
            fputs("\r\033[K", errors());
        else
            writeLine(errors(), progressLine());
    }
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
        writeLine(lines(), albumLine(index, m_queue->count(), title, report));
    if (m_request.json)
        writeJson(albumJson(index, m_queue->count(), title, m_queue->album(index).address, m_saveFolder, report));
    if (report.haltedBy == HaltReason::LoginExpired)
        writeLine(errors(), notLoggedInText());
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
                      writeLine(errors(), unreachableText(address + QLatin1Char(' ') + FailureText::web(answer.failure)));
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
        writeLine(errors(), oneLine(ProgressText::noTemporaryFolder(m_saveFolder, report.stopFailure)));
        m_outcome.notWhole = true;
    }
    const int notBegun = m_queue->count() - report.done;
    if (notBegun > 0)
        m_outcome.notWhole = true;
    QString total = QCoreApplication::translate("CommandLine", "共 %1 个相册，完整 %2 个，新保存 %3 张图片")
                        .arg(m_queue->count())
                        .arg(m_albumsWhole)
                        .arg(report.saved);
    if (report.failed > 0)
        total += QCoreApplication::translate("CommandLine", "，失败 %1 张").arg(report.failed);
    if (notBegun > 0)
        total += QCoreApplication::translate("CommandLine", "，%1 个相册未开始").arg(notBegun);
    writeLine(lines(), total);
    m_totals = {int(m_queue->count()), m_albumsWhole, report.saved, report.failed, notBegun};
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
    if (m_request.json)
        writeJson(totalJson(m_totals, code));
    // Reported from the event loop, never from inside start().
    QTimer::singleShot(0, this, [this, code] { emit finished(code); });
}
