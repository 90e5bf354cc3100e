#pragma once

#include "webfailure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QBasicTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class ContentDecoder;
class RateLimiter;
class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// What went wrong with a request, shared by the page fetch and the picture
// download.
enum class WebError {
    None,
    BadAddress,     // not an absolute http(s) address, or no file name in the path
    Network,        // refused, reset, unreachable host, a redirect refused ...
    Timeout,        // no data for the transfer time-out, too slow, or past the deadline
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
    TooLarge,       // the body, once decoded, passed its size cap
};

// When a transient failure (time-out, refused or reset connection, cut
// transfer, HTTP 5xx or 429) is tried again: one delay per retry.
struct RetryPolicy {
    QList<int> delaysMs{1000, 3000};
    // A Retry-After up to this long replaces the delay. A longer one ends
    // the retries at once: asking again sooner would only be refused again,
    // and a job that sits still for minutes looks hung.
    int maxRetryAfterMs = 30000;

    static RetryPolicy none() { return {{}, 0}; }
};

// The bounds of one request: whatever the site sends, a request ends within
// a few minutes and holds no more than its cap in memory or on disk. Tests
// shorten them.
struct RequestOptions {
    // No byte at all for this long: a time-out.
    int timeoutMs = 60000;
    // Once the answer's headers are in, a body that moves fewer than
    // lowSpeedBytesPerSecond on average over lowSpeedTimeMs fails as a
    // time-out too (and is retried like one), so a trickle cannot hold a job
    // while never falling silent. 0 in either turns the rule off.
    int lowSpeedBytesPerSecond = 1000;
    int lowSpeedTimeMs = 30000;
    // The whole request, its retries, redirects and waits included, ends
    // within this long, or fails as a time-out (not retried): a body that
    // moves just fast enough for the low-speed rule cannot hold a job for
    // hours. 15 minutes let a 20 MB picture come over a line of 24 kB/s
    // (about 200 kbit/s). Time the rate limit held the reads back does not
    // count, so a limit never makes a picture miss it. 0 turns it off.
    int deadlineMs = 15 * 60 * 1000;
    // Redirects followed in one attempt. Each hop is a request of its own,
    // with the cookies the jar holds for its host alone; https never leads
    // to http.
    int maxRedirects = 10;
    // Shared by the requests of one job (copies of these options share it):
    // together they read no faster than its limit. None: no limit.
    std::shared_ptr<RateLimiter> rateLimit;
    // Caps on the decoded body: a page is held in memory, a picture goes to
    // disk. A compressed body that inflates past its cap fails as TooLarge.
    qint64 maxPageBytes = 16 * 1024 * 1024;
    qint64 maxPictureBytes = 512 * 1024 * 1024;
    RetryPolicy retry;
    // Called each time the site answers 429 or 503 (with its Retry-After in
    // ms, or -1 without one), before the request waits to try again. The
    // wait reported never exceeds retry.maxRetryAfterMs, so a site asking
    // for a day cannot hold the caller's pace for longer than that.
    std::function<void(int retryAfterMs)> throttled;
};

// The outcome of one request, after its retries.
struct WebResult {
    WebError error = WebError::None;
    int httpStatus = 0;
    WebFailure failure;
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
// error, a timeout, or fewer body bytes than Content-Length announced.
// `bodyBytes` counts the bytes as they came over the wire (this layer asks
// for the content encoding itself, so Qt never decompresses them). An HTTP
// error status with its whole body is not a broken transfer.
bool transferBroken(const QNetworkReply *reply, qint64 bodyBytes);

// Forgets a reply that is still running: no more signals reach its handler,
// the transfer is aborted and the reply deleted later.
void dropReply(QPointer<QNetworkReply> &reply);

// A Retry-After value (delay in seconds or an HTTP date) in ms from `now`;
// nothing when it is missing or unreadable.
std::optional<int> retryAfterMs(const QByteArray &value, const QDateTime &now);

// Where a redirect from `from` with the Location `location` leads, or why it
// is not followed (`refused` set): to a scheme other than http(s), or from
// https to http, where the login and the page would travel in the clear.
QUrl redirectTarget(const QUrl &from, const QByteArray &location, WebFailure *refused);

// How long to wait before retry number `retry` (0 for the first), or nothing
// when no retry is left or the server's Retry-After (-1: none) is longer than
// the policy accepts.
std::optional<int> retryDelayMs(const RetryPolicy &policy, int retry, int retryAfterMs);

} // namespace WebRequest

