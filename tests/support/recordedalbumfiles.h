#pragma once

#include "download/albumrecord.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>

// Recorded album folders as a finished download leaves them, made without
// the site: small real JPEGs and the record that names them.

// A small real JPEG of one colour.
inline QByteArray smallJpeg(QRgb colour, QSize size = {160, 120})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

struct MadeAlbum {
    QString folder;
    QString title;
    int pictures = 0;
    AlbumRecord::State state = AlbumRecord::State::Finished;
    QDateTime recordTime;
    bool legacy = false; // an earlier version's record: pictures, no address
};

// Makes `album` under `saveFolder`: its pictures (all `jpeg`) and its record,
// whose time is the album's. The address comes from `albumAddress`.
inline bool makeRecordedAlbum(const QString &saveFolder, const MadeAlbum &album, const QString &albumAddress,
                              const QByteArray &jpeg)
{
    const QString folder = saveFolder + QLatin1Char('/') + album.folder;
    if (!QDir().mkpath(folder))
        return false;
    const auto sha = Sha256Digest::fromBytes(QCryptographicHash::hash(jpeg, QCryptographicHash::Sha256));
    QByteArray legacyPictures;
    AlbumRecord record;
    for (int i = 1; i <= album.pictures; ++i) {
        const QString file = QStringLiteral("%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile out(folder + QLatin1Char('/') + file);
        if (!out.open(QIODevice::WriteOnly) || out.write(jpeg) != jpeg.size())
            return false;
        out.close();
        const QString page = albumAddress + QStringLiteral("/picture-%1").arg(i);
        record.add({page, page + QStringLiteral(".jpg"), file, jpeg.size(), sha});
        legacyPictures += (i > 1 ? "," : "") + QByteArray("{\"page\":\"") + page.toUtf8() + "\",\"file\":\""
            + file.toUtf8() + "\"}";
    }
    QString recordPath = folder + QLatin1Char('/') + AlbumRecord::fileName();
    if (album.legacy) {
        recordPath = folder + QLatin1Char('/') + AlbumRecord::legacyFileName();
        QFile out(recordPath);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        out.write("{\"pictures\": [" + legacyPictures + "]}");
    } else {
        record.setAlbumAddress(albumAddress);
        record.setFirstPage(albumAddress);
        record.setTitle(album.title);
        record.setState(album.state);
        if (!record.save(folder))
            return false;
    }
    QFile written(recordPath);
    return written.open(QIODevice::ReadWrite) && written.setFileTime(album.recordTime, QFileDevice::FileModificationTime);
}
