#include "downpic.h"
#include "curlnetwork.h"
#include "transferrequests.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

WebResult fileFailure(int error, const QString &path)
{
    const QString system = QString::fromLocal8Bit(std::strerror(error));
    const auto failed = [&](WebError kind, WebReason reason) {
        WebResult result;
        result.error = kind;
        result.failure = {reason, path, system};
        return result;
    };
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return failed(WebError::DiskFull, WebReason::DiskFull);
    case ENAMETOOLONG:
        return failed(WebError::NameTooLong, WebReason::NameTooLong);
    case EEXIST:
        return failed(WebError::FileExists, WebReason::FileExists);
    case ENOENT:
    case ENOTDIR:
        return failed(WebError::NoFolder, WebReason::NoFolder);
    case EACCES:
    case EPERM:
        return failed(WebError::WriteFailed, WebReason::NoPermission);
    case EROFS:
        return failed(WebError::WriteFailed, WebReason::ReadOnlyDisk);
    default:
        return failed(WebError::WriteFailed, WebReason::WriteFailed);
    }
}

// What a part file answers once its caller has left.
WebResult abandoned()
{
    WebResult result;
    result.error = WebError::Aborted;
    result.failure = {WebReason::SessionClosed};
    return result;
}

} // namespace

WebResult PartFile::create()
{
    const std::lock_guard lock(m_mutex);
    if (m_abandoned)
        return abandoned();
    const QString folder = QFileInfo(m_target).absolutePath();
    for (int tries = 0; tries < 16; ++tries) {
        m_path = folder + QStringLiteral("/.quillmoor-%1.part")
                                  .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_written = false;
            return {};
        }
        if (errno != EEXIST)
            break;
    }
    const WebResult failed = fileFailure(errno, m_target);
    m_path.clear();
    return failed;
}

WebResult PartFile::restart()
{
    const std::lock_guard lock(m_mutex);
    if (m_abandoned)
        return abandoned();
    if (!m_written)
        return {};
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        return fileFailure(errno, m_target);
    m_written = false;
    return {};
}

WebResult PartFile::write(QByteArrayView bytes)
{
    const std::lock_guard lock(m_mutex);
    if (m_abandoned)
        return abandoned();
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    m_written = m_written || left > 0;
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fileFailure(errno, m_target);
        }
        data += written;
        left -= written;
    }
    return {};
}

WebResult PartFile::place()
{
    const std::lock_guard lock(m_mutex);
    if (m_abandoned || m_fd < 0)
        return abandoned();
    return placeLocked();
}

WebResult PartFile::placeLocked()
{
    const int fd = m_fd;
    m_fd = -1;
    // Some file systems report a full disk only when the file is closed.
    if (::close(fd) != 0)
        return fileFailure(errno, m_target);
    const QByteArray from = QFile::encodeName(m_path);
    const QByteArray to = QFile::encodeName(m_target);
    int error = 0;
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        m_path.clear();
        return {};
    }
    error = errno;
#endif
    // File systems without an atomic no-replace rename: a hard link
    // fails on an existing name; without hard links (FAT), look first.
    if (error == 0 || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        if (::link(from.constData(), to.constData()) == 0) {
            discardLocked();
            return {};
        }
        error = errno;
        if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) {
            error = QFileInfo::exists(m_target) ? EEXIST : 0;
            if (error == 0 && ::rename(from.constData(), to.constData()) == 0) {
                m_path.clear();
                return {};
            }
            error = error ? error : errno;
        }
    }
    return fileFailure(error, m_target);
}

void PartFile::discard()
{
    const std::lock_guard lock(m_mutex);
    discardLocked();
}

void PartFile::abandon()
{
    const std::lock_guard lock(m_mutex);
    m_abandoned = true;
    discardLocked();
}

void PartFile::discardLocked()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
}

