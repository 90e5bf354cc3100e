#pragma once

#include "sha256.h"
#include "webrequest.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QObject;

// A picture's outcome: the site's date of it when it gave one, and, once it
// is in place, its size and SHA-256 as written, taken while it streamed in,
// so proving the file later needs no second read.
struct DownloadResult : WebResult {
    DownloadResult() = default;
    DownloadResult(const WebResult &result) : WebResult(result) {}
    QDateTime lastModified; // the answer's Last-Modified; invalid when missing or unreadable
    qint64 size = 0;
    Sha256Digest sha256;
};
using DownloadCallback = std::function<void(const DownloadResult &)>;

// Downloads `address` (GET on `network`, no header of our own beyond the
// accepted encodings) into a new file at `filePath` and calls `done` once
// with the result. Transient failures are tried again as `options` say.
//
// Only a whole picture is a success: an HTTP error, a body cut short (also
// a compressed one), an unrequested 206, an empty body, an HTML page or a
// body past `options.maxPictureBytes` (once decoded) are failures with their
// reason. The body goes to a hidden file with a short
// name in the target folder and takes `filePath` only when it is whole, so
// the picture's name never shows a truncated or error-page file. An existing
// file is never replaced. The file gets the mode the user's umask gives.
// Success means: the file is in place; every failure leaves nothing behind.
//
// `done` runs later from the event loop, never inside this call. If `context`
// is destroyed first, the transfer (or the wait before a retry) is aborted,
// the temporary file removed and `done` never runs.
void downloadPicture(QNetworkAccessManager *network, const QString &address, const QString &filePath,
             QObject *context, DownloadCallback done, const RequestOptions &options = {});
