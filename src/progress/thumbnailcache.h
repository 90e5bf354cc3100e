#pragma once

#include <QImage>
#include <QString>

// Covers in the desktop's shared thumbnail cache (freedesktop.org thumbnail
// managing standard): $XDG_CACHE_HOME/thumbnails/normal/<MD5 of the file's
// URI>.png, carrying Thumb::URI and Thumb::MTime. A thumbnail whose
// Thumb::MTime is the picture's is used as it is, so a cover is decoded from
// its picture once, for every program that reads the cache.
namespace ThumbnailCache {

constexpr int NormalSize = 128;

// The file URI the standard names a picture by.
QString fileUri(const QString &picture);
// Where the normal-size thumbnail of `picture` lives.
QString thumbnailPath(const QString &picture);

// The thumbnail of `picture`: the cached one when it is still the picture's,
// else made at the normal size (the picture decoded at that size, not whole)
// and written to the cache. A null image when the picture cannot be read.
// Safe off the window's thread.
QImage thumbnail(const QString &picture);

// How many pictures this process has decoded to make thumbnails.
int picturesDecoded();

} // namespace ThumbnailCache
