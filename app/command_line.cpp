// Reading and checking the command line's requests, and its help text.
#include <cctype>

#include "app/command.h"
#include "app/texts.h"
#include "power/actions.h"

namespace tolvane {

namespace {

struct Option {
    const char* name;
    CommandKind kind;
};
const Option kOptions[] = {{"--after", CommandKind::After},   {"--at", CommandKind::At},
                           {"--cancel", CommandKind::Cancel}, {"--status", CommandKind::Status},
                           {"--show", CommandKind::Show},     {"--help", CommandKind::Help},
                           {"-h", CommandKind::Help},         {"--version", CommandKind::Version}};

const char* optionName(CommandKind kind)
{
    for (const Option& option : kOptions)
        if (option.kind == kind) return option.name;
    return "";
}

bool digits(const std::string& text)
{
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return !text.empty();
}

// "shutdown, restart, logoff, hibernate or standby"
std::string actionWords()
{
    std::string words;
    for (size_t i = 0; i < kActions.size(); ++i) {
        const size_t left = kActions.size() - i - 1;
        words += kActions[i].word + std::string(left > 1 ? ", " : left == 1 ? " or " : "");
    }
    return words;
}

}  // namespace

// The lists give the bounds: hours "00" to "23"; minutes "00" to "59" for a clock time and
// "01" to "59" for a delay, whose list has no "00" (so 02:00 cannot be set, 01:59 or 02:01 can).
Result<Command> scheduleCommand(CommandKind kind, const std::string& time, const std::string& action, bool warn)
{
    const std::string what = std::string(optionName(kind)) + " " + time + ": ";
    const size_t colon = time.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2 || time.size() - colon != 3 ||
        !digits(time.substr(0, colon)) || !digits(time.substr(colon + 1)))
        return Error{what + "the time is not HH:MM"};
    const int hours = std::stoi(time.substr(0, colon));
    const int minutes = std::stoi(time.substr(colon + 1));
    if (hours > 23) return Error{what + "the hours run from 00 to 23"};
    if (minutes > 59) return Error{what + "the minutes run from 00 to 59"};
    if (kind == CommandKind::After && hours == 0 && minutes == 0)
        return Error{what + "a delay runs from 00:01 to 23:59"};
    if (kind == CommandKind::After && minutes == 0)
        return Error{what + "the minutes of a delay run from 01 to 59, as in the main window's list"};
    const int actcode = actionOfWord(action);
    if (actcode == 0) return Error{"unknown action " + action + " (" + actionWords() + ")"};
    return Command{kind, twoDigits(hours), twoDigits(minutes), static_cast<int16_t>(actcode), warn};
}

Result<Command> parseCommandLine(const std::vector<std::string>& arguments)
{
    Command command;
    std::string given;
    bool warn = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--warn") {
            warn = true;
            continue;
        }
        const Option* option = nullptr;
        for (const Option& o : kOptions)
            if (word == o.name) option = &o;
        if (!option) {
            if (!word.empty() && word[0] == '-')
                return Error{"unknown option " + word + " (--help lists the commands)"};
            return Error{"unexpected argument " + word + " (--help lists the commands)"};
        }
        if (!given.empty()) return Error{"one command at a time: " + given + " and " + word};
        given = word;
        if (option->kind != CommandKind::After && option->kind != CommandKind::At) {
            command.kind = option->kind;
            continue;
        }
        if (i + 2 >= arguments.size() || arguments[i + 1].rfind("--", 0) == 0 || arguments[i + 2].rfind("--", 0) == 0)
            return Error{word + " needs a time HH:MM and an action"};
        Result<Command> schedule = scheduleCommand(option->kind, arguments[i + 1], arguments[i + 2], false);
        if (!schedule) return schedule.error();
        command = schedule.value();
        i += 2;
    }
    if (warn && command.kind != CommandKind::After && command.kind != CommandKind::At)
        return Error{"--warn goes with --after or --at"};
    command.warn = warn;
    return command;
}

bool startsTheProgram(CommandKind kind)
{
    return kind == CommandKind::Start || kind == CommandKind::After || kind == CommandKind::At ||
           kind == CommandKind::Show;
}

std::string commandLineHelp(const std::string& program)
{
    // PROGRAM stands for the program's name; the lines fit 80 columns for tolvane-dryrun.
    std::string help = R"(Usage: PROGRAM [COMMAND]

Without a command, PROGRAM starts, or shows the main window of
the PROGRAM that runs. A command goes to the PROGRAM that runs
in this session, which carries it out on its main window as a user
would; --after, --at and --show start PROGRAM first when none runs.

  --after HH:MM ACTION [--warn]  ACTION after a delay (00:01 to 23:59)
  --at HH:MM ACTION [--warn]     ACTION at a clock time (00:00 to 23:59)
  --cancel                       cancel the scheduled action, as RESET does
  --status                       print the status line
  --show                         show the main window
  --help                         print this help
  --version                      print the version

ACTION is ACTIONS.
--warn opens the warning window 30 seconds before the action.
A schedule command replaces the schedule that is set.

Exit status: 0 done; 1 PROGRAM could not be reached or started;
2 a bad command.
)";
    for (size_t at; (at = help.find("PROGRAM")) != std::string::npos;) help.replace(at, 7, program);
    help.replace(help.find("ACTIONS"), 7, actionWords());
    return help;
}

}  // namespace tolvane
