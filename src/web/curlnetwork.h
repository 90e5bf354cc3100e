#pragma once

#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>

#include <curl/curl.h>

class CurlReply;
class QSocketNotifier;

// A network manager whose GET requests go through libcurl's multi interface
// on this manager's thread, with no thread of its own: the transfer thread
// of PictureTransfers runs its requests with a fraction of the CPU and none
// of the thread hops of Qt's HTTP backend. Its replies behave as Qt's do
// for what the request layer reads (status, raw and parsed headers, the
// body as a bounded read buffer, errors, the transfer time-out, abort), and
// take their cookies from this manager's jar and give the site's back to
// it. Redirects are not followed: the request layer does that hop by hop.
// Other operations go to Qt's own backend.
class CurlNetworkManager : public QNetworkAccessManager
{
public:
    explicit CurlNetworkManager(QObject *parent = nullptr);
    ~CurlNetworkManager() override;

    // A GET, straight to libcurl when `network` is one of these: without
    // what QNetworkAccessManager::get() wraps around each reply (a hook on
    // its end and the signals of Qt's TLS, connected by name), which cost
    // more than the transfer. Any other manager does its own get().
    static QNetworkReply *get(QNetworkAccessManager *network, const QNetworkRequest &request);

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData = nullptr) override;

private:
    friend class CurlReply;

    static int onSocket(CURL *easy, curl_socket_t socket, int what, void *self, void *);
    static int onTimer(CURLM *multi, long timeoutMs, void *self);
    void watch(curl_socket_t socket, int what);
    void act(curl_socket_t socket, int flags);
    void settle();
    void dirty(CurlReply *reply);
    const QByteArray &caCertificates();
    // Easy handles are kept for the next reply: making one per request cost
    // more than its transfer.
    CURL *takeHandle();
    void giveBack(CURL *easy);

    struct Watch {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
    };

    CURLM *m_multi;
    QTimer m_timer;
    QHash<curl_socket_t, Watch> m_watches;
    QList<QPointer<CurlReply>> m_dirty;
    QList<CURL *> m_spareHandles;
    QByteArray m_caCertificates;
    bool m_caRead = false;
};
