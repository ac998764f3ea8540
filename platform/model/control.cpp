#include "control.h"

#include <algorithm>
#include <cctype>

#include "window.h"
#include "window_system.h"

namespace tolvane {

Control::Control(Window& owner, ControlKind kind, ControlDesign design)
    : owner_(owner),
      kind_(kind),
      name_(std::move(design.name)),
      geometry_(design.geometry),
      tabIndex_(design.tabIndex),
      container_(design.container),
      caption_(std::move(design.caption))
{
    owner.adopt(*this);
}

bool Control::takesFocus() const
{
    switch (kind_) {
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::Image:
            return false;
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::DropDownList:
        case ControlKind::ListBox:
        case ControlKind::EditBox:
        case ControlKind::WebView:
            return tabIndex_ >= 0;
    }
    return false;
}

void Control::notify(Property property, PropertyValue value)
{
    owner_.system().notify([&](ModelObserver& o) { o.propertyChanged(owner_, this, property, value); });
}

void Control::setCaption(std::string caption)
{
    if (caption == caption_) return;
    caption_ = std::move(caption);
    notify(Property::Caption, caption_);
}

void Control::setVisible(bool visible)
{
    if (visible == visible_) return;
    visible_ = visible;
    notify(Property::Visible, visible);
}

void Control::setEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    notify(Property::Enabled, enabled);
}

void Control::userClick()
{
    clicked();
    if (onClick) onClick();
}

void Label::setFontUnderline(bool underline)
{
    if (underline == underline_) return;
    underline_ = underline;
    notify(Property::FontUnderline, underline);
}

void CheckBox::setValue(int value)
{
    if (value == value_) return;
    value_ = value;
    notify(Property::Value, value);
}

OptionButton::OptionButton(Window& w, ControlDesign s, bool selected)
    : Control(w, ControlKind::OptionButton, std::move(s)), value_(selected)
{
}

void OptionButton::setValue(bool value)
{
    if (value == value_) return;
    value_ = value;
    notify(Property::Value, value);
    if (!value) return;
    for (Control* c : window().controls()) {
        if (c != this && c->kind() == ControlKind::OptionButton && c->container() == container())
            static_cast<OptionButton*>(c)->setValue(false);
    }
}

ListControl::ListControl(Window& w, ControlKind kind, ControlDesign s, std::vector<std::string> items)
    : Control(w, kind, std::move(s)), items_(std::move(items))
{
}

std::string ListControl::text() const
{
    return index_ >= 0 ? items_[static_cast<size_t>(index_)] : std::string();
}

void ListControl::selectIndex(int index)
{
    if (index == index_) return;
    index_ = index;
    notify(Property::Text, text());
}

void ListControl::clear()
{
    items_.clear();
    index_ = -1;
    window().system().notify([&](ModelObserver& o) { o.listCleared(*this); });
}

void ListControl::addItem(std::string item)
{
    items_.push_back(std::move(item));
    window().system().notify([&](ModelObserver& o) { o.itemAdded(*this, items_.back()); });
}

bool ListControl::userSelect(const std::string& item)
{
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return false;
    selectIndex(static_cast<int>(it - items_.begin()));
    return true;
}

void ListControl::userSelectIndex(int index)
{
    if (index >= 0 && index < static_cast<int>(items_.size())) selectIndex(index);
}

static bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool DropDownList::setText(const std::string& text)
{
    const auto& list = items();
    for (size_t i = 0; i < list.size(); ++i) {
        if (equalsIgnoringCase(list[i], text)) {
            selectIndex(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void EditBox::setText(std::string text)
{
    if (text == text_) return;
    text_ = std::move(text);
    notify(Property::Text, text_);
}

void EditBox::userType(int code)
{
    if (onKeyPress) code = onKeyPress(code);
    if (code == 0) return;
    if (code == 8) {
        // Backspace removes the last character: its continuation bytes and its lead byte.
        size_t end = text_.size();
        while (end > 0 && continuesCharacter(text_[end - 1])) --end;
        if (end > 0) --end;
        if (!text_.empty()) setText(text_.substr(0, end));
        return;
    }
    if (code < 32) return;  // other control characters enter nothing in a single-line box
    if (maxLength_ > 0 && characterCount(text_) >= static_cast<size_t>(maxLength_)) return;
    setText(text_ + utf8(code));
}

void EditBox::userPaste(const std::string& text)
{
    std::string limited;
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool starts = !continuesCharacter(text[i]);
        if (starts && maxLength_ > 0 && count++ == static_cast<size_t>(maxLength_)) break;
        limited += text[i];
    }
    setText(std::move(limited));
}

}  // namespace tolvane
