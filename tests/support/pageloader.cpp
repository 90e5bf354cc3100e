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

PageSnapshot loadSnapshot(QNetworkAccessManager *network, const QString &address, int timeoutMs)
{
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = network->get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QString finalAddress = reply->url().toString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    PageSnapshot page;
    if (reply->error() != QNetworkReply::NoError && status < 400) {
        page = {finalAddress, {}, {}, true, reply->errorString()};
    } else if (status >= 400) {
        page = {finalAddress, {}, {}, true, QStringLiteral("服务器返回 HTTP %1").arg(status), status};
    } else {
        page = snapshotOf(finalAddress, QString::fromUtf8(reply->readAll()));
    }
    reply->deleteLater();
    return page;
}
