#pragma once
// The two clocks a schedule follows and the waking from sleep, on Windows; and the clock
// the interval timers count on.
//
// Supports: the time since boot from GetTickCount64, which goes on while the computer
// sleeps or hibernates and which setting the clock leaves alone (loaded at run time; where
// it is missing, GetTickCount with its wraps counted); the local wall clock from
// GetLocalTime; and waking, heard at once from the system's WM_POWERBROADCAST by a hidden
// top-level window of the clock's own (the broadcast reaches top-level windows, never
// message-only ones). Windows sends PBT_APMRESUMEAUTOMATIC on every wake, and
// PBT_APMRESUMESUSPEND after it when a person woke the computer or touches it later;
// before Vista, PBT_APMRESUMECRITICAL after a sleep the programs were not told of. One wake
// is told once: at its first resume message after the PBT_APMSUSPEND that began the sleep,
// or at a PBT_APMRESUMECRITICAL.
// Does not: listen for WM_TIMECHANGE. The program compares the two clocks at every check
// of an "at" schedule and sees there that the clock was set; an "after" delay is counted
// on the time since boot, which no setting of the clock moves.
// Windows headers stay out of this header (handles travel as void*).
#include <cstdint>

#include "platform/services.h"

namespace tolvane::win32 {

class Win32Clock : public ClockApi {
public:
    // `instance`: the program file's, for the window that hears the power broadcast.
    explicit Win32Clock(void* instance);
    ~Win32Clock() override;
    Win32Clock(const Win32Clock&) = delete;
    Win32Clock& operator=(const Win32Clock&) = delete;

    int64_t sinceBoot() override;
    int64_t localTime() override;

    // A power-management event of the broadcast (WM_POWERBROADCAST's wParam); public for
    // the window procedure.
    void powerEvent(uintptr_t event);

private:
    void* tickCount64_;  // GetTickCount64, or null
    uint32_t lastTicks_ = 0;
    uint32_t wraps_ = 0;
    void* window_ = nullptr;
    bool wakeTold_ = false;  // the wake after the last PBT_APMSUSPEND has been told
};

// The time the computer has been awake since it started, in milliseconds: what the interval
// timers count (win32_timers.h), so that, as on the other platforms, a tick that was due
// while the computer slept comes as long after waking as it was due after falling asleep,
// and never before the program has heard of the wake. QueryUnbiasedInterruptTime, loaded at
// run time (Windows 7); without it GetTickCount64, which counts the sleep too.
class AwakeClock {
public:
    AwakeClock();
    uint64_t milliseconds() const;

private:
    void* unbiased_;  // QueryUnbiasedInterruptTime, or null
};

}  // namespace tolvane::win32
