#pragma once
// Everything that happens to the window-system model is told to its observers: the
// scenario runner's transcript and the desktop backends both render from it.
#include <string>
#include <string_view>
#include <variant>

namespace tolvane {

class Window;
class Control;
class Timer;

using PropertyValue = std::variant<bool, int, std::string>;

// The properties whose changes the model tells. A new one is a new enumerator: every
// switch over them, the transcript's name among them, is then pointed out by -Wswitch.
enum class Property { Caption, Visible, Enabled, FontUnderline, Value, Text, Interval };

// The name a change is written under in the transcript, as the designs name it.
constexpr std::string_view propertyName(Property property)
{
    switch (property) {
        case Property::Caption:
            return "Caption";
        case Property::Visible:
            return "Visible";
        case Property::Enabled:
            return "Enabled";
        case Property::FontUnderline:
            return "FontUnderline";
        case Property::Value:
            return "Value";
        case Property::Text:
            return "Text";
        case Property::Interval:
            return "Interval";
    }
    return "";
}

class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    virtual void windowLoaded(Window&) {}
    virtual void windowUnloaded(Window&) {}
    // A property of a window (control == nullptr) or of one of its controls changed value.
    virtual void propertyChanged(Window&, Control*, Property, const PropertyValue&) {}
    virtual void listCleared(Control&) {}
    virtual void itemAdded(Control&, const std::string&) {}
    virtual void timerChanged(Timer&, Property, const PropertyValue&) {}
};

// Runs timers for the model: started means "fire every interval from now".
class TimerDriver {
public:
    virtual ~TimerDriver() = default;
    virtual void start(Timer&) = 0;
    virtual void stop(Timer&) = 0;
};

}  // namespace tolvane
