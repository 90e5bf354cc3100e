#pragma once

#include "download/albumqueue.h"
#include "download/jobsettings.h"
#include "storage/applocations.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdio>

class AlbumListRequest;
struct AlbumListFailure;
class HeadlessPage;

// What the program's arguments ask for: the window, or a run without one.
struct CommandLineRequest {
    enum class Action { Window, Help, Version, ManPage, BashCompletion, Run, UsageError };
    Action action = Action::Window;
    QString text; // the help, version, manual page or completion text, or what is wrong

    QStringList albums;        // --album, in the order given
    QString member;            // --member
    bool updateAll = false;    // --update-all
    QStringList updateFolders; // --update
    QString saveFolder;
    QString site;
    bool replace = false;
    bool fast = false;
    int inFlight = 0; // 0: the count the settings name
    bool quiet = false;
    qint64 limitRate = -1;      // --limit-rate in bytes a second; -1: the window's choice
    QString captions;           // --captions: none, embed or xmp; empty: the window's choice
    bool verify = false;        // --verify
    QStringList verifyFolders;  // the folders it names; none: every recorded album
    bool json = false; // --json: standard output holds JSON lines alone
    bool noTheme = false;
};

// Reads the program's arguments (the program's name first) without an
// application object, so the choice of platform can depend on them.
CommandLineRequest parseCommandLine(const QStringList &arguments, const QString &version);

// How a run ends, as a scheduler reads it: the first that applies.
namespace ExitCode {
enum : int {
    Whole = 0,       // every album whole
    NotWhole = 1,    // some pictures failed, an album is gone or was stopped
    Usage = 2,       // wrong usage
    NotLoggedIn = 3, // not logged in, or the login expired
    Unreachable = 4, // the site could not be reached
    Busy = 5,        // already running, or an album busy in another process
};
}

// What went wrong in a run; exitCode() picks the first that applies.
struct RunOutcome {
    bool notLoggedIn = false;
    bool unreachable = false;
    bool busy = false;
    bool usage = false;
    bool notWhole = false;
    int exitCode() const;
};

// What a run did in sum, for its total line.
struct RunTotals {
    int albums = 0;
    int whole = 0;
    int saved = 0;
    int failed = 0;
    int notBegun = 0;
};

// The lines of --json: one object for each album as it ends, and one for the
// run's total with its exit code. The fields are listed in the README.
QJsonObject albumJson(int index, int count, const QString &title, const QString &address, const QString &saveFolder,
                      const JobReport &report);
QJsonObject totalJson(const RunTotals &totals, int exitCode);
// One line on standard output, written at once.
void writeJson(const QJsonObject &object);

// A download without a window: the albums the request names, one queue
// through a page without a view, the same folders and records as the member
// tab. A progress line goes to standard error, one line per album and the
// total to standard output. finished() carries the exit code.
class CommandLineRun : public QObject
{
    Q_OBJECT
public:
    CommandLineRun(const CommandLineRequest &request, const AppLocations &locations, QObject *parent = nullptr);
    ~CommandLineRun() override;

    // Returns at once; finished() follows from the event loop.
    void start();
    // As the window's stop: the album at work ends keeping what is saved
    // (with its record), no further album begins.
    void stop();

    QString saveFolder() const { return m_saveFolder; }

    static constexpr int ProbeTimeoutMs = 15000;

signals:
    void finished(int exitCode);

private:
    void startQueue(const QList<AlbumQueue::Album> &albums);
    void startUpdate();
    void verify();
    QList<struct RecordedAlbum> chosenAlbums();
    void makePage();
    void connectQueue();
    void failToStart(const JobStartFailure &failure);
    void onListed(const QList<struct AlbumEntry> &entries);
    void onListFailed(const AlbumListFailure &failure);
    void onAlbumStarted(int index);
    void onPictureDone(const PictureReport &picture);
    void onAlbumFinished(int index, const JobReport &report);
    void onQueueFinished();
    void probeSite(const QString &address);
    void stopQueue();
    void showProgress();
    QString progressLine() const;
    // Human lines of a run: standard output, or standard error under --json.
    FILE *lines() const;
    void end(int code);
    JobSettings jobSettings(FrontEnd frontEnd) const;

    CommandLineRequest m_request;
    AppLocations m_locations;
    QString m_saveFolder;
    RunOutcome m_outcome;
    HeadlessPage *m_page = nullptr;
    PageSource *m_source = nullptr;
    QPointer<AlbumListRequest> m_list;
    QPointer<AlbumQueue> m_queue;
    bool m_stopping = false;
    bool m_ended = false;
    // Requests that tell whether a failed album page had any answer.
    int m_probes = 0;
    bool m_queueEnded = false;
    QString m_title;
    int m_total = -1;
    int m_done = 0;
    int m_saved = 0;
    int m_albumsWhole = 0;
    QElapsedTimer m_albumClock;
    RunTotals m_totals;
};