namespace {

// The first bytes of the picture formats a site serves: such bytes are a
// picture whatever the Content-Type says.
bool hasPictureSignature(const QByteArray &head)
{
    return head.startsWith("\xFF\xD8\xFF") || head.startsWith("\x89PNG\r\n\x1A\n") || head.startsWith("GIF87a")
            || head.startsWith("GIF89a") || head.startsWith("BM")
            || (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") || head.mid(4, 4) == "ftyp";
}

// The tags a browser's content sniffer takes for HTML at the start of a body.
bool looksLikeHtml(const QByteArray &head)
{
    QByteArray text = head;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    text = text.trimmed().left(16).toLower();
    if (text.startsWith("<!--"))
        return true;
    static const char *const tags[] = {"<!doctype html", "<html", "<head", "<body", "<script", "<title",
                                       "<iframe", "<table", "<style", "<div", "<font", "<h1", "<br", "<p",
                                       "<a", "<b"};
    for (const char *tag : tags) {
        const qsizetype length = qsizetype(std::strlen(tag));
        if (text.startsWith(tag) && (text.size() == length || text.at(length) == ' ' || text.at(length) == '>'))
            return true;
    }
    return false;
}

// What the site sent instead of a picture, or None for a picture.
WebReason notAPicture(const QByteArray &head, qint64 size, const QByteArray &contentType)
{
    if (size == 0)
        return WebReason::EmptyBody;
    if (hasPictureSignature(head))
        return WebReason::None;
    const QByteArray type = contentType.trimmed().toLower();
    if (type.startsWith("text/html") || type.startsWith("application/xhtml") || looksLikeHtml(head))
        return WebReason::PageNotPicture;
    if (type.startsWith("text/"))
        return WebReason::TextNotPicture;
    return WebReason::None;
}

} // namespace

void downloadPicture(QNetworkAccessManager *network, const QString &address, const QString &filePath,
             QObject *context, DownloadCallback done, const RequestOptions &options)
{
    auto placed = [done = std::move(done)](const DownloadResult &checked, const std::shared_ptr<PartFile> &part) {
        done(placeStaged(checked, *part));
    };
    (new PictureRequest(network, address, filePath, std::move(placed), options, context))->start();
}

PictureRequest::PictureRequest(QNetworkAccessManager *network, const QString &address, const QString &filePath,
                               Done done, const RequestOptions &options, QObject *context)
    : WebTransfer(network, address, options, options.maxPictureBytes, context)
    , m_filePath(filePath)
    , m_done(std::move(done))
    , m_part(std::make_shared<PartFile>(filePath))
{
}

WebResult PictureRequest::prepare()
{
    const QFileInfo target(m_filePath);
    if (target.fileName().isEmpty())
        return failure(WebError::BadAddress, {WebReason::NoFileName, m_filePath});
    // One look at the name, a dangling link included: the part file's own
    // creation then tells a missing folder.
    struct stat seen;
    if (::lstat(QFile::encodeName(m_filePath).constData(), &seen) == 0)
        return fileFailure(EEXIST, m_filePath);
    return m_part->create();
}

QNetworkReply *PictureRequest::send(QNetworkAccessManager *network, QNetworkRequest &request)
{
    return CurlNetworkManager::get(network, request);
}

WebResult PictureRequest::restart()
{
    m_head.clear();
    m_size = 0;
    m_hash.reset();
    return m_part->restart();
}

// Written as it arrives, so a large picture is never held in memory whole.
WebResult PictureRequest::consume(QByteArrayView bytes)
{
    if (m_head.size() < 512)
        m_head += bytes.first(qMin(bytes.size(), 512 - m_head.size()));
    m_size += bytes.size();
    m_hash.addData(bytes);
    return m_part->write(bytes);
}

WebResult PictureRequest::complete(const WebResult &response, const QNetworkReply *reply)
{
    if (!response.ok())
        return response;
    const int status = response.httpStatus;
    WebResult result;
    // Nothing here asks for a range, so a part is never the picture.
    if (status == 206)
        result = failure(WebError::PartialContent, {WebReason::PartialContent});
    else if (const WebReason wrong = notAPicture(m_head, m_size, reply->rawHeader("Content-Type"));
             wrong != WebReason::None)
        result = failure(WebError::NotAPicture, {wrong});
    result.httpStatus = status;
    if (result.ok())
        m_lastModified = reply->header(QNetworkRequest::LastModifiedHeader).toDateTime();
    return result;
}

void PictureRequest::deliver(const WebResult &result)
{
    DownloadResult out(result);
    if (result.ok()) {
        out.lastModified = m_lastModified;
        out.size = m_size;
        out.sha256 = m_hash.result();
    }
    Done done = std::move(m_done);
    done(out, m_part);
}

DownloadResult placeStaged(const DownloadResult &checked, PartFile &part)
{
    if (!checked.ok()) {
        // A failure leaves nothing for the caller to trip over.
        part.discard();
        return checked;
    }
    WebResult placed = part.place();
    if (placed.ok())
        return checked;
    placed.httpStatus = checked.httpStatus;
    placed.attempts = checked.attempts;
    part.discard();
    return placed;
}
