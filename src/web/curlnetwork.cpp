#include "curlnetwork.h"

#include <QElapsedTimer>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QNetworkCookieJar>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimerEvent>

#include <mutex>

// One GET on libcurl. Its callbacks only gather; what Qt would signal is
// signalled once curl has returned (publish(), done()), so a handler may
// abort or delete the reply.
class CurlReply : public QNetworkReply
{
public:
    CurlReply(CurlNetworkManager *manager, const QNetworkRequest &request);
    ~CurlReply() override;

    void abort() override;
    qint64 bytesAvailable() const override { return m_body.size() - m_read + QNetworkReply::bytesAvailable(); }
    bool isSequential() const override { return true; }

    // Signals what arrived since the last call.
    void publish();
    // The transfer ended with `code`.
    void done(CURLcode code);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    void timerEvent(QTimerEvent *event) override;

private:
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onBody(char *data, size_t size, size_t count, void *self);
    void headerLine(QByteArrayView line);
    void headersComplete();
    void stop(QNetworkReply::NetworkError error, const QString &text);
    void silence();

    CurlNetworkManager *m_manager;
    CURL *m_easy;
    curl_slist *m_headers = nullptr;
    char m_errorText[CURL_ERROR_SIZE] = {};
    bool m_running = false;
    bool m_paused = false;
    bool m_ended = false;
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_heard; // headers of the answer being read
    bool m_headersDone = false;
    bool m_metaSent = false;
    QByteArray m_body; // unread body bytes from m_read on
    qsizetype m_read = 0;
    qint64 m_signalled = 0; // body bytes readyRead has told of
    qint64 m_received = 0;
    QBasicTimer m_silence;
    QElapsedTimer m_heardAt; // since the last sign of life
};

