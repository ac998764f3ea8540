#pragma once
// The five power actions in one table, in the order the program numbers them (PowerAction 1
// shutdown to 5 stand by). Every list of actions reads from here: the schedule's lists and
// status line, the hotkey window's rows and list, the command line, the desktop's shortcuts
// and the logind calls. A sixth action would be one more row.
//
// The logic and the backends both read it; it includes nothing of either.
#include <array>
#include <cstdint>
#include <string>

#include "platform/model/win_codes.h"

namespace tolvane {

// The one operating-system call that carries an action out.
enum class PowerCall { ExitWindowsEx, SetSystemPowerState };

// What the systemd-logind method of an action is given: whether it may ask the user for a
// password (polkit's interactive flag), or the login session it ends.
enum class LogindArgument { Interactive, SessionId };

struct ActionRow {
    // The call and its arguments: ExitWindowsEx(exitFlags, 0), or SetSystemPowerState(suspend, force).
    PowerCall call = PowerCall::ExitWindowsEx;
    uint32_t exitFlags = 0;
    bool suspend = false;
    bool force = false;
    // The item of the main window's "after" list; with one blank after it, the status line's
    // prefix and the start of the warning window's title.
    const char* afterLabel = "";
    // The item of the "at" list; with one blank after it, the status line's prefix.
    const char* atLabel = "";
    // The caption of the action's row in the hotkey window, and the start of its line in that
    // window's list of the stored settings (the two are written differently by design).
    const char* rowCaption = "";
    const char* listCaption = "";
    // The action's word: on the command line, in the dry run's lines, as the desktop shortcut's
    // id (which the desktop files the user's choice of keys under, so it never changes) and as
    // the column of the delivered settings file.
    const char* word = "";
    // What the desktop shows beside the shortcut; in lower case, how notes name the action.
    const char* description = "";
    // The systemd-logind method that stands for the call, what it is given, and the Can*
    // method that says whether it is available (none for ending the session, which is always
    // allowed).
    const char* logindMethod = "";
    LogindArgument logindArgument = LogindArgument::Interactive;
    const char* logindCheck = nullptr;
};

inline constexpr std::array kActions = std::to_array<ActionRow>({
    {.call = PowerCall::ExitWindowsEx,
     .exitFlags = kEwxShutdown | kEwxForce,
     .afterLabel = "Shutdown After",
     .atLabel = "Shutdown At",
     .rowCaption = "Shutdown on Ctrl + Alt +",
     .listCaption = "Shutdown on Ctrl+Alt+",
     .word = "shutdown",
     .description = "Shutdown",
     .logindMethod = "PowerOff",
     .logindCheck = "CanPowerOff"},
    {.call = PowerCall::ExitWindowsEx,
     .exitFlags = kEwxReboot | kEwxForce,
     .afterLabel = "Restart After",
     .atLabel = "Restart At",
     .rowCaption = "Restart on Ctrl + Alt +",
     .listCaption = "Restart on Ctrl+Alt+",
     .word = "restart",
     .description = "Restart",
     .logindMethod = "Reboot",
     .logindCheck = "CanReboot"},
    {.call = PowerCall::ExitWindowsEx,
     .exitFlags = kEwxLogoff | kEwxForce,
     .afterLabel = "Log off After",
     .atLabel = "Log off At",
     .rowCaption = "Log off on Ctrl + Alt +",
     .listCaption = "Log off on Ctrl+Alt+",
     .word = "logoff",
     .description = "Log off",
     .logindMethod = "TerminateSession",
     .logindArgument = LogindArgument::SessionId},
    {.call = PowerCall::SetSystemPowerState,
     .suspend = false,
     .force = false,
     .afterLabel = "Hibernate After",
     .atLabel = "Hibernate At",
     .rowCaption = "Hibernate on Ctrl + Alt +",
     .listCaption = "Hibernate on Ctrl+Alt+",
     .word = "hibernate",
     .description = "Hibernate",
     .logindMethod = "Hibernate",
     .logindCheck = "CanHibernate"},
    {.call = PowerCall::SetSystemPowerState,
     .suspend = true,
     .force = true,
     .afterLabel = "Stand By After",
     .atLabel = "Stand By At",
     .rowCaption = "Stand by on Ctrl + Alt +",
     .listCaption = "Stand By on Ctrl+Alt+",
     .word = "standby",
     .description = "Stand by",
     .logindMethod = "Suspend",
     .logindCheck = "CanSuspend"},
});

inline constexpr int kActionCount = static_cast<int>(kActions.size());

// The row of a PowerAction number; null for any other number (0 is no action).
const ActionRow* actionRow(int action);
// The PowerAction number of a row of kActions.
int16_t actionNumber(const ActionRow& row);
// The PowerAction number of an action's word ("restart" is 2); 0 for a word that names none.
int actionOfWord(const std::string& word);

// What a backend that stands in for the Windows calls makes of them: the action the call
// carries out, and whether it is forced (running applications are not asked).
struct DecodedCall {
    const ActionRow& action;
    bool forced = false;
};
// The reboot flag wins; then shutdown or power-off; ending the session is what is left.
DecodedCall decodeExitWindowsEx(uint32_t flags);
DecodedCall decodeSetSystemPowerState(bool suspend, bool force);

// A call as a backend that only writes it down puts it, with its arguments as numbers:
// "ExitWindowsEx(5, 0)", "SetSystemPowerState(1, 1)".
std::string exitWindowsExText(uint32_t flags, uint32_t reserved);
std::string setSystemPowerStateText(bool suspend, bool force);

}  // namespace tolvane
