#include "skincolor.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace SkinColor {

namespace {

bool valid(Value c)
{
    return !(c & 0xFF000000u);
}

Value channelwise(Value a, Value b, int (*op)(int, int))
{
    if (!valid(a) || !valid(b))
        return OleColor::Invalid;
    return OleColor::fromRgb(op(OleColor::red(a), OleColor::red(b)),
                             op(OleColor::green(a), OleColor::green(b)),
                             op(OleColor::blue(a), OleColor::blue(b)));
}

QRgb toRgb(Value c)
{
    return qRgb(OleColor::red(c), OleColor::green(c), OleColor::blue(c));
}

} // namespace

int roundHalfEven(double v)
{
    const double floor = std::floor(v);
    const double diff = v - floor;
    if (diff < 0.5)
        return int(floor);
    if (diff > 0.5)
        return int(floor) + 1;
    return (std::fmod(floor, 2.0) == 0.0) ? int(floor) : int(floor) + 1;
}

Value lighten(Value c, int k)
{
    if (!valid(c))
        return OleColor::Invalid;
    k = std::clamp(k, 0, 255);
    auto ch = [k](int v) { return std::min(255, k + (255 - k) * v / 255); };
    return OleColor::fromRgb(ch(OleColor::red(c)), ch(OleColor::green(c)), ch(OleColor::blue(c)));
}

Value blend(Value a, Value b)
{
    return channelwise(a, b, [](int x, int y) { return roundHalfEven((x + y) / 2.0); });
}

Value offset(Value c, int n)
{
    if (!valid(c))
        return OleColor::Invalid;
    auto ch = [n](int v) { return std::clamp(v + n, 0, 255); };
    return OleColor::fromRgb(ch(OleColor::red(c)), ch(OleColor::green(c)), ch(OleColor::blue(c)));
}

Value greyAverage(Value c)
{
    if (!valid(c))
        return OleColor::Invalid;
    const int v = roundHalfEven(OleColor::green(c) / 3.0 + OleColor::blue(c) / 3.0
                                + OleColor::red(c) / 3.0);
    return OleColor::fromRgb(v, v, v);
}

bool isKeptGreyLevel(Value c)
{
    const int r = OleColor::red(c);
    if (r != OleColor::green(c) || r != OleColor::blue(c))
        return false;
    // Multiples of 0x10 and white, except 0x90.
    return r == 0xFF || ((r & 0x0F) == 0 && r != 0x90);
}

Value grayscalePixel(Value c)
{
    if (isKeptGreyLevel(c))
        return c;
    const int v = std::min(255, roundHalfEven(0.33 * OleColor::red(c) + 0.59 * OleColor::green(c)
                                              + 0.11 * OleColor::blue(c)));
    return OleColor::fromRgb(v, v, v);
}

Value gradientStep(Value a, Value b, int i, int n)
{
    if (!valid(a) || !valid(b))
        return OleColor::Invalid;
    if (n == 0)
        return a; // a single row: avoid 0 / 0
    auto ch = [i, n](int from, int to) {
        const float t = float(to - from) * float(i) / float(n);
        return std::clamp(roundHalfEven(double(float(from) + t)), 0, 255);
    };
    return OleColor::fromRgb(ch(OleColor::red(a), OleColor::red(b)),
                             ch(OleColor::green(a), OleColor::green(b)),
                             ch(OleColor::blue(a), OleColor::blue(b)));
}

Value pixel(const QImage &image, int x, int y)
{
    if (!image.valid(x, y))
        return OleColor::Invalid;
    const QRgb p = image.pixel(x, y);
    return OleColor::fromRgb(qRed(p), qGreen(p), qBlue(p));
}

void setPixel(QImage &image, int x, int y, Value c)
{
    if (valid(c) && image.valid(x, y))
        image.setPixel(x, y, toRgb(c));
}

void fillRect(QImage &image, int x1, int y1, int x2, int y2, Value c)
{
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, image.width());
    y2 = std::min(y2, image.height());
    if (x1 >= x2 || y1 >= y2 || !valid(c))
        return;
    const QRgb rgb = toRgb(c);
    for (int y = y1; y < y2; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(row + x1, row + x2, rgb);
    }
}

void line(QImage &image, int x1, int y1, int x2, int y2, Value c)
{
    if (y1 == y2) {
        if (x1 <= x2)
            fillRect(image, x1, y1, x2, y1 + 1, c);
        else
            fillRect(image, x2 + 1, y1, x1 + 1, y1 + 1, c);
        return;
    }
    if (x1 == x2) {
        if (y1 <= y2)
            fillRect(image, x1, y1, x1 + 1, y2, c);
        else
            fillRect(image, x1, y2 + 1, x1 + 1, y1 + 1, c);
        return;
    }
    // Diagonal: Bresenham, stopping before the end point.
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1, y = y1;
    while (x != x2 || y != y2) {
        setPixel(image, x, y, c);
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
}

void outline(QImage &image, int x, int y, int w, int h, Value c)
{
    line(image, x, y, x + w, y, c);
    line(image, x + w, y, x + w, y + h, c);
    line(image, x + w, y + h, x, y + h, c);
    line(image, x, y + h, x, y, c);
}

void verticalGradient(QImage &image, Value top, Value bottom, int x1, int y0, int x2, int n)
{
    for (int i = 0; i <= n; ++i)
        line(image, x1, y0 + i, x2, y0 + i, gradientStep(top, bottom, i, n));
}

void horizontalGradient(QImage &image, Value left, Value right, int x1, int y1, int x2, int y2)
{
    const int n = x2 - x1;
    for (int i = 0; i <= n; ++i)
        line(image, x1 + i, y1, x1 + i, y2, gradientStep(left, right, i, n));
}

} // namespace SkinColor
