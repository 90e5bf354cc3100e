#pragma once

#include "jobtypes.h"

struct FolderFate;
struct PageSnapshot;

// What a job counts of its pictures as each is reported in its turn.
struct JobTally {
    int saved = 0; // counted as each takes its name in the folder
    int failed = 0;
    int alreadyThere = 0;
    int noPictureAddress = 0;
    int sidecarsInstead = 0;
    int notDownloaded = 0;

    // A picture reported: what it adds to the counts (but saved).
    void count(const PictureReport &report);
    // No picture failed, lacked its address or was left out.
    bool allCame() const { return failed == 0 && noPictureAddress == 0 && notDownloaded == 0; }
};

// The report's counts, and what ended the job early (`loginPage`: what the
// site answered when that was an expired login).
JobReport CountedReport(const JobTally &tally, HaltReason endedBy, const QString &loginPage);
// An update's album page showed the album is gone: the report says so.
void MarkAlbumGone(JobReport &report, const PageSnapshot &page);
