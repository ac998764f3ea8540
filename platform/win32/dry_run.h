#pragma once
// tolv-dryrun.exe's difference from tolv.exe, and the tests' view of the program: a log of
// one flushed UTF-8 line per call, and decorators that write the calls to it. The power
// calls are only written ("ExitWindowsEx(5, 0)"): ExitWindowsEx under Wine ends every
// process of the prefix. Since nothing is performed, nothing is refused either; the
// privilege step is the real one. The tray requests and the message boxes are written as
// well as made, so that a test can time them and check them.
#include <cstdint>
#include <string>

#include "platform/services.h"
#include "platform/win32/win32_power.h"

namespace tolvane::win32 {

// Appends one line per call to a file, flushed at once, so that a test reading the file
// while the program runs sees every call as soon as it is made.
class DryRunLog {
public:
    explicit DryRunLog(std::string path) : path_(std::move(path)) {}
    void line(const std::string& text);

private:
    std::string path_;
};

// The power calls, each written as "ExitWindowsEx(5, 0)" or "SetSystemPowerState(1, 1)"
// and nothing else happens; everything around the calls is Win32Power's.
class LoggingPower : public Win32Power {
public:
    explicit LoggingPower(DryRunLog& log) : log_(log) {}

protected:
    bool callExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool callSetSystemPowerState(bool suspend, bool force) override;

private:
    DryRunLog& log_;
};

// The shell's calls, made; each tray request then written as
// "Shell_NotifyIcon(NIM_ADD, uID 46239)".
class LoggingShell : public ShellApi {
public:
    LoggingShell(ShellApi& shell, DryRunLog& log) : shell_(shell), log_(log) {}
    bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) override;
    uint32_t createMessageWindow(MessageHandler handler) override;
    void destroyMessageWindow(uint32_t hWnd) override;

private:
    ShellApi& shell_;
    DryRunLog& log_;
};

// Each message box written as "MessageBox(title, text)" (the text on one line) before it
// is shown, an alert's too.
class LoggingDialogs : public DialogApi {
public:
    LoggingDialogs(DialogApi& dialogs, DryRunLog& log) : dialogs_(dialogs), log_(log) {}
    void MessageBox(const std::string& title, const std::string& text) override;
    void alert(const std::string& title, const std::string& text) override;

private:
    void write(const std::string& title, const std::string& text);

    DialogApi& dialogs_;
    DryRunLog& log_;
};

}  // namespace tolvane::win32
