// How a SkinButton loads and saves itself: one table of stored properties,
// read and written in the same order with the same keys and defaults.

#include "skinbutton.h"

#include "propertybag.h"
#include "skintooltip.h"

#include <QApplication>
#include <QMetaProperty>
#include <QScopedValueRollback>

#include <algorithm>

using namespace SkinButtonLook;

namespace {

using PV = PropertyValue;

// Where a stored property's default comes from.
enum class DefaultFrom {
    Fixed,        // the value in the table
    EmptyPicture, // no picture
    SystemColour, // the table's system-colour reference, translated now
    Font,         // read: the current font; write: the container's font
    HostToolTip,  // the host's tooltip text slot
};

// A value of the wrong kind in a hand-edited store reads as the default.
int intOf(const PV &value, const PV &def)
{
    return int(value.toInteger().value_or(def.toInteger().value_or(0)));
}

qint16 int16Of(const PV &value, const PV &def)
{
    return qint16(qBound(-32768, intOf(value, def), 32767));
}

bool boolOf(const PV &value, const PV &def)
{
    return value.toBool().value_or(def.toBool().value_or(false));
}

OleColor::Value colourOf(const PV &value, const PV &def)
{
    return OleColor::Value(quint32(value.toInteger().value_or(def.toInteger().value_or(0))));
}

QString textOf(const PV &value, const PV &def)
{
    return value.toText().value_or(def.toText().value_or(QString()));
}

QPixmap iconPicture(const QIcon &icon)
{
    if (icon.isNull())
        return {};
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        return icon.pixmap(32, 32);
    std::sort(sizes.begin(), sizes.end(),
              [](QSize a, QSize b) { return a.width() * a.height() < b.width() * b.height(); });
    return icon.pixmap(sizes.last());
}

using B = SkinButton;
using F = DefaultFrom;

} // namespace

struct SkinButton::StoredProperty {
    QLatin1StringView key;
    DefaultFrom from;
    // The default, or the system-colour reference it is translated from.
    std::optional<PV> fixed;
    // Saved with no default: always in the store, even at its default.
    bool alwaysWritten;
    // The value as it is saved, in the width it is saved with.
    PV (*get)(const SkinButton &);
    // Takes the value read, which is the default when the key is absent.
    void (*set)(SkinButton &, const PV &value, const PV &def);
};

