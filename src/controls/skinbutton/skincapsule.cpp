#include "skinstyles.h"

#include "skincolor.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

using namespace SkinColor;
using OleColor::fromRgb;

namespace SkinStyles {

namespace {

// Corner blocks: left ones 18 wide, right ones 16; top ones 11 high,
// bottom ones 8. The corners are arcs of an 18 x 18 ellipse (radius 9).
constexpr int LeftWidth = 18, RightWidth = 16, TopHeight = 11, BottomHeight = 8;
constexpr double Radius = 9.0;

// Cross-section of each edge as grey levels, outermost pixel first. The
// left edge and the start of the top row are the grey table's own values;
// the rest follow the same shape: a dark rim, a light inner edge on top, a
// soft falloff into the centre and a pale halo on the left, right and bottom.
constexpr std::array<int, TopHeight> TopProfile{107, 250, 246, 243, 241, 239, 238, 237, 236, 235, 234};
constexpr std::array<int, LeftWidth> LeftProfile{247, 160, 153, 195, 201, 213, 215, 223, 224,
                                                 224, 228, 229, 230, 230, 231, 231, 232, 232};
constexpr std::array<int, BottomHeight> BottomProfile{238, 112, 190, 208, 218, 224, 228, 230};
constexpr std::array<int, RightWidth> RightProfile{240, 118, 190, 204, 212, 217, 221, 224,
                                                   226, 228, 229, 230, 231, 231, 232, 232};
// Start of the grey table's top row, x = 6..11: the arc's antialiased rim.
constexpr std::array<int, 6> TopRowFromSix{254, 230, 172, 122, 108, 107};
constexpr int Outside = 255; // what the arc's edge pixels fade to

struct Table {
    std::vector<Value> topLeft, topRight, bottomLeft, bottomRight; // row-major blocks
    std::array<Value, TopHeight> top{};
    std::array<Value, BottomHeight> bottom{};   // outermost (last row) first
    std::array<Value, LeftWidth> left{};
    std::array<Value, RightWidth> right{};      // outermost (last column) first
    Value centre = 0;
};

template<std::size_t N>
double profileAt(const std::array<int, N> &profile, double index)
{
    index = std::clamp(index, 0.0, double(N - 1));
    const int i = int(std::floor(index));
    const int j = std::min(i + 1, int(N) - 1);
    const double t = index - i;
    return profile[i] * (1 - t) + profile[j] * t;
}

// Grey level of pixel (x, y) of a corner block. Distances are measured from
// the region's outer edges: x = 0 / y = 0 on the left / top, one pixel past
// the control on the right / bottom (the region is one pixel larger there),
// so the profiles' first entries sit at depth 0.5 and 1.5 respectively.
double cornerGrey(int x, int y, bool leftSide, bool topSide, int width, int height)
{
    const double px = x + 0.5, py = y + 0.5;
    const double dv = leftSide ? px : (width + 1) - px;  // to the left/right edge
    const double dh = topSide ? py : (height + 1) - py;  // to the top/bottom edge
    const double offV = leftSide ? 0.5 : 1.5, offH = topSide ? 0.5 : 1.5;
    auto vProfile = [&](double depth) {
        return leftSide ? profileAt(LeftProfile, depth - offV) : profileAt(RightProfile, depth - offV);
    };
    auto hProfile = [&](double depth) {
        return topSide ? profileAt(TopProfile, depth - offH) : profileAt(BottomProfile, depth - offH);
    };

    if (dv < Radius && dh < Radius) {
        const double ax = Radius - dv, ay = Radius - dh;
        const double depth = Radius - std::hypot(ax, ay);
        const double wh = (ax + ay) > 0 ? ay / (ax + ay) : 0.5; // how much the pixel faces the top/bottom
        const double grey = wh * hProfile(depth) + (1 - wh) * vProfile(depth);
        const double off = wh * offH + (1 - wh) * offV;
        const double coverage = std::clamp(depth - off + 1.0, 0.0, 1.0);
        return Outside * (1 - coverage) + grey * coverage;
    }
    if (dv < Radius || dv <= dh)
        return vProfile(dv);
    return hProfile(dh);
}

// Grey level -> table colour: the grey table keeps it, the blue ones map the
// rim, the centre level and the light edge onto their own three colours.
Value tint(double grey, Value rim, Value centre, Value light)
{
    constexpr double RimGrey = 107, CentreGrey = 232;
    auto mix = [](Value a, Value b, double t) {
        t = std::clamp(t, 0.0, 1.0);
        auto ch = [t](int x, int y) { return roundHalfEven(x + (y - x) * t); };
        return fromRgb(ch(OleColor::red(a), OleColor::red(b)), ch(OleColor::green(a), OleColor::green(b)),
                       ch(OleColor::blue(a), OleColor::blue(b)));
    };
    if (grey <= CentreGrey)
        return mix(rim, centre, (grey - RimGrey) / (CentreGrey - RimGrey));
    return mix(centre, light, (grey - CentreGrey) / (255 - CentreGrey));
}

Table buildTable(CapsuleTable kind)
{
    Table t;
    t.centre = capsuleCentre(kind);
    Value rim = 0, light = 0;
    switch (kind) {
    case CapsuleTable::Blue: rim = fromRgb(20, 62, 128); light = fromRgb(214, 232, 252); break;
    case CapsuleTable::DarkBlue: rim = fromRgb(16, 46, 96); light = fromRgb(178, 204, 236); break;
    case CapsuleTable::Grey: break;
    }
    auto colour = [&](double grey) {
        if (kind == CapsuleTable::Grey) {
            const int g = std::clamp(roundHalfEven(grey), 0, 255);
            return fromRgb(g, g, g);
        }
        return tint(grey, rim, t.centre, light);
    };

    // Block pixels are generated for a notional control large enough that
    // the blocks do not overlap; only their offsets from the corners matter.
    constexpr int W = 64, H = 64;
    auto block = [&](bool leftSide, bool topSide) {
        const int bw = leftSide ? LeftWidth : RightWidth;
        const int bh = topSide ? TopHeight : BottomHeight;
        const int x0 = leftSide ? 0 : W - RightWidth, y0 = topSide ? 0 : H - BottomHeight;
        std::vector<Value> pixels(bw * bh);
        for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x)
                pixels[y * bw + x] = colour(cornerGrey(x0 + x, y0 + y, leftSide, topSide, W, H));
        return pixels;
    };
    t.topLeft = block(true, true);
    t.topRight = block(false, true);
    t.bottomLeft = block(true, false);
    t.bottomRight = block(false, false);
    if (kind == CapsuleTable::Grey) {
        for (int i = 0; i < int(TopRowFromSix.size()); ++i) {
            const int g = TopRowFromSix[i];
            t.topLeft[6 + i] = fromRgb(g, g, g);
        }
    }
    for (int i = 0; i < TopHeight; ++i) t.top[i] = colour(TopProfile[i]);
    for (int i = 0; i < BottomHeight; ++i) t.bottom[i] = colour(BottomProfile[i]);
    for (int i = 0; i < LeftWidth; ++i) t.left[i] = colour(LeftProfile[i]);
    for (int i = 0; i < RightWidth; ++i) t.right[i] = colour(RightProfile[i]);
    return t;
}

const Table &table(CapsuleTable kind)
{
    static const Table grey = buildTable(CapsuleTable::Grey);
    static const Table blue = buildTable(CapsuleTable::Blue);
    static const Table darkBlue = buildTable(CapsuleTable::DarkBlue);
    switch (kind) {
    case CapsuleTable::Blue: return blue;
    case CapsuleTable::DarkBlue: return darkBlue;
    case CapsuleTable::Grey: break;
    }
    return grey;
}

void drawBlock(QImage &img, const std::vector<Value> &pixels, int bw, int bh, int x0, int y0)
{
    for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x)
            setPixel(img, x0 + x, y0 + y, pixels[y * bw + x]);
}

} // namespace

