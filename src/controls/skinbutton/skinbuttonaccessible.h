#pragma once

#include <QAccessibleWidget>

class SkinButton;

// How assistive technology sees a SkinButton: a push button named by its
// caption, described by its tooltip, with a press action that clicks it
// from the event loop.
// Modelled on Qt's own accessible button.
class SkinButtonAccessible : public QAccessibleWidget
{
public:
    explicit SkinButtonAccessible(SkinButton *button);

    // Registers the interface with Qt once; every SkinButton calls it.
    static void installFactory();

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    SkinButton *button() const;
};
