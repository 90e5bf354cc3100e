#pragma once

#include "download/albumcollection.h"
#include "download/albumfolder.h"
#include "download/jobtypes.h"
#include "storage/filesystem.h"
#include "web/webfailure.h"

#include <QString>

// The words for what went wrong, made from the codes and details the core
// reports. Each text goes through QCoreApplication::translate with its
// Chinese as the source text, so a translation needs no change to the core.
namespace FailureText {

// A request's failure, or a browser pane's failed load.
QString web(const WebFailure &failure);
// A file or folder step's failure, naming the paths and the system's reason.
QString file(const FileError &error);
// A folder step of a job that failed; says which path when nothing else is known.
QString folderProblem(const FolderProblem &problem);
// Why collection ended before the album's last page.
QString collectionStop(const CollectionStop &stop);
// Why a picture failed or was skipped; empty when it did neither.
QString pictureReason(const PictureReport &picture);
// Why the pictures are not where the album's name says, or the empty text.
QString folderNote(const JobReport &report);
// Why a job could not start, also as the album queue hands it on.
QString jobStart(const JobStartFailure &failure);

} // namespace FailureText