namespace {

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QNetworkReply::NetworkError errorOf(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return QNetworkReply::ConnectionRefusedError;
    case CURLE_COULDNT_RESOLVE_HOST:
        return QNetworkReply::HostNotFoundError;
    case CURLE_OPERATION_TIMEDOUT:
        return QNetworkReply::TimeoutError;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return QNetworkReply::RemoteHostClosedError;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
        return QNetworkReply::SslHandshakeFailedError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

// The error Qt gives an answer of `status`: one that only mirrors it.
QNetworkReply::NetworkError statusError(int status)
{
    switch (status) {
    case 401:
        return QNetworkReply::AuthenticationRequiredError;
    case 403:
        return QNetworkReply::ContentAccessDenied;
    case 404:
        return QNetworkReply::ContentNotFoundError;
    case 405:
        return QNetworkReply::ContentOperationNotPermittedError;
    case 409:
        return QNetworkReply::ContentConflictError;
    case 410:
        return QNetworkReply::ContentGoneError;
    case 500:
        return QNetworkReply::InternalServerError;
    case 501:
        return QNetworkReply::OperationNotImplementedError;
    case 503:
        return QNetworkReply::ServiceUnavailableError;
    default:
        return status >= 500 ? QNetworkReply::UnknownServerError : QNetworkReply::UnknownContentError;
    }
}

} // namespace

CurlReply::CurlReply(CurlNetworkManager *manager, const QNetworkRequest &request)
    : QNetworkReply(manager)
    , m_manager(manager)
    , m_easy(manager->takeHandle())
{
    setRequest(request);
    setUrl(request.url());
    setOperation(QNetworkAccessManager::GetOperation);
    // Unbuffered: the body waits in m_body alone, bounded by the read buffer size.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QByteArray address = request.url().toEncoded();
    curl_easy_setopt(m_easy, CURLOPT_URL, address.constData());
    curl_easy_setopt(m_easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText);
    curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // As Qt's backend: no proxy from the environment, no decoding, no redirects.
    curl_easy_setopt(m_easy, CURLOPT_PROXY, "");
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlReply::onHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlReply::onBody);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    if (request.url().scheme() == QLatin1String("https")) {
        const QByteArray &certificates = manager->caCertificates();
        // The manager keeps the bytes as long as any of its handles.
        curl_blob blob{const_cast<char *>(certificates.constData()), size_t(certificates.size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(m_easy, CURLOPT_CAINFO_BLOB, &blob);
    }
    bool agent = false;
    for (const QByteArray &name : request.rawHeaderList()) {
        agent |= name.compare("User-Agent", Qt::CaseInsensitive) == 0;
        m_headers = curl_slist_append(m_headers, (name + ": " + request.rawHeader(name)).constData());
    }
    // What Qt's backend sends besides.
    if (!agent)
        m_headers = curl_slist_append(m_headers, "User-Agent: Mozilla/5.0");
    if (QNetworkCookieJar *jar = manager->cookieJar()) {
        QByteArray cookies;
        for (const QNetworkCookie &cookie : jar->cookiesForUrl(request.url()))
            cookies += (cookies.isEmpty() ? "" : "; ") + cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
        if (!cookies.isEmpty())
            m_headers = curl_slist_append(m_headers, ("Cookie: " + cookies).constData());
    }
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
    silence();
    m_running = curl_multi_add_handle(manager->m_multi, m_easy) == CURLM_OK;
    if (!m_running)
        QMetaObject::invokeMethod(this, [this] { done(CURLE_FAILED_INIT); }, Qt::QueuedConnection);
}

CurlReply::~CurlReply()
{
    if (m_running)
        curl_multi_remove_handle(m_manager->m_multi, m_easy);
    m_manager->giveBack(m_easy);
    curl_slist_free_all(m_headers);
}

void CurlReply::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_silence.timerId())
        return QNetworkReply::timerEvent(event);
    // Armed once and checked as it fires: restarting a timer with every
    // header line and chunk cost more than the transfer's own reads.
    m_silence.stop();
    if (const qint64 left = request().transferTimeout() - m_heardAt.elapsed(); left > 0)
        return m_silence.start(int(left), this);
    // Qt's transfer time-out ends a reply as cancelled.
    stop(QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled"));
}

void CurlReply::silence()
{
    if (const int ms = request().transferTimeout(); ms > 0 && !m_ended) {
        m_heardAt.start();
        if (!m_silence.isActive())
            m_silence.start(ms, this);
    }
}

size_t CurlReply::onHeader(char *data, size_t size, size_t count, void *self)
{
    static_cast<CurlReply *>(self)->headerLine(QByteArrayView(data, qsizetype(size * count)));
    return size * count;
}

void CurlReply::headerLine(QByteArrayView line)
{
    silence();
    line = line.trimmed();
    if (line.startsWith("HTTP/")) {
        // A new answer (after a 100 Continue): forget the last one's headers.
        // "HTTP/1.1 200 OK": the status, then the reason as it stands.
        const qsizetype afterVersion = line.indexOf(' ');
        const QByteArrayView rest = afterVersion < 0 ? QByteArrayView() : line.sliced(afterVersion + 1);
        const qsizetype space = rest.indexOf(' ');
        m_status = (space < 0 ? rest : rest.first(space)).toInt();
        m_reason = space < 0 ? QByteArray() : rest.sliced(space + 1).trimmed().toByteArray();
        m_heard.clear();
        return;
    }
    if (!line.isEmpty()) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            m_heard.append({line.first(colon).trimmed().toByteArray(), line.sliced(colon + 1).trimmed().toByteArray()});
        return;
    }
    if (m_status >= 200)
        headersComplete();
}

void CurlReply::headersComplete()
{
    m_headersDone = true;
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, m_status);
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, m_reason);
    QList<QByteArray> names;
    QHash<QByteArray, QByteArray> values;
    for (const auto &[name, value] : std::as_const(m_heard)) {
        const QByteArray key = name.toLower();
        if (!values.contains(key))
            names << name;
        // Repeated headers as Qt joins them.
        QByteArray &joined = values[key];
        joined = joined.isEmpty() ? value : joined + (key == "set-cookie" ? "\n" : ", ") + value;
    }
    for (const QByteArray &name : std::as_const(names))
        setRawHeader(name, values.value(name.toLower()));
    const QByteArray setCookie = values.value("set-cookie");
    if (QNetworkCookieJar *jar = m_manager->cookieJar(); jar && !setCookie.isEmpty()) {
        QList<QNetworkCookie> cookies;
        for (const QByteArray &one : setCookie.split('\n'))
            cookies += QNetworkCookie::parseCookies(one);
        jar->setCookiesFromUrl(cookies, url());
    }
    m_manager->dirty(this);
}

