#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

// Colours as the button stores them: 32-bit values, either a literal RGB value
// (red in the low byte, then green, then blue) or a system-colour reference
// (high bit set, low byte the system colour index). System colours come from
// the application palette, the nearest thing Qt has to the desktop's colours.
namespace OleColor {

using Value = quint32;

constexpr Value Invalid = 0xFFFFFFFFu; // what a colour that cannot be translated becomes (-1)

// System colour references used by the button.
constexpr Value SysWindowText = 0x80000008u;
constexpr Value SysWindow = 0x80000005u;
constexpr Value SysHighlight = 0x8000000Du;
constexpr Value SysHighlightText = 0x8000000Eu;
constexpr Value SysButtonFace = 0x8000000Fu;
constexpr Value SysButtonShadow = 0x80000010u;
constexpr Value SysGrayText = 0x80000011u;
constexpr Value SysButtonText = 0x80000012u;
constexpr Value SysButtonHighlight = 0x80000014u;
constexpr Value SysDarkShadow = 0x80000015u;
constexpr Value SysLight = 0x80000016u;
constexpr Value SysInfoText = 0x80000017u;
constexpr Value SysInfoBackground = 0x80000018u;

constexpr bool isSystemReference(Value v) { return (v & 0x80000000u) && v != Invalid; }

constexpr Value fromRgb(int r, int g, int b)
{
    return Value(r & 0xFF) | (Value(g & 0xFF) << 8) | (Value(b & 0xFF) << 16);
}
constexpr int red(Value v) { return int(v & 0xFF); }
constexpr int green(Value v) { return int((v >> 8) & 0xFF); }
constexpr int blue(Value v) { return int((v >> 16) & 0xFF); }

// RGB value -> QColor; an invalid or system value gives an invalid QColor.
QColor toColor(Value rgb);
Value fromColor(const QColor &c);

// A system reference becomes the current RGB of that colour in the palette,
// an RGB value stays; anything else gives Invalid.
Value translate(Value v, const QPalette &palette);

} // namespace OleColor
