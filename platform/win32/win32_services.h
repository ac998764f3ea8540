#pragma once
// The Windows services the program's logic calls, each as the call the Windows API
// names, with the arguments the logic passes and nothing added.
//
// Supports: the key state through GetAsyncKeyState, Shell_NotifyIconA fed with the bytes
// of the logic's 88-byte record (the tip re-encoded from the logic's Latin-1 into the
// system's ANSI code page), the tray control's own window receiving callback message 512,
// InitCommonControls, SetWindowPos for the topmost warning, MessageBoxA with MB_OK and
// no icon, CreateProcess with window style 2 for the links, and the "windir" variable.
// Texts cross the A functions in the system's ANSI code page and are UTF-8 on this side
// (win32_text.h).
// The power calls and the privilege are in win32_power.h, the clocks and waking in
// win32_clock.h. tolv-dryrun.exe logs some of these calls besides making them (dry_run.h).
#include <cstdint>
#include <string>

#include "platform/services.h"

namespace tolvane::win32 {

class Win32Ui;

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

// A message box, and for what happened while nobody may be looking (a refused action), the
// same box kept above all other windows: a program in the notification area is not in the
// foreground, and its box would otherwise open behind the window the user works in.
class Win32Dialogs : public DialogApi {
public:
    void MessageBox(const std::string& title, const std::string& text) override;
    void alert(const std::string& title, const std::string& text) override;
};

class Win32Launcher : public LauncherApi {
public:
    double Shell(const std::string& commandLine, int windowStyle) override;
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
