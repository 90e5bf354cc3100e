// Pixel tests of the button's drawing: colour arithmetic, faces, skins,
// regions, icon placement and the repaint's state overrides.
#include "skinbuttonlook.h"
#include "skincolor.h"
#include "skinstyles.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QtTest>

using namespace SkinButtonLook;
using OleColor::fromRgb;
using OleColor::Value;

namespace {

const QRgb Untouched = qRgba(12, 34, 56, 78);

QPalette fixedPalette()
{
    QPalette p;
    p.setColor(QPalette::Button, QColor(212, 208, 200));
    p.setColor(QPalette::Highlight, QColor(10, 36, 106));
    p.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
    p.setColor(QPalette::Dark, QColor(128, 128, 128));      // 3-D shadow
    p.setColor(QPalette::Shadow, QColor(64, 64, 64));       // 3-D dark shadow
    p.setColor(QPalette::Midlight, QColor(224, 222, 218));  // 3-D light
    p.setColor(QPalette::Light, QColor(255, 255, 255));     // 3-D highlight
    p.setColor(QPalette::Base, QColor(250, 250, 250));      // window
    return p;
}

const SystemColors System = SystemColors::fromPalette(fixedPalette());

Look plainLook(int style)
{
    Look look;
    look.style = style;
    return look;
}

struct Rendered {
    QImage image;
    PaintOutcome outcome;
};

// Paints onto an image pre-filled with a marker so untouched pixels show.
Rendered render(const Look &look, QSize size, ThemeContext theme = {})
{
    Rendered r{QImage(size, QImage::Format_ARGB32), {}};
    r.image.fill(Untouched);
    QPainter painter(&r.image);
    r.outcome = paint(painter, size, look, System, theme);
    return r;
}

Value at(const QImage &image, int x, int y)
{
    return SkinColor::pixel(image, x, y);
}

QIcon solidIcon(QColor colour, int size = 16)
{
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

} // namespace

class TestSkinPaint : public QObject
{
    Q_OBJECT

private slots:
    void colourArithmetic();
    void greyIcon();
    void gradients();
    void layoutTables();
    void iconPlacement();
    void iconKeyColour();
    void standardRings();
    void repaintOverrides();
    void themedFallsBackWithoutTheme();
    void gradientSkin();
    void gradientSkinCustomColours();
    void paintStaysInsideRegion_data();
    void paintStaysInsideRegion();
    void capsuleTables();
    void systemAndUntranslatableColours();
    void wideCaptionShrinksToFit();
};

void TestSkinPaint::colourArithmetic()
{
    QCOMPARE(SkinColor::lighten(0x000000, 176), fromRgb(176, 176, 176));
    QCOMPARE(SkinColor::lighten(0xFFFFFF, 32), Value(0xFFFFFF));
    QCOMPARE(SkinColor::lighten(fromRgb(10, 100, 200), 0), fromRgb(10, 100, 200));
    QCOMPARE(SkinColor::lighten(fromRgb(10, 100, 200), 255), Value(0xFFFFFF));
    // 128 + 127 * 100 / 255 = 177.8 truncates to 177
    QCOMPARE(SkinColor::lighten(fromRgb(100, 0, 255), 128), fromRgb(177, 128, 255));

    // Halves go to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
    QCOMPARE(SkinColor::blend(fromRgb(0, 3, 5), fromRgb(1, 0, 0)), fromRgb(0, 2, 2));
    QCOMPARE(SkinColor::roundHalfEven(29.5), 30);
    QCOMPARE(SkinColor::roundHalfEven(3.5), 4);
    QCOMPARE(SkinColor::roundHalfEven(4.5), 4);
    QCOMPARE(SkinColor::roundHalfEven(-0.5), 0);

    QCOMPARE(SkinColor::offset(fromRgb(250, 5, 128), 10), fromRgb(255, 15, 138));
    QCOMPARE(SkinColor::offset(fromRgb(250, 5, 128), -10), fromRgb(240, 0, 118));

    // (10 + 20 + 31) / 3 = 20.33; (1 + 2 + 2) / 3 = 1.67
    QCOMPARE(SkinColor::greyAverage(fromRgb(10, 20, 31)), fromRgb(20, 20, 20));
    QCOMPARE(SkinColor::greyAverage(fromRgb(1, 2, 2)), fromRgb(2, 2, 2));
}

void TestSkinPaint::greyIcon()
{
    using SkinColor::grayscalePixel;
    QCOMPARE(grayscalePixel(0xFFFFFF), Value(0xFFFFFF));
    QCOMPARE(grayscalePixel(0x808080), Value(0x808080));
    QCOMPARE(grayscalePixel(0x000000), Value(0x000000));
    QCOMPARE(grayscalePixel(0x909090), Value(0x949494)); // not a kept level
    QCOMPARE(grayscalePixel(0x0000FF), Value(0x545454)); // pure red: 0.33 * 255 = 84.15
    QCOMPARE(grayscalePixel(0x00FF00), Value(0x969696)); // pure green: 150.45
    QCOMPARE(grayscalePixel(0xFEFEFE), Value(0xFFFFFF)); // 261.6 capped

    // Through the drawing: each pixel of the icon lands converted, the
    // transparent ones leave the surface alone.
    QImage source(4, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgb(255, 0, 0));
    source.setPixel(1, 0, qRgb(0x90, 0x90, 0x90));
    source.setPixel(2, 0, qRgb(0x80, 0x80, 0x80));
    source.setPixel(3, 0, qRgba(0, 0, 0, 0));
    const QIcon icon(QPixmap::fromImage(source));
    QImage target(6, 3, QImage::Format_RGB32);
    target.fill(qRgb(1, 2, 3));
    {
        QPainter p(&target);
        QVERIFY(paintIconGrayscale(&p, icon, 1, 1, 1, 4));
        QVERIFY(!paintIconGrayscale(&p, QIcon(), 1, 1, 1, 4));
        QVERIFY(!paintIconGrayscale(&p, icon, 1, 1, 0, 4));
    }
    QVERIFY(!paintIconGrayscale(nullptr, icon, 1, 1, 1, 4));
    QCOMPARE(at(target, 1, 1), Value(0x545454));
    QCOMPARE(at(target, 2, 1), Value(0x949494));
    QCOMPARE(at(target, 3, 1), Value(0x808080));
    QCOMPARE(at(target, 4, 1), fromRgb(1, 2, 3));
    QCOMPARE(at(target, 1, 0), fromRgb(1, 2, 3));
}

void TestSkinPaint::gradients()
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::black);
    // Rows 2..6 from x 1 up to but excluding 5, from 0 to 100 in four steps.
    SkinColor::verticalGradient(img, fromRgb(0, 0, 0), fromRgb(100, 200, 10), 1, 2, 5, 4);
    QCOMPARE(at(img, 1, 2), fromRgb(0, 0, 0));
    QCOMPARE(at(img, 4, 3), fromRgb(25, 50, 2));   // 2.5 -> 2
    QCOMPARE(at(img, 2, 4), fromRgb(50, 100, 5));
    QCOMPARE(at(img, 3, 5), fromRgb(75, 150, 8));  // 7.5 -> 8
    QCOMPARE(at(img, 1, 6), fromRgb(100, 200, 10));
    QCOMPARE(at(img, 5, 6), Value(0));             // end column excluded
    QCOMPARE(at(img, 1, 7), Value(0));             // n + 1 rows only

    // A gradient of a single row must not divide by zero.
    SkinColor::verticalGradient(img, fromRgb(9, 9, 9), fromRgb(200, 200, 200), 0, 0, 3, 0);
    QCOMPARE(at(img, 0, 0), fromRgb(9, 9, 9));
    QCOMPARE(at(img, 0, 1), Value(0));

    img.fill(Qt::black);
    SkinColor::horizontalGradient(img, fromRgb(0, 0, 0), fromRgb(30, 30, 30), 2, 1, 5, 4);
    QCOMPARE(at(img, 2, 1), fromRgb(0, 0, 0));
    QCOMPARE(at(img, 3, 3), fromRgb(10, 10, 10));
    QCOMPARE(at(img, 5, 1), fromRgb(30, 30, 30)); // both end columns drawn
    QCOMPARE(at(img, 5, 4), Value(0));            // end row excluded
    SkinColor::horizontalGradient(img, fromRgb(7, 7, 7), fromRgb(30, 30, 30), 6, 0, 6, 2);
    QCOMPARE(at(img, 6, 0), fromRgb(7, 7, 7));

    // Drawing past the image edges is clipped, not a crash.
    SkinColor::line(img, -5, -5, 20, 20, 0xFFFFFF);
    SkinColor::fillRect(img, -3, -3, 100, 2, 0xFFFFFF);
    QCOMPARE(at(img, 7, 7), Value(0xFFFFFF));
}

