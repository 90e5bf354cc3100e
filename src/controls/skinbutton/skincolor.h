#pragma once

#include "olecolor.h"

class QImage;

// Colour arithmetic and pixel-exact drawing for the button faces. Colours are
// OleColor values (red in the low byte). The drawing helpers write straight
// into an RGB32 image so every pixel lands exactly where the face tables say,
// with no antialiasing or pen geometry in between.
//
// A colour that could not be translated (any value with a high byte) stays
// untranslatable through the arithmetic, and drawing in it draws nothing:
// it must not turn into white or into some grey derived from white.
namespace SkinColor {

using OleColor::Value;

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4).
int roundHalfEven(double v);

// Each channel v -> k + (255 - k) * v / 255 (integer division), capped at 255.
Value lighten(Value c, int k);
// Each channel -> the rounded mean of the two.
Value blend(Value a, Value b);
// Each channel + n, clamped to 0..255.
Value offset(Value c, int n);
// (v, v, v) with v the rounded mean of the three channels.
Value greyAverage(Value c);
// The sixteen grey levels a grey icon keeps as they are.
bool isKeptGreyLevel(Value c);
// Grey icon pixel: kept levels stay, others become their luminance.
Value grayscalePixel(Value c);
// Colour of step i of n of a gradient from a to b (single precision).
Value gradientStep(Value a, Value b, int i, int n);

// Image pixels <-> colour values. Reads outside the image give Invalid.
Value pixel(const QImage &image, int x, int y);
void setPixel(QImage &image, int x, int y, Value c);

// Fill of x1 <= x < x2, y1 <= y < y2 (clipped to the image).
void fillRect(QImage &image, int x1, int y1, int x2, int y2, Value c);
// 1-pixel line from (x1, y1) up to but excluding (x2, y2).
void line(QImage &image, int x1, int y1, int x2, int y2, Value c);
// Closed border from (x, y) to (x + w, y + h).
void outline(QImage &image, int x, int y, int w, int h, Value c);
// Rows y0 .. y0 + n, each a line from x1 up to x2, from top to bottom colour.
void verticalGradient(QImage &image, Value top, Value bottom, int x1, int y0, int x2, int n);
// Columns x1 .. x2, each a line from y1 up to y2, from left to right colour.
void horizontalGradient(QImage &image, Value left, Value right, int x1, int y1, int x2, int y2);

} // namespace SkinColor
