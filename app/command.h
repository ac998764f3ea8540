#pragma once
// The running program's command line: what a terminal, a script or a desktop integration
// may ask of the program, read and checked once here for every way in (the Linux program's
// arguments, its object on the session bus, the simulator's `command` line).
//
// A request is carried out by Form1::carryOut on the main window's controls, in the order a
// user would click them, so the status line, the timers, the warning and the action are the
// program's own, and a request that cannot be made with the controls is refused here.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/model/result.h"

namespace tolvane {

enum class CommandKind {
    Start,    // no command: start the program, or show the window of the one that runs
    After,    // --after HH:MM ACTION [--warn]
    At,       // --at HH:MM ACTION [--warn]
    Cancel,   // --cancel
    Status,   // --status
    Show,     // --show
    Help,     // --help
    Version,  // --version
};

// One checked request. For a schedule, the hours and minutes are items of the lists the
// mode uses, and actcode is a PowerAction number.
struct Command {
    CommandKind kind = CommandKind::Start;
    std::string hours;
    std::string minutes;
    int16_t actcode = 0;
    bool warn = false;
};

// The words after the program's name. A refusal's message names what is wrong, in one line.
Result<Command> parseCommandLine(const std::vector<std::string>& arguments);
// A schedule request from its parts: kind After or At, the time as "HH:MM" (or "H:MM"), the
// action's word ("restart").
Result<Command> scheduleCommand(CommandKind kind, const std::string& time, const std::string& action, bool warn);
// What --help prints for the program named `program`.
std::string commandLineHelp(const std::string& program);
// Whether a request starts the program when none runs: a schedule, --show and a plain start
// do; --cancel then has nothing to cancel, and --status nothing to read.
bool startsTheProgram(CommandKind kind);

}  // namespace tolvane