void TestSkinPaint::layoutTables()
{
    QCOMPARE(textFormatFor(Center, 17), 37);
    QCOMPARE(textFormatFor(Left, 17), 36);
    QCOMPARE(textFormatFor(Right, 17), 38);
    QCOMPARE(textFormatFor(Top, 17), 33);
    QCOMPARE(textFormatFor(Bottom, 17), 41);
    QCOMPARE(textFormatFor(7, 38), 38);
    QCOMPARE(textFormatFor(-1, 17), 17);
    QCOMPARE(Look().textFormat, 17);

    QCOMPARE(iconMargin(Standard), 4);
    QCOMPARE(iconMargin(Gradient), 5);
    QCOMPARE(iconMargin(GradientHighlight), 5);
    QCOMPARE(iconMargin(Chamfered), 4);
    QCOMPARE(iconMargin(ChamferedBands), 7);
    QCOMPARE(iconMargin(Capsule), 7);
    QCOMPARE(iconMargin(42), 4);

    // Cut corners: one pixel each for 5 and 7, stepped chamfers for 8 and 9,
    // arcs for 10; other styles cover the whole control.
    const QSize size(75, 23);
    const QRegion gradient = region(Gradient, size);
    QVERIFY(!gradient.contains(QPoint(0, 0)));
    QVERIFY(!gradient.contains(QPoint(74, 0)));
    QVERIFY(!gradient.contains(QPoint(0, 22)));
    QVERIFY(!gradient.contains(QPoint(74, 22)));
    QVERIFY(gradient.contains(QPoint(1, 0)) && gradient.contains(QPoint(0, 1)));
    QVERIFY(gradient.contains(QPoint(73, 22)) && gradient.contains(QPoint(74, 21)));
    QCOMPARE(region(GradientHighlight, size), gradient);

    const QRegion chamfered = region(Chamfered, size);
    QVERIFY(!chamfered.contains(QPoint(1, 0)) && chamfered.contains(QPoint(2, 0)));
    QVERIFY(!chamfered.contains(QPoint(0, 1)) && chamfered.contains(QPoint(1, 1)));
    QVERIFY(!chamfered.contains(QPoint(72, 0)) && chamfered.contains(QPoint(71, 0)));
    QVERIFY(!chamfered.contains(QPoint(2, 22)) && chamfered.contains(QPoint(3, 22)));
    QVERIFY(chamfered.contains(QPoint(74, 3)) && !chamfered.contains(QPoint(74, 2)));
    QCOMPARE(region(ChamferedBands, size), chamfered);

    const QRegion capsule = region(Capsule, size);
    QVERIFY(!capsule.contains(QPoint(0, 0)) && !capsule.contains(QPoint(5, 0)));
    QVERIFY(capsule.contains(QPoint(6, 0)) && capsule.contains(QPoint(0, 11)));
    QVERIFY(capsule.contains(QPoint(74, 11)) && !capsule.contains(QPoint(74, 0)));

    for (int style : {int(Standard), int(Soft), int(Flat), int(Etched), int(Tinted), int(Themed), 99})
        QCOMPARE(region(style, size), QRegion(0, 0, 75, 23));
    QVERIFY(region(Gradient, QSize(0, 0)).isEmpty());
}

