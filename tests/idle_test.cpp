// The simulator passes over the hotkey monitor's idle ticks in one step. These tests hold
// it to giving exactly the transcript of the tick-by-tick run, and to keeping the
// monitor's ticks where they fall.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include "platform/sim/sim_platform.h"
#include "power/actions.h"
#include "tests/file_contents.h"
#include "tools/sim/scenario.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
    uint64_t passedOver;
};

Outcome run(const std::string& scenario, bool skipping)
{
    std::istringstream in(scenario);
    std::ostringstream out, err;
    tolvane::ScenarioRunner runner(out, err, TOLVANE_DEFAULT_SETTINGS);
    runner.controls().setIdleSkipping(skipping);
    const int status = runner.run(in);
    // Each run has a temporary Windows directory of its own.
    std::string text = out.str();
    for (size_t at; (at = text.find("/tmp/tolvane-sim-")) != std::string::npos;)
        text.replace(at, std::string("/tmp/tolvane-sim-XXXXXX").size(), "$WINDIR");
    return {status, text, err.str(), runner.controls().idleTicksPassedOver()};
}

// Runs the scenario both ways and checks the two transcripts are the same; returns the
// run that passed ticks over.
Outcome sameBothWays(const std::string& scenario)
{
    const Outcome plain = run(scenario, false);
    const Outcome skipping = run(scenario, true);
    EXPECT_EQ(plain.passedOver, 0u);
    EXPECT_EQ(skipping.status, plain.status) << scenario;
    EXPECT_EQ(skipping.err, plain.err) << scenario;
    EXPECT_EQ(skipping.out, plain.out) << scenario;
    return skipping;
}

TEST(IdleTicks, AYearWithNoKeyDownIsPassedOverWhole)
{
    const Outcome r = run("start\nadvance 8760h\nprint Form1.Label3\n", true);
    EXPECT_EQ(r.status, 0) << r.err;
    // Every tick of the monitor, 10 a second from 100 ms after start-up to the end.
    EXPECT_EQ(r.passedOver, 8760ULL * 3600 * 10);
    EXPECT_NE(r.out.find("[12:00:00.000] Form1.Label3.Caption = \"Currently no action scheduled\""), std::string::npos);
}

