// Figures of the logic on the simulated platform:
//  - a 23 h 59 min "after" schedule run to its action with Ctrl held, so that the hotkey
//    monitor does its work on every one of its ticks (863,400, every 100 ms all the way):
//    CPU time and simulated ticks per CPU second;
//  - a year with no key down after start-up, where the monitor's idle ticks are passed
//    over: CPU time;
//  - a save and reload of the hotkey settings (median of 1,000);
//  - the whole start-up (median of 200).
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/program.h"
#include "hotkeys/hk.h"
#include "platform/sim/sim_platform.h"

namespace fs = std::filesystem;
using namespace tolvane;

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Folder {
    std::string path;
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "tolvane-bench-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~Folder() { fs::remove_all(path); }
};

void longSchedule()
{
    Folder folder;
    long lines = 0;
    SimPlatform sim(folder.path, TOLVANE_DEFAULT_SETTINGS, [&](const std::string&) { ++lines; });
    Program program(sim.platform());
    program.start();
    Form1& form = program.form1();
    form.Combo3.userSelect("23");
    form.Combo4.userSelect("59");
    form.Command1.userClick();

    long ticks = 0;
    form.Timer3.onTimer = [&form, &ticks, inner = form.Timer3.onTimer] {
        ++ticks;
        inner();
    };
    // Held Ctrl makes every tick poll Ctrl and Alt: none is passed over.
    sim.keyDown(17);
    const double start = cpuSeconds();
    sim.advance((23LL * 60 + 59) * 60 * 1000);
    const double cpu = cpuSeconds() - start;
    const bool done = sim.powerCalls().size() == 1 && sim.powerCalls()[0] == "ExitWindowsEx(5, 0)";
    std::printf(
        "23h59m schedule, Ctrl held: %ld monitor ticks (%llu passed over), action %s, %.3f s CPU, %.0f "
        "simulated ticks per CPU second\n",
        ticks, static_cast<unsigned long long>(sim.idleTicksPassedOver()), done ? "carried out" : "MISSING", cpu,
        static_cast<double>(ticks) / cpu);
}

void idleYear()
{
    Folder folder;
    SimPlatform sim(folder.path, TOLVANE_DEFAULT_SETTINGS, nullptr);
    Program program(sim.platform());
    program.start();
    const double start = cpuSeconds();
    sim.advance(8760LL * 60 * 60 * 1000);
    const double cpu = cpuSeconds() - start;
    std::printf("advance 8760h after start-up, no key down: %llu monitor ticks passed over, %.6f s CPU\n",
                static_cast<unsigned long long>(sim.idleTicksPassedOver()), cpu);
}

void saveAndReload()
{
    Folder folder;
    SimPlatform sim(folder.path, TOLVANE_DEFAULT_SETTINGS, nullptr);
    Program program(sim.platform());
    program.start();
    HK& hk = program.hk();
    std::vector<double> times;
    for (int i = 0; i < 1000; ++i) {
        hk.Check1.userClick();
        const double start = wallSeconds();
        hk.Command1.userClick();
        times.push_back(wallSeconds() - start);
    }
    std::printf("settings save and reload: median %.1f us of 1000\n", median(times) * 1e6);
}

void startUp()
{
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        Folder folder;
        const double start = wallSeconds();
        {
            SimPlatform sim(folder.path, TOLVANE_DEFAULT_SETTINGS, nullptr);
            Program program(sim.platform());
            program.start();
            times.push_back(wallSeconds() - start);
        }
    }
    std::printf(
        "whole start-up in the simulator (each in a fresh folder, the default file copied in): median %.1f us of 200\n",
        median(times) * 1e6);
}

}  // namespace

int main()
{
    longSchedule();
    idleYear();
    saveAndReload();
    startUp();
    return 0;
}
