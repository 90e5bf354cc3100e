#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkReply;

// What went wrong with a request, shared by the page fetch and the picture
// download.
enum class WebError {
    None,
    BadAddress,     // not an absolute http(s) address, or no file name in the path
    Network,        // refused, reset, unreachable host ...
    Timeout,        // no data for the transfer time-out
    HttpStatus,     // the server answered with 4xx or 5xx
    Truncated,      // the body arrived cut short
    PartialContent, // 206 to a request that asked for no range
    NotAPicture,    // an empty body, or a page where a picture was asked for
    FileExists,     // something already exists at the path; it is left untouched
    NoFolder,       // the folder of the path does not exist (it is not created)
    DiskFull,       // no space left on the disk
    NameTooLong,    // the file system refuses a name that long
    WriteFailed,    // the disk refused the temporary file or the rename
    Aborted,        // the transfer was cancelled before it ended
};

// When a transient failure (time-out, refused or reset connection, cut
// transfer, HTTP 5xx or 429) is tried again: one delay per retry.
struct RetryPolicy {
    QList<int> delaysMs{1000, 3000};
    // A Retry-After up to this long replaces the delay.
    int maxRetryAfterMs = 30000;

    static RetryPolicy none() { return {{}, 0}; }
};

struct RequestOptions {
    int timeoutMs = 60000;
    RetryPolicy retry;
    // Called each time the site answers 429 or 503 (with its Retry-After in
    // ms, or -1 without one), before the request waits to try again.
    std::function<void(int retryAfterMs)> throttled;
};

// The outcome of one request, after its retries.
struct WebResult {
    WebError error = WebError::None;
    int httpStatus = 0;
    QString message; // the reason, in the window's language
    int attempts = 0;
    bool ok() const { return error == WebError::None; }
};

// Small rules shared by the page fetch and the picture download.
namespace WebRequest {

// `address` as a URL when it is an absolute http or https address with a
// host; an invalid URL otherwise. Other schemes (file:, data: ...) are refused
// so that a page's text can never make the program read local files.
QUrl siteUrl(const QString &address);

// True when the transfer itself went wrong: a network, proxy or protocol
// error, a timeout, or fewer body bytes than Content-Length announced. An
// HTTP error status with its whole body is not a broken transfer.
bool transferBroken(const QNetworkReply *reply, qint64 bodyBytes);

// Forgets a reply that is still running: no more signals reach its handler,
// the transfer is aborted and the reply deleted later.
void dropReply(QPointer<QNetworkReply> &reply);

} // namespace WebRequest
