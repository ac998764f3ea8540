#pragma once
// The Linux program's command line (app/command.h has the commands): before the program
// starts, main hands it its arguments.
//
// - --help and --version print and end, with no display, no session bus and no toolkit.
// - A request goes to the program's instance on the session bus (instance.h); the
//   commanding process makes no window and loads no GUI of the toolkit, only its bus
//   connection. With no instance running, a schedule or --show starts the program (its
//   own binary, detached, in a session of its own) and applies the request once the
//   program has its name; --status and --cancel find nothing to read or to cancel.
// - The words are split by Qt's QCommandLineParser: an option's value follows it as the next
//   word or after "=" (--after=01:30), -h and -v are --help and --version, and the options
//   and the other words may come in any order. The logic checks what it split and words the
//   refusals (app/command.h).
// - Qt's own options (-style fusion, -platform xcb, -session ID, ...) are left to Qt: they
//   may come before or after a command, and a start with only those is a plain start.
// - Exit status: 0 done; 1 the program could not be reached or started, the reason on
//   standard error; 2 a bad command, named in one line on standard error, nothing sent.
#include <optional>

#include "platform/qt/session/instance.h"

namespace tolvane {

// The exit status when the command line was handled; none when the program is to start.
std::optional<int> runCommandLine(int argc, char** argv, const ProgramIdentity& identity);

}  // namespace tolvane
