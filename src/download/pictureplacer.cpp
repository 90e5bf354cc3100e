#include "pictureplacer.h"
#include "captionwriter.h"
#include "web/sha256.h"

#include <QFile>
#include <QFileInfo>

#include <limits>
#include <utility>

namespace {

// The picture count is shown as a 16-bit number.
constexpr int MaxSavedPictures = std::numeric_limits<qint16>::max();

} // namespace

PicturePlacer::PicturePlacer(AlbumFolder &folder, JobTally &tally, CaptionMode captions, PictureClaims &claims)
    : m_folder(folder)
    , m_tally(tally)
    , m_captions(captions)
    , m_claims(claims)
{
}

bool PicturePlacer::wantsCaptions(const AlbumRecord::Entry &entry) const
{
    switch (m_captions) {
    case CaptionMode::None:
        return false;
    case CaptionMode::Sidecar:
        return !entry.sidecar;
    case CaptionMode::Embed:
        return !entry.embedded && !entry.sidecar;
    }
    return false;
}

void PicturePlacer::writeCaptionsOfKept(AlbumRecord::Entry entry, const QString &albumName)
{
    // Only the very picture the record names is rewritten: a file changed
    // since, or one of an older record without its hash, stays as it is.
    const QString path = m_folder.heldPath() + QLatin1Char('/') + entry.file;
    if (entry.sha256.isEmpty() || QFileInfo(path).size() != entry.size || Sha256::ofFile(path) != entry.sha256)
        return;
    const CaptionsWritten written = WriteCaptionsOfSaved(m_captions, m_folder.heldPath(), entry, albumName);
    if (!written.result.ok())
        return;
    entry.sidecar = entry.sidecar || written.sidecar;
    entry.embedded = m_captions == CaptionMode::Embed && !written.sidecarInstead;
    if (entry.embedded) {
        entry.size = QFileInfo(path).size();
        entry.sha256 = Sha256::ofFile(path);
    }
    if (written.sidecarInstead)
        ++m_tally.sidecarsInstead;
    m_folder.rewrote(entry);
}

void PicturePlacer::place(ScheduledPicture &item, const QString &albumName)
{
    PictureReport &report = item.report;
    const QString staging = std::exchange(item.staging, QString());
    const auto refuse = [&](PictureReport::Why why, const WebFailure &details) {
        report.kind = PictureReport::Kind::Failed;
        report.why = why;
        report.failure = details;
        QFile::remove(staging);
    };
    if (m_claims.saved(item.picture)) {
        // An earlier page of the album showed the same picture and its
        // answer came later than this one's: the first in the album wins.
        report.kind = PictureReport::Kind::Skipped;
        report.why = PictureReport::Why::SavedBefore;
        QFile::remove(staging);
        return;
    }
    if (m_tally.saved >= MaxSavedPictures)
        return refuse(PictureReport::Why::TooManyPictures, {WebReason::None, {}, {}, 0, MaxSavedPictures});
    if (const QString theirs = m_folder.userFileWithBytes(item.fileName, item.size, item.sha256); !theirs.isEmpty()) {
        // The user's file of that name holds the very picture: it becomes
        // the recorded one, and the copy just fetched goes.
        QFile::remove(staging);
        report.kind = PictureReport::Kind::AlreadyThere;
        report.fileName = theirs;
        return;
    }
    QString stagedSidecar;
    const Metadata::Result written =
        StageCaptions(m_captions, staging, {item.caption, albumName, item.page, item.date}, &stagedSidecar);
    if (!written.ok()) {
        if (!stagedSidecar.isEmpty())
            QFile::remove(stagedSidecar);
        return refuse(PictureReport::Why::MetadataNotWritten, {WebReason::None, item.fileName, written.detail});
    }
    const bool embedded = m_captions == CaptionMode::Embed && stagedSidecar.isEmpty();
    if (embedded) {
        // The caption changed the bytes: the record proves the file as written.
        if (const Sha256Digest hash = Sha256::ofFile(staging); !hash.isEmpty()) {
            item.size = QFileInfo(staging).size();
            item.sha256 = hash;
        }
    }
    AlbumRecord::Entry entry{item.page, item.picture, item.fileName, item.size, item.sha256};
    entry.caption = item.caption;
    entry.date = item.date;
    entry.embedded = embedded;
    QString why;
    const QString name = m_folder.place(staging, entry, stagedSidecar, &why);
    if (name.isEmpty())
        return refuse(PictureReport::Why::NotPlaced, {WebReason::None, item.fileName, why});
    if (!stagedSidecar.isEmpty() && m_captions == CaptionMode::Embed)
        ++m_tally.sidecarsInstead;
    report.kind = PictureReport::Kind::Saved;
    report.fileName = name;
    m_claims.markSaved(item.picture);
    ++m_tally.saved;
}
