#include "demosite.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <QTimer>

DemoSite::DemoSite(const QByteArray &seedJson)
    : m_seed(seedJson)
{
}

DemoSite::~DemoSite()
{
    stop();
}

QString DemoSite::executablePath()
{
    return QStringLiteral(QUILLMOOR_DEMO_SITE_PATH);
}

QString DemoSite::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

bool DemoSite::start()
{
    QStringList args{QStringLiteral("--port"), QStringLiteral("0")};
    if (!m_seed.isEmpty()) {
        QTemporaryFile seed(QDir::tempPath() + QStringLiteral("/quillmoor-seed-XXXXXX.json"));
        seed.setAutoRemove(false);
        if (!seed.open())
            return false;
        seed.write(m_seed);
        m_seedFile = seed.fileName();
        args << QStringLiteral("--seed") << m_seedFile;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(executablePath(), args);
    if (!m_process.waitForStarted(10000))
        return false;
    // The site announces its port on the first line of its output.
    QDeadlineTimer deadline(15000);
    QByteArray out;
    while (!deadline.hasExpired() && !out.contains('\n')) {
        if (!m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
        out += m_process.readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (!line.startsWith("PORT "))
        return false;
    m_port = quint16(line.mid(5).toUInt());
    return m_port != 0;
}

void DemoSite::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    if (!m_seedFile.isEmpty()) {
        QFile::remove(m_seedFile);
        m_seedFile.clear();
    }
}

QByteArray DemoSite::get(const QString &path) const
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(url(path))));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ok = reply->isFinished() && reply->error() == QNetworkReply::NoError;
    const QByteArray body = ok ? reply->readAll() : QByteArray();
    delete reply; // aborts one that is still running
    return body;
}

QJsonObject DemoSite::requests(bool reset) const
{
    return QJsonDocument::fromJson(get(reset ? QStringLiteral("/test/requests?reset=1")
                                             : QStringLiteral("/test/requests")))
        .object();
}

namespace {

QString queryValue(const QString &text)
{
    return QString::fromUtf8(QUrl::toPercentEncoding(text));
}

int countOrFailure(const QByteArray &answer)
{
    bool ok = false;
    const int count = answer.toInt(&ok);
    return ok ? count : -1;
}

} // namespace

int DemoSite::grow(const QString &albumId, int count) const
{
    return countOrFailure(get(QStringLiteral("/test/grow?album=%1&n=%2").arg(queryValue(albumId)).arg(count)));
}

int DemoSite::remove(const QString &albumId, const QString &pictureId) const
{
    return countOrFailure(
        get(QStringLiteral("/test/remove?album=%1&picture=%2").arg(queryValue(albumId), queryValue(pictureId))));
}
