#include "desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QVariantMap>

namespace {

// Quiet unless asked for (QT_LOGGING_RULES=quillmoor.notify.debug=true).
Q_LOGGING_CATEGORY(lcNotify, "quillmoor.notify", QtInfoMsg)

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

// Whether a session bus can be reached without starting one: libdbus would
// otherwise try to launch a bus of its own.
bool sessionBusAnnounced()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

} // namespace

DesktopNotice noticeFor(const QString &message, int bodyLines)
{
    QStringList lines = message.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    if (lines.isEmpty())
        return {};
    DesktopNotice notice{lines.takeFirst(), {}};
    const bool cut = lines.size() > bodyLines;
    lines = lines.mid(0, bodyLines);
    if (cut)
        lines << QStringLiteral("…");
    notice.body = lines.join(QLatin1Char('\n'));
    return notice;
}

DesktopNotifier::DesktopNotifier(const QString &applicationId, QObject *parent)
    : QObject(parent)
    , m_applicationId(applicationId)
{
    if (sessionBusAnnounced())
        m_bus = QDBusConnection::sessionBus();
}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, const QString &applicationId, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_applicationId(applicationId)
{
}

void DesktopNotifier::notify(const DesktopNotice &notice)
{
    if (!m_bus || !m_bus->isConnected()) {
        fail(QStringLiteral("no session bus"));
        return;
    }
    if (m_bodyMarkup) {
        send(notice);
        return;
    }
    m_waiting.append(notice);
    askCapabilities();
}

void DesktopNotifier::askCapabilities()
{
    if (m_asking)
        return;
    m_asking = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            // No service: the notices waiting for it go nowhere, and the
            // next notice asks again (a service may have started since).
            m_waiting.clear();
            fail(reply.error().message());
            return;
        }
        m_bodyMarkup = reply.value().contains(QLatin1String("body-markup"));
        const QList<DesktopNotice> waiting = std::exchange(m_waiting, {});
        for (const DesktopNotice &notice : waiting)
            send(notice);
    });
}

void DesktopNotifier::send(const DesktopNotice &notice)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    const QString body = m_bodyMarkup.value_or(true) ? notice.body.toHtmlEscaped() : notice.body;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), m_applicationId);
    call << QStringLiteral("Quillmoor") << uint(0) << m_applicationId << notice.summary << body << QStringList()
         << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            fail(reply.error().message());
        else
            emit delivered(reply.value());
    });
}

void DesktopNotifier::fail(const QString &error)
{
    qCDebug(lcNotify) << "desktop notification not shown:" << error;
    emit failed(error);
}