TEST(IdleTicks, TheLongestSpanTheRunnerHoldsIsPassedOverToo)
{
    // 10^12 hours from 12:00 end at 04:00; a key pressed 100 ms before is seen then.
    const Outcome r =
        run("start\ntray left\nclick Form1.Command2\nclick HK.Check1\nclick HK.Command1\nclose HK\n"
            "advance 999999999999h59m59s900ms\nprint Form1.Label3\nkeydown ctrl alt S\nadvance 100ms\nadvance 1ms\n",
            true);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 11: the simulated time would pass"), std::string::npos) << r.err;
    EXPECT_EQ(r.passedOver, 36'000'000'000'000'000ULL - 1);
    EXPECT_NE(r.out.find("[03:59:59.900] Form1.Label3.Caption = \"Currently no action scheduled\""), std::string::npos);
    EXPECT_NE(r.out.find("[04:00:00.000] ExitWindowsEx(5, 0)\n"), std::string::npos) << r.out;
}

TEST(IdleTicks, TheMonitorKeepsItsPhaseAfterALongIdleSpan)
{
    // The ticks stay on the grid of start-up: a key pressed at .050 is seen at .100.
    const std::string scenario =
        "start\ntray left\nclick Form1.Command2\nclick HK.Check1\nclick HK.Command1\nclose HK\n"
        "advance 5h30m20s50ms\nkeydown ctrl alt S\nadvance 100ms\nkeyup ctrl alt S\nadvance 50h7ms\n"
        "keydown ctrl\nkeydown alt S\nadvance 93ms\nadvance 1ms\n";
    const Outcome r = sameBothWays(scenario);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(r.passedOver, 50ULL * 3600 * 10);
    EXPECT_NE(r.out.find("[17:30:20.100] ExitWindowsEx(5, 0)\n"), std::string::npos) << r.out;
    // 50 h 7 ms later the clock stands at 19:30:20.157; the next tick is at .200.
    EXPECT_NE(r.out.find("[19:30:20.200] ExitWindowsEx(5, 0)\n"), std::string::npos) << r.out;
    // Nothing more: the ticks at .300 (Ctrl still down) would come after the end.
    size_t calls = 0;
    for (size_t at = 0; (at = r.out.find("ExitWindowsEx", at)) != std::string::npos; ++at) ++calls;
    EXPECT_EQ(calls, 2u) << r.out;
}

TEST(IdleTicks, TimersDueInsideAMonitorTickStillRunThere)
{
    // A warning and an "after" schedule whose ticks meet the monitor's, idle in between.
    const Outcome r = sameBothWays(
        "start\ntray left\nselect Form1.Combo3 02\nclick Form1.Label9\nclick Form1.Command1\nadvance 3h\n"
        "clock 23:59:30\nclick Form1.Option2\nselect Form1.Combo6 00\nselect Form1.Combo5 01\n"
        "click Form1.Command1\nadvance 30h\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(r.passedOver, 0u);
}

TEST(IdleTicks, EveryScenarioFileIsTheSameBothWays)
{
    int files = 0;
    for (const auto& entry : fs::directory_iterator(TOLVANE_SCENARIO_DIR)) {
        if (entry.path().extension() != ".scn") continue;
        const std::string text = tolvane::test::readFile(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        // A long idle tail after each, then the monitor's keys.
        sameBothWays(text +
                     "\nkeyup ctrl alt shift S R L H B\nadvance 26h33s7ms\nkeydown ctrl alt\n"
                     "advance 250ms\n");
        ++files;
    }
    EXPECT_GT(files, 10);
}

// A scenario of random steps a user might take: schedules, warnings, the hotkey window,
// keys held and let go, the clock set, and spans of time from a millisecond to hours.
std::string randomScenario(std::mt19937& random)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto twoDigits = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
    const char* const keys[] = {"ctrl", "alt", "S", "R", "shift", "5", "num5", "H"};
    std::set<std::string> down;
    std::string s = pick(3) == 0
                        ? "clock " + twoDigits(pick(24)) + ":" + twoDigits(pick(60)) + ":" + twoDigits(pick(60)) + "\n"
                        : "";
    s += "start\ntray left\n";
    if (pick(2) == 0) s += "click Form1.Command2\nclick HK.Check1\nclick HK.Check2\nclick HK.Command1\nclose HK\n";
    for (int step = 0, steps = 10 + pick(30); step < steps; ++step) {
        switch (pick(14)) {
            case 0:
            case 1:
            case 2: {
                // Up to hours with no key down, up to 3 s while one is (every tick then works).
                int ms = pick(3000);
                if (down.empty()) ms = pick(4) == 0 ? pick(6 * 3600) * 1000 + pick(1000) : pick(200'000);
                s += "advance " + std::to_string(ms) + "ms\n";
                break;
            }
            case 3: {
                // Now and then the whole of a hotkey at once.
                const std::string key = keys[pick(8)];
                const std::string with = pick(4) == 0 ? "ctrl alt " : "";
                s += "keydown " + with + key + "\n";
                down.insert(key);
                if (!with.empty()) down.insert({"ctrl", "alt"});
                break;
            }
            case 4:
            case 5:
                if (!down.empty()) {
                    auto key = std::next(down.begin(), pick(static_cast<int>(down.size())));
                    s += "keyup " + *key + "\n";
                    down.erase(key);
                }
                break;
            case 6:
                s += "click Form1.Command1\n";
                break;
            case 7:
                s += "select Form1.Combo1 " + std::string(tolvane::kActions[pick(5)].afterLabel) +
                     "\nselect Form1.Combo3 " + twoDigits(pick(2)) + "\nselect Form1.Combo4 " + twoDigits(1 + pick(3)) +
                     "\n";
                if (pick(2) == 0) s += "click Form1.Label9\n";
                if (pick(4) != 0) s += "click Form1.Command1\n";
                break;
            case 8:
                s += "click Form1.Option2\nselect Form1.Combo2 " + std::string(tolvane::kActions[pick(5)].atLabel) +
                     "\nselect Form1.Combo6 " + twoDigits(pick(24)) + "\nselect Form1.Combo5 " + twoDigits(pick(60)) +
                     "\n";
                if (pick(2) == 0) s += "click Form1.Label9\n";
                if (pick(4) != 0) s += "click Form1.Command1\n";
                break;
            case 9:
                s += pick(2) == 0 ? "click Form1.Label9\n" : "click Form1.Option1\n";
                break;
            case 10:
                s += pick(2) == 0 ? "click Form2.Command1\n" : "close Form2\n";
                break;
            case 11:
                s += "clock " + twoDigits(pick(24)) + ":" + twoDigits(pick(60)) + ":" + twoDigits(pick(60)) + "\n";
                break;
            case 12:
                s += pick(2) == 0 ? "tray left\n" : "tray double\n";
                break;
            default:
                s += "print Form1.Label3\nprint Form2\n";
                break;
        }
    }
    return s;
}

TEST(IdleTicks, RandomScenariosAreTheSameBothWays)
{
    uint64_t passedOver = 0;
    int powerCalls = 0, warnings = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        const std::string scenario = randomScenario(random);
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Outcome r = sameBothWays(scenario);
        EXPECT_EQ(r.status, 0) << r.err << scenario;
        passedOver += r.passedOver;
        if (r.out.find("ExitWindowsEx") != std::string::npos || r.out.find("SetSystemPowerState") != std::string::npos)
            ++powerCalls;
        if (r.out.find("load Form2") != std::string::npos) ++warnings;
    }
    // The runs did pass ticks over, and reached warnings and actions, so the comparison
    // had teeth.
    EXPECT_GT(passedOver, 1'000'000u);
    EXPECT_GT(powerCalls, 30);
    EXPECT_GT(warnings, 10);
}

}  // namespace
