#pragma once

#include <QDateTime>
#include <QString>

// Captions and dates kept with a picture where photo programs read them:
// in the picture's own metadata (XMP, and for JPEG also EXIF and IPTC), or
// in an XMP sidecar beside it. exiv2 does the writing; nothing of it shows
// here, and what it throws comes back as a Result.
namespace Metadata {

// What is written with one picture.
struct Description {
    QString caption;    // the site's caption; empty when it has none
    QString albumTitle; // the album the picture belongs to
    QString source;     // the picture page's address
    QDateTime date;     // the site's date of the picture; invalid when it gave none
};

struct Result {
    enum class Error {
        None,
        NotWritable,   // the format holds no metadata exiv2 can write (GIF)
        Unreadable,    // the file could not be opened or read as a picture
        WriteFailed,   // exiv2 or the disk refused the write
        SidecarExists, // a file of the sidecar's name is there already; it is left alone
    };
    Error error = Error::None;
    QString detail; // exiv2's or the system's own words
    bool ok() const { return error == Error::None; }
};

// Whether `file`'s format takes XMP written into the file itself.
bool canEmbed(const QString &file);

// Writes `description` into `file` in place: XMP dc:description (x-default),
// dc:subject and dc:source; for JPEG also Exif.Photo.UserComment (Unicode),
// Iptc.Application2.Caption (UTF-8, said by Iptc.Envelope.CharacterSet) and,
// for a caption of plain ASCII, Exif.Image.ImageDescription. Whatever else
// the file holds stays. A failure may leave `file` half-written: call it on a
// file nobody sees yet.
Result embed(const QString &file, const Description &description);

// The XMP packet a sidecar holds (the same XMP that embed() writes).
QByteArray sidecarXmp(const Description &description, Result *result = nullptr);

// Writes the sidecar to `path`, which must not exist: a file of that name is
// never replaced. A failure leaves no file behind.
Result writeSidecar(const QString &path, const Description &description);

// The name of a picture's sidecar, as digiKam and darktable look for it.
QString sidecarName(const QString &pictureName);

// Gives `file` the modification time `date`; nothing to do for an invalid date.
Result setFileDate(const QString &file, const QDateTime &date);

} // namespace Metadata
