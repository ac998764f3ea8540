#include "platform/win32/single_instance.h"

#include <utility>

#include "platform/win32/win32_text.h"
#include "platform/win32/window_class.h"

namespace tolvane::win32 {

namespace {

constexpr const char* kClass = "TolvaneInstance";

UINT requestMessage()
{
    static const UINT message = RegisterWindowMessageA("Tolvane.ShowMainWindow");
    return message;
}

LRESULT CALLBACK instanceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != 0 && message == requestMessage()) {
        if (auto* self = ownerOf<SingleInstance>(hwnd)) self->received();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

SingleInstance::SingleInstance(const std::string& program, void* instance) : name_("Tolvane." + program)
{
    // Owned, not merely created: a mutex left by a start that ended without releasing it
    // (abandoned) is taken over, while one whose owner runs is not.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, widen("Local\\" + name_).c_str());
    mutex_ = mutex;
    const DWORD wait = mutex ? WaitForSingleObject(mutex, 0) : WAIT_FAILED;
    // Without a mutex at all the program runs rather than not at all.
    first_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED || !mutex;
    if (!first_) return;
    window_ = createMessageOnlyWindow(static_cast<HINSTANCE>(instance), {kClass, instanceProc}, name_.c_str(), this);
}

SingleInstance::~SingleInstance()
{
    if (window_) DestroyWindow(static_cast<HWND>(window_));
    if (!mutex_) return;
    if (first_) ReleaseMutex(static_cast<HANDLE>(mutex_));
    CloseHandle(static_cast<HANDLE>(mutex_));
}

void SingleInstance::received()
{
    if (request_)
        request_();
    else
        pending_ = true;
}

void SingleInstance::onRequest(std::function<void()> request)
{
    request_ = std::move(request);
    if (std::exchange(pending_, false) && request_) request_();
}

bool SingleInstance::handOver(int waitMs) const
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(waitMs);
    for (;;) {
        if (HWND first = FindWindowExA(HWND_MESSAGE, nullptr, kClass, name_.c_str())) {
            // This start is the user's, and so may hand the foreground on to the window
            // it asks for.
            DWORD process = 0;
            GetWindowThreadProcessId(first, &process);
            AllowSetForegroundWindow(process);
            return PostMessageA(first, requestMessage(), 0, 0) != FALSE;
        }
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

}  // namespace tolvane::win32
