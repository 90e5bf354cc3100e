#pragma once

#include <QPushButton>

// A plain stand-in with the owner-drawn button's interface.
class PlainCommandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit PlainCommandButton(QWidget *parent = nullptr)
        : QPushButton(parent)
    {
        connect(this, &QPushButton::clicked, this, &PlainCommandButton::Click);
    }
    void setCaption(const QString &caption) { setText(caption); }
    QString Caption() const { return text(); }

signals:
    void Click();
};

// Every command button of the window is one of these.
using CommandButton = PlainCommandButton;
