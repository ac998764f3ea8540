#include "accessibility.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "control.h"
#include "window.h"

namespace tolvane {

namespace {

// What the design says of a control (or, with no control named, of the window) beyond its
// kind and caption.
struct AccessibleDesign {
    std::string_view window;
    std::string_view control;
    std::optional<AccessibleRole> role;
    // The control whose text is the name: a label's caption, or a list's selected item
    // followed by `name`.
    std::string_view namedBy;
    // The whole name when no control gives it; what follows the text of `namedBy` otherwise.
    std::string_view name;
    std::string_view description;
    AccessibleAction action = AccessibleAction::None;
};

constexpr AccessibleDesign kDesign[] = {
    {"Form1", "Label3", AccessibleRole::StatusLine, {}, {}, "The action scheduled, and the time left"},
    {"Form1", "Option1", {}, "Combo1", {}, "Carries the action out after a delay of hours and minutes"},
    {"Form1", "Combo1", {}, {}, "Action after a delay", {}},
    {"Form1", "Combo3", {}, "Combo1", ", hours", {}},
    {"Form1", "Combo4", {}, "Combo1", ", minutes", {}},
    {"Form1", "Option2", {}, "Combo2", {}, "Carries the action out at a time of day"},
    {"Form1", "Combo2", {}, {}, "Action at a time of day", {}},
    {"Form1", "Combo6", {}, "Combo2", ", hour", {}},
    {"Form1", "Combo5", {}, "Combo2", ", minute", {}},
    {"Form1", "Label9", {}, {}, {}, "A click ticks or clears the box", AccessibleAction::Toggle},
    {"Form1", "Check6", {}, "Label9", {}, "Opens a warning window 30 seconds before the action"},
    {"Form1", "Command1", {}, {}, {}, "Arms the chosen schedule; as RESET, cancels it"},
    {"Form1", "Command2", {}, {}, {}, "Opens the hotkey window"},
    {"Form1", "Command3", {}, {}, {}, "Hides this window in the notification area"},
    {"Form1", "Command4", {}, {}, {}, "Opens the maker's home page in the browser"},
    {"Form1", "WebBrowser1", {}, {}, "Information", {}},
    {"Form1", "Label4", {}, {}, {}, "Opens the maker's page in the browser", AccessibleAction::Press},
    {"Form2", {}, AccessibleRole::Alert, {}, {}, "The scheduled action comes when the count reaches 0"},
    {"Form2", "Command1", {}, {}, {}, "Closes this notice; the action still comes"},
    {"HK", {}, AccessibleRole::Dialog, {}, {}, {}},
    {"HK", "Check1", {}, "Label4", {}, "Ctrl+Alt and the key beside carry the action out at once"},
    {"HK", "Text1", {}, "Label4", {}, "The key: a letter or a digit"},
    {"HK", "Check2", {}, "Label5", {}, "Ctrl+Alt and the key beside carry the action out at once"},
    {"HK", "Text2", {}, "Label5", {}, "The key: a letter or a digit"},
    {"HK", "Check3", {}, "Label6", {}, "Ctrl+Alt and the key beside carry the action out at once"},
    {"HK", "Text3", {}, "Label6", {}, "The key: a letter or a digit"},
    {"HK", "Check4", {}, "Label7", {}, "Ctrl+Alt and the key beside carry the action out at once"},
    {"HK", "Text4", {}, "Label7", {}, "The key: a letter or a digit"},
    {"HK", "Check5", {}, "Label8", {}, "Ctrl+Alt and the key beside carry the action out at once"},
    {"HK", "Text5", {}, "Label8", {}, "The key: a letter or a digit"},
    {"HK", "combo1", {}, "la", {}, "The hotkeys as they are stored"},
    {"HK", "Command1", {}, {}, {}, "Checks the keys and stores them"},
};

const AccessibleDesign* designOf(std::string_view window, std::string_view control)
{
    for (const AccessibleDesign& d : kDesign)
        if (d.window == window && d.control == control) return &d;
    return nullptr;
}

AccessibleRole roleOfKind(const Control& control)
{
    switch (control.kind()) {
        case ControlKind::PushButton:
            return AccessibleRole::PushButton;
        case ControlKind::Label:
            return static_cast<const Label&>(control).linkLooks ? AccessibleRole::Link : AccessibleRole::Label;
        case ControlKind::Frame:
            return AccessibleRole::Grouping;
        case ControlKind::CheckBox:
            return AccessibleRole::CheckBox;
        case ControlKind::OptionButton:
            return AccessibleRole::RadioButton;
        case ControlKind::DropDownList:
            return AccessibleRole::ComboBox;
        case ControlKind::ListBox:
            return AccessibleRole::List;
        case ControlKind::EditBox:
            return AccessibleRole::EditableText;
        case ControlKind::Image:
            return AccessibleRole::Image;
        case ControlKind::WebView:
            return AccessibleRole::Document;
    }
    return AccessibleRole::Label;
}

// The text a control shows: a list's selected item, an edit box's text, any other's caption.
std::string shownText(const Control& control)
{
    switch (control.kind()) {
        case ControlKind::DropDownList:
        case ControlKind::ListBox:
            return static_cast<const ListControl&>(control).text();
        case ControlKind::EditBox:
            return static_cast<const EditBox&>(control).text();
        case ControlKind::PushButton:
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::Image:
        case ControlKind::WebView:
            return control.caption();
    }
    return control.caption();
}

// "Shutdown After" becomes "Shutdown after": the first letter as it is, the rest small, as
// the first words of a longer name ("Shutdown after, hours").
std::string asFirstWords(std::string text)
{
    for (size_t i = 1; i < text.size(); ++i)
        text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    return text;
}

}  // namespace

Accessible accessibleOf(const Control& control)
{
    const AccessibleDesign* design = designOf(control.window().name(), control.name());
    Accessible result;
    result.role = design && design->role ? *design->role : roleOfKind(control);
    const bool captioned = control.kind() != ControlKind::DropDownList && control.kind() != ControlKind::ListBox &&
                           control.kind() != ControlKind::EditBox && control.kind() != ControlKind::WebView;
    if (captioned) result.name = control.caption();
    if (control.kind() == ControlKind::Label && control.onClick) result.action = AccessibleAction::Press;
    if (!design) return result;
    result.description = design->description;
    if (design->action != AccessibleAction::None) result.action = design->action;
    const Control* namer =
        design->namedBy.empty() ? nullptr : control.window().findControl(std::string(design->namedBy));
    if (!namer) {
        if (!design->name.empty()) result.name = design->name;
        return result;
    }
    const std::string text = shownText(*namer);
    if (design->name.empty()) {
        result.name = text;
    } else {
        // Before the list has a selection its row has no words yet: the rest stands alone.
        result.name = text.empty() ? std::string(design->name.substr(design->name.find_first_not_of(", ")))
                                   : asFirstWords(text) + std::string(design->name);
    }
    return result;
}

Accessible accessibleOf(const Window& window)
{
    const AccessibleDesign* design = designOf(window.name(), {});
    Accessible result;
    result.role = design && design->role ? *design->role : AccessibleRole::Frame;
    result.name = window.caption();
    if (design) result.description = design->description;
    return result;
}

}  // namespace tolvane
