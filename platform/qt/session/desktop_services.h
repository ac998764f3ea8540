#pragma once
// The small services of the Linux program: the clock, the folder that holds the settings,
// and the launcher.
//
// - The settings folder plays the Windows directory: $windir when set, otherwise
//   $XDG_CONFIG_HOME/tolvane (~/.config/tolvane), created when missing.
// - The launcher carries out "explorer.exe ADDRESS" as "xdg-open ADDRESS", detached and
//   without a shell; any other command line runs its first word with the rest split at
//   blanks. The window style has no meaning here. A launch that fails returns task 0 and
//   is written to standard error.
#include <functional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace tolvane {

// The time since boot is CLOCK_BOOTTIME, which counts suspended time; the local time is the
// system clock with the time zone's offset of that moment (summer time included). Waking is
// told by whoever hears logind's PrepareForSleep(false) (see LogindSleep).
class LocalClock : public ClockApi {
public:
    int64_t sinceBoot() override;
    int64_t localTime() override;
};

class XdgEnvironment : public EnvironmentApi {
public:
    std::string windowsDirectory() override;
    char pathSeparator() override { return '/'; }
};

class XdgLauncher : public LauncherApi {
public:
    explicit XdgLauncher(std::function<void(const std::string&)> errors) : errors_(std::move(errors)) {}
    double Shell(const std::string& commandLine, int windowStyle) override;

    // The program and its arguments that a command line comes down to.
    static std::vector<std::string> translate(const std::string& commandLine);

private:
    std::function<void(const std::string&)> errors_;
};

// The delivered default settings file: beside the program (build tree or install tree),
// else where the build put it, else where the installation puts it; "" when none exists.
std::string defaultSettingsFile();

}  // namespace tolvane
