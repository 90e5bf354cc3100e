#pragma once

#include "albumfolder.h"
#include "albumrecord.h"
#include "pictureclaims.h"
#include "jobtally.h"
#include "jobtypes.h"
#include "pictureschedule.h"

#include <QString>

// Gives each downloaded picture its place in the album's folder, in the
// order the pictures are reported: the first picture of an address is saved,
// a user's file with the very bytes becomes the recorded one, captions are
// written as the job was asked, and the record proves the file as written.
// It also writes the captions of pictures an earlier run saved.
class PicturePlacer
{
public:
    // `claims` learns of each picture saved, and answers saved().
    PicturePlacer(AlbumFolder &folder, JobTally &tally, CaptionMode captions, PictureClaims &claims);

    // Sets the item's report: Saved under its name, AlreadyThere, Skipped
    // (the same picture saved before) or Failed; the staged file is gone
    // either way.
    void place(ScheduledPicture &item, const QString &albumName);
    bool saved(const QString &pictureAddress) const { return m_claims.saved(pictureAddress); }

    // Whether a picture the folder holds still lacks what the captions choice asks.
    bool wantsCaptions(const AlbumRecord::Entry &entry) const;
    // Writes them into the very picture the record names, when it is still
    // as recorded; a file changed since stays as it is.
    void writeCaptionsOfKept(AlbumRecord::Entry entry, const QString &albumName);

private:
    AlbumFolder &m_folder;
    JobTally &m_tally;
    CaptionMode m_captions;
    // Pictures saved in this job among them: a picture the album shows on
    // two pages is saved once.
    PictureClaims &m_claims;
};
