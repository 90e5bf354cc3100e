#pragma once

#include "webrequest.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QObject;

struct PageResult : WebResult {
    QString text; // the body decoded; also an HTTP error page's body
};
using PageCallback = std::function<void(const PageResult &)>;

// Fetches `address` with GET on `network` (so with the site cookies) and
// calls `done` exactly once with the body decoded by `charset`, or with what
// went wrong: a caller can tell a page that failed from a page without
// content. An HTTP error status is a failure whose error page is in `text`.
// Transient failures (time-out, refused or reset connection, cut body, HTTP
// 5xx and 429) are tried again as `options` say. A body that decodes past
// `options.maxPageBytes` fails as TooLarge without being kept; a trickling
// one fails as a time-out (see RequestOptions).
//
// `done` always runs later from the event loop, never inside this call. If
// `context` is destroyed first, the request (or the wait before a retry) is
// aborted and `done` never runs.
void fetchPage(QNetworkAccessManager *network, const QString &charset, const QString &address,
               QObject *context, PageCallback done, const RequestOptions &options = {});

using FetchCallback = std::function<void(const QString &text)>;

// The text-only form: sends the header "Content-Type:
// application/x-www-form-urlencoded" and `body` as the request body, and
// gives the empty text on any failure: a bad or non-http address, an
// unreachable host, a network error, a timeout (no data for `timeoutMs`, or
// a trickle), an empty body, a body past the page cap or an unknown charset.
// An HTTP error status is not a failure here: the error page's body is
// decoded and returned. One attempt, no retry; the other bounds are the
// defaults of RequestOptions.
void fetchText(QNetworkAccessManager *network, const QString &charset, const QString &address,
               const QString &body, QObject *context, FetchCallback done, int timeoutMs = 60000);

// The text that `bytes` encode in `charset` (a byte order mark is skipped);
// the empty text when the charset name is unknown.
QString BytesToText(const QByteArray &bytes, const QString &charset);
