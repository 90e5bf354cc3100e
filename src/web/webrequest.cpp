#include "webrequest.h"

#include "contentdecoder.h"
#include "ratelimit.h"

#include <QLocale>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimerEvent>

namespace {

// The encodings ContentDecoder undoes; the same list Qt itself would send.
const QByteArray AcceptedEncodings = QByteArrayLiteral("gzip, deflate");

// Unread bytes Qt may hold for one reply before it stops reading.
constexpr qint64 ReadBufferBytes = 1024 * 1024;

// The low-speed window is sampled this often, so a slow body is noticed at
// most a tenth of the window late.
constexpr int SpeedTicksPerWindow = 10;

bool isHttpStatusMirror(const QNetworkReply *reply)
{
    // Content (2xx) and server (4xx) error codes only mirror the HTTP status.
    const QNetworkReply::NetworkError error = reply->error();
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
            && ((error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
                || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError));
}

// Network errors worth another try: the next attempt may well get through.
bool isTransientNetworkError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

WebFailure networkFailure(const QNetworkReply *reply)
{
    const QString system = reply->errorString();
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return {WebReason::ConnectionRefused, {}, system};
    case QNetworkReply::RemoteHostClosedError:
        return {WebReason::ConnectionClosed, {}, system};
    case QNetworkReply::HostNotFoundError:
        return {WebReason::HostNotFound, reply->url().host(), system};
    case QNetworkReply::TimeoutError:
        return {WebReason::ConnectionTimedOut, {}, system};
    default:
        return {WebReason::NetworkFailure, {}, system};
    }
}

bool isTransientStatus(int status)
{
    return status == 429 || status >= 500;
}

// A redirect this layer follows itself, so that each hop gets the cookies
// of its own host: Qt 6.4 sends the first request's Cookie header on to
// wherever its redirects lead when the jar holds none for that host.
bool isRedirect(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
            && reply->hasRawHeader("Location");
}

} // namespace

namespace WebRequest {

QUrl siteUrl(const QString &address)
{
    // Tolerant like a browser: a blank typed into an id is sent encoded.
    const QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

bool transferBroken(const QNetworkReply *reply, qint64 bodyBytes)
{
    if (reply->error() != QNetworkReply::NoError && !isHttpStatusMirror(reply))
        return true;
    // Qt does not always flag a connection closed before Content-Length was
    // reached.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() && bodyBytes < length.toLongLong();
}

void dropReply(QPointer<QNetworkReply> &reply)
{
    if (!reply)
        return;
    QNetworkReply *r = reply;
    reply = nullptr;
    // abort() emits finished() at once; nobody must hear it.
    r->disconnect();
    r->abort();
    r->deleteLater();
}

std::optional<int> retryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qint64 seconds = text.toLongLong(&isNumber);
    if (isNumber)
        return seconds < 0 ? std::nullopt : std::optional<int>(int(qMin<qint64>(seconds * 1000, INT_MAX)));
    // The HTTP date form, e.g. "Wed, 21 Oct 2015 07:28:00 GMT".
    QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!when.isValid())
        return std::nullopt;
    when.setTimeSpec(Qt::UTC);
    return int(qBound<qint64>(0, now.msecsTo(when), qint64(INT_MAX)));
}

QUrl redirectTarget(const QUrl &from, const QByteArray &location, WebFailure *refused)
{
    const QString written = QString::fromUtf8(location.trimmed());
    const QUrl target = from.resolved(QUrl(written, QUrl::TolerantMode));
    const QString scheme = target.scheme().toLower();
    if (!target.isValid() || target.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        *refused = {WebReason::BadRedirect, written};
        return {};
    }
    if (from.scheme().toLower() == QLatin1String("https") && scheme == QLatin1String("http")) {
        *refused = {WebReason::InsecureRedirect, target.toString()};
        return {};
    }
    *refused = {};
    return target;
}

std::optional<int> retryDelayMs(const RetryPolicy &policy, int retry, int retryAfterMs)
{
    if (retry < 0 || retry >= policy.delaysMs.size())
        return std::nullopt;
    if (retryAfterMs < 0)
        return policy.delaysMs.at(retry);
    if (retryAfterMs > policy.maxRetryAfterMs)
        return std::nullopt;
    return retryAfterMs;
}

} // namespace WebRequest

