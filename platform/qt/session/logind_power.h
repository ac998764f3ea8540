#pragma once
// The power actions and the privilege step through systemd-logind on the system bus.
//
// Which logind call stands for which Windows call (docs/linux.md gives the reasons):
//   ExitWindowsEx shutdown + force  -> PowerOff(interactive = true)
//   ExitWindowsEx reboot + force    -> Reboot(interactive = true)
//   ExitWindowsEx logoff + force    -> TerminateSession(the caller's own session id)
//   SetSystemPowerState(hibernate, not forced) -> Hibernate(interactive = false)
//   SetSystemPowerState(suspend, forced)       -> Suspend(interactive = true)
// A forced request may ask polkit to let it past applications' block inhibitors (which
// can mean an authentication dialog); a request that is not forced never asks and is
// refused while an application blocks it.
//
// Every call is asynchronous, so the window never waits on a polkit dialog. A missing bus,
// a missing logind or a refusal (a block inhibitor, access denied, an authorization nobody
// gave) is told to the program's `refused` with logind's own words, and written to standard
// error.
// While a request is unanswered (a polkit dialog is open, say), the same request again is
// not sent: the hotkey monitor asks ten times a second while the keys are held, and each
// request could open a dialog of its own. Once the answer is in, the next one goes out.
// The privilege step asks logind's Can* methods once and reports what is not available;
// askUnattended asks the action's Can* method again whenever a schedule is set.
#include <QDBusConnection>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/qt/session/logind_session.h"
#include "platform/services.h"
#include "power/actions.h"

namespace tolvane {

// One logind request as a Windows power call translates into.
struct LogindRequest {
    std::string action;  // shutdown, restart, logoff, hibernate, standby
    std::string method;  // PowerOff, Reboot, TerminateSession, Hibernate, Suspend
    LogindArgument argument = LogindArgument::Interactive;
    bool interactive = false;
    // The call as text, "PowerOff(true)" or "TerminateSession(ID)".
    std::string callText(const std::string& sessionId) const;
};
LogindRequest requestForExitWindows(uint32_t flags);
LogindRequest requestForPowerState(bool suspend, bool force);

// What a Can* answer of logind means for an action due with nobody at the computer: "yes" it
// happens, "challenge" asks for a password then, "no" and "na" (and anything else) refuse it.
Unattended unattendedVerdict(const QString& canAnswer);

class LogindPower : public PowerApi, public PrivilegeApi {
public:
    // errors: where failures are written (standard error in the program).
    explicit LogindPower(QDBusConnection bus, std::function<void(const std::string&)> errors);

    bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool SetSystemPowerState(bool suspend, bool force) override;
    void askUnattended(int16_t action, UnattendedAnswer answer) override;

    uintptr_t GetCurrentProcess() override;
    bool OpenProcessToken(uintptr_t process, uint32_t desiredAccess, uintptr_t& token) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid) override;
    bool AdjustTokenPrivileges(uintptr_t token, bool disableAll, const TokenPrivileges<1>& newState,
                               uint32_t bufferLength, TokenPrivileges<2>& previousState,
                               uint32_t& returnLength) override;

    LogindSession& session() { return session_; }

protected:
    // Calls sent and not yet answered.
    int pending() const { return pending_ + session_.pending(); }
    // The session log off ends, once known.
    const std::optional<QString>& sessionId() const { return session_.id(); }

private:
    void send(const LogindRequest& request);
    // answered: called with a successful answer's arguments; failed: with an error answer's
    // words; ended: called in any case.
    void call(const QString& method, const QList<QVariant>& arguments,
              std::function<void(const QList<QVariant>&)> answered, std::function<void()> ended = nullptr,
              std::function<void(const std::string&)> failed = nullptr);
    void report(const std::string& text);
    // A request that did not happen, with the system's words for why.
    void tellRefused(const LogindRequest& request, const std::string& reason);
    bool busUsable();

    QDBusConnection bus_;
    std::function<void(const std::string&)> errors_;
    LogindSession session_;
    std::set<std::string> unanswered_;  // the requests sent and not yet answered, as callText gives them
    bool availabilityAsked_ = false;
    bool noBusReported_ = false;
    int pending_ = 0;
};

}  // namespace tolvane
