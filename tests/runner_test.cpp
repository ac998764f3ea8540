// The scenario runner's own contract: what it refuses, its notes, and its time.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/sim/scenario.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(const std::string& scenario)
{
    std::istringstream in(scenario);
    std::ostringstream out, err;
    tolvane::ScenarioRunner runner(out, err, TOLVANE_DEFAULT_SETTINGS);
    const int status = runner.run(in);
    return {status, out.str(), err.str()};
}

TEST(Runner, RefusesWhatItCannotUnderstandAndStopsThere)
{
    const char* bad[] = {"dance", "advance 5x", "advance ms", "advance", "click Form9.Command1", "click Form1.Command9",
                         "select Form1.Combo4 00", "keydown ctrl F13", "clock 25:00:00", "tray sideways",
                         "click Form1.Combo1"};
    for (const char* line : bad) {
        // The list item and the click need the window shown; reach it first.
        const Outcome r = run(std::string("start\ntray left\n") + line + "\nprint Form1.Label3\n");
        EXPECT_EQ(r.status, 2) << line;
        EXPECT_NE(r.err.find("line 3"), std::string::npos) << line << ": " << r.err;
        EXPECT_EQ(r.out.find("Form1.Label3.Caption"), std::string::npos) << line << " ran on";
    }
}

TEST(Runner, UnreachableWindowsGiveANoteAndTheRunGoesOn)
{
    const Outcome r = run("click HK.Command1\nstart\nclick Form1.Command1\nclose Form2\ntray left\ntray left\n"
                      "print Form2\nprint Form1.Label3\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("] ! HK is not shown"), std::string::npos);
    EXPECT_NE(r.out.find("] ! Form1 is not shown"), std::string::npos);
    EXPECT_NE(r.out.find("] ! no icon in the notification area"), std::string::npos);
    EXPECT_NE(r.out.find("] Form2 not loaded"), std::string::npos);
    EXPECT_NE(r.out.find("Form1.Label3.Caption = \"Currently no action scheduled\""), std::string::npos);
}

TEST(Runner, TimePassesOnlyInAdvanceAndEndsExactlyThere)
{
    const Outcome r = run("clock 23:59:59\nadvance 1s500ms\nprint Form1\nadvance 1h1m1s\nprint Form1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("[00:00:00.500] Form1 not loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[01:01:01.500] Form1 not loaded"), std::string::npos) << r.out;
}

TEST(Runner, ParsesDurations)
{
    EXPECT_EQ(tolvane::parseDuration("100ms"), 100);
    EXPECT_EQ(tolvane::parseDuration("1m30s"), 90000);
    EXPECT_EQ(tolvane::parseDuration("23h59m"), 86340000);
    EXPECT_EQ(tolvane::parseDuration("2m5ms"), 120005);
    EXPECT_FALSE(tolvane::parseDuration("5"));
    EXPECT_FALSE(tolvane::parseDuration("m5"));
    EXPECT_FALSE(tolvane::parseDuration("1.5s"));
}

TEST(Runner, TextArgumentsKeepBlanksAndEscapes)
{
    EXPECT_EQ(tolvane::textCodes("a\\bb\\\\"), (std::vector<int>{'a', 8, 'b', '\\'}));
    EXPECT_EQ(tolvane::textCodes("\xC3\xA9 "), (std::vector<int>{0xE9, ' '}));
    EXPECT_EQ(tolvane::parseKey("num5"), 101);
    EXPECT_EQ(tolvane::parseKey("5"), '5');
    EXPECT_EQ(tolvane::parseKey("s"), 'S');
}

}  // namespace
