#include "power/actions.h"

#include "power/power_action.h"

namespace tolvane {

const ActionRow* actionRow(int action)
{
    if (action < 1 || action > kActionCount) return nullptr;
    return &kActions[static_cast<size_t>(action - 1)];
}

int16_t actionNumber(const ActionRow& row)
{
    return static_cast<int16_t>(&row - kActions.data() + 1);
}

int actionOfWord(const std::string& word)
{
    for (const ActionRow& row : kActions)
        if (word == row.word) return actionNumber(row);
    return actionCode(PowerAction::None);
}

DecodedCall decodeExitWindowsEx(uint32_t flags)
{
    const PowerAction action = (flags & kEwxReboot) != 0                      ? PowerAction::Restart
                               : (flags & (kEwxShutdown | kEwxPowerOff)) != 0 ? PowerAction::Shutdown
                                                                              : PowerAction::LogOff;
    return {*actionRow(actionCode(action)), (flags & kEwxForce) != 0};
}

DecodedCall decodeSetSystemPowerState(bool suspend, bool force)
{
    return {*actionRow(actionCode(suspend ? PowerAction::StandBy : PowerAction::Hibernate)), force};
}

std::string exitWindowsExText(uint32_t flags, uint32_t reserved)
{
    return "ExitWindowsEx(" + std::to_string(flags) + ", " + std::to_string(reserved) + ")";
}

std::string setSystemPowerStateText(bool suspend, bool force)
{
    return std::string("SetSystemPowerState(") + (suspend ? "1" : "0") + ", " + (force ? "1" : "0") + ")";
}

}  // namespace tolvane