void TestSkinPaint::iconPlacement()
{
    const QRgb green = qRgb(0, 200, 0);
    Look look = plainLook(Standard);
    look.icon = solidIcon(QColor(green));
    look.iconSize = 16;
    look.iconAlign = Center;

    // (75 - 16) / 2 = 29.5 -> 30, (23 - 16) / 2 = 3.5 -> 4
    QImage img = render(look, QSize(75, 23)).image;
    QCOMPARE(img.pixel(30, 4), green);
    QCOMPARE(img.pixel(45, 19), green);
    QVERIFY(img.pixel(29, 4) != green);
    QVERIFY(img.pixel(30, 3) != green);
    QVERIFY(img.pixel(46, 19) != green);

    look.state = Pressed;
    img = render(look, QSize(75, 23)).image;
    QCOMPARE(img.pixel(31, 5), green);
    QCOMPARE(img.pixel(46, 20), green);
    QVERIFY(img.pixel(30, 4) != green);

    // Margins per style at the sides.
    look.state = Normal;
    look.iconAlign = Left;
    look.style = ChamferedBands;
    img = render(look, QSize(75, 23)).image;
    QCOMPARE(img.pixel(7, 4), green);
    QVERIFY(img.pixel(6, 4) != green);
    look.iconAlign = Bottom;
    look.style = Gradient;
    img = render(look, QSize(75, 40)).image; // y = 40 - 16 - 5 = 19, x = 29.5 -> 30
    QCOMPARE(img.pixel(30, 19), green);
    QVERIFY(img.pixel(30, 18) != green);

    // Tinted while hot: a grey shadow, the icon itself two pixels up-left.
    look.style = Tinted;
    look.state = Hot;
    look.iconAlign = Center;
    img = render(look, QSize(75, 23)).image;
    QCOMPARE(img.pixel(28, 2), green);
    QCOMPARE(img.pixel(43, 17), green);
    QCOMPARE(at(img, 44, 18), Value(0x808080));
    QCOMPARE(at(img, 45, 19), Value(0x808080));
    QCOMPARE(at(img, 46, 20), SkinColor::lighten(System.highlight, 176)); // only the icon's own pixels

    // An icon that cannot fit must not be drawn outside the control, and a
    // grey icon of size 0 must not cost the caption.
    look.iconSize = 200;
    look.style = Standard;
    look.state = Normal;
    QVERIFY(render(look, QSize(20, 20)).outcome.ok);
    look.iconSize = 0;
    look.enabled = false;
    look.style = Flat;
    look.caption = QStringLiteral("\u2588\u2588");
    const Rendered disabled = render(look, QSize(75, 23));
    QVERIFY(disabled.outcome.ok);
    bool captionDrawn = false;
    for (int x = 0; x < 75; ++x)
        captionDrawn = captionDrawn || at(disabled.image, x, 11) == System.grayText;
    QVERIFY(captionDrawn);
}

