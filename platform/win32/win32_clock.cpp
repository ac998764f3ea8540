#include "platform/win32/win32_clock.h"

#include "platform/win32/window_class.h"

namespace tolvane::win32 {

namespace {

constexpr const char* kWakeClass = "TolvaneWake";

LRESULT CALLBACK wakeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_POWERBROADCAST) {
        // The system waits for every window's answer before it goes on: answered first, and
        // the program then catches up with the clocks at its own pace.
        ReplyMessage(TRUE);
        if (auto* clock = ownerOf<Win32Clock>(hwnd)) clock->powerEvent(wParam);
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void* kernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

}  // namespace

Win32Clock::Win32Clock(void* instance) : tickCount64_(kernelFunction("GetTickCount64"))
{
    HINSTANCE inst = static_cast<HINSTANCE>(instance);
    registerWindowClass(inst, {kWakeClass, wakeProc});
    HWND hwnd =
        CreateWindowExA(WS_EX_TOOLWINDOW, kWakeClass, "Tolvane", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst, nullptr);
    if (hwnd) setOwner(hwnd, this);
    window_ = hwnd;
}

Win32Clock::~Win32Clock()
{
    if (!window_) return;
    HWND hwnd = static_cast<HWND>(window_);
    setOwner(hwnd, nullptr);
    DestroyWindow(hwnd);
}

void Win32Clock::powerEvent(uintptr_t event)
{
    switch (event) {
        case PBT_APMSUSPEND:
            wakeTold_ = false;
            return;
        case PBT_APMRESUMEAUTOMATIC:
        case PBT_APMRESUMESUSPEND:
            if (wakeTold_) return;  // the second message of a wake already told
            break;
        case PBT_APMRESUMECRITICAL:  // the sleep came without PBT_APMSUSPEND: a wake of its own
            break;
        default:
            return;
    }
    wakeTold_ = true;
    if (woke) woke();
}

int64_t Win32Clock::sinceBoot()
{
    using TickCount64 = ULONGLONG(WINAPI*)();
    if (tickCount64_) return static_cast<int64_t>(reinterpret_cast<TickCount64>(tickCount64_)());
    // GetTickCount counts sleep too but wraps after 49.7 days. A reading below the last one
    // has wrapped, so the wraps are counted here.
    const DWORD ticks = GetTickCount();
    if (ticks < lastTicks_) ++wraps_;
    lastTicks_ = ticks;
    return (int64_t{wraps_} << 32) + ticks;
}

int64_t Win32Clock::localTime()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file{};
    SystemTimeToFileTime(&now, &file);  // the local calendar read as if it were UTC
    ULARGE_INTEGER value{};
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    constexpr ULONGLONG kFrom1601To1970 = 116444736000000000ULL;  // in 100 ns
    return static_cast<int64_t>((value.QuadPart - kFrom1601To1970) / 10000);
}

AwakeClock::AwakeClock() : unbiased_(kernelFunction("QueryUnbiasedInterruptTime")) {}

uint64_t AwakeClock::milliseconds() const
{
    using Unbiased = BOOL(WINAPI*)(PULONGLONG);
    ULONGLONG time = 0;
    if (unbiased_ && reinterpret_cast<Unbiased>(unbiased_)(&time)) return time / 10000;  // from 100 ns
    return GetTickCount64();
}

}  // namespace tolvane::win32
