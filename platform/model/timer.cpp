#include "timer.h"

#include "window.h"
#include "window_system.h"

namespace tolvane {

Timer::Timer(Window& owner, std::string name, int intervalMs, bool enabled, TimerRest rest)
    : owner_(owner),
      name_(std::move(name)),
      interval_(intervalMs),
      enabled_(enabled),
      rest_(rest),
      order_(owner.system().nextTimerOrder())
{
    owner.adopt(*this);
}

Timer::~Timer()
{
    if (TimerDriver* d = owner_.system().timerDriver()) d->stop(*this);
}

bool Timer::active() const
{
    return enabled_ && interval_ > 0 && owner_.loaded();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    notify(Property::Enabled, enabled);
    reschedule();
}

// A timer that runs counts afresh from now; one that does not is taken off the driver.
void Timer::reschedule()
{
    if (TimerDriver* d = owner_.system().timerDriver()) {
        if (active())
            d->start(*this);
        else
            d->stop(*this);
    }
}

void Timer::setInterval(int intervalMs)
{
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    notify(Property::Interval, intervalMs);
    reschedule();
}

void Timer::fire()
{
    if (!active() || running_ || !onTimer) return;
    running_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{running_};
    onTimer();
}

void Timer::windowLoaded()
{
    if (TimerDriver* d = owner_.system().timerDriver(); d && active()) d->start(*this);
}

void Timer::windowUnloaded()
{
    if (TimerDriver* d = owner_.system().timerDriver()) d->stop(*this);
}

void Timer::notify(Property property, bool value) const
{
    owner_.system().notify([&](ModelObserver& o) { o.timerChanged(const_cast<Timer&>(*this), property, value); });
}

void Timer::notify(Property property, int value) const
{
    owner_.system().notify([&](ModelObserver& o) { o.timerChanged(const_cast<Timer&>(*this), property, value); });
}

}  // namespace tolvane
