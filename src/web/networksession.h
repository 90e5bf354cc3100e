#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrl>

// The one network manager of the program. Page fetches and picture downloads
// go through it, so they share its cookie jar, into which the browser panes
// mirror the site's cookies. Created on first use (in the GUI thread) and
// parented to the application object.
QNetworkAccessManager *sharedNetwork();

// Installs another manager (the app's own, or a test's). The caller keeps
// ownership; if it is deleted, the next sharedNetwork() creates a fresh one.
void setSharedNetwork(QNetworkAccessManager *manager);

// Small rules shared by FetchPage and DownPic.
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
