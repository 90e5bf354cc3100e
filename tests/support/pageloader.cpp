#include "pageloader.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

namespace {

// Character references as a browser decodes them in a title or link text.
QString decoded(QString text)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    text.remove(tags);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

} // namespace

PageSnapshot snapshotOf(const QString &address, const QString &html)
{
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption
                                              | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression link(QStringLiteral("<a\\s[^>]*href=\"([^\"]*)\"[^>]*>(.*?)</a>"),
                                         QRegularExpression::DotMatchesEverythingOption
                                             | QRegularExpression::CaseInsensitiveOption);
    PageSnapshot page;
    page.address = address;
    // document.title collapses white space and trims it.
    page.title = decoded(title.match(html).captured(1)).simplified();
    static const QRegularExpression password(QStringLiteral("<input[^>]*type=\"password\""),
                                             QRegularExpression::CaseInsensitiveOption);
    page.passwordField = password.match(html).hasMatch();
    const QUrl base(address);
    for (const QRegularExpressionMatch &m : link.globalMatch(html)) {
        const QString href = decoded(m.captured(1));
        const QString absolute = href.startsWith(QLatin1String("javascript:"))
            ? href
            : base.resolved(QUrl(href)).toString();
        page.links.append({absolute, absolute, decoded(m.captured(2))});
    }
    return page;
}

namespace {

QNetworkReply *getPage(QNetworkAccessManager *network, const QString &address, int timeoutMs)
{
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    return network->get(request);
}

// What a pane reports of a finished load: the page, or why it failed.
PageSnapshot snapshotOfReply(QNetworkReply *reply)
{
    const QString finalAddress = reply->url().toString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status < 400)
        return {finalAddress, {}, {}, true, WebFailure{WebReason::LoadFailed, {}, reply->errorString()}};
    if (status >= 400)
        return {finalAddress, {}, {}, true, WebFailure{WebReason::HttpStatus, {}, {}, status}, status};
    return snapshotOf(finalAddress, QString::fromUtf8(reply->readAll()));
}

} // namespace

PageSnapshot loadSnapshot(QNetworkAccessManager *network, const QString &address, int timeoutMs)
{
    QNetworkReply *reply = getPage(network, address, timeoutMs);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const PageSnapshot page = snapshotOfReply(reply);
    reply->deleteLater();
    return page;
}

TestPageSource::TestPageSource(QNetworkAccessManager *network, QObject *parent)
    : PageSource(parent)
    , m_network(network)
{
}

TestPageSource::~TestPageSource()
{
    if (m_reply)
        m_reply->abort();
}

void TestPageSource::load(const QString &address)
{
    loaded.append(address);
    // A new load ends the one before, as in a browser.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    if (address.startsWith(QLatin1String("about:")))
        return;
    QNetworkReply *reply = getPage(m_network, address, m_timeoutMs);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        m_reply = nullptr;
        reply->deleteLater();
        emit pageReady(snapshotOfReply(reply));
    });
}