void TestSkinPaint::iconKeyColour()
{
    // Left half key colour, right half blue: only blue reaches the control.
    QImage source(16, 16, QImage::Format_RGB32);
    source.fill(qRgb(255, 0, 255));
    for (int y = 0; y < 16; ++y)
        for (int x = 8; x < 16; ++x)
            source.setPixel(x, y, qRgb(30, 60, 240));
    Look look = plainLook(Flat);
    look.icon = QIcon(QPixmap::fromImage(source));
    look.useMaskColor = true;
    look.maskColor = fromRgb(255, 0, 255);
    QImage img = render(look, QSize(75, 23)).image;
    QCOMPARE(at(img, 30, 4), System.face);
    QCOMPARE(at(img, 38, 4), fromRgb(30, 60, 240));

    look.enabled = false; // copied pixels turn to their grey average: 110
    img = render(look, QSize(75, 23)).image;
    QCOMPARE(at(img, 30, 4), System.face);
    QCOMPARE(at(img, 38, 4), fromRgb(110, 110, 110));
}

void TestSkinPaint::standardRings()
{
    const QSize size(40, 20);
    Look look = plainLook(Standard);
    QImage img = render(look, size).image;
    QCOMPARE(at(img, 0, 0), System.light);
    QCOMPARE(at(img, 0, 18), System.light);
    QCOMPARE(at(img, 39, 0), System.darkShadow);
    QCOMPARE(at(img, 20, 19), System.darkShadow);
    QCOMPARE(at(img, 1, 1), System.hilight);
    QCOMPARE(at(img, 38, 1), System.shadow);
    QCOMPARE(at(img, 20, 18), System.shadow);
    QCOMPARE(at(img, 20, 10), System.face);

    look.state = Pressed;
    img = render(look, size).image;
    QCOMPARE(at(img, 0, 0), System.shadow);
    QCOMPARE(at(img, 39, 19), System.hilight);
    QCOMPARE(at(img, 1, 1), System.darkShadow);
    QCOMPARE(at(img, 38, 18), System.light);

    // Focus frame: shown focus, or a default button without focus.
    look.state = Normal;
    look.showFocus = true;
    look.hasFocus = true;
    QCOMPARE(at(render(look, size).image, 20, 0), Value(0));
    look.showFocus = false;
    QCOMPARE(at(render(look, size).image, 20, 0), System.light);
    look.hasFocus = false;
    look.displayAsDefault = true;
    QCOMPARE(at(render(look, size).image, 20, 0), Value(0));
    QCOMPARE(at(render(look, size).image, 39, 19), Value(0));

    // Soft and Flat: only one ring, or none.
    Look soft = plainLook(Soft);
    img = render(soft, size).image;
    QCOMPARE(at(img, 0, 0), System.hilight);
    QCOMPARE(at(img, 39, 19), System.shadow);
    QCOMPARE(at(img, 1, 1), System.face);
    Look flat = plainLook(Flat);
    QCOMPARE(at(render(flat, size).image, 0, 0), System.face);
    flat.state = Hot;
    QCOMPARE(at(render(flat, size).image, 0, 0), System.hilight);

    // Tinted while pressed: lightened highlight inside a highlight frame.
    Look tinted = plainLook(Tinted);
    tinted.state = Pressed;
    img = render(tinted, size).image;
    QCOMPARE(at(img, 0, 0), System.highlight);
    QCOMPARE(at(img, 20, 10), SkinColor::lighten(System.highlight, 128));
}

