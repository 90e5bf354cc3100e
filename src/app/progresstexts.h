#pragma once

#include <QString>

struct JobReport;
struct PictureReport;

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

Row pictureRow(const PictureReport &picture);
Row stoppedRow(const QString &reason);
Row finishedRow(const JobReport &report);
QString completionMessage(const JobReport &report);

} // namespace ProgressText
