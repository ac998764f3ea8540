#pragma once
// The web panel: the system's WebBrowser control ("Shell.Explorer.2") hosted by atl.dll's
// AtlAxWin window class, which hosts any ActiveX control by its ProgID. atl.dll is part of
// every Windows since 2000 (and of Wine), so the WebBrowser needs no code of our own;
// atl.dll's two functions are looked up at run time, once, when the first panel is made.
// Not supported: a system without a WebBrowser control (Wine without Gecko), where the
// panel stays an empty frame in its place; the program only navigates it once and never
// reads it back.
// Windows headers stay out of this header (handles travel as void*).
#include <memory>
#include <string>

namespace tolvane::win32 {

class Win32WebPanel {
public:
    Win32WebPanel();
    ~Win32WebPanel();
    Win32WebPanel(const Win32WebPanel&) = delete;
    Win32WebPanel& operator=(const Win32WebPanel&) = delete;

    // The window class and the text of a panel's window that hosts the WebBrowser, or
    // false when this system cannot host it.
    bool host(const char*& windowClass, const char*& text);
    // Opens `url` in the panel whose window is `panel`; nothing happens to an empty frame.
    void navigate(void* panel, const std::string& url) const;

private:
    struct AtlCalls;
    std::unique_ptr<AtlCalls> atl_;
};

}  // namespace tolvane::win32