void TestSkinPaint::repaintOverrides()
{
    const QSize size(60, 24);

    // Hidden: nothing but the cleared background, the state left alone.
    Look hidden = plainLook(Gradient);
    hidden.shown = false;
    hidden.caption = QStringLiteral("Hidden");
    hidden.icon = solidIcon(Qt::red);
    hidden.state = Hot;
    const Rendered r = render(hidden, size);
    QCOMPARE(r.outcome.state, Hot);
    const QRegion shape = region(Gradient, size);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (shape.contains(QPoint(x, y)))
                QCOMPARE(at(r.image, x, y), System.face);

    // A disabled toggle that is down is drawn disabled, not pressed.
    Look toggle = plainLook(Standard);
    toggle.buttonType = Toggle;
    toggle.value = true;
    toggle.enabled = false;
    Rendered t = render(toggle, size);
    QCOMPARE(t.outcome.state, Disabled);
    QCOMPARE(at(t.image, 0, 0), System.light); // raised, not sunken
    toggle.enabled = true;
    t = render(toggle, size);
    QCOMPARE(t.outcome.state, Pressed);
    QCOMPARE(at(t.image, 0, 0), System.shadow);

    // Design mode draws Standard hot (highlight face with custom colours),
    // but not Gradient.
    Look design = plainLook(Standard);
    design.runMode = false;
    design.useCustomColors = true;
    design.backColor = fromRgb(200, 0, 0);
    design.highlightColor = fromRgb(0, 0, 200);
    t = render(design, size);
    QCOMPARE(t.outcome.state, Hot);
    QCOMPARE(at(t.image, 30, 12), fromRgb(0, 0, 200));
    design.style = Gradient;
    QCOMPARE(render(design, size).outcome.state, Normal);

    // Caption colour follows the state.
    Look text = plainLook(Flat);
    text.caption = QStringLiteral("\u2588\u2588\u2588\u2588"); // solid blocks
    text.useCustomColors = true;
    text.backColor = fromRgb(255, 255, 255);
    text.highlightColor = fromRgb(255, 255, 255);
    text.fontColor = fromRgb(0, 128, 0);
    text.fontHighlightColor = fromRgb(128, 0, 128);
    auto hasColour = [](const QImage &img, Value c) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (at(img, x, y) == c)
                    return true;
        return false;
    };
    QVERIFY(hasColour(render(text, size).image, fromRgb(0, 128, 0)));
    text.state = Hot;
    QVERIFY(hasColour(render(text, size).image, fromRgb(128, 0, 128)));
    text.enabled = false;
    QVERIFY(hasColour(render(text, size).image, System.grayText));
}

void TestSkinPaint::themedFallsBackWithoutTheme()
{
    const QSize size(60, 24);
    Look look = plainLook(Themed);
    look.nonThemeStyle = Etched;
    ThemeContext noTheme;
    noTheme.themeAvailable = false;

    Rendered first = render(look, size, noTheme);
    QCOMPARE(first.outcome.style, int(Etched));
    QVERIFY(first.outcome.ok);
    // No face this time: the whole control is the plain button face.
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            QCOMPARE(at(first.image, x, y), System.face);

    look.style = first.outcome.style;
    Rendered second = render(look, size, noTheme);
    QCOMPARE(second.outcome.style, int(Etched));
    QCOMPARE(at(second.image, 0, 0), System.shadow);

    // With a style to draw with, the themed face stays.
    look.style = Themed;
    Rendered themed = render(look, size, ThemeContext{});
    QCOMPARE(themed.outcome.style, int(Themed));
}

