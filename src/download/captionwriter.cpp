#include "captionwriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

Metadata::Description CaptionDescription(const AlbumRecord::Entry &entry, const QString &albumTitle)
{
    return {entry.caption, albumTitle, entry.page, entry.date};
}

Metadata::Result StageCaptions(CaptionMode mode, const QString &staged, const Metadata::Description &description,
                               QString *stagedSidecar)
{
    if (mode == CaptionMode::None)
        return {};
    Metadata::Result result;
    if (mode == CaptionMode::Embed)
        result = Metadata::embed(staged, description);
    // A format that takes none (GIF) gets the sidecar instead.
    if (mode == CaptionMode::Sidecar || result.error == Metadata::Result::Error::NotWritable) {
        *stagedSidecar = Metadata::sidecarName(staged);
        result = Metadata::writeSidecar(*stagedSidecar, description);
        if (!result.ok())
            stagedSidecar->clear();
    }
    if (result.ok())
        result = Metadata::setFileDate(staged, description.date);
    return result;
}

CaptionsWritten WriteCaptionsOfSaved(CaptionMode mode, const QString &folder, const AlbumRecord::Entry &entry,
                                     const QString &albumTitle)
{
    CaptionsWritten out;
    if (mode == CaptionMode::None)
        return out;
    const QString picture = folder + QLatin1Char('/') + entry.file;
    const QFileInfo info(picture);
    if (info.isSymLink() || !info.isFile()) {
        out.result = {Metadata::Result::Error::Unreadable, picture};
        return out;
    }
    const Metadata::Description description = CaptionDescription(entry, albumTitle);
    if (mode == CaptionMode::Embed && Metadata::canEmbed(picture)) {
        // A hidden copy of its own beside the picture, so the rename that
        // puts it in place stays on one disk.
        const QString copy = folder + QStringLiteral("/.quillmoor-caption-%1.part")
                                          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!QFile::copy(picture, copy)) {
            out.result = {Metadata::Result::Error::WriteFailed, copy};
            return out;
        }
        out.result = Metadata::embed(copy, description);
        // Without a date of the site's the picture keeps its own time.
        if (out.result.ok())
            out.result = Metadata::setFileDate(copy, description.date.isValid() ? description.date : info.lastModified());
        if (out.result.ok()
            && std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(picture).constData()) != 0)
            out.result = {Metadata::Result::Error::WriteFailed, QString::fromLocal8Bit(std::strerror(errno))};
        if (!out.result.ok())
            QFile::remove(copy);
        return out;
    }
    // Beside it, as asked or because its format takes none.
    out.sidecarInstead = mode == CaptionMode::Embed;
    out.result = Metadata::writeSidecar(folder + QLatin1Char('/') + Metadata::sidecarName(entry.file), description);
    if (out.result.ok())
        out.result = Metadata::setFileDate(picture, description.date);
    out.sidecar = out.result.ok();
    return out;
}
