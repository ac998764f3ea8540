#include "platform/qt/session/dryrun_power.h"

#include "platform/qt/session/logind_power.h"

namespace tolvane {

void DryRunPower::print(const std::string& line)
{
    // Each line is out at once: whoever watches waits for it, not for a full buffer.
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

bool DryRunPower::ExitWindowsEx(uint32_t flags, uint32_t)
{
    const LogindRequest request = requestForExitWindows(flags);
    print("dry-run " + request.action + " " + request.callText(sessionId_));
    return true;
}

bool DryRunPower::SetSystemPowerState(bool suspend, bool force)
{
    const LogindRequest request = requestForPowerState(suspend, force);
    print("dry-run " + request.action + " " + request.callText(sessionId_));
    return true;
}

}  // namespace tolvane
