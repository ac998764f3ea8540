#pragma once
// The running program's command line: what a terminal, a script or a desktop integration
// may ask of the program, read and checked once here for every way in (the Linux program's
// arguments, its object on the session bus, the simulator's `command` line).
//
// A request is carried out by Form1::carryOut on the main window's controls, in the order a
// user would click them, so the status line, the timers, the warning and the action are the
// program's own, and a request that cannot be made with the controls is refused here.
#include <cstdint>
#include <optional>
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
    Help,     // --help, -h
    Version,  // --version, -v
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

// A command line split into its options and its other words, as an option parser splits it
// (the Linux program's is Qt's): the options in the order they were given, each under the
// name it was typed with ("--after", "-h") and with its value where it takes one (none when
// the value is missing), and the other words in their order. An option that the parser does
// not know comes as it was typed, without a value ("--warm", "--cancel=1").
struct CommandLineWords {
    struct Option {
        std::string name;
        std::optional<std::string> value;
    };
    std::vector<Option> options;
    std::vector<std::string> arguments;
};

// An option of the command line: each command's, and --warn, which goes with a schedule.
struct CommandLineOption {
    const char* name;  // typed after "--"
    char letter;       // typed after "-" as users of GNU tools type it (-h, -v); 0 for none
    bool takesTime;    // --after and --at, whose value is a time HH:MM
};
const std::vector<CommandLineOption>& commandLineOptions();

// The request of a command line split by an option parser. A refusal's message names what is
// wrong, in one line.
Result<Command> readCommandLine(const CommandLineWords& words);
// The words after the program's name, split here (the simulator's way in): a time follows its
// option as the next word or after "=" ("--after=01:30").
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
