#include "power/power_action.h"

namespace tolvane {

void RunPowerAction(PowerApi& power, int16_t action)
{
    constexpr uint32_t EWX_LOGOFF = 0, EWX_SHUTDOWN = 1, EWX_REBOOT = 2, EWX_FORCE = 4;
    switch (action) {
    case Shutdown:
        power.ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE, 0);
        break;
    case Restart:
        power.ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
        break;
    case LogOff:
        power.ExitWindowsEx(EWX_LOGOFF | EWX_FORCE, 0);
        break;
    case Hibernate:
        power.SetSystemPowerState(false, false);
        break;
    case StandBy:
        power.SetSystemPowerState(true, true);
        break;
    default:
        break;
    }
}

}  // namespace tolvane
