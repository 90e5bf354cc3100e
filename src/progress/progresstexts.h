#pragma once

#include "failuretexts.h"

#include "download/jobtypes.h"
#include "download/recordedalbums.h"
#include "download/htmlpagesource.h"
#include "albums/albumlistrequest.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The texts the window shows for a job: progress rows, captions, status
// labels and the completion message.
namespace ProgressText {

// Small icons of the progress rows, by their index in ImageList1.
enum Icon { CollectingIcon = 1, SavedIcon = 2, FinishedIcon = 3, FailedIcon = 4, WarningIcon = 5 };

struct Row {
    QString status;
    QString text;
    int icon = 0;
};

QString collectingStarted();
QString collectedSoFar(int collected);
QString collectedAll(int collected);
// Frame1 for an album read from the page already shown, and at the last page.
QString albumOfOnePage(const QString &albumName, int collected);
QString albumOfAllPages(const QString &albumName, int collected);
QString savedSoFar(int saved);
QString savedInQueue(int saved, int album, int albums);

// In "only new" mode a saved picture is said to be new.
Row pictureRow(const PictureReport &picture, bool onlyNew = false);
Row stoppedRow(const CollectionStop &stop);
// The fast mode collects an album through the browser after all, and why.
Row paneFallbackRow(PaneFallback why, const QString &address);
// A job that ended before its end: stopped, or the site's login expired.
QString haltedLine(const JobReport &report);
// Picture pages that held no picture address, counted beside the failures.
QString noPictureAddressLine(const JobReport &report);
// Captions written into pictures: how many went to a sidecar instead, their
// format taking none.
QString sidecarsInsteadLine(const JobReport &report);
// The status label of a paused job.
QString pausedText(HaltReason reason);
// A length of time as the progress bar says it: "1小时05分", "3分20秒", "12秒".
QString durationText(qint64 ms);
// The progress bar's text: pictures done of the album's total (and the
// album of a queue), then the pace and time left once known, or that the
// job is paused. While the album is still being collected the total is
// what was collected so far, and no time left is said.
struct BarState {
    int done = 0;
    int total = 0;
    bool collecting = false;
    int album = 1;
    int albums = 1;
    std::optional<double> perSecond;
    std::optional<qint64> remainingMs;
    bool paused = false;
};
QString progressBarText(const BarState &state);
Row finishedRow(const JobReport &report);
QString completionMessage(const JobReport &report);
// The one message at the end of a queue of albums: each album's folder, and
// what went wrong with it.
QString queueMessage(const QList<QueueAlbum> &albums);
// Where an album's pictures are: "保存在 《folder》", or why they are not
// where its name says, then a note on its folder if there is one. Every end
// of an album (message, queue message, the command line's line) says it so.
QStringList savedWhere(const JobReport &report);
// An album's temporary folder could not be made (a job that could not
// start): the save folder and why, a line each.
QString noTemporaryFolder(const QString &saveFolder, const JobStartFailure &failure);
// The words of an album list that could not be read (the member list, --member).
QString albumListFailure(const AlbumListFailure &failure);
// A queue the user stopped: how many of its albums were never begun.
QString queueStoppedLine(int notBegun);

// "更新全部相册": the list to choose from, its columns for one album, and
// the one message at the end of the update.
QString updateListTitle();
QString updateListText(const QString &saveFolder);
QStringList updateListHeaders();
QStringList updateListColumns(const RecordedAlbum &album);
QString noRecordedAlbums(const QString &saveFolder);
QString nothingChosen();
// Why an album cannot be updated, or the empty text.
QString goneLine(const JobReport &report);
QString updateMessage(const QueueReport &report);

// The question about an album a crash, a kill or a stop left unfinished,
// and its answers: at start-up (continue, later, delete those pictures) and
// when the album is started again (continue, a new download).
QString interruptedQuestion(const QString &title, int saved);
enum InterruptedAnswer { ContinueAnswer = 0, LaterAnswer = 1, DeleteAnswer = 2 };
QStringList interruptedAnswers();
enum RestartAnswer { RestartContinue = 0, RestartNew = 1 };
QStringList restartAnswers();
// Some of the pictures of an unfinished album could not be deleted.
QString notAllDeleted(const QString &folder, const FileError &reason);

// What a check of recorded album folders against their records found.
QString checkMessage(const QList<FolderCheck> &checks);

} // namespace ProgressText
