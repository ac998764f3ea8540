#pragma once
// What a screen reader is told of each window and control: its role, its name, a description
// where one helps, the action a reader may carry out on a label, and which texts are
// announced when they change. Both desktop backends ask here and only translate the answers
// into their platform's terms (AT-SPI through Qt, MSAA on Windows), so that a blind user
// hears the same program on both.
//
// A control's name comes from what the design puts beside it: the caption of its label
// (Check6 is named by Label9, each hotkey row's box and key by the row's caption), or, for
// the lists and option buttons of the main window, which have no label, the action list of
// their row, whose item says what the row does ("Shutdown After"; the hour list beside it is
// "Shutdown after, hours"). What names what is written once, in the table of accessibility.cpp.
#include <string>

namespace tolvane {

class Control;
class Window;

enum class AccessibleRole {
    Frame,   // a main window
    Dialog,  // a window opened from another
    Alert,   // a notice that comes by itself
    PushButton,
    CheckBox,
    RadioButton,
    ComboBox,
    List,
    EditableText,
    Label,
    StatusLine,  // a label whose every change is announced
    Link,
    Grouping,
    Document,
    Image,
};

// What a reader may do with a label, as a click on it does it.
enum class AccessibleAction { None, Press, Toggle };

struct Accessible {
    AccessibleRole role = AccessibleRole::Label;
    std::string name;
    std::string description;
    AccessibleAction action = AccessibleAction::None;
};

Accessible accessibleOf(const Control& control);
// A window's name is its title.
Accessible accessibleOf(const Window& window);

// Whether a change of the text a reader reads as this role's content (a status line's
// caption, an alert's title) is announced as it happens, wherever the focus is.
constexpr bool announced(AccessibleRole role)
{
    return role == AccessibleRole::StatusLine || role == AccessibleRole::Alert;
}

}  // namespace tolvane