void TestSkinPaint::gradientSkin()
{
    const int w = 75, h = 23;
    const Value border = fromRgb(0, 60, 116);
    Look look = plainLook(Gradient);
    auto image = [&]() { return render(look, QSize(w, h)).image; };

    QImage img = image();
    QCOMPARE(at(img, 30, 0), border);
    QCOMPARE(at(img, 0, 10), border);
    QCOMPARE(at(img, w - 1, 10), border);
    QCOMPARE(at(img, 30, h - 1), border);
    QCOMPARE(at(img, 1, 1), fromRgb(72, 110, 144));
    QCOMPARE(at(img, w - 2, h - 2), fromRgb(72, 110, 144));
    QCOMPARE(at(img, 0, 1), fromRgb(106, 139, 162));
    QCOMPARE(at(img, w - 2, h - 1), fromRgb(106, 139, 162));
    QCOMPARE(at(img, 2, 1), fromRgb(191, 199, 202));
    QCOMPARE(at(img, w - 2, 2), fromRgb(191, 199, 202));
    QCOMPARE(img.pixel(0, 0), Untouched);
    QCOMPARE(at(img, 30, 1), fromRgb(252, 252, 251)); // top band, no rim
    QCOMPARE(at(img, w - 2, 10), SkinColor::gradientStep(fromRgb(245, 244, 242), fromRgb(219, 215, 205), 7, h - 5));

    const Value warm1 = fromRgb(255, 240, 207), warmLast = fromRgb(229, 151, 16);
    const Value cool1 = fromRgb(206, 231, 255), coolLast = fromRgb(105, 130, 238);

    look.state = Hot;
    img = image();
    QCOMPARE(at(img, 30, 1), warm1);
    QCOMPARE(at(img, 30, 2), fromRgb(253, 216, 137));
    QCOMPARE(at(img, 30, h - 3), fromRgb(248, 179, 48));
    QCOMPARE(at(img, 30, h - 2), warmLast);
    QCOMPARE(at(img, 1, 2), fromRgb(191, 199, 202)); // corner pixel kept over the rim
    QCOMPARE(at(img, 1, 10), at(img, w - 2, 10));
    look.hasFocus = true; // hot wins over focus
    QCOMPARE(at(image(), 30, 1), warm1);

    look.state = Normal;
    img = image();
    QCOMPARE(at(img, 30, 1), cool1);
    QCOMPARE(at(img, 30, h - 2), coolLast);
    look.hasFocus = false;
    look.displayAsDefault = true;
    QCOMPARE(at(image(), 30, 1), cool1);

    look.state = Pressed; // no rim when pressed, bands reversed
    img = image();
    QCOMPARE(at(img, 30, 1), fromRgb(209, 204, 193));
    QCOMPARE(at(img, 30, h - 2), SkinColor::gradientStep(fromRgb(227, 226, 219), fromRgb(242, 241, 238), 2, 3));
    QCOMPARE(at(img, 30, 0), border);

    look.state = Disabled;
    look.enabled = false;
    look.hasFocus = true;
    img = image();
    QCOMPARE(at(img, 30, 10), fromRgb(245, 244, 234));
    QCOMPARE(at(img, 30, 0), fromRgb(201, 199, 186));
    QCOMPARE(at(img, 30, 1), fromRgb(245, 244, 234)); // neither rim
    QCOMPARE(at(img, 1, 1), fromRgb(216, 213, 199));
    QCOMPARE(at(img, 0, 1), fromRgb(216, 213, 199));
}

