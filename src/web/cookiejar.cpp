#include "cookiejar.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkCookie>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Owner-only, set on a folder or file that is no symbolic link.
void tighten(const QString &path, mode_t mode)
{
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) == 0 && !S_ISLNK(info.st_mode) && (info.st_mode & 07777) != mode)
        ::chmod(name.constData(), mode);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

// Written beside the file under a name of its own and renamed over it when
// whole, as QSaveFile does; by hand because QSaveFile makes the file with
// the umask's mode (0644) before anything can narrow it.
bool saveOwnerOnly(const QString &file, const QByteArray &bytes)
{
    const QString temporary = file + QStringLiteral(".%1.new").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                   QLatin1Char('0'));
    const QByteArray name = QFile::encodeName(temporary);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(name.constData(), QFile::encodeName(file).constData()) == 0)
        return true;
    ::unlink(name.constData());
    return false;
}

} // namespace

bool makePrivateFolder(const QString &top, const QString &folder)
{
    const QString root = QDir::cleanPath(QDir(top).absolutePath());
    const QString leaf = QDir::cleanPath(QDir(folder).absolutePath());
    if (leaf != root && !leaf.startsWith(root + QLatin1Char('/')))
        return false;
    // Made from the top down, each with 0700, so none is ever open to others.
    const QStringList below = leaf.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = root;
    for (int i = -1; i < below.size(); ++i) {
        if (i >= 0)
            path += QLatin1Char('/') + below.at(i);
        const QByteArray name = QFile::encodeName(path);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        tighten(path, 0700);
    }
    return QFileInfo(leaf).isDir();
}

PersistentCookieJar::PersistentCookieJar(const QString &file, QObject *parent)
    : QNetworkCookieJar(parent)
    , m_file(file)
{
    // Cookies change in bursts (a page sets several); write once per burst.
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(200);
    QObject::connect(&m_saveTimer, &QTimer::timeout, this, [this] { save(); });

    if (m_file.isEmpty())
        return;
    // An earlier version wrote the file with the umask's mode.
    tighten(m_file, 0600);
    QFile in(m_file);
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> cookies;
    for (const QByteArray &line : in.readAll().split('\n')) {
        for (const QNetworkCookie &c : QNetworkCookie::parseCookies(line)) {
            if (c.isSessionCookie() || c.expirationDate() > now)
                cookies << c;
        }
    }
    setAllCookies(cookies);
}

PersistentCookieJar::~PersistentCookieJar()
{
    if (m_saveTimer.isActive())
        save();
}

bool PersistentCookieJar::insertCookie(const QNetworkCookie &cookie)
{
    const bool changed = QNetworkCookieJar::insertCookie(cookie);
    scheduleSave();
    return changed;
}

bool PersistentCookieJar::deleteCookie(const QNetworkCookie &cookie)
{
    const bool changed = QNetworkCookieJar::deleteCookie(cookie);
    scheduleSave();
    return changed;
}

void PersistentCookieJar::scheduleSave()
{
    if (!m_file.isEmpty())
        m_saveTimer.start();
}

void PersistentCookieJar::save()
{
    m_saveTimer.stop();
    // Session cookies too: the browser keeps them across runs, and a login
    // must hold for the page fetch just as it does in the pane.
    QByteArray text;
    for (const QNetworkCookie &c : allCookies())
        text += c.toRawForm(QNetworkCookie::Full) + '\n';
    saveOwnerOnly(m_file, text);
}
