#include "skintooltip.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int PlainMargin = 4;
constexpr int BalloonMargin = 8;
constexpr int BalloonRadius = 6;
constexpr int StemHeight = 12;
constexpr int StemWidth = 14;
constexpr int IconSize = 16;
constexpr int TitleGap = 6; // between the title line and the text

QFont titleFont(const QFont &base)
{
    QFont f = base;
    f.setBold(true);
    return f;
}

} // namespace

SkinToolTip::SkinToolTip(QWidget *tool, Kind kind)
    // Input passes through, as with a platform tip: a tip that pops up under
    // the pointer must not count as the pointer leaving the button.
    : QWidget(tool, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                          | Qt::WindowTransparentForInput)
    , m_tool(tool)
    , m_kind(kind)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    m_popUpTimer.setSingleShot(true);
    m_popUpTimer.setInterval(PopUpDelayMs);
    m_autoHideTimer.setSingleShot(true);
    m_autoHideTimer.setInterval(AutoHideMs);
    connect(&m_popUpTimer, &QTimer::timeout, this, [this] { popUpAt(QCursor::pos()); });
    connect(&m_autoHideTimer, &QTimer::timeout, this, &SkinToolTip::hideTip);
    if (m_tool)
        m_tool->installEventFilter(this);
}

SkinToolTip::~SkinToolTip()
{
    if (m_tool)
        m_tool->removeEventFilter(this);
}

void SkinToolTip::setText(const QString &text)
{
    m_text = text;
    update();
}

void SkinToolTip::setTitle(int icon, const QString &title)
{
    m_icon = icon;
    m_title = title;
    m_hasTitle = true;
    update();
}

QColor SkinToolTip::textColor() const
{
    return m_textColor.isValid() ? m_textColor : palette().color(QPalette::ToolTipText);
}

QColor SkinToolTip::backgroundColor() const
{
    return m_backColor.isValid() ? m_backColor : palette().color(QPalette::ToolTipBase);
}

void SkinToolTip::setTextColor(const QColor &c)
{
    m_textColor = c;
    update();
}

void SkinToolTip::setBackgroundColor(const QColor &c)
{
    m_backColor = c;
    update();
}

QIcon SkinToolTip::standardIcon() const
{
    switch (m_icon) {
    case Info: return style()->standardIcon(QStyle::SP_MessageBoxInformation);
    case Warning: return style()->standardIcon(QStyle::SP_MessageBoxWarning);
    case Error: return style()->standardIcon(QStyle::SP_MessageBoxCritical);
    default: return {};
    }
}

bool SkinToolTip::hasContent() const
{
    // Like the platform tip: an empty tool shows nothing.
    return !m_text.isEmpty() || (m_hasTitle && (!m_title.isEmpty() || m_icon != NoIcon));
}

QSize SkinToolTip::contentSize() const
{
    const QFontMetrics fm(font());
    QSize size;
    if (!m_text.isEmpty())
        size = fm.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::TextExpandTabs, m_text).size();
    if (m_hasTitle && (!m_title.isEmpty() || m_icon != NoIcon)) {
        const QFontMetrics tfm(titleFont(font()));
        int w = m_title.isEmpty() ? 0 : tfm.horizontalAdvance(m_title);
        int h = m_title.isEmpty() ? 0 : tfm.height();
        if (m_icon != NoIcon) {
            w += IconSize + (m_title.isEmpty() ? 0 : 4);
            h = qMax(h, IconSize);
        }
        size.setWidth(qMax(size.width(), w));
        size.setHeight(size.height() + h + (m_text.isEmpty() ? 0 : TitleGap));
    }
    return size;
}

QSize SkinToolTip::sizeHint() const
{
    const int margin = m_kind == Balloon ? BalloonMargin : PlainMargin;
    QSize s = contentSize() + QSize(2 * margin, 2 * margin);
    if (m_kind == Balloon)
        s.rheight() += StemHeight;
    return s;
}

QRect SkinToolTip::bodyRect() const
{
    if (m_kind != Balloon)
        return rect();
    return m_stemOnTop ? rect().adjusted(0, StemHeight, 0, 0) : rect().adjusted(0, 0, 0, -StemHeight);
}

