#pragma once
// The controls of the window-system model. Each carries the properties it was
// designed with (twips geometry, caption, tab place, items, value, maximum length)
// and tells the window system about every change of value.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "observer.h"
#include "text_encoding.h"

namespace tolvane {

class Window;

enum class ControlKind {
    PushButton,
    Label,
    Frame,
    CheckBox,
    OptionButton,
    DropDownList,
    ListBox,
    EditBox,
    Image,
    WebView,
};

struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Design-time description of a control; what a form's constructor passes.
struct ControlDesign {
    std::string name;
    Twips geometry;
    int tabIndex = -1;  // -1: no place in the tab order
    std::string caption;
    class Control* container = nullptr;  // null: the window's client area
};

class Control {
public:
    Control(Window& owner, ControlKind kind, ControlDesign design);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    Window& window() const { return owner_; }
    Control* container() const { return container_; }
    const Twips& geometry() const { return geometry_; }
    int tabIndex() const { return tabIndex_; }
    // Frames and labels have a place in the tab order but never take the focus.
    bool takesFocus() const;

    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // The user's left click on the control (the backend or the scenario runner calls it).
    void userClick();
    std::function<void()> onClick;

protected:
    // Hook for the control's own reaction to a click, before the program's handler.
    virtual void clicked() {}
    void notify(Property property, PropertyValue value);

private:
    Window& owner_;
    ControlKind kind_;
    std::string name_;
    Twips geometry_;
    int tabIndex_;
    Control* container_;
    std::string caption_;
    bool visible_ = true;
    bool enabled_ = true;
};

class PushButton : public Control {
public:
    PushButton(Window& w, ControlDesign s) : Control(w, ControlKind::PushButton, std::move(s)) {}
};

class Label : public Control {
public:
    Label(Window& w, ControlDesign s) : Control(w, ControlKind::Label, std::move(s)) {}
    bool fontUnderline() const { return underline_; }
    void setFontUnderline(bool underline);
    // Design-time looks of a link label: blue text, a pointing-hand cursor.
    bool linkLooks = false;

private:
    bool underline_ = false;
};

class Frame : public Control {
public:
    Frame(Window& w, ControlDesign s) : Control(w, ControlKind::Frame, std::move(s)) {}
};

class Image : public Control {
public:
    Image(Window& w, ControlDesign s, std::string picture)
        : Control(w, ControlKind::Image, std::move(s)), picture_(std::move(picture))
    {
    }
    const std::string& picture() const { return picture_; }

private:
    std::string picture_;
};

class WebView : public Control {
public:
    WebView(Window& w, ControlDesign s) : Control(w, ControlKind::WebView, std::move(s)) {}
};

class CheckBox : public Control {
public:
    CheckBox(Window& w, ControlDesign s) : Control(w, ControlKind::CheckBox, std::move(s)) {}
    int value() const { return value_; }
    void setValue(int value);

protected:
    void clicked() override { setValue(value_ == 0 ? 1 : 0); }

private:
    int value_ = 0;
};

// Option buttons with the same container form one group: selecting one clears the rest.
class OptionButton : public Control {
public:
    OptionButton(Window& w, ControlDesign s, bool selected);
    bool value() const { return value_; }
    void setValue(bool value);

protected:
    void clicked() override { setValue(true); }

private:
    bool value_;
};

// Shared by the drop-down list and the list box: a list of texts and one selected item.
class ListControl : public Control {
public:
    ListControl(Window& w, ControlKind kind, ControlDesign s, std::vector<std::string> items);
    const std::vector<std::string>& items() const { return items_; }
    int listIndex() const { return index_; }
    // The selected item's own text, or "" while nothing is selected.
    std::string text() const;
    void clear();
    void addItem(std::string item);
    // The user picks the item whose text is exactly this; false when there is none.
    bool userSelect(const std::string& item);
    void userSelectIndex(int index);

protected:
    void selectIndex(int index);

private:
    std::vector<std::string> items_;
    int index_ = -1;
};

// A list the user can only pick from. Assigning a text selects the first item equal to
// it without regard to letter case; a text that matches no item is refused.
class DropDownList : public ListControl {
public:
    DropDownList(Window& w, ControlDesign s, std::vector<std::string> items)
        : ListControl(w, ControlKind::DropDownList, std::move(s), std::move(items))
    {
    }
    bool setText(const std::string& text);
};

class ListBox : public ListControl {
public:
    ListBox(Window& w, ControlDesign s) : ListControl(w, ControlKind::ListBox, std::move(s), {}) {}
};

// Single-line edit box. Typed characters pass the window's key handler first (it may
// change or discard them); the maximum length refuses characters past it.
class EditBox : public Control {
public:
    EditBox(Window& w, ControlDesign s, int maxLength)
        : Control(w, ControlKind::EditBox, std::move(s)), maxLength_(maxLength)
    {
    }
    const std::string& text() const { return text_; }
    void setText(std::string text);
    int maxLength() const { return maxLength_; }
    // One typed character code, caret at the end and nothing selected.
    void userType(int code);
    // The whole text replaced as a paste does it: no key handling, the limit still applies.
    void userPaste(const std::string& text);
    // Returns the code to enter; 0 discards the key.
    std::function<int(int)> onKeyPress;

private:
    std::string text_;
    int maxLength_;
};

}  // namespace tolvane
