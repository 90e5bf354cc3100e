#include "skinstyles.h"

#include "skincolor.h"

#include <QImage>

#include <optional>

using namespace SkinColor;
using OleColor::fromRgb;
using SkinButtonLook::Disabled;
using SkinButtonLook::Hot;
using SkinButtonLook::Normal;
using SkinButtonLook::Pressed;

namespace SkinStyles {

namespace {

// The colours of one drawing of the gradient skin.
struct GradientColours {
    Value topFrom, topTo, midFrom, midTo, bottomFrom, bottomTo;
    Value border, cornerInner, cornerOuter, cornerThird;
};

struct Rim {
    Value row1, row2, rowH3, rowH2, sideFrom, sideTo;
};

// Corner pixels of the small cut corners, three rings deep.
void cornerRings(QImage &img, Value inner, Value outer, std::optional<Value> third = {})
{
    const int w = img.width(), h = img.height();
    for (auto [x, y] : {std::pair{1, 1}, {1, h - 2}, {w - 2, 1}, {w - 2, h - 2}})
        setPixel(img, x, y, inner);
    for (auto [x, y] : {std::pair{0, 1}, {1, 0}, {1, h - 1}, {0, h - 2},
                        {w - 1, h - 2}, {w - 2, h - 1}, {w - 2, 0}, {w - 1, 1}})
        setPixel(img, x, y, outer);
    if (!third)
        return;
    for (auto [x, y] : {std::pair{1, 2}, {2, 1}, {2, h - 2}, {1, h - 3},
                        {w - 2, h - 3}, {w - 3, h - 2}, {w - 3, 1}, {w - 2, 2}})
        setPixel(img, x, y, *third);
}

// Four border lines that stop short of the corners.
void border(QImage &img, Value c)
{
    const int w = img.width(), h = img.height();
    line(img, 1, 0, w - 1, 0, c);
    line(img, 0, 1, 0, h - 1, c);
    line(img, w - 1, 1, w - 1, h - 1, c);
    line(img, 1, h - 1, w - 1, h - 1, c);
}

void bands(QImage &img, const GradientColours &c)
{
    const int w = img.width(), h = img.height();
    verticalGradient(img, c.topFrom, c.topTo, 1, 1, w - 2, 4);
    verticalGradient(img, c.midFrom, c.midTo, 1, 4, w - 2, h - 8);
    verticalGradient(img, c.bottomFrom, c.bottomTo, 1, h - 4, w - 2, 3);
}

void rim(QImage &img, const Rim &r)
{
    const int w = img.width(), h = img.height();
    line(img, 2, 1, w - 2, 1, r.row1);
    line(img, 2, 2, w - 2, 2, r.row2);
    line(img, 2, h - 3, w - 2, h - 3, r.rowH3);
    line(img, 2, h - 2, w - 2, h - 2, r.rowH2);
    for (int x : {1, 2, w - 3, w - 2})
        verticalGradient(img, r.sideFrom, r.sideTo, x, 2, x + 1, h - 5);
}

} // namespace

void paintGradient(QImage &img, const SkinInput &in)
{
    const int w = img.width(), h = img.height();
    const bool custom = in.custom;
    const Value b = in.backColor;
    auto o = [b](int n) { return offset(b, n); };

    if (in.state == Disabled) {
        fillRect(img, 0, 0, w, h, custom ? b : fromRgb(245, 244, 234));
        outline(img, 0, 0, w - 1, h - 1, custom ? o(-64) : fromRgb(201, 199, 186));
        const Value corner = custom ? o(-53) : fromRgb(216, 213, 199);
        cornerRings(img, corner, corner);
        return;
    }

    fillRect(img, 0, 0, w, h, custom ? b : in.face);
    const bool pressed = in.state == Pressed;
    GradientColours c;
    if (!custom) {
        c.border = fromRgb(0, 60, 116);
        c.cornerInner = fromRgb(72, 110, 144);
        c.cornerOuter = fromRgb(106, 139, 162);
        c.cornerThird = fromRgb(191, 199, 202);
        if (pressed) {
            c.topFrom = fromRgb(209, 204, 193); c.topTo = fromRgb(228, 227, 220);
            c.midFrom = fromRgb(228, 227, 220); c.midTo = fromRgb(227, 226, 219);
            c.bottomFrom = fromRgb(227, 226, 219); c.bottomTo = fromRgb(242, 241, 238);
        } else {
            c.topFrom = fromRgb(252, 252, 251); c.topTo = fromRgb(240, 240, 240);
            c.midFrom = fromRgb(250, 250, 249); c.midTo = fromRgb(240, 240, 234);
            c.bottomFrom = fromRgb(235, 235, 230); c.bottomTo = fromRgb(214, 208, 197);
        }
    } else {
        c.border = o(-128);
        c.cornerInner = o(-112);
        c.cornerOuter = o(-96);
        c.cornerThird = o(-40);
        if (pressed) {
            c.topFrom = o(-37); c.topTo = o(-21);
            c.midFrom = o(-21); c.midTo = o(-5);
            c.bottomFrom = o(-5); c.bottomTo = o(5);
        } else {
            c.topFrom = o(16); c.topTo = o(4);
            c.midFrom = o(14); c.midTo = o(4);
            c.bottomFrom = o(-1); c.bottomTo = o(-22);
        }
    }

    bands(img, c);
    if (pressed) {
        // Shade falls on the left when pushed in.
        if (custom) {
            verticalGradient(img, o(-32), o(-22), 1, 3, 2, h - 5);
            verticalGradient(img, o(-24), o(-15), 2, 3, 3, h - 5);
        } else {
            for (int x : {1, 2})
                verticalGradient(img, fromRgb(218, 216, 206), fromRgb(227, 226, 219), x, 3, x + 1, h - 5);
        }
    } else {
        verticalGradient(img, custom ? o(15) : fromRgb(251, 251, 250),
                         custom ? o(-8) : fromRgb(228, 226, 218), w - 3, 3, w - 2, h - 5);
        verticalGradient(img, custom ? o(9) : fromRgb(245, 244, 242),
                         custom ? o(-17) : fromRgb(219, 215, 205), w - 2, 3, w - 1, h - 5);
    }
    border(img, c.border);

    const Value hl = in.highlightColor;
    if (in.state == Hot) {
        rim(img, custom ? Rim{offset(hl, 96), offset(hl, 48), offset(hl, 0), offset(hl, -24),
                              offset(hl, 48), offset(hl, 0)}
                        : Rim{fromRgb(255, 240, 207), fromRgb(253, 216, 137), fromRgb(248, 179, 48),
                              fromRgb(229, 151, 16), fromRgb(253, 216, 137), fromRgb(248, 179, 48)});
    } else if ((in.state == Normal && in.hasFocus) || (in.state == Normal && in.displayAsDefault)) {
        rim(img, custom ? Rim{lighten(hl, 192), lighten(hl, 160), lighten(hl, 96), lighten(hl, 64),
                              lighten(hl, 160), lighten(hl, 96)}
                        : Rim{fromRgb(206, 231, 255), fromRgb(188, 212, 246), fromRgb(137, 173, 228),
                              fromRgb(105, 130, 238), fromRgb(188, 212, 246), fromRgb(137, 173, 228)});
    }
    cornerRings(img, c.cornerInner, c.cornerOuter, c.cornerThird);
}

void paintGradientHighlight(QImage &img, const SkinInput &in)
{
    const int w = img.width(), h = img.height();
    const Value b0 = in.custom ? in.backColor : in.face;
    int baseOffset = 8;
    switch (in.state) {
    case Hot: baseOffset = 24; break;
    case Pressed: baseOffset = -9; break;
    case Disabled: baseOffset = 18; break;
    default: break;
    }
    const Value b = offset(b0, baseOffset);
    auto o = [b](int n) { return offset(b, n); };
    fillRect(img, 0, 0, w, h, b);

    // Face, left light column and right shade columns per state.
    int faceTop = 15, faceBottom = -15, leftTop = 21, leftBottom = -21;
    int rightTop = -5, rightBottom = -32;
    constexpr int BorderOffset = -96; // in every state, disabled included
    switch (in.state) {
    case Hot: faceTop = 16; faceBottom = -16; break;
    case Pressed: // pushed in: the light comes from below
        faceTop = -12; faceBottom = 10; leftTop = -20; leftBottom = -4;
        rightTop = 4; rightBottom = 12; break;
    case Disabled:
        faceTop = 6; faceBottom = -6; leftTop = 8; leftBottom = -8;
        rightTop = -3; rightBottom = -12; break;
    default: break;
    }
    verticalGradient(img, o(faceTop), o(faceBottom), 1, 1, w - 1, h - 3);
    verticalGradient(img, o(leftTop), o(leftBottom), 1, 2, 2, h - 5);
    verticalGradient(img, o(rightTop), o(rightBottom), w - 3, 2, w - 2, h - 5);
    verticalGradient(img, o(rightTop - 6), o(rightBottom - 6), w - 2, 2, w - 1, h - 5);
    border(img, o(BorderOffset));

    if (in.state == Normal && in.hasFocus) {
        const Value hl = in.custom ? in.highlightColor : in.highlight;
        outline(img, 1, 1, w - 3, h - 3, hl);
        outline(img, 2, 2, w - 5, h - 5, blend(hl, o(faceTop)));
    }
    cornerRings(img, o(BorderOffset * 2 / 3), o(BorderOffset / 2), o(BorderOffset / 4));
}

} // namespace SkinStyles
