#pragma once
// The Windows services the program's logic calls, each as the call the Windows API
// names, with the arguments the logic passes and nothing added.
//
// Supports: the shutdown privilege set-up, ExitWindowsEx and SetSystemPowerState, the
// key state through GetAsyncKeyState, Shell_NotifyIconA fed with the bytes of the
// logic's 88-byte record (the tip re-encoded from the logic's Latin-1 into the system's
// ANSI code page), the tray control's own window receiving callback message 512,
// InitCommonControls, SetWindowPos for the topmost warning, MessageBoxA with MB_OK and
// no icon, CreateProcess with window style 2 for the links, the local time, and the
// "windir" variable. Texts cross the A functions in the system's ANSI code page and are
// UTF-8 on this side (win32_text.h).
// tolv-dryrun.exe logs some of these calls instead of, or besides, making them (dry_run.h).
#include <cstdint>
#include <string>

#include "platform/services.h"

namespace tolvane::win32 {

class Win32Ui;

class Win32Privilege : public PrivilegeApi {
public:
    uintptr_t GetCurrentProcess() override;
    bool OpenProcessToken(uintptr_t process, uint32_t desiredAccess, uintptr_t& token) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid) override;
    bool AdjustTokenPrivileges(uintptr_t token, bool disableAll, const TokenPrivileges<1>& newState,
                               uint32_t bufferLength, TokenPrivileges<2>& previousState,
                               uint32_t& returnLength) override;
};

class Win32Power : public PowerApi {
public:
    bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool SetSystemPowerState(bool suspend, bool force) override;
};

class Win32Keyboard : public KeyboardApi {
public:
    int16_t GetAsyncKeyState(int virtualKey) override;
};

class Win32Shell : public ShellApi {
public:
    explicit Win32Shell(void* instance) : instance_(instance) {}
    bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) override;
    uint32_t createMessageWindow(MessageHandler handler) override;
    void destroyMessageWindow(uint32_t hWnd) override;

private:
    void* instance_;
};

class Win32Display : public DisplayApi {
public:
    Win32Display(Win32Ui& ui, void* instance) : ui_(ui), instance_(instance) {}
    void InitCommonControls() override;
    bool SetWindowPos(Window& window, int insertAfter, int x, int y, int cx, int cy, uint32_t flags) override;
    int twipsPerPixelX() override;
    uint32_t pictureHandle(const std::string& name) override;

private:
    Win32Ui& ui_;
    void* instance_;
};

class Win32Dialogs : public DialogApi {
public:
    void MessageBox(const std::string& title, const std::string& text) override;
};

class Win32Launcher : public LauncherApi {
public:
    double Shell(const std::string& commandLine, int windowStyle) override;
};

// The time since boot is GetTickCount64, which counts the time the computer slept (loaded at
// run time: Windows before Vista lacks it and GetTickCount stands in); the local time is
// GetLocalTime's calendar. Waking is told by the main window's WM_POWERBROADCAST.
class Win32Clock : public ClockApi {
public:
    Win32Clock();
    int64_t sinceBoot() override;
    int64_t localTime() override;

private:
    void* tickCount64_;  // GetTickCount64, or null
    uint32_t lastTicks_ = 0;
    uint32_t wraps_ = 0;
};

class Win32Environment : public EnvironmentApi {
public:
    std::string windowsDirectory() override;
    char pathSeparator() override { return '\\'; }
};

// The record bytes as the shell reads them: the logic's record is already the
// NOTIFYICONDATAA layout of 32-bit Windows, so this is a copy into the real structure.
// `out` must hold NOTIFYICONDATAA_V1_SIZE (88) bytes.
void copyNotifyRecord(const NotifyIconRecord& record, void* out);

// The tip field of the logic's record (its text with one byte a character, Latin-1,
// then a NUL and spaces to 64 bytes, or 64 characters and no NUL) in the system's ANSI
// code page, laid out the same way; Shell_NotifyIcon hands the shell this one.
std::string systemTipField(const uint8_t* field64);

}  // namespace tolvane::win32
