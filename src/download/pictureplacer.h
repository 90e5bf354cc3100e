#pragma once

#include "albumfolder.h"
#include "albumrecord.h"
#include "jobtally.h"
#include "jobtypes.h"
#include "pictureschedule.h"

#include <QSet>
#include <QString>

// Gives each downloaded picture its place in the album's folder, in the
// order the pictures are reported: the first picture of an address is saved,
// a user's file with the very bytes becomes the recorded one, captions are
// written as the job was asked, and the record proves the file as written.
// It also writes the captions of pictures an earlier run saved.
class PicturePlacer
{
public:
    PicturePlacer(AlbumFolder &folder, JobTally &tally, CaptionMode captions);

    // Sets the item's report: Saved under its name, AlreadyThere, Skipped
    // (the same picture saved before) or Failed; the staged file is gone
    // either way.
    void place(ScheduledPicture &item, const QString &albumName);
    bool saved(const QString &pictureAddress) const { return m_saved.contains(pictureAddress); }

    // Whether a picture the folder holds still lacks what the captions choice asks.
    bool wantsCaptions(const AlbumRecord::Entry &entry) const;
    // Writes them into the very picture the record names, when it is still
    // as recorded; a file changed since stays as it is.
    void writeCaptionsOfKept(AlbumRecord::Entry entry, const QString &albumName);

private:
    AlbumFolder &m_folder;
    JobTally &m_tally;
    CaptionMode m_captions;
    // Pictures saved in this job: a picture the album shows on two pages is
    // saved once.
    QSet<QString> m_saved;
};