// In the order the control saves itself. Loading runs in the same order; only
// Enabled, ToolTipText, Font and MousePointer do more than store a member, and
// they keep their places. The table is built before the application exists,
// so the defaults that need a font or a picture are made when asked for.
const QList<SkinButton::StoredProperty> SkinButton::s_storedProperties = {
    {QLatin1StringView("Icon"), F::EmptyPicture, std::nullopt, true,
     [](const B &b) { return PV::picture(iconPicture(b.m_icon)); },
     [](B &b, const PV &v, const PV &) { b.m_icon = QIcon(v.toPicture().value_or(QPixmap())); }},
    {QLatin1StringView("Style"), F::Fixed, PV::int16(3), false,
     [](const B &b) { return PV::int32(b.m_style); },
     [](B &b, const PV &v, const PV &d) { b.m_style = intOf(v, d); }},
    // Written against the default it is read with; an empty default here
    // would turn an empty caption into "SkinButton" on the next load.
    {QLatin1StringView("Caption"), F::Fixed, PV::text(QStringLiteral("SkinButton")), false,
     [](const B &b) { return PV::text(b.m_caption); },
     [](B &b, const PV &v, const PV &d) {
         b.m_caption = textOf(v, d);
         b.m_captionFromName = false;
     }},
    {QLatin1StringView("IconSize"), F::Fixed, PV::int16(16), false,
     [](const B &b) { return PV::int32(b.m_iconSize); },
     [](B &b, const PV &v, const PV &d) { b.m_iconSize = int16Of(v, d); }},
    {QLatin1StringView("IconAlign"), F::Fixed, PV::int32(Left), false,
     [](const B &b) { return PV::int32(b.m_iconAlign); },
     [](B &b, const PV &v, const PV &d) { b.m_iconAlign = intOf(v, d); }},
    {QLatin1StringView("CaptionAlign"), F::Fixed, PV::int32(Center), false,
     [](const B &b) { return PV::int32(b.m_captionAlign); },
     [](B &b, const PV &v, const PV &d) { b.m_captionAlign = intOf(v, d); }},
    {QLatin1StringView("iNonThemeStyle"), F::Fixed, PV::int32(Gradient), false,
     [](const B &b) { return PV::int32(b.m_nonThemeStyle); },
     [](B &b, const PV &v, const PV &d) { b.m_nonThemeStyle = intOf(v, d); }},
    // The control's own flag, not whether a disabled parent greys it.
    {QLatin1StringView("Enabled"), F::Fixed, PV::boolean(true), false,
     [](const B &b) { return PV::boolean(!b.testAttribute(Qt::WA_ForceDisabled)); },
     [](B &b, const PV &v, const PV &d) { b.setEnabled(boolOf(v, d)); }},
    {QLatin1StringView("ShowFocus"), F::Fixed, PV::boolean(false), false,
     [](const B &b) { return PV::boolean(b.m_showFocus); },
     [](B &b, const PV &v, const PV &d) { b.m_showFocus = boolOf(v, d); }},
    {QLatin1StringView("USeCustomColors"), F::Fixed, PV::boolean(false), false,
     [](const B &b) { return PV::boolean(b.m_useCustomColors); },
     [](B &b, const PV &v, const PV &d) { b.m_useCustomColors = boolOf(v, d); }},
    {QLatin1StringView("BackColor"), F::SystemColour, PV::color(OleColor::SysButtonFace), false,
     [](const B &b) { return PV::color(b.m_backColor); },
     [](B &b, const PV &v, const PV &d) { b.m_backColor = colourOf(v, d); }},
    {QLatin1StringView("HighlightColor"), F::SystemColour, PV::color(OleColor::SysHighlight), false,
     [](const B &b) { return PV::color(b.m_highlightColor); },
     [](B &b, const PV &v, const PV &d) { b.m_highlightColor = colourOf(v, d); }},
    {QLatin1StringView("FontColor"), F::SystemColour, PV::color(OleColor::SysButtonText), false,
     [](const B &b) { return PV::color(b.m_fontColor); },
     [](B &b, const PV &v, const PV &d) { b.m_fontColor = colourOf(v, d); }},
    {QLatin1StringView("FontHighlightColor"), F::SystemColour, PV::color(OleColor::SysButtonText), false,
     [](const B &b) { return PV::color(b.m_fontHighlightColor); },
     [](B &b, const PV &v, const PV &d) { b.m_fontHighlightColor = colourOf(v, d); }},
    // Stored only when it differs from the host's slot, so an absent key
    // means "what the slot holds"; the text lands in the slot and is the
    // control's own as well.
    {QLatin1StringView("ToolTipText"), F::HostToolTip, PV::text(QString()), false,
     [](const B &b) { return PV::text(b.m_toolTipText); },
     [](B &b, const PV &v, const PV &d) {
         const QString text = textOf(v, d);
         b.setToolTip(text);
         b.m_toolTipText = text;
         if (b.m_tip) // a tooltip in place keeps the host slot empty
             b.buildToolTip();
     }},
    {QLatin1StringView("Tooltiptitle"), F::Fixed, PV::text(QString()), true,
     [](const B &b) { return PV::text(b.m_toolTipTitle); },
     [](B &b, const PV &v, const PV &d) { b.m_toolTipTitle = textOf(v, d); }},
    {QLatin1StringView("ToolTipIcon"), F::Fixed, PV::int16(TipNone), true,
     [](const B &b) { return PV::int32(b.m_toolTipIcon); },
     [](B &b, const PV &v, const PV &d) { b.m_toolTipIcon = intOf(v, d); }},
    {QLatin1StringView("ToolTipType"), F::Fixed, PV::int16(Balloon), true,
     [](const B &b) { return PV::int32(b.m_toolTipType); },
     [](B &b, const PV &v, const PV &d) { b.m_toolTipType = intOf(v, d); }},
    // Background defaults to the info background and text to the info
    // text. Crossed over, a button without stored tip colours would get
    // its tip text in the tip's own background colour.
    {QLatin1StringView("ttBackColor"), F::SystemColour, PV::color(OleColor::SysInfoBackground), false,
     [](const B &b) { return PV::color(b.m_toolTipBackColor); },
     [](B &b, const PV &v, const PV &d) { b.m_toolTipBackColor = colourOf(v, d); }},
    {QLatin1StringView("ttForeColor"), F::SystemColour, PV::color(OleColor::SysInfoText), false,
     [](const B &b) { return PV::color(b.m_toolTipForeColor); },
     [](B &b, const PV &v, const PV &d) { b.m_toolTipForeColor = colourOf(v, d); }},
    {QLatin1StringView("Font"), F::Font, std::nullopt, false,
     [](const B &b) { return PV::font(b.font()); },
     [](B &b, const PV &v, const PV &d) { b.setFont(v.toFont().value_or(*d.toFont())); }},
    {QLatin1StringView("ButtonType"), F::Fixed, PV::int32(Push), false,
     [](const B &b) { return PV::int32(b.m_buttonType); },
     [](B &b, const PV &v, const PV &d) { b.m_buttonType = intOf(v, d); }},
    {QLatin1StringView("Value"), F::Fixed, PV::boolean(false), false,
     [](const B &b) { return PV::boolean(b.m_value); },
     [](B &b, const PV &v, const PV &d) { b.m_value = boolOf(v, d); }},
    {QLatin1StringView("MaskColor"), F::Fixed, PV::color(0xC0C0C0), false,
     [](const B &b) { return PV::color(b.m_maskColor); },
     [](B &b, const PV &v, const PV &d) { b.m_maskColor = colourOf(v, d); }},
    {QLatin1StringView("UseMaskColor"), F::Fixed, PV::boolean(false), false,
     [](const B &b) { return PV::boolean(b.m_useMaskColor); },
     [](B &b, const PV &v, const PV &d) { b.m_useMaskColor = boolOf(v, d); }},
    {QLatin1StringView("MousePointer"), F::Fixed, PV::int16(0), false,
     [](const B &b) { return PV::int16(qint16(b.m_mousePointer)); },
     [](B &b, const PV &v, const PV &d) {
         b.m_mousePointer = int16Of(v, d);
         b.applyMousePointer();
     }},
};

