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

class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    virtual void windowLoaded(Window&) {}
    virtual void windowUnloaded(Window&) {}
    // A property of a window (control == nullptr) or of one of its controls changed value.
    virtual void propertyChanged(Window&, Control*, std::string_view, const PropertyValue&) {}
    virtual void listCleared(Control&) {}
    virtual void itemAdded(Control&, const std::string&) {}
    virtual void timerChanged(Timer&, std::string_view, const PropertyValue&) {}
};

// Runs timers for the model: started means "fire every interval from now".
class TimerDriver {
public:
    virtual ~TimerDriver() = default;
    virtual void start(Timer&) = 0;
    virtual void stop(Timer&) = 0;
};

}  // namespace tolvane
