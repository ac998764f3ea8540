#include "platform/win32/win32_power.h"

#include <cstring>

#include "power/actions.h"
#include "power/power_action.h"
#include "platform/win32/win32_text.h"

namespace tolvane::win32 {

std::string systemMessage(uint32_t error)
{
    wchar_t* buffer = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    const std::string number = "(error " + std::to_string(error) + ")";
    return text.empty() ? number : narrow(text) + " " + number;
}

bool Win32Power::callExitWindowsEx(uint32_t flags, uint32_t reserved)
{
    return ::ExitWindowsEx(flags, reserved) != FALSE;
}

bool Win32Power::callSetSystemPowerState(bool suspend, bool force)
{
    return ::SetSystemPowerState(suspend ? TRUE : FALSE, force ? TRUE : FALSE) != FALSE;
}

bool Win32Power::ExitWindowsEx(uint32_t flags, uint32_t reserved)
{
    return told(callExitWindowsEx(flags, reserved), actionNumber(decodeExitWindowsEx(flags).action));
}

bool Win32Power::SetSystemPowerState(bool suspend, bool force)
{
    return told(callSetSystemPowerState(suspend, force),
                actionNumber(decodeSetSystemPowerState(suspend, force).action));
}

bool Win32Power::told(bool ok, int16_t action)
{
    if (ok) return true;
    const DWORD error = GetLastError();  // before anything else can change it
    std::string reason = systemMessage(error);
    if (action != actionCode(PowerAction::LogOff) && !privilegeFailure_.empty())
        reason += " The shutdown privilege could not be enabled when the program started: " + privilegeFailure_;
    if (refused) refused(action, reason);
    return false;
}

void Win32Power::notePrivilegeStep(bool failed, const char* step)
{
    const DWORD error = GetLastError();
    if (failed && privilegeFailure_.empty()) privilegeFailure_ = std::string(step) + ": " + systemMessage(error);
    SetLastError(error);  // as the caller would find it after the call itself
}

uintptr_t Win32Power::GetCurrentProcess()
{
    return reinterpret_cast<uintptr_t>(::GetCurrentProcess());
}

bool Win32Power::OpenProcessToken(uintptr_t process, uint32_t desiredAccess, uintptr_t& token)
{
    HANDLE handle = nullptr;
    const BOOL ok = ::OpenProcessToken(reinterpret_cast<HANDLE>(process), desiredAccess, &handle);
    token = reinterpret_cast<uintptr_t>(handle);
    notePrivilegeStep(ok == FALSE, "OpenProcessToken");
    return ok != FALSE;
}

bool Win32Power::LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid)
{
    LUID value{};
    const BOOL ok = ::LookupPrivilegeValueA(systemName, name, &value);
    luid.lowPart = value.LowPart;
    luid.highPart = value.HighPart;
    notePrivilegeStep(ok == FALSE, "LookupPrivilegeValueA");
    return ok != FALSE;
}

bool Win32Power::AdjustTokenPrivileges(uintptr_t token, bool disableAll, const TokenPrivileges<1>& newState,
                                       uint32_t bufferLength, TokenPrivileges<2>& previousState, uint32_t& returnLength)
{
    static_assert(sizeof(TokenPrivileges<1>) == sizeof(TOKEN_PRIVILEGES), "TOKEN_PRIVILEGES layout");
    static_assert(sizeof(TokenPrivileges<2>) == 4 + 2 * sizeof(LUID_AND_ATTRIBUTES), "two entries");
    TOKEN_PRIVILEGES state;
    std::memcpy(&state, &newState, sizeof state);
    DWORD length = 0;
    const BOOL ok = ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), disableAll ? TRUE : FALSE, &state,
                                            bufferLength, reinterpret_cast<PTOKEN_PRIVILEGES>(&previousState), &length);
    returnLength = length;
    // It succeeds with ERROR_NOT_ALL_ASSIGNED when the account does not hold the privilege at
    // all: the call worked, and the privilege is not there.
    notePrivilegeStep(ok == FALSE || GetLastError() == ERROR_NOT_ALL_ASSIGNED, "AdjustTokenPrivileges");
    return ok != FALSE;
}

}  // namespace tolvane::win32