PropertyValue SkinButton::storedDefault(const StoredProperty &property, StoreDirection direction) const
{
    switch (property.from) {
    case DefaultFrom::Fixed:
        break;
    case DefaultFrom::EmptyPicture:
        return PV::picture(QPixmap());
    case DefaultFrom::SystemColour:
        return PV::color(OleColor::translate(OleColor::Value(*property.fixed->toInteger()), systemPalette()));
    case DefaultFrom::Font:
        // Saved against the container's font: against the control's own it
        // would never be stored and would be lost on the next load.
        return PV::font(direction == StoreDirection::Write ? ambientFont() : font());
    case DefaultFrom::HostToolTip:
        // While our tip is up the slot is empty by our own doing.
        return PV::text(direction == StoreDirection::Read && m_tip ? m_toolTipText : toolTip());
    }
    return *property.fixed;
}

QFont SkinButton::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void SkinButton::readProperties(const PropertyBag &bag)
{
    // Loading is no change the container has to save again.
    const QScopedValueRollback loading(m_loading, true);
    m_state = Normal;
    for (const StoredProperty &property : s_storedProperties) {
        const PropertyValue def = storedDefault(property, StoreDirection::Read);
        property.set(*this, bag.readProperty(property.key, def), def);
    }
    updateShortcuts();
    relayout();

    if (m_runMode) {
        // Qt always reports enter and leave, so the tracking needs no probe.
        m_trackingEnabled = true;
        setMouseTracking(true);
    }

    // Loading marks nothing for saving, but whoever watches the properties
    // must see the loaded values.
    const QMetaObject *mo = &SkinButton::staticMetaObject;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        mo->property(i).notifySignal().invoke(this, Qt::DirectConnection);
    announceName();
    announceDescription();
}

void SkinButton::writeProperties(PropertyBag &bag) const
{
    for (const StoredProperty &property : s_storedProperties) {
        std::optional<PropertyValue> def;
        if (!property.alwaysWritten)
            def = storedDefault(property, StoreDirection::Write);
        bag.writeProperty(property.key, property.get(*this), def);
    }
}
