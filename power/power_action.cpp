#include "power/power_action.h"

#include "power/actions.h"

namespace tolvane {

void RunPowerAction(PowerApi& power, int16_t action)
{
    const ActionRow* row = actionRow(action);
    if (!row) return;
    switch (row->call) {
        case PowerCall::ExitWindowsEx:
            power.ExitWindowsEx(row->exitFlags, 0);
            break;
        case PowerCall::SetSystemPowerState:
            power.SetSystemPowerState(row->suspend, row->force);
            break;
    }
}

}  // namespace tolvane
