#include "skinstyles.h"

#include "skincolor.h"

#include <QImage>

using namespace SkinColor;
using SkinButtonLook::Disabled;
using SkinButtonLook::Hot;
using SkinButtonLook::Normal;
using SkinButtonLook::Pressed;

namespace SkinStyles {

namespace {

// The chamfered frame: it spans columns 0..W-2 and rows 0..H-2, leaving the
// last column and row in the background as a soft outer edge, and its four
// corner pixels cut the corners diagonally to match the window region.
void chamferedFrame(QImage &img, Value c)
{
    const int w = img.width(), h = img.height();
    line(img, 2, 0, w - 3, 0, c);
    line(img, 0, 2, 0, h - 3, c);
    line(img, 2, h - 2, w - 3, h - 2, c);
    line(img, w - 2, 2, w - 2, h - 3, c);
    for (auto [x, y] : {std::pair{1, 1}, {1, h - 3}, {w - 3, 1}, {w - 3, h - 3}})
        setPixel(img, x, y, c);
}

} // namespace

void paintChamfered(QImage &img, const SkinInput &in)
{
    const int w = img.width(), h = img.height();
    const bool normal = in.state == Normal;
    const bool pressed = in.state == Pressed;
    const Value b = in.custom ? (normal ? in.backColor : in.highlightColor)
                              : (normal ? in.face : offset(in.face, 15));
    fillRect(img, 0, 0, w, h, b);

    const Value light = offset(b, 15), dark = offset(b, -15);
    verticalGradient(img, pressed ? dark : light, pressed ? light : dark, 2, 2, w - 3, h - 6);

    const Value edge = pressed ? b : offset(b, 96);
    line(img, 2, 1, w - 3, 1, edge);
    line(img, 1, 2, 1, h - 3, edge);
    line(img, 2, h - 3, w - 3, h - 3, b);
    line(img, w - 3, 2, w - 3, h - 3, b);

    const Value f = in.custom ? in.backColor : in.face;
    chamferedFrame(img, offset(f, in.hasFocus && !pressed ? -96 : -48));
}

void paintChamferedBands(QImage &img, const SkinInput &in)
{
    const int w = img.width(), h = img.height();
    Value b = 0;
    switch (in.state) {
    case Hot: b = offset(in.custom ? in.highlightColor : in.face, 1); break;
    case Pressed: b = offset(in.custom ? in.highlightColor : in.face, 24); break;
    case Disabled: b = offset(in.custom ? in.backColor : in.face, 15); break;
    default: b = offset(in.custom ? in.backColor : in.face, -15); break;
    }
    auto o = [b](int n) { return offset(b, n); };
    fillRect(img, 0, 0, w, h, b);

    // Inside the frame the face spans rows 1..H-3; it starts at column 5 and
    // ends at column W-7. The four columns on each side are one-pixel
    // gradients, each a step darker and a row shorter at both ends than the
    // one inside it, which rounds the face like a cylinder.
    const int top = 1, bottom = h - 3;
    const int faceTop = 32, faceBottom = -32;
    verticalGradient(img, o(faceTop), o(faceBottom), 5, top, w - 6, bottom - top);
    const int rows = bottom - top;
    auto faceAt = [&](int y) { return gradientStep(o(faceTop), o(faceBottom), y - top, rows); };
    for (int k = 1; k <= 4; ++k) {
        const int from = top + k, to = bottom - k;
        const Value a = o(faceTop - 12 * k), z = o(faceBottom - 12 * k);
        const int left = 5 - k, right = (w - 2) - left;
        verticalGradient(img, a, z, left, from, left + 1, to - from);
        verticalGradient(img, a, z, right, from, right + 1, to - from);
    }
    // The corners the columns leave free: short horizontal gradients from
    // the darkest column's shade out to the face's colour on that row.
    for (int r = 0; r < 4; ++r) {
        const int span = 4 - r; // columns 1 .. span are free on this row
        for (int y : {top + r, bottom - r}) {
            const Value faceColour = faceAt(y);
            horizontalGradient(img, offset(faceColour, -48), faceColour, 1, y, span, y + 1);
            horizontalGradient(img, faceColour, offset(faceColour, -48), (w - 2) - span, y, w - 3, y + 1);
        }
    }

    const Value frame = o(in.hasFocus && in.state != Pressed ? -112 : -80);
    chamferedFrame(img, frame);
    // A light inner edge at the top and left, a shade at the bottom right.
    line(img, 5, 1, w - 6, 1, in.state == Pressed ? o(-8) : o(48));
    line(img, 5, h - 3, w - 6, h - 3, o(-48));
}

} // namespace SkinStyles
