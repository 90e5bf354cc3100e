#include "settingsfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

QStringList readLines(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// "[name]" -> name; anything else -> null.
QString sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

bool isKeyLine(const QString &line, const QString &key, QString *value = nullptr)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0 || line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
        return false;
    if (value) {
        QString v = line.mid(eq + 1).trimmed();
        // A value in matching quotes is read without them, as profile readers do.
        if (v.size() >= 2
            && ((v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
                || (v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))))
            v = v.mid(1, v.size() - 2);
        *value = v;
    }
    return true;
}

} // namespace

QString SettingsFilePath(const QString &applicationFolder)
{
    return applicationFolder + QStringLiteral("/Settings.ini");
}

QString ReadSetting(const QString &file, const QString &section, const QString &key)
{
    bool inSection = false;
    for (const QString &line : readLines(file)) {
        const QString name = sectionName(line);
        if (!name.isNull()) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString value;
        if (inSection && isKeyLine(line, key, &value))
            return value;
    }
    return {};
}

bool WriteSetting(const QString &file, const QString &section, const QString &key,
                  const QString &value)
{
    QStringList lines = readLines(file);
    const QString entry = key + QLatin1Char('=') + value;

    qsizetype sectionStart = -1;
    qsizetype sectionEnd = lines.size(); // one past the section's last line
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionName(lines.at(i));
        if (name.isNull())
            continue;
        if (sectionStart >= 0) {
            sectionEnd = i;
            break;
        }
        if (name.compare(section, Qt::CaseInsensitive) == 0)
            sectionStart = i;
    }

    if (sectionStart < 0) {
        lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    } else {
        bool replaced = false;
        for (qsizetype i = sectionStart + 1; i < sectionEnd; ++i) {
            if (isKeyLine(lines.at(i), key)) {
                lines[i] = entry;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            // Keep blank lines that close the section after the new key.
            qsizetype at = sectionEnd;
            while (at > sectionStart + 1 && lines.at(at - 1).trimmed().isEmpty())
                --at;
            lines.insert(at, entry);
        }
    }

    // Written whole under a temporary name, so a full disk never leaves half a file.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return out.commit();
}
