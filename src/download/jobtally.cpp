#include "jobtally.h"

#include "web/pagelink.h"

void JobTally::count(const PictureReport &report)
{
    if (report.kind == PictureReport::Kind::Failed)
        ++failed;
    if (report.noPictureAddress)
        ++noPictureAddress;
    if (report.kind == PictureReport::Kind::AlreadyThere)
        ++alreadyThere;
}

JobReport CountedReport(const JobTally &tally, HaltReason endedBy, const QString &loginPage)
{
    JobReport report;
    report.saved = tally.saved;
    report.failed = tally.failed;
    report.alreadyThere = tally.alreadyThere;
    report.noPictureAddress = tally.noPictureAddress;
    report.sidecarsInstead = tally.sidecarsInstead;
    report.notDownloaded = tally.notDownloaded;
    report.haltedBy = endedBy;
    report.loginPage = endedBy == HaltReason::LoginExpired ? loginPage : QString();
    return report;
}

void MarkAlbumGone(JobReport &report, const PageSnapshot &page)
{
    report.albumGone = true;
    report.whole = false;
    report.goneAddress = page.address;
    report.goneStatus = page.httpStatus;
    report.goneTitle = page.title;
}