// One request to the site, the base of the page fetch and the picture
// download: it owns the reply, the time-out, the content decoding, the retry
// schedule and the rule that the caller hears exactly once. Subclasses only
// handle the body.
//
// A child of the caller's context: destroying the context aborts the
// transfer and any retry wait, and the caller hears nothing.
class WebTransfer : public QObject
{
public:
    // `maxBodyBytes` caps the decoded body of each attempt.
    WebTransfer(QNetworkAccessManager *network, const QString &address, const RequestOptions &options,
                qint64 maxBodyBytes, QObject *context);
    ~WebTransfer() override;

    // Sends the first attempt. Every outcome, a refusal too, reaches
    // deliver() later from the event loop, never inside this call.
    void start();

protected:
    // Checks before anything is sent; a failure ends the request unsent.
    virtual WebResult prepare() { return {}; }
    // Sends one attempt; the request carries the address, the time-out and
    // the accepted encodings.
    virtual QNetworkReply *send(QNetworkAccessManager *network, QNetworkRequest &request) = 0;
    // An attempt begins: forget what an earlier one received.
    virtual WebResult restart() = 0;
    // Decoded body bytes as they arrive, never past the body cap; a failure
    // stops the transfer.
    virtual WebResult consume(QByteArrayView bytes) = 0;
    // The attempt's body arrived whole; `response` holds its status (and the
    // HttpStatus failure for 4xx/5xx). Returns the attempt's result.
    virtual WebResult complete(const WebResult &response, const QNetworkReply *reply) = 0;
    // The final result, called once; the object is already detached from its
    // context and deleted later, and the callback must be the last thing run.
    virtual void deliver(const WebResult &result) = 0;

    static WebResult failure(WebError error, const WebFailure &why, int httpStatus = 0);

    void timerEvent(QTimerEvent *event) override;

private:
    void sendAttempt();
    void sendRequest();
    void onMetaData();
    void onReadyRead();
    bool readAllowed();
    void endAttempt();
    void holdBack(bool held);
    qint64 countedMs() const;
    void onDeadline();
    bool takeDecoded(QByteArrayView piece, WebResult *refused);
    void watchSpeed();
    void onSpeedTick();
    void onFinished();
    WebResult transferResult(QNetworkReply *reply, bool *transient);
    void retryOrFinish(WebResult result, bool transient, const QNetworkReply *reply);
    void finish(WebResult result);

    QPointer<QNetworkAccessManager> m_network;
    QUrl m_url;
    QUrl m_hopUrl; // where the redirects of this attempt have led
    QString m_address;
    RequestOptions m_options;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<ContentDecoder> m_decoder;
    // Timers without objects of their own: a transfer is made for every
    // page and picture, and four timer objects each cost more than its reads.
    QBasicTimer m_retryTimer;
    QBasicTimer m_speedTimer;
    QBasicTimer m_readTimer; // reads again once the rate limit allows
    QBasicTimer m_deadlineTimer;
    QElapsedTimer m_clock;   // since the first attempt was sent
    qint64 m_heldMs = 0;     // time the rate limit held the reads back
    qint64 m_heldSince = -1; // when the current hold began, or -1
    bool m_heldThisTick = false;
    bool m_replyDone = false; // finished() came while bytes waited unread
    int m_redirects = 0;
    QList<qint64> m_speedSamples; // m_rawBytes at each tick of the last window
    qint64 m_maxBodyBytes;
    qint64 m_rawBytes = 0;
    qint64 m_decodedBytes = 0;
    bool m_tooSlow = false;
    int m_attempts = 0;
    bool m_finished = false;
};
