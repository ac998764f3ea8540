#pragma once
// Interval timer with the classic semantics: it fires every interval counted from
// the moment it was enabled; enabling an enabled timer changes nothing; changing the
// interval of a running timer restarts its count; a handler is never re-entered.
#include <functional>
#include <string>

#include "observer.h"

namespace tolvane {

class Window;

// Whether a timer's tick can do anything while no key of interest is down (the keys the
// logic gives KeyboardApi::watch). One that cannot, the hotkey monitor, may rest meanwhile: a
// timer driver that learns of every press may let the program sleep instead of waking it for
// ticks that would do nothing. The ticks it does deliver stay on the timer's own phase.
enum class TimerRest { Never, WhileNoKeyIsDown };

class Timer {
public:
    Timer(Window& owner, std::string name, int intervalMs, bool enabled, TimerRest rest = TimerRest::Never);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    const std::string& name() const { return name_; }
    Window& window() const { return owner_; }
    bool enabled() const { return enabled_; }
    int interval() const { return interval_; }
    TimerRest rest() const { return rest_; }
    void setEnabled(bool enabled);
    void setInterval(int intervalMs);

    // Creation order across the program; ties between timers due at one instant go by it.
    unsigned long order() const { return order_; }
    bool running() const { return running_; }
    // Called by the driver when the timer is due. Does nothing while the handler runs.
    void fire();
    // Called by the owning window when it is loaded and unloaded.
    void windowLoaded();
    void windowUnloaded();

    std::function<void()> onTimer;

private:
    void notify(Property property, bool value) const;
    void notify(Property property, int value) const;
    bool active() const;
    void reschedule();

    Window& owner_;
    std::string name_;
    int interval_;
    bool enabled_;
    TimerRest rest_;
    bool running_ = false;
    unsigned long order_;
};

}  // namespace tolvane
