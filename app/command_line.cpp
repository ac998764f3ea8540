// Reading and checking the command line's requests, and its help text.
#include <cctype>

#include "app/command.h"
#include "app/texts.h"
#include "power/actions.h"

namespace tolvane {

namespace {

// Every option with the request it makes; --warn makes none of its own (Start stands for it).
struct Option {
    CommandLineOption option;
    CommandKind kind;
};
const Option kOptions[] = {{{"after", 0, true}, CommandKind::After},        {{"at", 0, true}, CommandKind::At},
                           {{"cancel", 0, false}, CommandKind::Cancel},     {{"status", 0, false}, CommandKind::Status},
                           {{"show", 0, false}, CommandKind::Show},         {{"help", 'h', false}, CommandKind::Help},
                           {{"version", 'v', false}, CommandKind::Version}, {{"warn", 0, false}, CommandKind::Start}};

// The option typed as `word` ("--after", "-h"); null for none.
const Option* optionTyped(const std::string& word)
{
    for (const Option& o : kOptions)
        if (word == std::string("--") + o.option.name ||
            (o.option.letter && word == std::string("-") + o.option.letter))
            return &o;
    return nullptr;
}

std::string optionName(CommandKind kind)
{
    for (const Option& o : kOptions)
        if (o.kind == kind) return std::string("--") + o.option.name;
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

const std::vector<CommandLineOption>& commandLineOptions()
{
    static const std::vector<CommandLineOption> options = [] {
        std::vector<CommandLineOption> list;
        for (const Option& o : kOptions) list.push_back(o.option);
        return list;
    }();
    return options;
}

// The faults are looked for in this order, and the first one found is told: an unknown option,
// two commands, a schedule without its time or action, a word too many, --warn without a
// schedule, and last the time and the action themselves.
Result<Command> readCommandLine(const CommandLineWords& words)
{
    for (const CommandLineWords::Option& o : words.options)
        if (!optionTyped(o.name)) return Error{"unknown option " + o.name + " (--help lists the commands)"};
    const CommandLineWords::Option* given = nullptr;
    bool warn = false;
    for (const CommandLineWords::Option& o : words.options) {
        if (optionTyped(o.name)->kind == CommandKind::Start) {
            warn = true;
            continue;
        }
        if (given) return Error{"one command at a time: " + given->name + " and " + o.name};
        given = &o;
    }
    Command command;
    command.kind = given ? optionTyped(given->name)->kind : CommandKind::Start;
    const bool schedule = command.kind == CommandKind::After || command.kind == CommandKind::At;
    if (schedule && (!given->value || given->value->rfind("--", 0) == 0 || words.arguments.empty()))
        return Error{given->name + " needs a time HH:MM and an action"};
    if (words.arguments.size() > (schedule ? 1u : 0u))
        return Error{"unexpected argument " + words.arguments[schedule ? 1 : 0] + " (--help lists the commands)"};
    if (warn && !schedule) return Error{"--warn goes with --after or --at"};
    if (schedule) return scheduleCommand(command.kind, *given->value, words.arguments.front(), warn);
    return command;
}

Result<Command> parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLineWords words;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.empty() || word[0] != '-') {
            words.arguments.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const Option* option = optionTyped(word.substr(0, equals));
        if (!option || !option->option.takesTime) {
            words.options.push_back({word, std::nullopt});
        } else if (equals != std::string::npos) {
            words.options.push_back({word.substr(0, equals), word.substr(equals + 1)});
        } else if (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0) {
            words.options.push_back({word, arguments[++i]});
        } else {
            words.options.push_back({word, std::nullopt});
        }
    }
    return readCommandLine(words);
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
  -h, --help                     print this help
  -v, --version                  print the version

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
