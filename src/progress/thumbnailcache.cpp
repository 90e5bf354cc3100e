#include "thumbnailcache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <atomic>

namespace ThumbnailCache {

namespace {

std::atomic<int> s_decoded{0};

QString mtimeOf(const QFileInfo &info)
{
    return QString::number(info.lastModified().toSecsSinceEpoch());
}

} // namespace

QString fileUri(const QString &picture)
{
    return QUrl::fromLocalFile(QFileInfo(picture).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

QString thumbnailPath(const QString &picture)
{
    const QByteArray md5 = QCryptographicHash::hash(fileUri(picture).toUtf8(), QCryptographicHash::Md5).toHex();
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QLatin1String("/thumbnails/normal/") + QString::fromLatin1(md5) + QLatin1String(".png");
}

QImage thumbnail(const QString &picture)
{
    const QFileInfo info(picture);
    if (!info.isFile())
        return {};
    const QString uri = fileUri(picture);
    const QString mtime = mtimeOf(info);
    const QString cached = thumbnailPath(picture);
    {
        // QImageReader::text() splits its keys at the first colon, and the
        // standard's keys hold two: the keys are read from the image itself.
        // A cached thumbnail is small; the picture is what must not be decoded.
        QImageReader reader(cached, "png");
        const QImage image = reader.canRead() ? reader.read() : QImage();
        if (!image.isNull() && image.text(QStringLiteral("Thumb::MTime")) == mtime
            && image.text(QStringLiteral("Thumb::URI")) == uri)
            return image;
    }

    QImageReader reader(picture);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > NormalSize || size.height() > NormalSize))
        reader.setScaledSize(size.scaled(NormalSize, NormalSize, Qt::KeepAspectRatio));
    ++s_decoded;
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > NormalSize || image.height() > NormalSize)
        image = image.scaled(NormalSize, NormalSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);

    // Written whole under another name and renamed in, as the standard asks,
    // so that another program never reads half a thumbnail; private to the
    // user, as the cache folder is.
    const QString folder = QFileInfo(cached).absolutePath();
    const QString top = QFileInfo(folder).absolutePath();
    const bool hadTop = QFileInfo::exists(top), hadFolder = QFileInfo::exists(folder);
    QDir().mkpath(folder);
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!hadTop)
        QFile::setPermissions(top, ownerOnly);
    if (!hadFolder)
        QFile::setPermissions(folder, ownerOnly);
    QSaveFile out(cached);
    if (out.open(QIODevice::WriteOnly)) {
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        image.setText(QStringLiteral("Thumb::URI"), uri);
        image.setText(QStringLiteral("Thumb::MTime"), mtime);
        image.setText(QStringLiteral("Thumb::Size"), QString::number(info.size()));
        image.setText(QStringLiteral("Software"), QStringLiteral("Quillmoor"));
        QImageWriter writer(&out, "png");
        if (writer.write(image))
            out.commit();
        else
            out.cancelWriting();
    }
    return image;
}

int picturesDecoded()
{
    return s_decoded.load();
}

} // namespace ThumbnailCache
