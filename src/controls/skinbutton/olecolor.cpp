#include "olecolor.h"

namespace OleColor {

QColor toColor(Value rgb)
{
    if (rgb & 0xFF000000u)
        return {};
    return QColor(red(rgb), green(rgb), blue(rgb));
}

Value fromColor(const QColor &c)
{
    if (!c.isValid())
        return Invalid;
    return fromRgb(c.red(), c.green(), c.blue());
}

Value translate(Value v, const QPalette &palette)
{
    if (v == Invalid)
        return Invalid;
    if (!(v & 0x80000000u))
        return (v & 0xFF000000u) ? Invalid : v;
    if (v & 0x7FFFFF00u)
        return Invalid;
    QColor c;
    switch (v & 0xFFu) {
    case 0x00: c = palette.color(QPalette::Mid); break;               // scroll bar
    case 0x01: c = palette.color(QPalette::Window); break;            // desktop
    case 0x05: c = palette.color(QPalette::Base); break;              // window
    case 0x06: c = palette.color(QPalette::Shadow); break;            // window frame
    case 0x08: c = palette.color(QPalette::WindowText); break;        // window text
    case 0x0D: c = palette.color(QPalette::Highlight); break;         // highlight
    case 0x0E: c = palette.color(QPalette::HighlightedText); break;   // highlight text
    case 0x0F: c = palette.color(QPalette::Button); break;            // button face
    case 0x10: c = palette.color(QPalette::Dark); break;              // button shadow
    case 0x11: c = palette.color(QPalette::Disabled, QPalette::ButtonText); break; // grey text
    case 0x12: c = palette.color(QPalette::ButtonText); break;        // button text
    case 0x14: c = palette.color(QPalette::Light); break;             // button highlight
    case 0x15: c = palette.color(QPalette::Shadow); break;            // 3-D dark shadow
    case 0x16: c = palette.color(QPalette::Midlight); break;          // 3-D light
    case 0x17: c = palette.color(QPalette::ToolTipText); break;       // info text
    case 0x18: c = palette.color(QPalette::ToolTipBase); break;       // info background
    default: return Invalid;
    }
    return fromColor(c);
}

} // namespace OleColor
