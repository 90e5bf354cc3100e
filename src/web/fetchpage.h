#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QObject;

using FetchCallback = std::function<void(const QString &text)>;

// Fetches `address` with GET on sharedNetwork() (so with the site cookies),
// sending the header "Content-Type: application/x-www-form-urlencoded" and
// `body` as the request body, and calls `done` exactly once with the response
// body decoded by `charset`. `done` gets the empty text on any failure: a bad
// or non-http address, an unreachable host, a network error, a timeout (no
// data for `timeoutMs`), an empty body or an unknown charset. An HTTP error
// status is not a failure: the error page's body is decoded and returned.
//
// `done` always runs later from the event loop, never inside this call. If
// `context` is destroyed first, the request is aborted and `done` never runs.
void FetchPage(const QString &charset, const QString &address, const QString &body,
               QObject *context, FetchCallback done, int timeoutMs = 60000);

// The text that `bytes` encode in `charset` (a byte order mark is skipped);
// the empty text when the charset name is unknown.
QString BytesToText(const QByteArray &bytes, const QString &charset);