WebTransfer::WebTransfer(QNetworkAccessManager *network, const QString &address, const RequestOptions &options,
                         qint64 maxBodyBytes, QObject *context)
    : QObject(context ? context : network)
    , m_network(network)
    , m_url(WebRequest::siteUrl(address))
    , m_address(address)
    , m_options(options)
    , m_maxBodyBytes(maxBodyBytes)
{
}

void WebTransfer::timerEvent(QTimerEvent *event)
{
    const int id = event->timerId();
    if (id == m_retryTimer.timerId()) {
        m_retryTimer.stop();
        sendAttempt();
    } else if (id == m_speedTimer.timerId()) {
        onSpeedTick();
    } else if (id == m_readTimer.timerId()) {
        m_readTimer.stop();
        if (!m_finished && m_reply && readAllowed() && m_replyDone && !m_finished)
            endAttempt();
    } else if (id == m_deadlineTimer.timerId()) {
        m_deadlineTimer.stop();
        onDeadline();
    } else {
        QObject::timerEvent(event);
    }
}

WebTransfer::~WebTransfer()
{
    WebRequest::dropReply(m_reply);
}

WebResult WebTransfer::failure(WebError error, const WebFailure &why, int httpStatus)
{
    WebResult result;
    result.error = error;
    result.httpStatus = httpStatus;
    result.failure = why;
    return result;
}

void WebTransfer::start()
{
    WebResult refused;
    if (!m_url.isValid())
        refused = failure(WebError::BadAddress, {WebReason::NotAnAddress, m_address});
    else if (!m_network)
        refused = failure(WebError::Aborted, {WebReason::SessionClosed});
    else
        refused = prepare();
    if (refused.ok()) {
        m_clock.start();
        if (m_options.deadlineMs > 0)
            m_deadlineTimer.start(m_options.deadlineMs, this);
        sendAttempt();
        return;
    }
    // Answer from the event loop like every other outcome.
    QMetaObject::invokeMethod(this, [this, refused] { finish(refused); }, Qt::QueuedConnection);
}

void WebTransfer::sendAttempt()
{
    if (!m_network)
        return finish(failure(WebError::Aborted, {WebReason::SessionClosed}));
    ++m_attempts;
    m_redirects = 0;
    m_hopUrl = m_url;
    if (const WebResult refused = restart(); !refused.ok())
        return finish(refused);
    sendRequest();
}

void WebTransfer::sendRequest()
{
    m_rawBytes = 0;
    m_decodedBytes = 0;
    m_tooSlow = false;
    m_replyDone = false;
    m_speedTimer.stop();
    m_readTimer.stop();
    holdBack(false);
    m_decoder.reset();

    QNetworkRequest request(m_hopUrl);
    request.setTransferTimeout(m_options.timeoutMs);
    // Redirects are followed here, hop by hop (see isRedirect()).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Asking for the encodings ourselves keeps Qt from decompressing, so
    // that a cut compressed body can be told from a whole one.
    request.setRawHeader("Accept-Encoding", AcceptedEncodings);
    m_reply = send(m_network, request);
    // Qt stops reading the socket while this much waits unread, so a site
    // faster than this process cannot fill its memory. Under a rate limit,
    // about half a second of it: the socket then keeps to the limit too.
    qint64 buffer = ReadBufferBytes;
    if (m_options.rateLimit)
        buffer = qBound<qint64>(64 * 1024, m_options.rateLimit->bytesPerSecond() / 2, ReadBufferBytes);
    m_reply->setReadBufferSize(buffer);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &WebTransfer::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &WebTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &WebTransfer::onFinished);
    // A manager deleted under a running reply takes the reply with it
    // without finished(); the caller still gets its one answer.
    connect(m_reply, &QObject::destroyed, this,
            [this] { finish(failure(WebError::Aborted, {WebReason::SessionClosed})); });
}

void WebTransfer::onMetaData()
{
    if (m_finished || !m_reply)
        return;
    if (!isRedirect(m_reply))
        return watchSpeed();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    WebFailure refused;
    const QUrl target = WebRequest::redirectTarget(m_hopUrl, m_reply->rawHeader("Location"), &refused);
    // The redirect's own body is nobody's business.
    WebRequest::dropReply(m_reply);
    if (refused.reason != WebReason::None)
        return finish(failure(WebError::Network, refused, status));
    if (++m_redirects > m_options.maxRedirects)
        return finish(
            failure(WebError::Network, {WebReason::TooManyRedirects, {}, {}, 0, m_options.maxRedirects}, status));
    m_hopUrl = target;
    sendRequest();
}

