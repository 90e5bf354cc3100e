// Renders every button style in every state into one labelled PNG so the
// looks can be compared side by side:
//   skinbutton-gallery OUT.png [ZOOM [FIRST-STYLE LAST-STYLE]]
// ZOOM enlarges the sheet pixel for pixel to inspect single pixels.
#include "skinbuttonlook.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTextStream>

#include <algorithm>

using namespace SkinButtonLook;

namespace {

constexpr int ButtonWidth = 96, ButtonHeight = 28;
constexpr int CellWidth = 112, CellHeight = 36;
constexpr int LabelWidth = 230, HeaderHeight = 24;

const char *const StyleNames[] = {"0 Standard", "1 Soft", "2 Flat", "3 Etched", "4 Tinted",
                                  "5 Gradient", "6 Themed", "7 GradientHighlight",
                                  "8 Chamfered", "9 ChamferedBands", "10 Capsule"};
const char *const StateNames[] = {"Normal", "Hot", "Pressed", "Disabled"};

QIcon sampleIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(40, 140, 60));
    p.setPen(QColor(20, 80, 30));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(QColor(250, 220, 80));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(5, 5, 6, 6));
    return QIcon(pixmap);
}

} // namespace

// One button of the sheet: the style in the state, with the system's or
// custom colours, with or without focus.
static Look galleryLook(int style, VisualState state, bool custom, bool focus, const QIcon &icon)
{
    Look look;
    look.style = style;
    look.nonThemeStyle = Standard;
    look.state = state;
    look.enabled = look.state != Disabled;
    look.hasFocus = focus;
    look.showFocus = true;
    look.useCustomColors = custom;
    look.backColor = OleColor::fromRgb(196, 216, 240);
    look.highlightColor = OleColor::fromRgb(255, 170, 70);
    look.fontColor = OleColor::fromRgb(20, 40, 120);
    look.fontHighlightColor = OleColor::fromRgb(140, 30, 0);
    look.caption = QStringLiteral("&Download");
    look.textFormat = textFormatFor(Center, look.textFormat);
    look.icon = icon;
    look.iconAlign = Left;
    look.font = QApplication::font();
    return look;
}

// The labels, and a heading naming each state's column.
static void drawHeader(QPainter &sheetPainter)
{
    QFont labelFont = QApplication::font();
    labelFont.setPointSize(8);
    sheetPainter.setFont(labelFont);
    sheetPainter.setPen(Qt::black);
    for (int s = 0; s < 4; ++s)
        sheetPainter.drawText(QRect(LabelWidth + s * CellWidth, 0, CellWidth, HeaderHeight),
                              Qt::AlignCenter, StateNames[s]);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: skinbutton-gallery OUT.png [ZOOM [FIRST-STYLE LAST-STYLE]]\n";
        return 2;
    }
    const int zoom = argc > 2 ? std::clamp(QByteArray(argv[2]).toInt(), 1, 16) : 1;
    const int firstStyle = argc > 4 ? std::clamp(QByteArray(argv[3]).toInt(), 0, int(Capsule)) : 0;
    const int lastStyle = argc > 4 ? std::clamp(QByteArray(argv[4]).toInt(), firstStyle, int(Capsule)) : int(Capsule);

    const SystemColors system = SystemColors::fromPalette(QApplication::palette());
    const QIcon icon = sampleIcon();
    const int variants = 4; // system / custom colours, each without and with focus
    const int rows = (lastStyle - firstStyle + 1) * variants;
    QImage sheet(LabelWidth + 4 * CellWidth, HeaderHeight + rows * CellHeight, QImage::Format_RGB32);
    sheet.fill(QColor(255, 255, 255));

    QPainter sheetPainter(&sheet);
    drawHeader(sheetPainter);

    for (int style = firstStyle; style <= lastStyle; ++style) {
        for (int variant = 0; variant < variants; ++variant) {
            const bool custom = variant >= 2;
            const bool focus = variant % 2 == 1;
            const int row = (style - firstStyle) * variants + variant;
            const int top = HeaderHeight + row * CellHeight;
            // Alternate row shading makes the regions' cut corners visible.
            sheetPainter.fillRect(QRect(0, top, sheet.width(), CellHeight),
                                  (style % 2) ? QColor(236, 240, 246) : QColor(255, 255, 255));
            sheetPainter.drawText(QRect(6, top, LabelWidth - 6, CellHeight), Qt::AlignVCenter,
                                  QStringLiteral("%1%2%3").arg(QLatin1String(StyleNames[style]),
                                                               custom ? QStringLiteral(", custom") : QString(),
                                                               focus ? QStringLiteral(", focus") : QString()));
            for (int s = 0; s < 4; ++s) {
                const Look look = galleryLook(style, VisualState(s + 1), custom, focus, icon);
                const QPoint origin(LabelWidth + s * CellWidth + (CellWidth - ButtonWidth) / 2,
                                    top + (CellHeight - ButtonHeight) / 2);
                sheetPainter.save();
                sheetPainter.translate(origin);
                const PaintOutcome outcome = paint(sheetPainter, QSize(ButtonWidth, ButtonHeight), look,
                                                   system, ThemeContext{});
                sheetPainter.restore();
                if (!outcome.ok)
                    QTextStream(stderr) << "paint failed: style " << style << " state " << s + 1 << "\n";
            }
        }
    }
    sheetPainter.end();
    if (zoom > 1)
        sheet = sheet.scaled(sheet.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        QTextStream(stderr) << "cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
