#include "platform/qt/ui/qt_input.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

#include "platform/model/control.h"
#include "platform/model/control_order.h"
#include "platform/model/option_group.h"
#include "platform/model/window.h"
#include "platform/qt/ui/qt_windows.h"

namespace tolvane {

namespace {
// Set on a label between the second press of a double click and its release.
constexpr const char* kInDoubleClick = "tolvaneInDoubleClick";
}  // namespace

void QtInput::watch(QWidget* widget)
{
    widget->installEventFilter(this);
}

void QtInput::applyTabOrder(const Window& window)
{
    QWidget* previous = nullptr;
    for (Control* control : focusOrder(window)) {
        QWidget* w = windows_.widget(*control);
        w->setFocusPolicy(Qt::StrongFocus);
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void QtInput::focusFirst(const Window& window)
{
    for (Control* control : focusOrder(window)) {
        if (!control->visible() || !control->enabled()) continue;
        windows_.widget(*control)->setFocus(Qt::OtherFocusReason);
        return;
    }
}

bool QtInput::eventFilter(QObject* watched, QEvent* event)
{
    Control* found = windows_.controlOf(watched);
    if (!found) return false;
    Control& control = *found;
    auto* w = static_cast<QWidget*>(watched);
    if (control.kind() == ControlKind::OptionButton && event->type() == QEvent::KeyPress)
        return arrowKey(control, *static_cast<QKeyEvent*>(event));
    if (control.kind() == ControlKind::PushButton && event->type() == QEvent::KeyPress) {
        // Enter presses the button that has the focus, as Windows' dialog keys do; once for
        // one press, however long the key is held.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier)) return false;
        if (!key->isAutoRepeat()) static_cast<QPushButton*>(w)->click();
        return true;
    }
    if (control.kind() == ControlKind::Label || control.kind() == ControlKind::Image) {
        // A static control tells a click, then a double click: the second press of a
        // double click (Qt's MouseButtonDblClick) and its release are no second click.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton)
            w->setProperty(kInDoubleClick, true);
        if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            const bool second = w->property(kInDoubleClick).toBool();
            w->setProperty(kInDoubleClick, QVariant());
            if (!second && w->rect().contains(mouse->position().toPoint())) control.userClick();
        }
    }
    return false;
}

bool QtInput::arrowKey(Control& control, const QKeyEvent& key)
{
    if (key.modifiers() & ~Qt::KeypadModifier) return false;
    bool forward = true;
    switch (key.key()) {
        case Qt::Key_Down:
        case Qt::Key_Right:
            break;
        case Qt::Key_Up:
        case Qt::Key_Left:
            forward = false;
            break;
        default:
            return false;
    }
    OptionButton* next = nextInGroup(static_cast<OptionButton&>(control), forward);
    QWidget* target = next ? windows_.widget(*next) : nullptr;
    if (!target) return false;
    target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    next->userClick();
    return true;
}

}  // namespace tolvane
