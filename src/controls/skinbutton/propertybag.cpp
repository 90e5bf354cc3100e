#include "propertybag.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

namespace {

struct KindName {
    PropertyValue::Kind kind;
    QLatin1StringView name;
};

constexpr KindName kindNames[] = {
    {PropertyValue::Kind::Int16, QLatin1StringView("i16")},
    {PropertyValue::Kind::Int32, QLatin1StringView("i32")},
    {PropertyValue::Kind::Bool, QLatin1StringView("bool")},
    {PropertyValue::Kind::Text, QLatin1StringView("text")},
    {PropertyValue::Kind::Color, QLatin1StringView("color")},
    {PropertyValue::Kind::Font, QLatin1StringView("font")},
    {PropertyValue::Kind::Picture, QLatin1StringView("picture")},
};

QLatin1StringView nameOf(PropertyValue::Kind kind)
{
    for (const auto &k : kindNames) {
        if (k.kind == kind)
            return k.name;
    }
    return {};
}

// Text values stay on one line: backslash, CR and LF are escaped.
QString escapeText(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

std::optional<QString> unescapeText(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size())
            return std::nullopt;
        switch (s[i].unicode()) {
        case '\\': out += u'\\'; break;
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

bool validKey(const QString &key)
{
    return !key.isEmpty() && key.trimmed() == key && !key.contains(u'=') && !key.contains(u'\n')
        && !key.contains(u'\r') && !key.startsWith(u'[') && !key.startsWith(u'#');
}

QByteArray pictureToPng(const QPixmap &pixmap)
{
    if (pixmap.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    pixmap.toImage().save(&buffer, "PNG");
    return bytes;
}

QString lineError(int lineNo, const QString &what)
{
    return QStringLiteral("line %1: %2").arg(lineNo).arg(what);
}

} // namespace

std::optional<qint64> PropertyValue::toInteger() const
{
    switch (m_kind) {
    case Kind::Int16:
    case Kind::Int32:
        return m_data.toInt();
    case Kind::Bool:
        return m_data.toBool() ? -1 : 0;
    case Kind::Color:
        return qint64(m_data.toUInt());
    default:
        return std::nullopt;
    }
}

std::optional<bool> PropertyValue::toBool() const
{
    if (m_kind == Kind::Bool)
        return m_data.toBool();
    if (m_kind == Kind::Int16 || m_kind == Kind::Int32)
        return m_data.toInt() != 0;
    return std::nullopt;
}

std::optional<QString> PropertyValue::toText() const
{
    if (m_kind == Kind::Text)
        return m_data.toString();
    return std::nullopt;
}

std::optional<QFont> PropertyValue::toFont() const
{
    if (m_kind == Kind::Font)
        return m_data.value<QFont>();
    return std::nullopt;
}

std::optional<QPixmap> PropertyValue::toPicture() const
{
    if (m_kind == Kind::Picture)
        return m_data.value<QPixmap>();
    return std::nullopt;
}

bool PropertyValue::sameAs(const PropertyValue &other) const
{
    const auto a = toInteger();
    const auto b = other.toInteger();
    if (a && b)
        return *a == *b;
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::Text:
        return m_data.toString() == other.m_data.toString();
    case Kind::Font:
        return m_data.value<QFont>() == other.m_data.value<QFont>();
    case Kind::Picture: {
        const QPixmap pa = m_data.value<QPixmap>();
        const QPixmap pb = other.m_data.value<QPixmap>();
        if (pa.isNull() || pb.isNull())
            return pa.isNull() == pb.isNull();
        return pa.toImage() == pb.toImage();
    }
    default:
        return false;
    }
}

QString PropertyValue::serialize() const
{
    QString value;
    switch (m_kind) {
    case Kind::Int16:
    case Kind::Int32:
        value = QString::number(m_data.toInt());
        break;
    case Kind::Bool:
        value = m_data.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        break;
    case Kind::Text:
        value = escapeText(m_data.toString());
        break;
    case Kind::Color:
        value = QLatin1String("0x") + QString::number(m_data.toUInt(), 16).toUpper().rightJustified(6, u'0');
        break;
    case Kind::Font:
        value = escapeText(m_data.value<QFont>().toString());
        break;
    case Kind::Picture:
        value = QString::fromLatin1(pictureToPng(m_data.value<QPixmap>()).toBase64());
        break;
    }
    return nameOf(m_kind) + u':' + value;
}

std::optional<PropertyValue> PropertyValue::parse(const QString &typeAndValue)
{
    const qsizetype colon = typeAndValue.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QString type = typeAndValue.left(colon);
    const QString value = typeAndValue.mid(colon + 1);
    bool ok = false;
    if (type == nameOf(Kind::Int16)) {
        const int v = value.toInt(&ok);
        if (!ok || v < -32768 || v > 32767)
            return std::nullopt;
        return int16(qint16(v));
    }
    if (type == nameOf(Kind::Int32)) {
        const qint32 v = value.toInt(&ok);
        return ok ? std::optional(int32(v)) : std::nullopt;
    }
    if (type == nameOf(Kind::Bool)) {
        if (value == QLatin1String("True"))
            return boolean(true);
        if (value == QLatin1String("False"))
            return boolean(false);
        return std::nullopt;
    }
    if (type == nameOf(Kind::Text)) {
        const auto s = unescapeText(value);
        return s ? std::optional(text(*s)) : std::nullopt;
    }
    if (type == nameOf(Kind::Color)) {
        if (!value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            return std::nullopt;
        const uint v = value.mid(2).toUInt(&ok, 16);
        return ok ? std::optional(color(v)) : std::nullopt;
    }
    if (type == nameOf(Kind::Font)) {
        const auto s = unescapeText(value);
        QFont f;
        if (!s || !f.fromString(*s))
            return std::nullopt;
        return font(f);
    }
    if (type == nameOf(Kind::Picture)) {
        if (value.isEmpty())
            return picture(QPixmap());
        const auto decoded = QByteArray::fromBase64Encoding(value.toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        QImage image;
        if (!decoded || !image.loadFromData(*decoded, "PNG"))
            return std::nullopt;
        return picture(QPixmap::fromImage(image));
    }
    return std::nullopt;
}

qsizetype PropertyBag::indexOf(const QString &key) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key)
            return i;
    }
    return -1;
}

QStringList PropertyBag::keys() const
{
    QStringList out;
    for (const auto &e : m_entries)
        out << e.first;
    return out;
}

std::optional<PropertyValue> PropertyBag::value(const QString &key) const
{
    const qsizetype i = indexOf(key);
    if (i < 0)
        return std::nullopt;
    return m_entries[i].second;
}

PropertyValue PropertyBag::readProperty(const QString &key, const PropertyValue &defaultValue) const
{
    return value(key).value_or(defaultValue);
}

bool PropertyBag::writeProperty(const QString &key, const PropertyValue &value,
                                const std::optional<PropertyValue> &defaultValue)
{
    // A key the text form cannot hold would make the saved file unreadable.
    if (!validKey(key))
        return false;
    // A stale entry must not survive a write of the default, or reading would
    // return the old value instead of the default.
    if (defaultValue && value.sameAs(*defaultValue)) {
        remove(key);
        return true;
    }
    const qsizetype i = indexOf(key);
    if (i >= 0)
        m_entries[i].second = value;
    else
        m_entries.append({key, value});
    return true;
}

void PropertyBag::remove(const QString &key)
{
    const qsizetype i = indexOf(key);
    if (i >= 0)
        m_entries.removeAt(i);
}

QString PropertyBag::toText() const
{
    QString out;
    for (const auto &[key, value] : m_entries)
        out += key + u'=' + value.serialize() + u'\n';
    return out;
}

std::optional<PropertyBag> PropertyBag::fromText(const QString &text, QString *error)
{
    const auto sections = sectionsFromText(text, error);
    if (!sections)
        return std::nullopt;
    if (sections->size() > 1 || (sections->size() == 1 && !sections->contains(QString()))) {
        if (error)
            *error = QStringLiteral("section headers are not allowed in a single property set");
        return std::nullopt;
    }
    return sections->value(QString());
}

QString PropertyBag::sectionsToText(const QMap<QString, PropertyBag> &bags)
{
    QString out;
    for (auto it = bags.cbegin(); it != bags.cend(); ++it) {
        if (!it.key().isEmpty()) {
            if (!out.isEmpty())
                out += u'\n';
            out += u'[' + it.key() + QLatin1String("]\n");
        }
        out += it.value().toText();
    }
    return out;
}

std::optional<QMap<QString, PropertyBag>> PropertyBag::sectionsFromText(const QString &text,
                                                                        QString *error)
{
    QMap<QString, PropertyBag> bags;
    QString current;
    int lineNo = 0;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        ++lineNo;
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        if (trimmed.startsWith(u'[')) {
            if (!trimmed.endsWith(u']') || trimmed.size() < 3) {
                if (error)
                    *error = lineError(lineNo, QStringLiteral("bad section header"));
                return std::nullopt;
            }
            current = trimmed.mid(1, trimmed.size() - 2);
            bags[current]; // an empty section still names a control
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        const QString key = eq > 0 ? line.left(eq).trimmed() : QString();
        if (!validKey(key)) {
            if (error)
                *error = lineError(lineNo, QStringLiteral("expected Key=type:value"));
            return std::nullopt;
        }
        const auto value = PropertyValue::parse(line.mid(eq + 1));
        if (!value) {
            if (error)
                *error = lineError(lineNo, QStringLiteral("bad value for %1").arg(key));
            return std::nullopt;
        }
        PropertyBag &bag = bags[current];
        if (bag.contains(key)) {
            if (error)
                *error = lineError(lineNo, QStringLiteral("%1 given twice").arg(key));
            return std::nullopt;
        }
        bag.m_entries.append({key, *value});
    }
    return bags;
}

bool PropertyBag::saveFile(const QString &path, const QMap<QString, PropertyBag> &bags,
                           QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(sectionsToText(bags).toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<QMap<QString, PropertyBag>> PropertyBag::loadFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return sectionsFromText(QString::fromUtf8(file.readAll()), error);
}
