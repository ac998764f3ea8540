#pragma once
// The power calls of tolvane-dryrun: each request is written as one line on standard
// output, "dry-run ACTION CALL", where CALL is the logind call the real program would
// make; nothing is performed. Everything else in the dry-run program is the real thing.
#include <cstdio>
#include <string>

#include "platform/services.h"

namespace tolvane {

class DryRunPower : public PowerApi {
public:
    // sessionId: what TerminateSession would be given.
    explicit DryRunPower(std::FILE* out, std::string sessionId) : out_(out), sessionId_(std::move(sessionId)) {}
    bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool SetSystemPowerState(bool suspend, bool force) override;

private:
    void print(const std::string& line);
    std::FILE* out_;
    std::string sessionId_;
};

}  // namespace tolvane
