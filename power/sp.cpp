#include "power/sp.h"

namespace tolvane {

void SP_proc1(PrivilegeApi& api)
{
    constexpr uint32_t TOKEN_ADJUST_PRIVILEGES = 0x20, TOKEN_QUERY = 0x8;
    constexpr uint32_t SE_PRIVILEGE_ENABLED = 2;

    const uintptr_t process = api.GetCurrentProcess();
    uintptr_t token = 0;
    api.OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token);
    Luid luid;
    api.LookupPrivilegeValueA("", "SeShutdownPrivilege", luid);

    TokenPrivileges<1> newState;
    newState.privilegeCount = 1;
    newState.privileges[0].luid = luid;
    newState.privileges[0].attributes = SE_PRIVILEGE_ENABLED;
    TokenPrivileges<2> previousState;
    uint32_t returnLength = 0;
    api.AdjustTokenPrivileges(token, false, newState, 4 + 12 * newState.privilegeCount, previousState, returnLength);
}

}  // namespace tolvane
