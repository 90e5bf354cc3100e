#include "demosite.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

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