size_t CurlReply::onBody(char *data, size_t size, size_t count, void *self)
{
    auto *reply = static_cast<CurlReply *>(self);
    // Past the read buffer, curl holds the bytes until reads make room.
    const qint64 limit = reply->readBufferSize();
    if (limit > 0 && reply->m_body.size() - reply->m_read >= limit) {
        // Held back by the reader, not silent: the time-out waits too, as
        // Qt's does while its read buffer is full.
        reply->m_paused = true;
        reply->m_silence.stop();
        return CURL_WRITEFUNC_PAUSE;
    }
    reply->silence();
    reply->m_body.append(data, qsizetype(size * count));
    reply->m_received += qint64(size * count);
    reply->m_manager->dirty(reply);
    return size * count;
}

qint64 CurlReply::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_body.size() - m_read);
    if (n <= 0)
        return m_ended ? -1 : 0;
    memcpy(data, m_body.constData() + m_read, size_t(n));
    m_read += qsizetype(n);
    if (m_read == m_body.size()) {
        m_body.clear();
        m_read = 0;
    } else if (m_read > 256 * 1024) {
        m_body.remove(0, m_read);
        m_read = 0;
    }
    if (m_paused && m_running) {
        m_paused = false;
        silence();
        // curl may hand over what it held at once, through onBody.
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
    }
    return n;
}

void CurlReply::publish()
{
    const QPointer<CurlReply> self(this);
    if (m_headersDone && !m_metaSent) {
        m_metaSent = true;
        emit metaDataChanged();
        if (!self || !isRunning())
            return;
    }
    if (m_received > m_signalled) {
        m_signalled = m_received;
        emit readyRead();
    }
}

void CurlReply::done(CURLcode code)
{
    if (m_ended)
        return;
    if (m_running)
        curl_multi_remove_handle(m_manager->m_multi, m_easy);
    m_running = false;
    const QPointer<CurlReply> self(this);
    publish();
    if (!self || m_ended)
        return;
    if (code != CURLE_OK) {
        const QString text = m_errorText[0] ? QString::fromLocal8Bit(m_errorText)
                                            : QString::fromLatin1(curl_easy_strerror(code));
        return stop(errorOf(code), text);
    }
    m_ended = true;
    m_silence.stop();
    setFinished(true);
    if (m_status >= 400) {
        setError(statusError(m_status), QString::fromLatin1(m_reason));
        emit errorOccurred(error());
        if (!self)
            return;
    }
    emit finished();
}

void CurlReply::stop(QNetworkReply::NetworkError error, const QString &text)
{
    if (m_ended)
        return;
    if (m_running)
        curl_multi_remove_handle(m_manager->m_multi, m_easy);
    m_running = false;
    m_ended = true;
    m_silence.stop();
    setError(error, text);
    setFinished(true);
    const QPointer<CurlReply> self(this);
    emit errorOccurred(error);
    if (self)
        emit finished();
}

