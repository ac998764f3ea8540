#pragma once
// The Windows tests' stand-in for an account without the shutdown privilege, which Wine
// cannot show with the real power calls: its ExitWindowsEx ends every process of the prefix
// and never checks a privilege, and its SetSystemPowerState does nothing and succeeds.
// The calls are written to the dry run's log, as tolv-dryrun.exe writes them, and then fail
// with the error Windows gives such an account. The privilege step is the real one, on a
// copy of the process's token from which the shutdown privilege was removed: Wine answers
// AdjustTokenPrivileges on it as Windows does, with success and ERROR_NOT_ALL_ASSIGNED.
#include <cstdint>

#include "platform/win32/dry_run.h"

#include <windows.h>

namespace tolvane::test {

class RefusingPower : public win32::LoggingPower {
public:
    explicit RefusingPower(win32::DryRunLog& log, DWORD error = ERROR_PRIVILEGE_NOT_HELD)
        : LoggingPower(log), error_(error)
    {
    }

    bool OpenProcessToken(uintptr_t process, uint32_t, uintptr_t& token) override
    {
        HANDLE own = nullptr, copy = nullptr;
        if (::OpenProcessToken(reinterpret_cast<HANDLE>(process), TOKEN_DUPLICATE, &own)) {
            DuplicateTokenEx(own, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &copy);
            CloseHandle(own);
        }
        TOKEN_PRIVILEGES removed{};
        removed.PrivilegeCount = 1;
        removed.Privileges[0].Attributes = SE_PRIVILEGE_REMOVED;
        if (copy && ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &removed.Privileges[0].Luid))
            ::AdjustTokenPrivileges(copy, FALSE, &removed, 0, nullptr, nullptr);
        token = reinterpret_cast<uintptr_t>(copy);
        return copy != nullptr;
    }

protected:
    bool callExitWindowsEx(uint32_t flags, uint32_t reserved) override
    {
        LoggingPower::callExitWindowsEx(flags, reserved);
        SetLastError(error_);
        return false;
    }
    bool callSetSystemPowerState(bool suspend, bool force) override
    {
        LoggingPower::callSetSystemPowerState(suspend, force);
        SetLastError(error_);
        return false;
    }

private:
    DWORD error_;
};

}  // namespace tolvane::test
