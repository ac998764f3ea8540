#include "platform/sim/sim_loop.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "platform/model/timer.h"

namespace tolvane {

void SimLoop::setWallClock(int64_t msOfDay)
{
    const int64_t midnight = wallOffset_ + now_ - wallMs();
    wallOffset_ = midnight + msOfDay - now_;
}

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

void SimLoop::reschedule(Timer* timer, Key from, Key to)
{
    queue_.erase({from, timer});
    queue_.insert({to, timer});
    due_[timer] = to;
}

bool SimLoop::fireNext(int64_t until)
{
    for (auto it = queue_.begin(); it != queue_.end() && it->first.first <= until; ++it) {
        Timer* timer = it->second;
        if (timer->running()) continue;  // its message waits until the handler returns
        const Key due = it->first;
        now_ = due.first;
        // The next tick counts from when this one was due, so no drift builds up.
        reschedule(timer, due, {due.first + timer->interval(), due.second});
        timer->fire();
        return true;
    }
    return false;
}

// Why passing over is the same as firing: let Q be the earliest timer, due at t0 with
// interval i, and N the earliest due time of any other timer (N >= t0, as the queue is
// in time order). Fired one by one, Q's ticks at t0, t0 + i, ... that are before N and
// not after `until` follow each other with nothing in between. Each moves Q's next due
// time to t + i and lets pending events run, which fires nothing: Q's own entry is at
// t + i > t and every other at N > t. By the quiet rule the rest of the tick does nothing
// either. So those ticks change nothing but Q's due time and the clock, and the clock is
// seen only in transcript lines, which none of them writes; the state the quiet rule
// looks at stays as it was, so the rule holds for every one of them. A tick at N itself
// is fired as usual: what is due then may run inside it.
void SimLoop::passOverQuietTicks(int64_t until)
{
    if (!skipping_ || !quiet_ || queue_.empty()) return;
    const auto first = queue_.begin();
    Timer* timer = first->second;
    const Key due = first->first;
    const int64_t interval = timer->interval();
    if (timer->running() || interval <= 0 || !quiet_(*timer)) return;
    const auto next = std::next(first);
    const int64_t others = next == queue_.end() ? std::numeric_limits<int64_t>::max() : next->first.first;
    const int64_t last = std::min(others - 1, until);  // the latest instant a passed-over tick may have
    if (due.first > last) return;
    const int64_t ticks = (last - due.first) / interval + 1;
    now_ = due.first + (ticks - 1) * interval;
    passedOver_ += static_cast<uint64_t>(ticks);
    reschedule(timer, due, {due.first + ticks * interval, due.second});
}

void SimLoop::advance(int64_t ms)
{
    if (!canAdvance(ms)) throw std::out_of_range("simulated time past what the loop holds");
    const int64_t end = now_ + ms;
    do {
        passOverQuietTicks(end);
    } while (fireNext(end));
    now_ = end;
}

void SimLoop::suspend(int64_t ms)
{
    if (!canAdvance(ms)) throw std::out_of_range("simulated time past what the loop holds");
    now_ += ms;
    std::set<std::pair<Key, Timer*>> later;
    for (auto& [key, timer] : queue_) {
        const Key moved{key.first + ms, key.second};
        later.insert({moved, timer});
        due_[timer] = moved;
    }
    queue_ = std::move(later);
    if (woke) woke();
}

void SimLoop::processPendingEvents()
{
    while (fireNext(now_)) {
    }
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