QPainterPath SkinToolTip::outline() const
{
    QPainterPath path;
    const QRectF body = QRectF(bodyRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_kind != Balloon) {
        path.addRect(body);
        return path;
    }
    path.addRoundedRect(body, BalloonRadius, BalloonRadius);
    QPainterPath stem;
    const qreal x = m_stemX + 0.5;
    if (m_stemOnTop) {
        stem.moveTo(x, 0.5);
        stem.lineTo(x + StemWidth, body.top() + 1);
        stem.lineTo(x + 2, body.top() + 1);
    } else {
        stem.moveTo(x, height() - 0.5);
        stem.lineTo(x + StemWidth, body.bottom() - 1);
        stem.lineTo(x + 2, body.bottom() - 1);
    }
    stem.closeSubpath();
    return path.united(stem);
}

void SkinToolTip::popUpAt(const QPoint &globalPos)
{
    m_popUpTimer.stop();
    if (!hasContent() || !m_tool || !m_tool->isVisible()) {
        hide();
        return;
    }
    const QSize size = sizeHint();
    QScreen *screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = m_tool->screen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size * 4);

    QPoint topLeft;
    if (m_kind == Balloon) {
        // The stem points at the pointer; flip above it near the bottom edge.
        m_stemOnTop = globalPos.y() + size.height() <= avail.bottom();
        topLeft.setX(qBound(avail.left(), globalPos.x() - 2 * BalloonRadius, avail.right() - size.width()));
        topLeft.setY(m_stemOnTop ? globalPos.y() : globalPos.y() - size.height());
        m_stemX = qBound(BalloonRadius, globalPos.x() - topLeft.x(), size.width() - BalloonRadius - StemWidth);
    } else {
        topLeft = globalPos + QPoint(0, 20);
        if (topLeft.y() + size.height() > avail.bottom())
            topLeft.setY(globalPos.y() - size.height() - 4);
        topLeft.setX(qBound(avail.left(), topLeft.x(), avail.right() - size.width()));
    }
    setGeometry(QRect(topLeft, size));
    if (m_kind == Balloon)
        setMask(QRegion(outline().toFillPolygon().toPolygon()).united(QRegion(bodyRect().adjusted(BalloonRadius, 0, -BalloonRadius, 0))));
    else
        clearMask();
    show();
    raise();
    m_autoHideTimer.start();
    update();
}

void SkinToolTip::startHoverDelay()
{
    if (!isVisible())
        m_popUpTimer.start();
}

void SkinToolTip::hideTip()
{
    m_popUpTimer.stop();
    m_autoHideTimer.stop();
    hide();
}

bool SkinToolTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tool) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            startHoverDelay();
            break;
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Hide:
        case QEvent::KeyPress:
            hideTip();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SkinToolTip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, m_kind == Balloon);
    const QPainterPath path = outline();
    p.fillPath(path, backgroundColor());
    p.setPen(QPen(textColor(), 1));
    p.drawPath(path);
    p.setRenderHint(QPainter::Antialiasing, false);

    const int margin = m_kind == Balloon ? BalloonMargin : PlainMargin;
    QRect content = bodyRect().adjusted(margin, margin, -margin, -margin);
    if (m_hasTitle && (!m_title.isEmpty() || m_icon != NoIcon)) {
        const QFontMetrics tfm(titleFont(font()));
        const int lineHeight = qMax(m_title.isEmpty() ? 0 : tfm.height(), m_icon != NoIcon ? IconSize : 0);
        int x = content.left();
        if (m_icon != NoIcon) {
            standardIcon().paint(&p, QRect(x, content.top() + (lineHeight - IconSize) / 2, IconSize, IconSize));
            x += IconSize + 4;
        }
        if (!m_title.isEmpty()) {
            p.setFont(titleFont(font()));
            p.drawText(QRect(x, content.top(), content.right() - x + 1, lineHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, m_title);
            p.setFont(font());
        }
        content.setTop(content.top() + lineHeight + TitleGap);
    }
    if (!m_text.isEmpty())
        p.drawText(content, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, m_text);
}