void WebTransfer::onReadyRead()
{
    if (m_finished || !m_reply || !m_reply->isOpen() || isRedirect(m_reply))
        return;
    readAllowed();
}

bool WebTransfer::readAllowed()
{
    if (!m_reply || !m_reply->isOpen())
        return true;
    const qint64 waiting = m_reply->bytesAvailable();
    const qint64 allowed = m_options.rateLimit ? m_options.rateLimit->take(waiting) : waiting;
    if (allowed > 0) {
        const QByteArray raw = m_reply->read(allowed);
        m_rawBytes += raw.size();
        if (!m_decoder)
            m_decoder = std::make_unique<ContentDecoder>(m_reply->rawHeader("Content-Encoding"));
        WebResult refused;
        // A corrupt stream is reported once the transfer ends.
        m_decoder->decode(raw, [this, &refused](QByteArrayView piece) { return takeDecoded(piece, &refused); });
        if (!refused.ok()) {
            finish(refused); // too large, or the disk refused: no retry helps
            return true;
        }
    }
    if (allowed < waiting) {
        // The rest waits in Qt's bounded buffer until the limit allows it.
        holdBack(true);
        m_readTimer.start(m_options.rateLimit->waitMs(waiting - allowed), this);
        return false;
    }
    holdBack(false);
    return true;
}

void WebTransfer::holdBack(bool held)
{
    if (held && m_heldSince < 0) {
        m_heldSince = m_clock.elapsed();
        m_heldThisTick = true;
    } else if (!held && m_heldSince >= 0) {
        m_heldMs += m_clock.elapsed() - m_heldSince;
        m_heldSince = -1;
    }
}

qint64 WebTransfer::countedMs() const
{
    const qint64 now = m_clock.elapsed();
    return now - m_heldMs - (m_heldSince >= 0 ? now - m_heldSince : 0);
}

void WebTransfer::onDeadline()
{
    const qint64 left = m_options.deadlineMs - countedMs();
    if (left > 0) {
        // The rate limit held the reads back meanwhile: that time is added.
        m_deadlineTimer.start(int(qMin<qint64>(left, INT_MAX)), this);
        return;
    }
    const int status = m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    finish(failure(WebError::Timeout, {WebReason::DeadlinePassed, {}, {}, 0, m_options.deadlineMs}, status));
}

bool WebTransfer::takeDecoded(QByteArrayView piece, WebResult *refused)
{
    // Checked before the piece is kept, so that no more than the cap is ever
    // held or written, however far the body would inflate.
    if (m_decodedBytes + piece.size() > m_maxBodyBytes) {
        *refused = failure(WebError::TooLarge, {WebReason::TooLarge, {}, {}, 0, m_maxBodyBytes});
        return false;
    }
    m_decodedBytes += piece.size();
    *refused = consume(piece);
    return refused->ok();
}

void WebTransfer::watchSpeed()
{
    const int window = m_options.lowSpeedTimeMs;
    if (m_speedTimer.isActive() || m_options.lowSpeedBytesPerSecond <= 0 || window <= 0)
        return;
    m_speedSamples = {m_rawBytes};
    m_speedTimer.start(qMax(1, window / SpeedTicksPerWindow), this);
}

void WebTransfer::onSpeedTick()
{
    if (!m_reply) {
        m_speedTimer.stop();
        return;
    }
    // Bytes the rate limit held back are no sign of a slow site: only a
    // window without a hold is judged.
    if (m_heldThisTick || m_heldSince >= 0) {
        m_heldThisTick = m_heldSince >= 0;
        m_speedSamples = {m_rawBytes};
        return;
    }
    m_speedSamples.append(m_rawBytes);
    if (m_speedSamples.size() <= SpeedTicksPerWindow)
        return;
    m_speedSamples.removeFirst();
    const qint64 moved = m_speedSamples.last() - m_speedSamples.first();
    const int window = m_options.lowSpeedTimeMs;
    if (moved * 1000 >= qint64(m_options.lowSpeedBytesPerSecond) * window)
        return;
    m_speedTimer.stop();
    // The abort ends the reply through onFinished(), which reports the
    // time-out and retries like any other.
    m_tooSlow = true;
    m_reply->abort();
}