void TestSkinPaint::gradientSkinCustomColours()
{
    const int w = 75, h = 23;
    const Value b = fromRgb(150, 170, 200);
    Look look = plainLook(Gradient);
    look.useCustomColors = true;
    look.backColor = b;
    look.highlightColor = fromRgb(255, 128, 0);
    look.state = Pressed;
    QImage img = render(look, QSize(w, h)).image;
    QCOMPARE(at(img, 30, 0), SkinColor::offset(b, -128));
    QCOMPARE(at(img, 30, 1), SkinColor::offset(b, -37));
    QCOMPARE(at(img, 30, 5), SkinColor::gradientStep(SkinColor::offset(b, -21), SkinColor::offset(b, -5), 1, h - 8));
    QCOMPARE(at(img, 30, h - 3), SkinColor::gradientStep(SkinColor::offset(b, -5), SkinColor::offset(b, 5), 1, 3));
    QCOMPARE(at(img, 1, 3), SkinColor::offset(b, -32));
    QCOMPARE(at(img, 2, 3), SkinColor::offset(b, -24));
    QCOMPARE(at(img, 0, 1), SkinColor::offset(b, -96));

    look.state = Disabled;
    look.enabled = false;
    img = render(look, QSize(w, h)).image;
    QCOMPARE(at(img, 30, 10), b);
    QCOMPARE(at(img, 30, 0), SkinColor::offset(b, -64));
    QCOMPARE(at(img, 1, 1), SkinColor::offset(b, -53));

    // GradientHighlight: border lines in Offset(state base, -96) in every state.
    look.style = GradientHighlight;
    const int stateBase[] = {8, 24, -9, 18};
    for (int state = Normal; state <= Disabled; ++state) {
        look.state = VisualState(state);
        look.enabled = state != Disabled;
        const Value border = SkinColor::offset(SkinColor::offset(b, stateBase[state - 1]), -96);
        img = render(look, QSize(w, h)).image;
        QCOMPARE(at(img, 30, 0), border);
        QCOMPARE(at(img, w - 1, 10), border);
    }
}

void TestSkinPaint::paintStaysInsideRegion_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QSize>("size");
    for (int style = Standard; style <= Capsule; ++style) {
        for (QSize size : {QSize(75, 23), QSize(20, 20), QSize(120, 41)}) {
            QTest::addRow("style %d %dx%d", style, size.width(), size.height()) << style << size;
        }
    }
}

void TestSkinPaint::paintStaysInsideRegion()
{
    QFETCH(int, style);
    QFETCH(QSize, size);
    const QRegion shape = region(style, size);
    for (int state = Normal; state <= Disabled; ++state) {
        for (bool custom : {false, true}) {
            Look look = plainLook(style);
            look.state = VisualState(state);
            look.enabled = state != Disabled;
            look.hasFocus = true;
            look.useCustomColors = custom;
            look.backColor = fromRgb(180, 200, 220);
            look.highlightColor = fromRgb(250, 160, 40);
            look.caption = QStringLiteral("Go");
            look.icon = solidIcon(Qt::red);
            const QImage img = render(look, size).image;
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x) {
                    const bool inside = shape.contains(QPoint(x, y));
                    const bool painted = img.pixel(x, y) != Untouched;
                    if (inside != painted)
                        QFAIL(qPrintable(QStringLiteral("state %1 custom %2: pixel (%3, %4) %5")
                                             .arg(state).arg(custom).arg(x).arg(y)
                                             .arg(inside ? QStringLiteral("left unpainted")
                                                         : QStringLiteral("painted outside the region"))));
                }
            }
        }
    }
}

void TestSkinPaint::capsuleTables()
{
    const int w = 90, h = 30;
    Look look = plainLook(Capsule);
    QImage img = render(look, QSize(w, h)).image;

    const int topRow[] = {254, 230, 172, 122, 108, 107};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(at(img, 6 + i, 0), fromRgb(topRow[i], topRow[i], topRow[i]));
    const int leftEdge[] = {247, 160, 153, 195, 201, 213, 215, 223, 224, 224, 228};
    for (int x = 0; x < 11; ++x) {
        QCOMPARE(at(img, x, 11), fromRgb(leftEdge[x], leftEdge[x], leftEdge[x]));
        QCOMPARE(at(img, x, h - 9), fromRgb(leftEdge[x], leftEdge[x], leftEdge[x]));
    }
    QCOMPARE(at(img, 18, 11), fromRgb(232, 231, 234));
    QCOMPARE(at(img, w - 17, h - 9), fromRgb(232, 231, 234));
    QVERIFY(at(img, w - 16, h - 9) != fromRgb(232, 231, 234)); // right edge starts

    // The same corner offsets hold for every size.
    const QImage wide = render(look, QSize(200, 50)).image;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 18; ++x)
            QCOMPARE(at(wide, x, y), at(img, x, y));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            QCOMPARE(at(wide, 200 - 16 + x, 50 - 8 + y), at(img, w - 16 + x, h - 8 + y));

    look.state = Hot;
    QCOMPARE(at(render(look, QSize(w, h)).image, 40, 15), fromRgb(106, 166, 226));
    look.state = Normal;
    look.hasFocus = true;
    QCOMPARE(at(render(look, QSize(w, h)).image, 40, 15), fromRgb(106, 166, 226));
    look.state = Pressed;
    QCOMPARE(at(render(look, QSize(w, h)).image, 40, 15), fromRgb(106, 155, 204));
    look.state = Disabled;
    look.enabled = false;
    look.hasFocus = false;
    QCOMPARE(at(render(look, QSize(w, h)).image, 40, 15), fromRgb(232, 231, 234));

    // At the minimum size the blocks overlap and there is no centre left.
    const Rendered tiny = render(plainLook(Capsule), QSize(20, 20));
    QVERIFY(tiny.outcome.ok);
    QCOMPARE(at(tiny.image, 10, 0), fromRgb(107, 107, 107));
}

