#include "picturemetadata.h"

#include <QFile>
#include <QFileInfo>

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace Metadata {

namespace {

using Error = Result::Error;

std::string pathOf(const QString &file)
{
    return QFile::encodeName(file).toStdString();
}

void quietLibrary()
{
    // exiv2 tells its warnings on stderr; they reach the caller as results.
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

// XML holds no control characters but tab and line breaks; a caption that
// carried one would make the packet unreadable.
QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r')
            out += c;
    }
    return out;
}

bool isPlainAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

void fillXmp(Exiv2::XmpData &xmp, const Description &d)
{
    if (!d.caption.isEmpty()) {
        Exiv2::LangAltValue caption;
        // Other languages the file had stay beside the caption.
        const auto found = xmp.findKey(Exiv2::XmpKey("Xmp.dc.description"));
        if (found != xmp.end() && found->typeId() == Exiv2::langAlt)
            caption = dynamic_cast<const Exiv2::LangAltValue &>(found->value());
        caption.value_["x-default"] = d.caption.toStdString();
        xmp["Xmp.dc.description"].setValue(&caption);
    }
    if (!d.albumTitle.isEmpty()) {
        const std::string title = d.albumTitle.toStdString();
        Exiv2::XmpArrayValue subject(Exiv2::xmpBag);
        // The keywords the file had are kept; the album is one more.
        const auto found = xmp.findKey(Exiv2::XmpKey("Xmp.dc.subject"));
        if (found != xmp.end() && found->typeId() == Exiv2::xmpBag)
            for (long i = 0; i < found->count(); ++i)
                subject.read(found->toString(i));
        bool there = false;
        for (long i = 0; i < subject.count(); ++i)
            there = there || subject.toString(i) == title;
        if (!there)
            subject.read(title);
        xmp["Xmp.dc.subject"].setValue(&subject);
    }
    if (!d.source.isEmpty()) {
        Exiv2::XmpTextValue source;
        // Set directly: read() would take a leading "type=" for a type.
        source.value_ = d.source.toStdString();
        xmp["Xmp.dc.source"].setValue(&source);
    }
}

// "UNICODE\0" and the text as UTF-16 in the file's byte order, as EXIF
// wants a Unicode comment. UTF-16 rather than the library's UCS-2, which
// would refuse characters outside the first plane.
Exiv2::CommentValue unicodeComment(const QString &text, Exiv2::ByteOrder order)
{
    QByteArray bytes("UNICODE\0", 8);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const char high = char(u >> 8), low = char(u & 0xff);
        bytes += order == Exiv2::bigEndian ? high : low;
        bytes += order == Exiv2::bigEndian ? low : high;
    }
    Exiv2::CommentValue comment;
    comment.read(reinterpret_cast<const Exiv2::byte *>(bytes.constData()), long(bytes.size()), order);
    return comment;
}

void fillJpeg(Exiv2::Image &image, const Description &d)
{
    if (d.caption.isEmpty())
        return;
    Exiv2::ExifData &exif = image.exifData();
    // A file without EXIF gets it in little-endian order.
    const Exiv2::ByteOrder order = image.byteOrder() == Exiv2::bigEndian ? Exiv2::bigEndian : Exiv2::littleEndian;
    const Exiv2::CommentValue comment = unicodeComment(d.caption, order);
    exif["Exif.Photo.UserComment"].setValue(&comment);
    if (isPlainAscii(d.caption))
        exif["Exif.Image.ImageDescription"] = d.caption.toStdString();

    Exiv2::IptcData &iptc = image.iptcData();
    // ESC % G: the IPTC texts are UTF-8.
    iptc["Iptc.Envelope.CharacterSet"] = std::string("\x1b%G");
    iptc["Iptc.Application2.Caption"] = d.caption.toStdString();
}

Description cleaned(const Description &d)
{
    return {xmlSafe(d.caption), xmlSafe(d.albumTitle), xmlSafe(d.source), d.date};
}

Result failed(Error error, const QString &detail)
{
    return {error, detail};
}

QString wordsOf(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

bool canEmbed(const QString &file)
{
    quietLibrary();
    try {
        const int type = Exiv2::ImageFactory::getType(pathOf(file));
        if (type == Exiv2::ImageType::none)
            return false;
        const Exiv2::AccessMode mode = Exiv2::ImageFactory::checkMode(type, Exiv2::mdXmp);
        return mode == Exiv2::amWrite || mode == Exiv2::amReadWrite;
    } catch (const std::exception &) {
        return false;
    }
}

Result embed(const QString &file, const Description &description)
{
    quietLibrary();
    if (!canEmbed(file))
        return failed(Error::NotWritable, file);
    const Description d = cleaned(description);
    Exiv2::Image::AutoPtr image;
    try {
        image = Exiv2::ImageFactory::open(pathOf(file));
        image->readMetadata();
    } catch (const std::exception &e) {
        return failed(Error::Unreadable, wordsOf(e));
    }
    try {
        fillXmp(image->xmpData(), d);
        if (image->imageType() == Exiv2::ImageType::jpeg)
            fillJpeg(*image, d);
        image->writeMetadata();
    } catch (const std::exception &e) {
        return failed(Error::WriteFailed, wordsOf(e));
    }
    return {};
}

QByteArray sidecarXmp(const Description &description, Result *result)
{
    quietLibrary();
    Result unused;
    Result &out = result ? *result : unused;
    out = {};
    std::string packet;
    try {
        Exiv2::XmpData xmp;
        fillXmp(xmp, cleaned(description));
        if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::omitPacketWrapper
                                         | Exiv2::XmpParser::useCompactFormat) != 0) {
            out = failed(Error::WriteFailed, QStringLiteral("XMP"));
            return {};
        }
    } catch (const std::exception &e) {
        out = failed(Error::WriteFailed, wordsOf(e));
        return {};
    }
    // The wrapper exiv2's own sidecars have.
    return QByteArray("<?xpacket begin=\"\xef\xbb\xbf\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n")
        + QByteArray::fromStdString(packet) + "<?xpacket end=\"w\"?>\n";
}

Result writeSidecar(const QString &path, const Description &description)
{
    Result made;
    const QByteArray packet = sidecarXmp(description, &made);
    if (!made.ok())
        return made;
    QFile out(path);
    // NewOnly: the file is made here or not at all, never one that was there.
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const QFileInfo there(path);
        if (there.exists() || there.isSymLink())
            return failed(Error::SidecarExists, path);
        return failed(Error::WriteFailed, out.errorString());
    }
    if (out.write(packet) != packet.size() || !out.flush()) {
        const QString why = out.errorString();
        out.close();
        out.remove();
        return failed(Error::WriteFailed, why);
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        const QString why = out.errorString();
        out.remove();
        return failed(Error::WriteFailed, why);
    }
    return {};
}

QString sidecarName(const QString &pictureName)
{
    return pictureName + QStringLiteral(".xmp");
}

Result setFileDate(const QString &file, const QDateTime &date)
{
    if (!date.isValid())
        return {};
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return failed(Error::Unreadable, f.errorString());
    if (!f.setFileTime(date, QFileDevice::FileModificationTime))
        return failed(Error::WriteFailed, f.errorString());
    return {};
}

} // namespace Metadata
