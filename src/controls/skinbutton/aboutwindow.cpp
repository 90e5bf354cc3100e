#include "aboutwindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

AboutWindow::AboutWindow(const QString &version, QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_version(version)
{
    setWindowTitle(QStringLiteral("About SkinButton ") + version);
    setFixedSize(sizeHint());
}

QSize AboutWindow::sizeHint() const
{
    return {220, 120};
}

QRect AboutWindow::closeButtonRect() const
{
    return {width() / 2 - 38, height() - 36, 76, 24};
}

void AboutWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));

    QFont nameFont = font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    p.setFont(nameFont);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(0, 10, width(), 30), Qt::AlignCenter, QStringLiteral("SkinButton"));
    p.setFont(font());
    p.drawText(QRect(0, 42, width(), 20), Qt::AlignCenter, QStringLiteral("Version ") + m_version);

    // Drawn, not a real button: the whole window answers the click.
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = closeButtonRect();
    option.text = QStringLiteral("Close");
    style()->drawControl(QStyle::CE_PushButton, &option, &p, this);
}

void AboutWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    hide();
}
