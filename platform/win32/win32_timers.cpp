#include "platform/win32/win32_timers.h"

#include <algorithm>

#include "platform/model/timer.h"
#include "platform/model/window_system.h"
#include "platform/win32/window_class.h"

namespace tolvane::win32 {

namespace {

LRESULT CALLBACK timerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        if (auto* timers = ownerOf<Win32Timers>(hwnd)) {
            timers->tick(wParam);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND hwndOf(void* handle)
{
    return static_cast<HWND>(handle);
}

}  // namespace

Win32Timers::Win32Timers(WindowSystem& system, void* instance) : system_(system)
{
    window_ = createMessageOnlyWindow(static_cast<HINSTANCE>(instance), {"TolvaneTimers", timerProc}, "", this);
    system_.setTimerDriver(this);
}

Win32Timers::~Win32Timers()
{
    system_.setTimerDriver(nullptr);
    for (auto& [timer, state] : timers_) KillTimer(hwndOf(window_), state.id);
    DestroyWindow(hwndOf(window_));
}

void Win32Timers::arm(TimerState& state, uint64_t now)
{
    const uint64_t wait = state.due > now ? state.due - now : 0;
    SetTimer(hwndOf(window_), state.id, static_cast<UINT>(std::max<uint64_t>(wait, USER_TIMER_MINIMUM)), nullptr);
}

void Win32Timers::start(Timer& timer)
{
    TimerState& state = timers_[&timer];
    if (state.id == 0) {
        state.timer = &timer;
        state.id = nextTimerId_++;
        timersById_[state.id] = &timer;
    }
    const uint64_t now = awake_.milliseconds();
    state.due = now + static_cast<uint64_t>(std::max(timer.interval(), 1));
    arm(state, now);
}

void Win32Timers::stop(Timer& timer)
{
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    KillTimer(hwndOf(window_), it->second.id);
    timersById_.erase(it->second.id);
    timers_.erase(it);
}

void Win32Timers::tick(uintptr_t id)
{
    auto byId = timersById_.find(id);
    if (byId == timersById_.end()) {
        KillTimer(hwndOf(window_), id);
        return;
    }
    TimerState& state = timers_[byId->second];
    const uint64_t now = awake_.milliseconds();
    if (now < state.due) {  // woken early: wait for the rest
        arm(state, now);
        return;
    }
    const uint64_t interval = static_cast<uint64_t>(std::max(state.timer->interval(), 1));
    state.due += interval;
    if (state.due <= now) state.due += ((now - state.due) / interval + 1) * interval;
    arm(state, now);
    Timer* timer = state.timer;
    timer->fire();  // may stop, restart or destroy the timer: nothing of `state` is used after
}

}  // namespace tolvane::win32
