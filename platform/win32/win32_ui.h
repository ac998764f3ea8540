#pragma once
// The Win32 rendering of the window-system model, put together from its parts, each in a
// file of its own:
//   win32_windows.h      the model's windows as native windows, and the user's actions
//   win32_controls.h     the native control of each kind of control
//   win32_dialog_font.h  each window's dialog font (the rule: platform/model/dialog_font.h)
//   win32_key_filter.h   the edit boxes' key filter
//   win32_timers.h       the model's interval timers on SetTimer
//   win32_message_loop.h the message loop and "let pending events run"
//   win32_web_panel.h    the WebBrowser control hosted by atl.dll's AtlAxWin
// It offers the logic the event loop and the web panel, and the services that place a
// window (win32_services.h) its native window and the screen's resolution.
// Windows headers stay out of this header (handles travel as void*), because they
// define macros (MessageBox, Shell_NotifyIcon, ...) that collide with the service interfaces.
#include <string>

#include "platform/model/control.h"
#include "platform/services.h"
#include "platform/win32/win32_message_loop.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32/win32_web_panel.h"
#include "platform/win32/win32_windows.h"

namespace tolvane::win32 {

class Win32Ui : public EventLoopApi, public WebApi {
public:
    Win32Ui(WindowSystem& system, void* instance)
        : windows_(system, instance, web_), timers_(system, instance), loop_(windows_)
    {
    }

    // EventLoopApi
    void processPendingEvents() override { loop_.processPendingEvents(); }
    // WebApi
    void Navigate(WebView& view, const std::string& url) override { web_.navigate(windows_.controlHandle(view), url); }

    // Runs the message loop until WM_QUIT; returns its exit code.
    int run() { return loop_.run(); }

    void* windowHandle(const Window& window) const { return windows_.windowHandle(window); }
    // The native window of the loaded window with that design name ("Form1"), or null.
    void* windowHandleNamed(const std::string& name) const { return windows_.windowHandleNamed(name); }
    int dotsPerInch() const { return windows_.dotsPerInch(); }

private:
    Win32WebPanel web_;
    Win32Windows windows_;
    Win32Timers timers_;
    Win32MessageLoop loop_;
};

}  // namespace tolvane::win32
