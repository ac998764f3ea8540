#include "platform/win32/dry_run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "power/actions.h"

namespace tolvane::win32 {

void DryRunLog::line(const std::string& text)
{
    // Opened per line: each line is on disk when the call returns, whatever follows.
    if (FILE* f = std::fopen(path_.c_str(), "ab")) {
        std::fprintf(f, "%s\r\n", text.c_str());
        std::fflush(f);
        std::fclose(f);
    }
}

bool LoggingPower::callExitWindowsEx(uint32_t flags, uint32_t reserved)
{
    log_.line(exitWindowsExText(flags, reserved));
    return true;
}

bool LoggingPower::callSetSystemPowerState(bool suspend, bool force)
{
    log_.line(setSystemPowerStateText(suspend, force));
    return true;
}

bool LoggingShell::Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record)
{
    const bool ok = shell_.Shell_NotifyIcon(message, record);
    uint32_t uid = 0;
    std::memcpy(&uid, record.data() + kNotifyIdAt, sizeof uid);
    log_.line("Shell_NotifyIcon(" + notifyMessageName(message) + ", uID " + std::to_string(uid) + ")");
    return ok;
}

uint32_t LoggingShell::createMessageWindow(MessageHandler handler)
{
    return shell_.createMessageWindow(std::move(handler));
}

void LoggingShell::destroyMessageWindow(uint32_t hWnd)
{
    shell_.destroyMessageWindow(hWnd);
}

void LoggingDialogs::write(const std::string& title, const std::string& text)
{
    std::string oneLine = text;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    log_.line("MessageBox(" + title + ", " + oneLine + ")");
}

void LoggingDialogs::MessageBox(const std::string& title, const std::string& text)
{
    write(title, text);
    dialogs_.MessageBox(title, text);
}

void LoggingDialogs::alert(const std::string& title, const std::string& text)
{
    write(title, text);
    dialogs_.alert(title, text);
}

}  // namespace tolvane::win32
