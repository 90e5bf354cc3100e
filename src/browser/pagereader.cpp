#include "pagereader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

// Read in an isolated world so the page's own scripts cannot change what we see.
// textContent keeps the link text exactly as written; innerText would trim it.
const char LinksScript[] = R"((function() {
    var out = [];
    var links = document.links;
    for (var i = 0; i < links.length; ++i)
        out.push([links[i].href, links[i].href, links[i].textContent]);
    // A login form shown where an album page should be means the login expired.
    var password = document.querySelector('input[type=password]') !== null;
    return JSON.stringify({ title: document.title, links: out, password: password });
})())";

} // namespace

PageReader::PageReader(QWebEnginePage *page)
    : QObject(page)
    , m_page(page)
{
    connect(page, &QWebEnginePage::loadStarted, this, [this] { ++m_loadSerial; });
    connect(page, &QWebEnginePage::loadFinished, this, &PageReader::onLoadFinished);
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            m_loadError.clear();
            m_loadStatus = 0;
        } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            m_loadError = loadErrorText(info);
            if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
                m_loadStatus = info.errorCode();
        }
    });
}

void PageReader::onLoadFinished(bool ok)
{
    const quint64 serial = ++m_loadSerial;
    const QString address = m_page->url().toString();
    if (!ok) {
        // What shows now is an error page: it has no title or links of the
        // site's. Answered from the event loop like a page that loaded.
        // The failure's details may arrive just after loadFinished.
        QTimer::singleShot(0, this, [this, serial, address] {
            if (m_loadSerial != serial)
                return;
            const WebFailure error = m_loadStatus > 0 ? WebFailure{WebReason::HttpStatus, {}, {}, m_loadStatus}
                                                      : WebFailure{WebReason::LoadFailed, {}, m_loadError};
            m_snapshot = {address, {}, {}, true, error, m_loadStatus};
            emit pageRead(m_snapshot);
        });
        return;
    }
    QPointer<PageReader> self(this);
    m_page->runJavaScript(QString::fromLatin1(LinksScript), QWebEngineScript::ApplicationWorld,
                          [self, serial, address](const QVariant &result) {
                              // A newer load started meanwhile: this snapshot is stale.
                              if (!self || self->m_loadSerial != serial)
                                  return;
                              const QJsonObject doc =
                                  QJsonDocument::fromJson(result.toString().toUtf8()).object();
                              PageSnapshot snapshot;
                              snapshot.address = address;
                              snapshot.title = doc.value(QLatin1String("title")).toString();
                              snapshot.passwordField = doc.value(QLatin1String("password")).toBool();
                              const QJsonArray links = doc.value(QLatin1String("links")).toArray();
                              snapshot.links.reserve(links.size());
                              for (const QJsonValue &v : links) {
                                  const QJsonArray l = v.toArray();
                                  snapshot.links.append(
                                      {l.at(0).toString(), l.at(1).toString(), l.at(2).toString()});
                              }
                              self->m_snapshot = snapshot;
                              emit self->pageRead(self->m_snapshot);
                          });
}

// The browser's own words for a failed load; an error status is reported
// by its number instead.
QString PageReader::loadErrorText(const QWebEngineLoadingInfo &info)
{
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return {};
    return info.errorString();
}
