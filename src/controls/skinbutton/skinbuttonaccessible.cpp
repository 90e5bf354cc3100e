#include "skinbuttonaccessible.h"

#include "skinbutton.h"

#include <QKeySequence>

namespace {

QAccessibleInterface *skinButtonFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("SkinButton") && object && object->isWidgetType())
        return new SkinButtonAccessible(static_cast<SkinButton *>(object));
    return nullptr;
}

} // namespace

SkinButtonAccessible::SkinButtonAccessible(SkinButton *button)
    : QAccessibleWidget(button, QAccessible::Button)
{
}

void SkinButtonAccessible::installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(skinButtonFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

SkinButton *SkinButtonAccessible::button() const
{
    return static_cast<SkinButton *>(widget());
}

QString SkinButtonAccessible::text(QAccessible::Text t) const
{
    QString str;
    switch (t) {
    case QAccessible::Name:
        str = widget()->accessibleName();
        if (str.isEmpty())
            str = button()->accessibleCaption();
        break;
    case QAccessible::Description:
        str = widget()->accessibleDescription();
        if (str.isEmpty())
            str = button()->toolTipShown();
        break;
    case QAccessible::Accelerator:
        str = QKeySequence::mnemonic(button()->Caption()).toString(QKeySequence::NativeText);
        break;
    default:
        break;
    }
    return str.isEmpty() ? QAccessibleWidget::text(t) : str;
}

QAccessible::State SkinButtonAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.pressed = button()->isDrawnPressed();
    if (button()->ButtonType() == SkinButtonLook::Toggle) {
        s.checkable = true;
        s.checked = button()->Value();
    }
    return s;
}

QStringList SkinButtonAccessible::actionNames() const
{
    QStringList names;
    if (widget()->isEnabled())
        names << pressAction();
    return names + QAccessibleWidget::actionNames();
}

void SkinButtonAccessible::doAction(const QString &actionName)
{
    // Queued: an assistive tool must not wait while the command runs, and a
    // command may open a message box. Does nothing while disabled.
    if (actionName == pressAction())
        button()->animateClick();
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList SkinButtonAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(button()->Caption());
        if (!mnemonic.isEmpty())
            return {mnemonic.toString(QKeySequence::NativeText)};
        return {};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}
