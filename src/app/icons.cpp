#include "icons.h"

#include <QPainter>
#include <QPixmap>

namespace Icons {

QString applicationId()
{
    return QStringLiteral(QUILLMOOR_APP_ID);
}

QIcon windowIcon()
{
    // Rendered from the icon theme's SVG at build time and embedded, so the
    // window needs neither an installed theme nor Qt's SVG support.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/quillmoor/appicon/%1x%1/apps/%2.png").arg(size).arg(applicationId()),
                     QSize(size, size));
    return icon;
}

QIcon statusIcon(int index)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 1: // collecting: a magnifier
        p.setPen(QPen(QColor(40, 90, 160), 2));
        p.drawEllipse(QRectF(2, 2, 8, 8));
        p.drawLine(QPointF(9, 9), QPointF(14, 14));
        break;
    case 2: // saved: a green tick
        p.setPen(QPen(QColor(30, 140, 50), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case 3: // finished: a gold star
    {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2) ? 3.0 : 7.0;
            const double a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
        }
        p.setPen(QPen(QColor(170, 120, 0), 1));
        p.setBrush(QColor(250, 200, 40));
        p.drawPolygon(star);
        break;
    }
    case 4: // failed: a red cross
        p.setPen(QPen(QColor(200, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case 5: // skipped or stopped: an amber warning sign
        p.setPen(QPen(QColor(170, 110, 0), 1));
        p.setBrush(QColor(250, 190, 50));
        p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(15, 14.5), QPointF(1, 14.5)}));
        p.setPen(QPen(QColor(60, 40, 0), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 6), QPointF(8, 10));
        p.drawPoint(QPointF(8, 12.5));
        break;
    default:
        return {};
    }
    return QIcon(pm);
}

} // namespace Icons