void WebTransfer::onFinished()
{
    if (m_finished || !m_reply)
        return;
    if (isRedirect(m_reply))
        return onMetaData();
    m_replyDone = true;
    // Under a rate limit the last bytes may still wait: the read timer ends
    // the attempt once they are read.
    if (!readAllowed() || m_finished)
        return;
    endAttempt();
}

void WebTransfer::endAttempt()
{
    m_speedTimer.stop();
    m_readTimer.stop();
    holdBack(false);
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, &QObject::destroyed, this, nullptr);
    reply->deleteLater();
    bool transient = false;
    WebResult result = transferResult(reply, &transient);
    if (result.ok() || result.error == WebError::HttpStatus) {
        result = complete(result, reply);
        transient = result.error == WebError::HttpStatus && isTransientStatus(result.httpStatus);
    }
    retryOrFinish(result, transient, reply);
}

WebResult WebTransfer::transferResult(QNetworkReply *reply, bool *transient)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    *transient = true;
    if (error == QNetworkReply::OperationCanceledError && m_tooSlow) {
        return failure(WebError::Timeout,
                       {WebReason::TooSlow, {}, {}, m_options.lowSpeedBytesPerSecond, m_options.lowSpeedTimeMs},
                       status);
    }
    if (error == QNetworkReply::OperationCanceledError) {
        // Nobody else cancels a reply we still listen to: this is the transfer time-out.
        return failure(WebError::Timeout, {WebReason::NoData, {}, {}, 0, m_options.timeoutMs}, status);
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (WebRequest::transferBroken(reply, m_rawBytes)) {
        // Headers came, then the connection dropped or fell silent: a cut body.
        const bool cut = status != 0
                && (error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError
                    || isHttpStatusMirror(reply));
        if (!cut) {
            *transient = isTransientNetworkError(error);
            return failure(WebError::Network, networkFailure(reply), status);
        }
        const qint64 expected = length.isValid() ? length.toLongLong() : -1;
        return failure(WebError::Truncated, {WebReason::Truncated, {}, {}, m_rawBytes, expected}, status);
    }
    if (m_decoder && !m_decoder->isSupported()) {
        *transient = false;
        return failure(WebError::NotAPicture,
                       {WebReason::UnknownEncoding, QString::fromLatin1(reply->rawHeader("Content-Encoding"))},
                       status);
    }
    if (m_decoder && !m_decoder->isComplete())
        return failure(WebError::Truncated, {WebReason::CompressedTruncated, {}, {}, m_rawBytes}, status);
    *transient = false;
    WebResult response;
    response.httpStatus = status;
    if (status >= 400) {
        response.error = WebError::HttpStatus;
        response.failure = {WebReason::HttpStatus, {}, {}, status};
    }
    return response;
}

void WebTransfer::retryOrFinish(WebResult result, bool transient, const QNetworkReply *reply)
{
    if (!transient)
        return finish(result);
    int retryAfter = -1;
    const int status = result.httpStatus;
    if (result.error == WebError::HttpStatus && (status == 429 || status == 503)) {
        retryAfter = WebRequest::retryAfterMs(reply->rawHeader("Retry-After"), QDateTime::currentDateTimeUtc())
                             .value_or(-1);
        if (m_options.throttled) {
            // The callback may close the caller's window, and this request with it.
            const QPointer<WebTransfer> self(this);
            // Whoever slows down for the site never waits longer than this
            // request would have.
            m_options.throttled(qMin(retryAfter, m_options.retry.maxRetryAfterMs));
            if (!self)
                return;
        }
    }
    const std::optional<int> delay = WebRequest::retryDelayMs(m_options.retry, m_attempts - 1, retryAfter);
    if (!delay) {
        // Only when the wait, not the end of the retries, stopped them.
        if (retryAfter > m_options.retry.maxRetryAfterMs && m_attempts <= m_options.retry.delaysMs.size())
            result.failure = {WebReason::RetryTooLate, {}, {}, retryAfter, m_options.retry.maxRetryAfterMs};
        return finish(result);
    }
    m_retryTimer.start(*delay, this);
}

void WebTransfer::finish(WebResult result)
{
    if (m_finished)
        return;
    m_finished = true;
    WebRequest::dropReply(m_reply);
    m_retryTimer.stop();
    m_speedTimer.stop();
    m_readTimer.stop();
    m_deadlineTimer.stop();
    result.attempts = m_attempts;
    // `deliver` may delete the context: detach first and delete later.
    setParent(nullptr);
    deleteLater();
    deliver(result);
}
