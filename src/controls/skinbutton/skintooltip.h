#pragma once

#include <QColor>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPainterPath;

// The button's own tooltip: a small frameless top-level window, rectangular
// or balloon-shaped, with an optional title and icon. Like a platform tooltip
// it watches its tool widget itself and pops up after the pointer rests there.
class SkinToolTip : public QWidget
{
    Q_OBJECT

public:
    enum Kind { Plain = 0, Balloon = 1 };
    enum TipIcon { NoIcon = 0, Info = 1, Warning = 2, Error = 3 };

    // The tooltip is a child of `tool` in the object tree, so it goes with it.
    SkinToolTip(QWidget *tool, Kind kind);
    ~SkinToolTip() override;

    Kind kind() const { return m_kind; }
    QWidget *tool() const { return m_tool; }

    QString text() const { return m_text; }
    void setText(const QString &text);

    // An icon without a title still shows the icon line.
    QString title() const { return m_title; }
    int titleIcon() const { return m_icon; }
    bool hasTitleLine() const { return m_hasTitle; }
    void setTitle(int icon, const QString &title);

    // Invalid colours mean the palette's tooltip colours.
    QColor textColor() const;
    QColor backgroundColor() const;
    bool hasCustomTextColor() const { return m_textColor.isValid(); }
    bool hasCustomBackgroundColor() const { return m_backColor.isValid(); }
    void setTextColor(const QColor &c);
    void setBackgroundColor(const QColor &c);

    // Starts the pop-up delay as if the pointer had just come to rest on the
    // tool; used when the tooltip is built while the pointer is already inside.
    void startHoverDelay();
    void hideTip();
    // Pops the tip up now with its pointer at `globalPos`.
    void popUpAt(const QPoint &globalPos);

    static constexpr int PopUpDelayMs = 500;
    static constexpr int AutoHideMs = 10000;

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect bodyRect() const;
    QPainterPath outline() const;
    QIcon standardIcon() const;
    QSize contentSize() const;
    bool hasContent() const;

    QPointer<QWidget> m_tool;
    Kind m_kind;
    QString m_text;
    QString m_title;
    int m_icon = NoIcon;
    bool m_hasTitle = false;
    QColor m_textColor;
    QColor m_backColor;
    QTimer m_popUpTimer;
    QTimer m_autoHideTimer;
    bool m_stemOnTop = true;
    int m_stemX = 0;
};
