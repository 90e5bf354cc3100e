#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRgb>
#include <QString>

#include <cstddef>
#include <functional>
#include <string>

namespace httplib {
class DataSink;
}

struct Seed;
struct SeedPicture;

// Deterministic picture bytes: the same id always gives the same file, and
// different ids give different files, so downloads can be compared byte for
// byte with what the site serves.
QByteArray jpegPicture(const QString &id, int width, int height);
QByteArray gifPicture(const QString &id, int width, int height);

// A GIF89a file of one 256-colour image; indices holds width*height palette
// indices row by row. Qt reads GIF but cannot write it.
QByteArray encodeGif(int width, int height, const QList<QRgb> &palette, const QByteArray &indices);

// `bytes` as a gzip stream, or as a zlib stream (what HTTP calls deflate).
QByteArray compressed(const QByteArray &bytes, bool gzip);

// A gzip body of a few hundred times less than `inflatedBytes` that inflates
// to `head` followed by `fill` bytes, `inflatedBytes` in all: the answer of
// a hostile site. Made of gzip members of 1 MB each, which a gzip decoder
// reads as one body; made once per size and kept, so that it costs a few
// milliseconds to build and about a megabyte per gigabyte to hold.
QByteArray gzipBomb(const QByteArray &head, char fill, qint64 inflatedBytes);

// An httplib content provider that sends `bytes` `step` bytes at a time,
// calling `wait(everyMs)` after each; `wait` returns false when the site stops.
std::function<bool(size_t offset, size_t length, httplib::DataSink &sink)>
trickleProvider(std::string bytes, int everyMs, std::function<bool(int ms)> wait, int step = 1);

// All picture files of a seed, made once at start and keyed by key().
class PictureStore
{
public:
    void generate(const Seed &seed);
    void add(const QString &albumId, const SeedPicture &picture);
    QByteArray bytes(const QString &albumId, const QString &pictureId, const QString &file) const;
    static QString key(const QString &albumId, const QString &pictureId, const QString &file);

private:
    QHash<QString, QByteArray> m_files;
};
