#pragma once

#include <QWidget>

// The control's small about box: an always-on-top tool window with the name,
// the version and a drawn "Close" button. Any click on it hides it.
class AboutWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AboutWindow(const QString &version, QWidget *owner = nullptr);

    QString version() const { return m_version; }
    QRect closeButtonRect() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString m_version;
};