void TestSkinPaint::systemAndUntranslatableColours()
{
    // The key colour given as a system reference: the icon's left half, in
    // that colour, is left out of the icon and of the hover shadow.
    QImage source(16, 16, QImage::Format_RGB32);
    source.fill(qRgb(0, 200, 0));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            source.setPixel(x, y, qRgb(OleColor::red(System.highlight), OleColor::green(System.highlight),
                                       OleColor::blue(System.highlight)));
    Look look = plainLook(Tinted);
    look.icon = QIcon(QPixmap::fromImage(source));
    look.useMaskColor = true;
    look.maskColor = OleColor::SysHighlight;
    QCOMPARE(at(render(look, QSize(75, 23)).image, 30, 4), SkinColor::lighten(System.face, 32));
    look.state = Hot; // shadow at (30, 4), the icon two pixels up-left of it
    const QImage hot = render(look, QSize(75, 23)).image;
    QCOMPARE(at(hot, 31, 18), SkinColor::lighten(System.highlight, 176));
    QCOMPARE(at(hot, 44, 18), Value(0x808080));

    // Colours that cannot be translated draw nothing, neither white nor a
    // shade derived from white, and the repaint reports the failure.
    look.maskColor = 0x01000003; // a palette index
    QVERIFY(!render(look, QSize(75, 23)).outcome.ok);
    for (int style : {int(Standard), int(Gradient)}) {
        Look custom = plainLook(style);
        custom.useCustomColors = true;
        custom.backColor = custom.highlightColor = 0x80000042; // no such system colour
        const Rendered r = render(custom, QSize(75, 23));
        QVERIFY(!r.outcome.ok);
        QCOMPARE(at(r.image, 37, 11), System.face);
    }
}

void TestSkinPaint::wideCaptionShrinksToFit()
{
    // Eight blocks in black on white, far too wide for the 52-pixel caption
    // place of a 60-pixel button: all eight are drawn, inside the place.
    Look look = plainLook(Flat);
    look.useCustomColors = true;
    look.backColor = 0xFFFFFF;
    look.fontColor = 0x000000;
    look.textFormat = textFormatFor(Center, look.textFormat);
    look.font.setPixelSize(12);
    look.caption = QStringLiteral("\u2588 \u2588 \u2588 \u2588 \u2588 \u2588 \u2588 \u2588");
    QVERIFY(QFontMetrics(look.font).horizontalAdvance(look.caption) > 70);
    auto blocks = [&look]() {
        const QImage img = render(look, QSize(60, 23)).image;
        QList<int> starts, ends;
        for (int x = 1; x < img.width(); ++x) {
            const bool ink = at(img, x, 11) == 0, before = at(img, x - 1, 11) == 0;
            if (ink && !before) starts << x;
            if (!ink && before) ends << x;
        }
        return std::pair{starts, ends};
    };
    const auto [starts, ends] = blocks();
    QCOMPARE(starts.size(), 8);
    QVERIFY(starts.first() >= 4 && ends.last() <= 56);

    // A caption that fits keeps its size.
    look.caption = QString(2, QChar(0x2588));
    const auto [start, end] = blocks();
    QCOMPARE(end.first() - start.first(), QFontMetrics(look.font).horizontalAdvance(look.caption));
}

QTEST_MAIN(TestSkinPaint)
#include "tst_skinpaint.moc"
