#pragma once

// What exiv2 itself reads from a picture or a sidecar, for tests that check
// what Quillmoor wrote. A test that includes this links exiv2lib.
#include <QFile>
#include <QString>
#include <QStringList>

#include <exiv2/exiv2.hpp>

struct ReadMetadata {
    bool read = false;
    QString error;
    QString description; // Xmp.dc.description, x-default
    QStringList subject; // Xmp.dc.subject
    QString source;      // Xmp.dc.source
    bool hasUserComment = false;
    QByteArray userCommentCharset; // its first 8 bytes
    QString userComment;
    bool hasImageDescription = false;
    QString imageDescription;
    QString iptcCaption;
    QByteArray iptcCharset;
};

inline ReadMetadata readMetadata(const QString &path)
{
    ReadMetadata out;
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        const Exiv2::XmpData &xmp = image->xmpData();
        if (auto it = xmp.findKey(Exiv2::XmpKey("Xmp.dc.description")); it != xmp.end()) {
            const auto &alt = dynamic_cast<const Exiv2::LangAltValue &>(it->value());
            if (auto found = alt.value_.find("x-default"); found != alt.value_.end())
                out.description = QString::fromStdString(found->second);
        }
        if (auto it = xmp.findKey(Exiv2::XmpKey("Xmp.dc.subject")); it != xmp.end())
            for (long i = 0; i < it->count(); ++i)
                out.subject << QString::fromStdString(it->toString(i));
        if (auto it = xmp.findKey(Exiv2::XmpKey("Xmp.dc.source")); it != xmp.end())
            out.source = QString::fromStdString(it->toString());
        const Exiv2::ExifData &exif = image->exifData();
        if (auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.UserComment")); it != exif.end()) {
            // Decoded here from the bytes in the file's order, UTF-16.
            out.hasUserComment = true;
            const Exiv2::ByteOrder order = image->byteOrder();
            QByteArray bytes(qsizetype(it->size()), '\0');
            it->copy(reinterpret_cast<Exiv2::byte *>(bytes.data()), order);
            out.userCommentCharset = bytes.left(8);
            for (qsizetype i = 8; i + 1 < bytes.size(); i += 2) {
                const quint8 a = quint8(bytes.at(i)), b = quint8(bytes.at(i + 1));
                out.userComment += QChar(order == Exiv2::bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a));
            }
        }
        if (auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.ImageDescription")); it != exif.end()) {
            out.hasImageDescription = true;
            out.imageDescription = QString::fromStdString(it->toString());
        }
        const Exiv2::IptcData &iptc = image->iptcData();
        if (auto it = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.Caption")); it != iptc.end())
            out.iptcCaption = QString::fromStdString(it->toString());
        if (auto it = iptc.findKey(Exiv2::IptcKey("Iptc.Envelope.CharacterSet")); it != iptc.end())
            out.iptcCharset = QByteArray::fromStdString(it->toString());
        out.read = true;
    } catch (const std::exception &e) {
        out.error = QString::fromUtf8(e.what());
    }
    return out;
}
