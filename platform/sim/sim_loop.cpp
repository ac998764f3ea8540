#include "platform/sim/sim_loop.h"

#include <cstdio>
#include <stdexcept>

#include "platform/model/timer.h"

namespace tolvane {

int64_t SimLoop::wallMs() const { return ((wallOffset_ + now_) % kDayMs + kDayMs) % kDayMs; }

void SimLoop::setWallClock(int64_t msOfDay) { wallOffset_ = msOfDay - now_; }

void SimLoop::start(Timer& timer)
{
    stop(timer);
    const Key key{now_ + timer.interval(), timer.order()};
    queue_.insert({key, &timer});
    due_[&timer] = key;
}

void SimLoop::stop(Timer& timer)
{
    auto it = due_.find(&timer);
    if (it == due_.end()) return;
    queue_.erase({it->second, &timer});
    due_.erase(it);
}

bool SimLoop::fireNext(int64_t until)
{
    for (auto it = queue_.begin(); it != queue_.end() && it->first.first <= until; ++it) {
        Timer* timer = it->second;
        if (timer->running()) continue;  // its message waits until the handler returns
        const Key due = it->first;
        now_ = due.first;
        // The next tick counts from when this one was due, so no drift builds up.
        queue_.erase(it);
        const Key next{due.first + timer->interval(), due.second};
        queue_.insert({next, timer});
        due_[timer] = next;
        timer->fire();
        return true;
    }
    return false;
}

void SimLoop::advance(int64_t ms)
{
    if (!canAdvance(ms)) throw std::out_of_range("simulated time past what the loop holds");
    const int64_t end = now_ + ms;
    while (fireNext(end)) {
    }
    now_ = end;
}

void SimLoop::processPendingEvents()
{
    while (fireNext(now_)) {
    }
}

std::string SimLoop::timeText()
{
    return formatWallClock(wallMs()).substr(0, 8);
}

std::string formatWallClock(int64_t msOfDay)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(msOfDay / 3600000),
                  static_cast<int>(msOfDay / 60000 % 60), static_cast<int>(msOfDay / 1000 % 60),
                  static_cast<int>(msOfDay % 1000));
    return text;
}

}  // namespace tolvane