CapsuleTable capsuleTableFor(SkinButtonLook::VisualState state, bool hasFocus)
{
    if (state == SkinButtonLook::Pressed)
        return CapsuleTable::DarkBlue;
    if (state == SkinButtonLook::Hot || hasFocus)
        return CapsuleTable::Blue;
    return CapsuleTable::Grey;
}

Value capsuleCentre(CapsuleTable kind)
{
    switch (kind) {
    case CapsuleTable::Grey: return fromRgb(232, 231, 234);
    case CapsuleTable::Blue: return fromRgb(106, 166, 226);
    case CapsuleTable::DarkBlue: return fromRgb(106, 155, 204);
    }
    return 0;
}

void paintCapsule(QImage &img, const SkinInput &in)
{
    const int w = img.width(), h = img.height();
    const Table &t = table(capsuleTableFor(in.state, in.hasFocus));
    fillRect(img, 0, 0, w, h, t.centre);

    // On small controls the blocks overlap and the edges and centre vanish.
    drawBlock(img, t.topLeft, LeftWidth, TopHeight, 0, 0);
    drawBlock(img, t.topRight, RightWidth, TopHeight, w - RightWidth, 0);
    drawBlock(img, t.bottomLeft, LeftWidth, BottomHeight, 0, h - BottomHeight);
    drawBlock(img, t.bottomRight, RightWidth, BottomHeight, w - RightWidth, h - BottomHeight);

    for (int i = 0; i < TopHeight; ++i)
        line(img, LeftWidth, i, w - RightWidth, i, t.top[i]);
    for (int i = 0; i < BottomHeight; ++i)
        line(img, LeftWidth, h - 1 - i, w - RightWidth, h - 1 - i, t.bottom[i]);
    for (int i = 0; i < LeftWidth; ++i)
        line(img, i, TopHeight, i, h - BottomHeight, t.left[i]);
    for (int i = 0; i < RightWidth; ++i)
        line(img, w - 1 - i, TopHeight, w - 1 - i, h - BottomHeight, t.right[i]);

    fillRect(img, LeftWidth, TopHeight, w - RightWidth, h - BottomHeight, t.centre);
}

} // namespace SkinStyles
