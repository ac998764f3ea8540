#pragma once
// Simulated time: a virtual clock since boot, a local wall clock that can be set, and
// the timer queue. Time passes only in advance() and suspend(); at one instant, timers fire
// in the order they were created (Form1's Timer1 to Timer5, then later windows' timers).
//
// Supports: simulated time up to kMaxTime from the beginning of the run; passing over,
// in one step, the ticks of a timer that a quiet rule says do nothing (see advance()).
// Does not: run anything between timer ticks but what suspend() tells on waking; the
// simulated world has no other events.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/model/observer.h"
#include "platform/services.h"

namespace tolvane {

class SimLoop : public TimerDriver, public EventLoopApi, public ClockApi {
public:
    // The longest simulated time a run holds, from its beginning: 10^12 hours (3.6 * 10^18
    // ms, about 114 million years). It leaves room in int64_t for a timer's next due time
    // (at most INT_MAX ms later) and for the wall clock's offset, so nothing can overflow.
    static constexpr int64_t kMaxTimeHours = 1'000'000'000'000LL;
    static constexpr int64_t kMaxTime = kMaxTimeHours * 3'600'000;

    // Milliseconds since the run began, which is also the simulated computer's time since boot.
    int64_t now() const { return now_; }
    // Local wall-clock time of day in milliseconds, 0 to kDayMs - 1.
    int64_t wallMs() const { return timeOfDay(wallOffset_ + now_); }
    // Sets the time of day and keeps the day, as a user setting the clock does: 00:01 set at
    // 23:59 moves the clock back by 23 h 58 min. The time since boot does not move.
    void setWallClock(int64_t msOfDay);
    // True when advance(ms) or suspend(ms) keeps the time since the run began within kMaxTime.
    bool canAdvance(int64_t ms) const { return ms >= 0 && ms <= kMaxTime - now_; }
    // Lets `ms` pass, firing everything due up to and including the end of the span.
    // Throws std::out_of_range when canAdvance(ms) is false.
    void advance(int64_t ms);
    // The computer sleeps for `ms`: both clocks move on, nothing fires, and every timer's next
    // tick moves as far, since timers count time awake; then `woke` is told. Throws as advance().
    void suspend(int64_t ms);

    // Says whether a tick of the timer, at this moment, would do nothing at all but let
    // pending events run. advance() passes over such ticks in one step as long as nothing
    // else is due at or before them: each of them would find no pending event, so it
    // leaves no trace, and the timer's next tick stays on its own grid.
    using QuietRule = std::function<bool(const Timer&)>;
    void setQuietRule(QuietRule quiet) { quiet_ = std::move(quiet); }
    // On by default; off, every tick is fired one by one (tests compare the two runs).
    void setSkipping(bool on) { skipping_ = on; }
    // How many ticks advance() has passed over so far.
    uint64_t ticksPassedOver() const { return passedOver_; }

    void start(Timer& timer) override;
    void stop(Timer& timer) override;
    void processPendingEvents() override;
    int64_t sinceBoot() override { return now_; }
    int64_t localTime() override { return wallOffset_ + now_; }

private:
    using Key = std::pair<int64_t, unsigned long>;  // due time, creation order
    // Fires the earliest timer due at or before `until` that is not running; false if none.
    bool fireNext(int64_t until);
    // Moves the earliest timer past its quiet ticks that fall before anything else is due
    // and not after `until`.
    void passOverQuietTicks(int64_t until);
    void reschedule(Timer* timer, Key from, Key to);

    int64_t now_ = 0;
    int64_t wallOffset_ = 12LL * 60 * 60 * 1000;
    std::set<std::pair<Key, Timer*>> queue_;
    std::map<Timer*, Key> due_;
    QuietRule quiet_;
    bool skipping_ = true;
    uint64_t passedOver_ = 0;
};

// "HH:MM:SS.mmm" for a time of day in milliseconds.
std::string formatWallClock(int64_t msOfDay);

}  // namespace tolvane
