#pragma once

#include "albumfolder.h"

#include <QList>
#include <QString>
#include <QStringList>

// What of an album folder goes to the trash when the user throws the album
// away: the pictures its record names as Quillmoor's, then the record. The
// rest (files the user added, files that were there before, a picture that
// is no longer what was saved) stays in the folder.
struct AlbumTrashPlan {
    QStringList ours;  // file names under the folder, the record last
    QStringList kept;  // every other entry of the folder, by name
};

AlbumTrashPlan PlanAlbumTrash(const QString &folder);

// Moves the plan's files of `folder` to the desktop's trash (QFile::moveToTrash),
// the record last, and removes the folder when that left it empty. False,
// with the problems, when one could not go or a job holds the album; the record then stays, so the
// folder is still known as the album's.
bool MoveAlbumToTrash(const QString &folder, QList<FolderProblem> *problems);