void CurlReply::abort()
{
    stop(QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled"));
}

CurlNetworkManager::CurlNetworkManager(QObject *parent)
    : QNetworkAccessManager(parent)
{
    initialiseCurl();
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlNetworkManager::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlNetworkManager::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlNetworkManager::~CurlNetworkManager()
{
    // Their handles go before the multi handle they are in.
    qDeleteAll(findChildren<CurlReply *>(QString(), Qt::FindDirectChildrenOnly));
    for (CURL *easy : std::as_const(m_spareHandles))
        curl_easy_cleanup(easy);
    for (const Watch &w : std::as_const(m_watches)) {
        delete w.read;
        delete w.write;
    }
    curl_multi_cleanup(m_multi);
}

QNetworkReply *CurlNetworkManager::get(QNetworkAccessManager *network, const QNetworkRequest &request)
{
    auto *curl = dynamic_cast<CurlNetworkManager *>(network);
    const QString scheme = request.url().scheme();
    if (!curl || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return network->get(request);
    return new CurlReply(curl, request);
}

QNetworkReply *CurlNetworkManager::createRequest(Operation op, const QNetworkRequest &request,
                                                 QIODevice *outgoingData)
{
    const QString scheme = request.url().scheme();
    if (op != GetOperation || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    return new CurlReply(this, request);
}

CURL *CurlNetworkManager::takeHandle()
{
    return m_spareHandles.isEmpty() ? curl_easy_init() : m_spareHandles.takeLast();
}

void CurlNetworkManager::giveBack(CURL *easy)
{
    // As many as may be in flight at once are worth keeping.
    constexpr qsizetype Spare = 16;
    if (m_spareHandles.size() >= Spare)
        return curl_easy_cleanup(easy);
    // Its options go; the connections stay in the multi handle's cache.
    curl_easy_reset(easy);
    m_spareHandles.append(easy);
}

const QByteArray &CurlNetworkManager::caCertificates()
{
    // The authorities Qt trusts, so that both backends trust the same sites.
    if (!m_caRead) {
        m_caRead = true;
        QList<QSslCertificate> trusted = QSslConfiguration::systemCaCertificates();
        trusted += QSslConfiguration::defaultConfiguration().caCertificates();
        for (const QSslCertificate &certificate : std::as_const(trusted))
            m_caCertificates += certificate.toPem();
    }
    return m_caCertificates;
}

int CurlNetworkManager::onSocket(CURL *, curl_socket_t socket, int what, void *self, void *)
{
    static_cast<CurlNetworkManager *>(self)->watch(socket, what);
    return 0;
}

int CurlNetworkManager::onTimer(CURLM *, long timeoutMs, void *self)
{
    auto *manager = static_cast<CurlNetworkManager *>(self);
    if (timeoutMs < 0)
        manager->m_timer.stop();
    else
        manager->m_timer.start(int(qMin<long>(timeoutMs, INT_MAX)));
    return 0;
}

void CurlNetworkManager::watch(curl_socket_t socket, int what)
{
    Watch &w = m_watches[socket];
    const auto want = [&](QSocketNotifier *&notifier, QSocketNotifier::Type type, bool wanted, int flag) {
        if (!wanted) {
            if (notifier) {
                // It may be the one whose signal runs now.
                notifier->setEnabled(false);
                notifier->deleteLater();
                notifier = nullptr;
            }
            return;
        }
        if (!notifier) {
            notifier = new QSocketNotifier(socket, type, this);
            connect(notifier, &QSocketNotifier::activated, this, [this, socket, flag] { act(socket, flag); });
        }
    };
    const bool remove = what == CURL_POLL_REMOVE;
    want(w.read, QSocketNotifier::Read, !remove && (what & CURL_POLL_IN), CURL_CSELECT_IN);
    want(w.write, QSocketNotifier::Write, !remove && (what & CURL_POLL_OUT), CURL_CSELECT_OUT);
    if (remove)
        m_watches.remove(socket);
}

void CurlNetworkManager::act(curl_socket_t socket, int flags)
{
    int running = 0;
    curl_multi_socket_action(m_multi, socket, flags, &running);
    settle();
}

void CurlNetworkManager::dirty(CurlReply *reply)
{
    if (m_dirty.isEmpty() || m_dirty.last() != reply)
        m_dirty.append(reply);
}

// What curl gathered is signalled, now that it has returned.
void CurlNetworkManager::settle()
{
    QList<QPair<QPointer<CurlReply>, CURLcode>> ended;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CurlReply *reply = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &reply);
        ended.append({reply, message->data.result});
    }
    const QList<QPointer<CurlReply>> dirty = std::exchange(m_dirty, {});
    for (const QPointer<CurlReply> &reply : dirty) {
        if (reply)
            reply->publish();
    }
    for (const auto &[reply, code] : ended) {
        if (reply)
            reply->done(code);
    }
}
