#pragma once
// The power calls of tolvane-dryrun: each request is written as one line on standard
// output, "dry-run ACTION CALL", where CALL is the logind call the real program would
// make; nothing is performed, so nothing is refused either. Everything else in the dry-run
// program is the real thing: what logind says at SET of an action due unattended is asked of
// the real program's power service.
#include <cstdio>
#include <string>

#include "platform/services.h"

namespace tolvane {

class DryRunPower : public PowerApi {
public:
    // sessionId: what TerminateSession would be given.
    // askedOf: the real power service, which answers askUnattended (none: nothing answers).
    DryRunPower(std::FILE* out, std::string sessionId, PowerApi* askedOf = nullptr)
        : out_(out), sessionId_(std::move(sessionId)), askedOf_(askedOf)
    {
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool SetSystemPowerState(bool suspend, bool force) override;
    void askUnattended(int16_t action, UnattendedAnswer answer) override
    {
        if (askedOf_) askedOf_->askUnattended(action, std::move(answer));
    }

private:
    void print(const std::string& line);
    std::FILE* out_;
    std::string sessionId_;
    PowerApi* askedOf_;
};

}  // namespace tolvane
