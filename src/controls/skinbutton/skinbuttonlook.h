#pragma once

#include "olecolor.h"

#include <QFont>
#include <QIcon>
#include <QRegion>
#include <QSize>
#include <QString>

class QPainter;
class QWidget;

// What a SkinButton hands to its painter on every repaint: a plain value, so
// the drawing can be tested on a QImage without a widget.
namespace SkinButtonLook {

enum ButtonStyle : int {
    Standard = 0,
    Soft = 1,
    Flat = 2,
    Etched = 3,
    Tinted = 4,
    Gradient = 5,
    Themed = 6,
    GradientHighlight = 7,
    Chamfered = 8,
    ChamferedBands = 9,
    Capsule = 10,
};

enum Alignment : int { Center = 0, Left = 1, Right = 2, Top = 3, Bottom = 4 };
enum ButtonKind : int { Push = 0, Toggle = 1 };
enum VisualState : int { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4 };

// Caption text-format flags.
enum TextFormat : int {
    FormatCenter = 1,
    FormatRight = 2,
    FormatVCenter = 4,
    FormatBottom = 8,
    FormatWordWrap = 16,
    FormatSingleLine = 32,
};
constexpr int NewInstanceTextFormat = FormatCenter | FormatWordWrap; // 17

// The system colours a repaint uses, already translated to RGB values.
struct SystemColors {
    OleColor::Value face = 0;
    OleColor::Value highlight = 0;
    OleColor::Value buttonText = 0;
    OleColor::Value grayText = 0;
    OleColor::Value shadow = 0;     // 3-D shadow
    OleColor::Value darkShadow = 0; // 3-D dark shadow
    OleColor::Value light = 0;      // 3-D light
    OleColor::Value hilight = 0;    // 3-D highlight
    OleColor::Value window = 0;

    static SystemColors fromPalette(const class QPalette &palette);
};

struct Look {
    int style = Standard;
    int nonThemeStyle = Standard;
    VisualState state = Normal;
    bool shown = true;
    bool runMode = true;        // false while a form is being designed
    bool enabled = true;
    bool hasFocus = false;
    bool displayAsDefault = false;
    bool showFocus = false;
    bool useCustomColors = false;
    int buttonType = Push;
    bool value = false;

    // Colours as stored (may be system references); translated while painting.
    OleColor::Value backColor = OleColor::SysButtonFace;
    OleColor::Value highlightColor = OleColor::SysHighlight;
    OleColor::Value fontColor = OleColor::SysButtonText;
    OleColor::Value fontHighlightColor = OleColor::SysButtonText;

    QString caption;
    int textFormat = NewInstanceTextFormat;
    QFont font;

    QIcon icon;                 // null: no picture
    int iconAlign = Center;
    int iconSize = 16;
    bool useMaskColor = false;
    OleColor::Value maskColor = 0xC0C0C0;
};

// Whether the application's QStyle may draw the Themed face. Off means "no
// visual theme": the button then switches to its NonThemeStyle.
struct ThemeContext {
    bool themeAvailable = true;
    const QWidget *widget = nullptr; // the control, for QStyle drawing; may be null
};

// Result of one repaint: the drawing state after the overrides, and the style
// to keep (differs from look.style only when Themed fell back).
struct PaintOutcome {
    VisualState state = Normal;
    int style = Standard;
    bool ok = true;
};

// The whole repaint into a surface of size `size` (the painter's device).
PaintOutcome paint(QPainter &painter, QSize size, const Look &look,
                   const SystemColors &system, const ThemeContext &theme);

// The window region of a style for a control of size `size`.
QRegion region(int style, QSize size);

// Text format for a CaptionAlign value; other values keep `current`.
int textFormatFor(int captionAlign, int current);

// Icon margin of a style.
int iconMargin(int style);

} // namespace SkinButtonLook

namespace SkinButtonLook {
// Draws `icon` in grey at (x, y) scaled to width x height onto `painter`:
// sixteen grey levels stay as they are, every other pixel becomes its
// luminance. False when the painter or icon is missing or a step fails.
bool paintIconGrayscale(QPainter *painter, const QIcon &icon, int x, int y, int height, int width);
} // namespace SkinButtonLook
