#pragma once
// What the user does with the keyboard and the mouse that the widgets do not turn into the
// model's events themselves, and the tab order:
// - Enter presses the push button that has the focus, as Windows' dialog keys do; once for
//   one press, however long the key is held.
// - The arrow keys move among the option buttons of a group and choose, on the model's rule
//   (platform/model/option_group.h).
// - A label or a picture tells a click, then a double click, as a static control does: the
//   second press of a double click and its release are no second click.
// - Tab walks the controls that take the focus in the window's tab order, and the first of
//   them that can take it has the focus when the window first shows
//   (platform/model/control_order.h).
// Clicks on buttons, check boxes and option buttons and a list's choice come by the widgets'
// own signals (qt_controls.cpp); typing comes by the edit box's own key handling (qt_edit_box.h).
#include <QObject>

class QEvent;
class QKeyEvent;
class QWidget;

namespace tolvane {

class Control;
class QtWindows;
class Window;

class QtInput : public QObject {
public:
    // windows: where the widgets' controls and the controls' widgets are looked up.
    explicit QtInput(const QtWindows& windows) : windows_(windows) {}

    // Hears the keys or the clicks of the widget of a push button, an option button, a label
    // or a picture.
    void watch(QWidget* widget);
    // The loaded window's focus chain, in its tab order.
    void applyTabOrder(const Window& window);
    // The focus to the first control in the tab order that can take it.
    void focusFirst(const Window& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Moves among the option buttons of a group with the arrow keys; true when it did.
    bool arrowKey(Control& control, const QKeyEvent& key);

    const QtWindows& windows_;
};

}  // namespace tolvane
