#pragma once
// The five power calls and the shutdown privilege that permits them, on the Windows calls
// of those names, and what the system refused told to the program.
//
// Supports: ExitWindowsEx and SetSystemPowerState with the logic's arguments. A call that
// fails is told to `refused`, with the action the call stands for (decoded from its
// arguments, power/actions.h) and the system's message for GetLastError in the user's
// language (FormatMessage) with its number. The privilege step (OpenProcessToken,
// LookupPrivilegeValueA, AdjustTokenPrivileges) remembers its first failure, including the
// one AdjustTokenPrivileges reports as success (ERROR_NOT_ALL_ASSIGNED: the account does not
// hold the privilege); the message of a failed shutdown, restart, hibernate or stand by then
// says that too, since those calls need the privilege. Ending the session needs none, so its
// message does not.
// Does not: ask beforehand whether an action will be allowed (askUnattended keeps the
// default): Windows has no such question short of the call itself, and the privilege step's
// failure is told with the action, when it matters.
// tolv-dryrun.exe writes the calls down instead of making them (dry_run.h); failures then
// come only from a test's own subclass.
#include <cstdint>
#include <string>

#include "platform/services.h"

namespace tolvane::win32 {

// The system's message for a Windows error number, in the user's language and without the
// line break it ends in, followed by the number: "Access is denied. (error 5)".
std::string systemMessage(uint32_t error);

class Win32Power : public PowerApi, public PrivilegeApi {
public:
    // PowerApi
    bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool SetSystemPowerState(bool suspend, bool force) override;

    // PrivilegeApi
    uintptr_t GetCurrentProcess() override;
    bool OpenProcessToken(uintptr_t process, uint32_t desiredAccess, uintptr_t& token) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid) override;
    bool AdjustTokenPrivileges(uintptr_t token, bool disableAll, const TokenPrivileges<1>& newState,
                               uint32_t bufferLength, TokenPrivileges<2>& previousState,
                               uint32_t& returnLength) override;

    // Why the shutdown privilege could not be enabled, in the system's words; empty while
    // every step of it succeeded.
    const std::string& privilegeFailure() const { return privilegeFailure_; }

protected:
    // The system's calls themselves, which leave the reason of a failure in GetLastError:
    // tolv-dryrun.exe writes them down instead, a test's subclass makes them fail.
    virtual bool callExitWindowsEx(uint32_t flags, uint32_t reserved);
    virtual bool callSetSystemPowerState(bool suspend, bool force);

private:
    // The result of a power call for `action`; on failure `refused` is told why.
    bool told(bool ok, int16_t action);
    // Keeps the first failure of the privilege step: the step and GetLastError's message.
    void notePrivilegeStep(bool failed, const char* step);

    std::string privilegeFailure_;
};

}  // namespace tolvane::win32
