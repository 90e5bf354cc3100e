#pragma once

#include "olecolor.h"

#include <QFont>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QString>
#include <QVariant>

#include <optional>

// One stored property value together with the width it was written with, so a
// 16-bit value stays 16-bit across a save and a load.
class PropertyValue
{
public:
    enum class Kind { Int16, Int32, Bool, Text, Color, Font, Picture };

    static PropertyValue int16(qint16 v) { return PropertyValue(Kind::Int16, int(v)); }
    static PropertyValue int32(qint32 v) { return PropertyValue(Kind::Int32, int(v)); }
    static PropertyValue boolean(bool v) { return PropertyValue(Kind::Bool, v); }
    static PropertyValue text(const QString &v) { return PropertyValue(Kind::Text, v); }
    static PropertyValue color(OleColor::Value v) { return PropertyValue(Kind::Color, uint(v)); }
    static PropertyValue font(const QFont &v) { return PropertyValue(Kind::Font, v); }
    static PropertyValue picture(const QPixmap &v) { return PropertyValue(Kind::Picture, v); }

    Kind kind() const { return m_kind; }

    // Conversions used when reading; a value of an unsuitable kind yields
    // nothing so the reader can fall back to its default.
    std::optional<qint64> toInteger() const; // Int16, Int32, Bool (True = -1), Color
    std::optional<bool> toBool() const;
    std::optional<QString> toText() const;
    std::optional<QFont> toFont() const;
    std::optional<QPixmap> toPicture() const;

    // Numbers compare by value whatever their width, as a 32-bit value written
    // against a 16-bit default must.
    bool sameAs(const PropertyValue &other) const;

    // One-line text form "type:value" and back.
    QString serialize() const;
    static std::optional<PropertyValue> parse(const QString &typeAndValue);

private:
    PropertyValue(Kind kind, QVariant data) : m_kind(kind), m_data(std::move(data)) {}

    Kind m_kind = Kind::Int32;
    QVariant m_data;
};

// The container's store of a control's properties: key -> value, in the order
// written. A value equal to its default is not kept; an absent key reads as the
// default the reader gives.
class PropertyBag
{
public:
    bool contains(const QString &key) const { return indexOf(key) >= 0; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    QStringList keys() const;
    std::optional<PropertyValue> value(const QString &key) const;

    PropertyValue readProperty(const QString &key, const PropertyValue &defaultValue) const;
    // Without a default the value is always stored. False for a key that
    // cannot be stored (empty, with '=' or a line break, starting '[' or '#').
    bool writeProperty(const QString &key, const PropertyValue &value,
                       const std::optional<PropertyValue> &defaultValue = std::nullopt);
    void remove(const QString &key);

    // Text form: one "Key=type:value" line per entry, e.g. "Style=i32:6".
    QString toText() const;
    // Blank lines and lines starting with '#' are skipped; any other line that
    // does not parse rejects the whole text.
    static std::optional<PropertyBag> fromText(const QString &text, QString *error = nullptr);

    // A file holds the bags of several controls, each under a "[Name]" line;
    // lines before the first header belong to the bag named "".
    static QString sectionsToText(const QMap<QString, PropertyBag> &bags);
    static std::optional<QMap<QString, PropertyBag>> sectionsFromText(const QString &text,
                                                                      QString *error = nullptr);
    static bool saveFile(const QString &path, const QMap<QString, PropertyBag> &bags,
                         QString *error = nullptr);
    static std::optional<QMap<QString, PropertyBag>> loadFile(const QString &path,
                                                              QString *error = nullptr);

private:
    qsizetype indexOf(const QString &key) const;

    QList<std::pair<QString, PropertyValue>> m_entries;
};
