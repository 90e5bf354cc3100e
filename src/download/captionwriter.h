#pragma once

#include "albumrecord.h"
#include "jobtypes.h"
#include "metadata/picturemetadata.h"

#include <QString>

// Where the 图片说明 choice puts a picture's caption, album and date: the
// job's staged pictures, and pictures an album folder holds already.

// The description a picture of the album is written with.
Metadata::Description CaptionDescription(const AlbumRecord::Entry &entry, const QString &albumTitle);

// Writes what `mode` asks for into the staged picture `staged`, or into a
// sidecar beside it (`stagedSidecar` names it then; a format that takes no
// metadata gets one in Embed too), and gives the picture the description's
// date: all before either is seen where the user looks.
Metadata::Result StageCaptions(CaptionMode mode, const QString &staged, const Metadata::Description &description,
                               QString *stagedSidecar);

struct CaptionsWritten {
    Metadata::Result result;
    bool sidecar = false;        // a sidecar of Quillmoor's, entry.file + ".xmp", lies beside it now
    bool sidecarInstead = false; // Embed was asked; the format takes none
};

// Writes the captions of a picture that `folder` already holds as
// `entry.file`, as `mode` asks, from the entry's caption and date. Embed:
// a copy is written under a hidden temporary name beside the picture and
// then takes its place, so the picture is the old bytes or the new, never
// half-written; a link is refused. A sidecar is never written over a file
// that is there. The caller makes sure first that the file is the picture
// the record names (size, hash) and records what changed.
CaptionsWritten WriteCaptionsOfSaved(CaptionMode mode, const QString &folder, const AlbumRecord::Entry &entry,
                                     const QString &albumTitle);
