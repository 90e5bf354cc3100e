#include "skinbuttonlook.h"

#include "skincolor.h"
#include "skinstyles.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygon>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

using OleColor::Value;
using namespace SkinColor;

namespace SkinButtonLook {

SystemColors SystemColors::fromPalette(const QPalette &palette)
{
    SystemColors s;
    s.face = OleColor::translate(OleColor::SysButtonFace, palette);
    s.highlight = OleColor::translate(OleColor::SysHighlight, palette);
    s.buttonText = OleColor::translate(OleColor::SysButtonText, palette);
    s.grayText = OleColor::translate(OleColor::SysGrayText, palette);
    s.shadow = OleColor::translate(OleColor::SysButtonShadow, palette);
    s.darkShadow = OleColor::translate(OleColor::SysDarkShadow, palette);
    s.light = OleColor::translate(OleColor::SysLight, palette);
    s.hilight = OleColor::translate(OleColor::SysButtonHighlight, palette);
    s.window = OleColor::translate(OleColor::SysWindow, palette);
    return s;
}

namespace {

// ---------------------------------------------------------------- regions

struct Span {
    int left = 0;
    int right = 0; // exclusive
};

// Rows of a convex polygon in integer pixel coordinates: a pixel (x, y) is in
// when the point (x, y) is inside, points on the left and top edges count,
// points on the right and bottom edges do not - the rule window regions use.
QRegion convexPolygonRegion(const QPolygon &polygon)
{
    const QRect bounds = polygon.boundingRect();
    QRegion result;
    QRect pending;
    for (int y = bounds.top(); y < bounds.top() + bounds.height() - 1; ++y) {
        std::optional<double> lo, hi;
        for (int i = 0; i < polygon.size(); ++i) {
            const QPoint a = polygon[i];
            const QPoint b = polygon[(i + 1) % polygon.size()];
            if (y < std::min(a.y(), b.y()) || y > std::max(a.y(), b.y()))
                continue;
            std::vector<double> xs;
            if (a.y() == b.y())
                xs = {double(a.x()), double(b.x())};
            else
                xs = {a.x() + double(y - a.y()) * (b.x() - a.x()) / double(b.y() - a.y())};
            for (double x : xs) {
                lo = lo ? std::min(*lo, x) : x;
                hi = hi ? std::max(*hi, x) : x;
            }
        }
        if (!lo)
            continue;
        const int left = int(std::ceil(*lo));
        const int right = int(std::ceil(*hi)); // exclusive
        const QRect row(left, y, right - left, 1);
        if (row.width() <= 0)
            continue;
        if (!pending.isNull() && pending.left() == row.left() && pending.width() == row.width()
            && pending.bottom() + 1 == y) {
            pending.setBottom(y);
        } else {
            if (!pending.isNull())
                result += pending;
            pending = row;
        }
    }
    if (!pending.isNull())
        result += pending;
    return result;
}

// Rectangle (0, 0, right, bottom) with corners rounded to an ellipse of
// diameter `d`, sampled at pixel centres.
QRegion roundRectRegion(int right, int bottom, int d)
{
    const double r = d / 2.0;
    QRegion result;
    for (int y = 0; y < bottom; ++y) {
        const double yc = y + 0.5;
        double dy = 0;
        if (yc < r)
            dy = r - yc;
        else if (yc > bottom - r)
            dy = yc - (bottom - r);
        const double dx = std::sqrt(std::max(0.0, r * r - dy * dy));
        const double lo = r - dx;
        const double hi = right - r + dx;
        const int left = int(std::ceil(lo - 0.5));
        const int last = int(std::floor(hi - 0.5));
        if (last >= left)
            result += QRect(left, y, last - left + 1, 1);
    }
    return result;
}

// ---------------------------------------------------------------- colours

// A stored colour as RGB: system references come from the repaint's system
// colours so a repaint never mixes two palettes.
Value resolve(Value v, const SystemColors &system)
{
    switch (v) {
    case OleColor::SysButtonFace: return system.face;
    case OleColor::SysHighlight: return system.highlight;
    case OleColor::SysButtonText: return system.buttonText;
    case OleColor::SysGrayText: return system.grayText;
    case OleColor::SysButtonShadow: return system.shadow;
    case OleColor::SysDarkShadow: return system.darkShadow;
    case OleColor::SysLight: return system.light;
    case OleColor::SysButtonHighlight: return system.hilight;
    case OleColor::SysWindow: return system.window;
    default:
        break;
    }
    return OleColor::translate(v, QGuiApplication::palette());
}

// ---------------------------------------------------------------- faces 0-4

// One ring of the classic 3-D edge on the rectangle (l, t)-(r, b), exclusive.
void ring(QImage &img, int l, int t, int r, int b, Value topLeft, Value bottomRight)
{
    line(img, l, t, r - 1, t, topLeft);
    line(img, l, t, l, b - 1, topLeft);
    line(img, l, b - 1, r, b - 1, bottomRight);
    line(img, r - 1, t, r - 1, b - 1, bottomRight);
}

void raisedOuter(QImage &img, int l, int t, int r, int b, const SystemColors &s) { ring(img, l, t, r, b, s.light, s.darkShadow); }
void raisedInner(QImage &img, int l, int t, int r, int b, const SystemColors &s) { ring(img, l, t, r, b, s.hilight, s.shadow); }
void sunkenOuter(QImage &img, int l, int t, int r, int b, const SystemColors &s) { ring(img, l, t, r, b, s.shadow, s.hilight); }
void sunkenInner(QImage &img, int l, int t, int r, int b, const SystemColors &s) { ring(img, l, t, r, b, s.darkShadow, s.light); }

struct Colours {
    Value back, highlight, font, fontHighlight;
};

void clear(QImage &img, Value c) { fillRect(img, 0, 0, img.width(), img.height(), c); }

void paintStandard(QImage &img, const Look &look, VisualState state, const Colours &c, const SystemColors &s)
{
    const int w = img.width(), h = img.height();
    clear(img, look.useCustomColors ? (state == Normal ? c.back : c.highlight) : s.face);
    if (state == Pressed) {
        sunkenOuter(img, 0, 0, w, h, s);
        sunkenInner(img, 1, 1, w - 1, h - 1, s);
    } else {
        raisedOuter(img, 0, 0, w, h, s);
        raisedInner(img, 1, 1, w - 1, h - 1, s);
    }
    if ((look.showFocus && look.hasFocus) || (!look.hasFocus && look.displayAsDefault))
        outline(img, 0, 0, w - 1, h - 1, 0x000000);
}

void paintSoftOrFlat(QImage &img, const Look &look, VisualState state, const Colours &c, const SystemColors &s)
{
    const int w = img.width(), h = img.height();
    const bool lit = state == Hot || state == Pressed;
    const Value background = look.useCustomColors ? (lit ? c.highlight : c.back) : s.face;
    clear(img, background);
    if (state == Pressed)
        sunkenOuter(img, 0, 0, w, h, s);
    else if (state == Hot || (state == Normal && look.style == Soft))
        raisedInner(img, 0, 0, w, h, s);
    else
        outline(img, 0, 0, w - 1, h - 1, background);
}

void paintEtched(QImage &img, const Look &look, VisualState state, const Colours &c, const SystemColors &s)
{
    const int w = img.width(), h = img.height();
    const bool custom = look.useCustomColors;
    clear(img, custom ? c.back : s.face);
    Value f = custom ? c.back : s.face;
    if (state == Hot)
        f = custom ? blend(c.highlight, c.back) : blend(s.shadow, s.face);
    else if (state == Pressed)
        f = custom ? c.highlight : s.shadow;
    fillRect(img, 4, 4, w - 4, h - 4, f);
    outline(img, 0, 0, w - 2, h - 2, s.shadow);
    outline(img, 1, 1, w - 2, h - 2, s.window);
    setPixel(img, 0, h - 1, f);
    setPixel(img, w - 1, 0, f);
    const Value between = blend(s.window, s.shadow);
    setPixel(img, 1, h - 2, between);
    setPixel(img, w - 2, 1, between);
}

void paintTinted(QImage &img, const Look &look, VisualState state, const Colours &c, const SystemColors &s)
{
    const int w = img.width(), h = img.height();
    if (state == Hot || state == Pressed) {
        const Value base = look.useCustomColors ? c.highlight : s.highlight;
        fillRect(img, 0, 0, w - 1, h - 1, lighten(base, state == Hot ? 176 : 128));
        outline(img, 0, 0, w - 1, h - 1, base);
    } else {
        const Value base = look.useCustomColors ? c.back : s.face;
        fillRect(img, 0, 0, w, h, lighten(base, 32));
    }
}

// ---------------------------------------------------------------- icon

int iconPosition(int length, int size, int margin, bool alignStart, bool alignEnd)
{
    if (alignStart)
        return margin;
    if (alignEnd)
        return roundHalfEven(double(length - size - margin));
    return roundHalfEven((length - size) / 2.0);
}

void drawIcon(QImage &img, const QIcon &icon, int x, int y, int size)
{
    if (size <= 0)
        return;
    QPainter p(&img);
    p.drawPixmap(QRect(x, y, size, size), icon.pixmap(QSize(size, size), 1.0));
}

// The icon as painted on the hidden key-colour surface: the icon over the
// key colour, so its transparent parts count as "key" too.
QImage maskSurface(const QIcon &icon, QSize canvas, int x, int y, int size, Value maskColor)
{
    QImage surface(canvas, QImage::Format_RGB32);
    clear(surface, maskColor);
    drawIcon(surface, icon, x, y, size);
    return surface;
}

// `mask` is the key colour already translated to RGB; an untranslatable one
// leaves the icon out, as no pixel can be told from the key.
void paintIcon(QImage &img, const Look &look, VisualState state, Value mask)
{
    if (look.useMaskColor && (mask & 0xFF000000u))
        return;
    const int w = img.width(), h = img.height();
    const int s = look.iconSize;
    const int m = iconMargin(look.style);
    int x = iconPosition(w, s, m, look.iconAlign == Left, look.iconAlign == Right);
    int y = iconPosition(h, s, m, look.iconAlign == Top, look.iconAlign == Bottom);
    if (state == Pressed) {
        ++x;
        ++y;
    }
    const Value grey = 0x808080;
    if (state == Hot && look.style == Tinted) {
        if (look.useMaskColor) {
            const QImage surface = maskSurface(look.icon, img.size(), x, y, s, mask);
            for (int j = y; j <= y + s - 1; ++j)
                for (int i = x; i <= x + s - 1; ++i)
                    if (surface.valid(i, j) && pixel(surface, i, j) != mask)
                        setPixel(img, i, j, grey);
        } else {
            drawIcon(img, look.icon, x, y, s);
            const Value background = pixel(img, 1, 1);
            for (int j = y; j <= y + s; ++j)
                for (int i = x; i <= x + s; ++i)
                    if (img.valid(i, j) && pixel(img, i, j) != background)
                        setPixel(img, i, j, grey);
        }
        x -= 2;
        y -= 2;
    }

    if (look.useMaskColor) {
        const QImage surface = maskSurface(look.icon, img.size(), x, y, s, mask);
        for (int j = y; j <= y + s - 1; ++j) {
            for (int i = x; i <= x + s - 1; ++i) {
                if (!surface.valid(i, j))
                    continue;
                const Value p = pixel(surface, i, j);
                if (p == mask)
                    continue;
                setPixel(img, i, j, look.enabled ? p : greyAverage(p));
            }
        }
        return;
    }
    if (look.enabled) {
        drawIcon(img, look.icon, x, y, s);
        return;
    }
    // A grey icon that cannot be made (say, size 0) is simply not shown; the
    // caption still has to appear.
    QPainter p(&img);
    paintIconGrayscale(&p, look.icon, x, y, s, s);
}

// ---------------------------------------------------------------- caption

int qtTextFlags(int format)
{
    int flags = Qt::TextShowMnemonic; // "&Save" underlines the S, as button captions do
    if (format & FormatCenter)
        flags |= Qt::AlignHCenter;
    else if (format & FormatRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    if (format & FormatVCenter)
        flags |= Qt::AlignVCenter;
    else if (format & FormatBottom)
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignTop;
    if (format & FormatWordWrap)
        flags |= Qt::TextWordWrap;
    if (format & FormatSingleLine)
        flags |= Qt::TextSingleLine;
    return flags;
}

// The caption's font, made smaller when the caption is wider than its place,
// so that it can be read whole instead of being cut off at both ends.
QFont fittingFont(const QFont &font, const QRect &place, int flags, const QString &text,
                  const QPaintDevice *device)
{
    constexpr double SmallestPixels = 7; // still readable, for Latin and CJK alike
    QFont f = font;
    const bool inPoints = f.pointSizeF() > 0;
    double size = inPoints ? f.pointSizeF() : f.pixelSize();
    const double smallest = inPoints ? SmallestPixels * 72.0 / device->logicalDpiY() : SmallestPixels;
    for (;;) {
        const int needed = QFontMetrics(f, device).boundingRect(place, flags, text).width();
        if (needed <= place.width() || size <= smallest)
            return f;
        // Close in by the ratio of the widths; text does not scale exactly
        // linearly with size, so step down until it fits.
        size = std::max(smallest, std::min(size - 0.25, size * place.width() / needed));
        if (inPoints)
            f.setPointSizeF(size);
        else
            f.setPixelSize(int(size));
    }
}

void paintCaption(QImage &img, const Look &look, VisualState state, const Colours &c, const SystemColors &s)
{
    if (look.caption.isEmpty())
        return;
    Value colour = s.buttonText;
    if (state == Disabled)
        colour = s.grayText;
    else if (look.useCustomColors)
        colour = state == Normal ? c.font : c.fontHighlight;
    if (colour & 0xFF000000u)
        return; // untranslatable: no caption rather than a white one
    const QRect captionRect(QPoint(4, 4), QPoint(img.width() - 5, img.height() - 5));
    const int flags = qtTextFlags(look.textFormat);
    QPainter p(&img);
    p.setFont(fittingFont(look.font, captionRect, flags, look.caption, &img));
    p.setPen(QColor(OleColor::red(colour), OleColor::green(colour), OleColor::blue(colour)));
    p.drawText(captionRect, flags, look.caption);
}

// ---------------------------------------------------------------- themed

// Draws the push button with the application's style; false when there is
// no style to draw with.
bool paintThemed(QImage &img, const Look &look, VisualState state, const ThemeContext &theme)
{
    if (!theme.themeAvailable)
        return false;
    QStyle *style = theme.widget ? theme.widget->style() : nullptr;
    if (!style && qobject_cast<QApplication *>(QCoreApplication::instance()))
        style = QApplication::style();
    if (!style)
        return false;

    QStyleOptionButton option;
    option.rect = img.rect();
    option.palette = theme.widget ? theme.widget->palette() : QGuiApplication::palette();
    option.direction = theme.widget ? theme.widget->layoutDirection() : Qt::LeftToRight;
    option.state = QStyle::State_None;
    if (state != Disabled)
        option.state |= QStyle::State_Enabled;
    if (state == Hot)
        option.state |= QStyle::State_MouseOver;
    if (state == Pressed)
        option.state |= QStyle::State_Sunken;
    else
        option.state |= QStyle::State_Raised;
    if (look.hasFocus)
        option.state |= QStyle::State_HasFocus;
    if (look.hasFocus && state == Normal)
        option.features |= QStyleOptionButton::DefaultButton;

    QPainter p(&img);
    p.setClipRect(img.rect());
    style->drawControl(QStyle::CE_PushButtonBevel, &option, &p, theme.widget);
    return true;
}

} // namespace

// ---------------------------------------------------------------- public

QRegion region(int style, QSize size)
{
    const int w = size.width(), h = size.height();
    if (w <= 0 || h <= 0)
        return {};
    switch (style) {
    case Gradient:
    case GradientHighlight:
        return convexPolygonRegion(QPolygon({{0, 1}, {1, 0}, {w - 1, 0}, {w, 1},
                                             {w, h - 2}, {w - 2, h}, {2, h}, {0, h - 2}}));
    case Chamfered:
    case ChamferedBands:
        return convexPolygonRegion(QPolygon({{0, 2}, {2, 0}, {w - 3, 0}, {w, 3},
                                             {w, h - 3}, {w - 3, h}, {4, h}, {0, h - 4}}));
    case Capsule:
        return roundRectRegion(w + 1, h + 1, 18);
    default:
        return QRegion(0, 0, w, h);
    }
}

int textFormatFor(int captionAlign, int current)
{
    switch (captionAlign) {
    case Center: return FormatCenter | FormatVCenter | FormatSingleLine;  // 37
    case Left: return FormatVCenter | FormatSingleLine;                   // 36
    case Right: return FormatRight | FormatVCenter | FormatSingleLine;    // 38
    case Top: return FormatCenter | FormatSingleLine;                     // 33
    case Bottom: return FormatCenter | FormatBottom | FormatSingleLine;   // 41
    default: return current;
    }
}

int iconMargin(int style)
{
    switch (style) {
    case Gradient:
    case GradientHighlight:
        return 5;
    case ChamferedBands:
    case Capsule:
        return 7;
    default:
        return 4;
    }
}

PaintOutcome paint(QPainter &painter, QSize size, const Look &look,
                   const SystemColors &system, const ThemeContext &theme)
{
    PaintOutcome outcome;
    outcome.state = look.state;
    outcome.style = look.style;
    if (!painter.isActive()) {
        outcome.ok = false;
        return outcome;
    }
    if (size.isEmpty())
        return outcome;

    const Colours colours{resolve(look.backColor, system), resolve(look.highlightColor, system),
                          resolve(look.fontColor, system), resolve(look.fontHighlightColor, system)};
    const Value mask = resolve(look.maskColor, system);
    // A colour in use that cannot be translated draws nothing, and the repaint
    // reports it.
    auto untranslatable = [](Value v) { return (v & 0xFF000000u) != 0; };
    const bool coloursOk =
        !(look.useCustomColors
          && (untranslatable(colours.back) || untranslatable(colours.highlight)
              || untranslatable(colours.font) || untranslatable(colours.fontHighlight)))
        && !(look.useMaskColor && !look.icon.isNull() && untranslatable(mask));

    // Drawn off-screen first: the faces read back single pixels (icon shadow,
    // key colour) which a widget surface cannot give. The system face is the
    // ground wherever a colour cannot be drawn.
    QImage canvas(size, QImage::Format_RGB32);
    clear(canvas, system.face);
    clear(canvas, look.useCustomColors ? colours.back : system.face);

    VisualState state = look.state;
    bool ok = true;
    if (look.shown) {
        if (!look.runMode && look.style != Gradient)
            state = Hot;
        if (look.buttonType == Toggle && look.value)
            state = Pressed;
        if (!look.enabled) {
            state = Disabled;
            clear(canvas, system.face);
        }
        outcome.state = state;

        const SkinStyles::SkinInput skin{state, look.hasFocus, look.displayAsDefault,
                                         look.useCustomColors, colours.back, colours.highlight,
                                         system.face, system.highlight};
        switch (look.style) {
        case Standard: paintStandard(canvas, look, state, colours, system); break;
        case Soft:
        case Flat: paintSoftOrFlat(canvas, look, state, colours, system); break;
        case Etched: paintEtched(canvas, look, state, colours, system); break;
        case Tinted: paintTinted(canvas, look, state, colours, system); break;
        case Gradient: SkinStyles::paintGradient(canvas, skin); break;
        case Themed:
            clear(canvas, system.face);
            if (!paintThemed(canvas, look, state, theme))
                outcome.style = look.nonThemeStyle;
            break;
        case GradientHighlight: SkinStyles::paintGradientHighlight(canvas, skin); break;
        case Chamfered: SkinStyles::paintChamfered(canvas, skin); break;
        case ChamferedBands: SkinStyles::paintChamferedBands(canvas, skin); break;
        case Capsule: SkinStyles::paintCapsule(canvas, skin); break;
        default: break; // unknown styles draw no face
        }

        if (!look.icon.isNull())
            paintIcon(canvas, look, state, mask);
        paintCaption(canvas, look, state, colours, system);
        ok = coloursOk;
    }

    // Only the style's region ever shows, as with the control's window mask.
    painter.save();
    painter.setClipRegion(region(look.style, size), painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.drawImage(0, 0, canvas);
    painter.restore();
    outcome.ok = ok;
    return outcome;
}

bool paintIconGrayscale(QPainter *painter, const QIcon &icon, int x, int y, int height, int width)
{
    if (!painter || !painter->isActive() || icon.isNull())
        return false;
    if (width <= 0 || height <= 0)
        return false;
    QImage image = icon.pixmap(QSize(width, height), 1.0).toImage();
    if (image.isNull() || image.width() == 0 || image.height() == 0)
        return false;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int j = 0; j < image.height(); ++j) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(j));
        for (int i = 0; i < image.width(); ++i) {
            const QRgb p = row[i];
            if (qAlpha(p) == 0)
                continue; // fully transparent: nothing to convert
            const Value grey = grayscalePixel(OleColor::fromRgb(qRed(p), qGreen(p), qBlue(p)));
            row[i] = qRgba(OleColor::red(grey), OleColor::green(grey), OleColor::blue(grey), qAlpha(p));
        }
    }
    painter->drawImage(QRect(x, y, width, height), image);
    return true;
}

} // namespace SkinButtonLook
