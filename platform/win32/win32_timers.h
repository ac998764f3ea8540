#pragma once
// Runs the model's interval timers on SetTimer, with a message-only window of their own
// whose WM_TIMER messages come through the thread's message loop.
//
// The timers count the time the computer is awake (AwakeClock, win32_clock.h), as desktop
// timers do on the other platforms: a tick due while the computer slept comes as long after
// waking as it was due after falling asleep, whenever Windows itself delivers the WM_TIMER.
// So no schedule is carried out in the moment of waking before the program has heard of the
// wake (WM_POWERBROADCAST) and put its timers right.
//
// Each tick is due a whole interval after the previous due time, not after the previous
// WM_TIMER: every SetTimer is armed for what is left until the next due time, so the
// lateness of one tick is not added to the next and the timers do not drift. A timer
// that woke early waits for the rest; ticks missed while the thread was busy are dropped
// rather than delivered in a burst. Ticks come on the GUI thread; the model refuses a
// tick while the timer's own handler still runs (a message box or "let pending events
// run" inside it).
// Windows headers stay out of this header (handles travel as void*).
#include <cstdint>
#include <unordered_map>

#include "platform/model/observer.h"
#include "platform/win32/win32_clock.h"

namespace tolvane {
class WindowSystem;
}

namespace tolvane::win32 {

class Win32Timers : public TimerDriver {
public:
    // Runs the timers of `system` from now until destroyed.
    Win32Timers(WindowSystem& system, void* instance);
    ~Win32Timers() override;
    Win32Timers(const Win32Timers&) = delete;
    Win32Timers& operator=(const Win32Timers&) = delete;

    void start(Timer& timer) override;
    void stop(Timer& timer) override;

    // A WM_TIMER of the timers' window (public for its window procedure).
    void tick(uintptr_t id);

private:
    struct TimerState {
        Timer* timer = nullptr;
        uintptr_t id = 0;
        uint64_t due = 0;  // milliseconds on awake_
    };
    void arm(TimerState& state, uint64_t now);

    WindowSystem& system_;
    AwakeClock awake_;
    void* window_ = nullptr;
    std::unordered_map<const Timer*, TimerState> timers_;
    std::unordered_map<uintptr_t, const Timer*> timersById_;
    uintptr_t nextTimerId_ = 1;
};

}  // namespace tolvane::win32
