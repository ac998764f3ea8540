#pragma once
// One program per user session. The first start of tolvane (or of tolvane-dryrun) owns the
// program's well-known name on the session bus and a lock file in its settings folder; a
// second start finds the name taken, asks the running instance to show its main window
// (org.freedesktop.Application.Activate, the effect of a press on the tray icon) and ends.
//
// - tolvane and tolvane-dryrun have names and lock files of their own, so a rehearsal never
//   reaches the real program, nor the real program a rehearsal.
// - The lock (flock on NAME.lock in the settings folder, the process id written in it) is
//   taken with a session bus and without one: two processes of one program never act on
//   one settings file, whether a second session of the same user or a session with no bus
//   starts it. Where the name is ours but the lock is held, the other process runs where
//   this one cannot reach it; this start ends, saying so. The kernel lets the lock go with
//   the process, so a crash leaves nothing to clean up.
// - Taken before the settings file is opened: nothing of a second start touches it.
// - Not supported: handing over without a session bus (the second start says why it ends).
#include <memory>
#include <string>

namespace tolvane {

class Program;
class ProgramService;

// What tells the two programs apart: their command, their name on the session bus and the
// path of their object there (the name with its dots as slashes, as freedesktop.org asks),
// and the Name of their desktop file. The bus name is also their app id: the name of that
// desktop file (`<busName>.desktop`), what the desktop portal knows them by, and the id of
// their AppStream data.
struct ProgramIdentity {
    const char* command;
    const char* busName;
    const char* objectPath;
    const char* name;
};
inline constexpr ProgramIdentity kTolvane{"tolvane", "example.quenmoor.Tolvane", "/example/quenmoor/Tolvane",
                                          "Tolvane"};
inline constexpr ProgramIdentity kTolvaneDryRun{"tolvane-dryrun", "example.quenmoor.Tolvane.DryRun",
                                                "/example/quenmoor/Tolvane/DryRun", "Tolvane (dry run)"};

class Instance {
public:
    // Needs a QCoreApplication. Takes the name on the session bus, when there is one, and
    // the lock in the settings folder.
    explicit Instance(const ProgramIdentity& identity);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // Whether this process is the program's one instance.
    bool ours() const { return ours_; }
    // For a start that is not the instance: the running instance shows its main window. The
    // exit status for this process: 0, or 1 with the reason on standard error.
    int handOver();
    // From now on the instance's object on the bus acts on this program.
    void serve(Program& program);

private:
    bool takeName();
    bool takeLock(const std::string& folder);

    ProgramIdentity identity_;
    std::unique_ptr<ProgramService> service_;
    bool onBus_ = false;
    bool ours_ = false;
    int lockFd_ = -1;
    // Why this start is not the instance, for handOver().
    std::string held_;
};

}  // namespace tolvane
