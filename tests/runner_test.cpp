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
    const char* bad[] = {"dance",
                         "advance 5x",
                         "advance ms",
                         "advance",
                         "click Form9.Command1",
                         "click Form1.Command9",
                         "select Form1.Combo4 00",
                         "keydown ctrl F13",
                         "clock 25:00:00",
                         "tray sideways",
                         "click Form1.Combo1",
                         "suspend 5x",
                         "suspend",
                         "fail",
                         "fail hotkeys"};
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
    const Outcome r =
        run("click HK.Command1\nstart\nclick Form1.Command1\nclose Form2\ntray left\ntray left\n"
            "print Form2\nprint Form1.Label3\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("] ! HK is not shown"), std::string::npos);
    EXPECT_NE(r.out.find("] ! Form1 is not shown"), std::string::npos);
    EXPECT_NE(r.out.find("] ! no icon in the notification area"), std::string::npos);
    EXPECT_NE(r.out.find("] Form2 not loaded"), std::string::npos);
    EXPECT_NE(r.out.find("Form1.Label3.Caption = \"Currently no action scheduled\""), std::string::npos);
}

TEST(Runner, TimePassesOnlyInAdvanceAndSuspendAndEndsExactlyThere)
{
    const Outcome r =
        run("clock 23:59:59\nadvance 1s500ms\nprint Form1\nadvance 1h1m1s\nprint Form1\n"
            "suspend 2s\nprint Form1\nclock 00:00:01\nprint Form1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("[00:00:00.500] Form1 not loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[01:01:01.500] Form1 not loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[01:01:03.500] Form1 not loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[00:00:01.000] Form1 not loaded"), std::string::npos) << r.out;
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

TEST(Runner, DurationsPastWhatTheRunnerHoldsAreRefused)
{
    // 10^12 hours in all is the most; a group, a number or a sum beyond it is no duration.
    EXPECT_EQ(tolvane::parseDuration("1000000000000h"), 3'600'000'000'000'000'000LL);
    EXPECT_EQ(tolvane::parseDuration("999999999999h59m59s999ms"), 3'599'999'999'999'999'999LL);
    EXPECT_EQ(tolvane::parseDuration("0000000000000000000000001ms"), 1);
    EXPECT_FALSE(tolvane::parseDuration("1000000000001h"));
    EXPECT_FALSE(tolvane::parseDuration("1000000000000h1ms"));
    EXPECT_FALSE(tolvane::parseDuration("3600000000000000001ms"));
    EXPECT_FALSE(tolvane::parseDuration("99999999999999999999ms"));
    std::string many;
    for (int i = 0; i < 3000; ++i) many += "999999999h";  // about 3 * 10^12 hours, past int64_t in ms
    EXPECT_FALSE(tolvane::parseDuration(many));

    const Outcome r = run("print Form1\nadvance " + many + "\nprint Form1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 2: malformed duration"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "[12:00:00.000] Form1 not loaded\n");
}

TEST(Runner, TheClockStopsAtTheLongestTimeItHolds)
{
    // 10^12 hours is 41,666,666,666 days and 16 hours: from 12:00 the clock shows 04:00.
    Outcome r = run("advance 1000000000000h\nprint Form1\nadvance 1ms\nprint Form1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 3: the simulated time would pass"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "[04:00:00.000] Form1 not loaded\n") << "ran on after line 3";

    // Across many lines the sum is held, not wrapped: line 1,001 would pass the limit.
    std::string lines;
    for (int i = 0; i < 1000; ++i) lines += "advance 999999999h\n";
    r = run(lines + "print Form1\n" + lines + "print Form1\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 1002: the simulated time would pass"), std::string::npos) << r.err;
    // 999,999,999,000 hours are whole days.
    EXPECT_EQ(r.out, "[12:00:00.000] Form1 not loaded\n");
}

TEST(Runner, LeadingBlanksAreHarmless)
{
    // The blank is no part of the TEXT: the item is "02", the key typed is 7.
    Outcome r = run("start\ntray left\n select Form1.Combo4 02\nprint Form1.Combo4\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("] Form1.Combo4.Text = \"02\"\n"), std::string::npos) << r.out;
    r = run("start\ntray left\nclick Form1.Command2\ntype HK.Text1 \\b\n  type HK.Text1 7\n\tprint HK.Text1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("] HK.Text1.Text = \"7\"\n"), std::string::npos) << r.out;
    // A '#' after blanks still begins a comment; blanks alone make a blank line.
    r = run("  # a note\n\t# another\n \t \n \t start\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("] InitCommonControls()"), std::string::npos) << r.out;
}

TEST(Runner, TextRunsFromOneBlankAfterTheFixedWordsToTheEnd)
{
    auto line = tolvane::splitLine("  type  HK.Text1  a b  ");
    EXPECT_EQ(line.words, (std::vector<std::string>{"type", "HK.Text1", "a", "b"}));
    EXPECT_EQ(line.after(2), " a b  ");
    EXPECT_EQ(line.after(1), " HK.Text1  a b  ");
    EXPECT_EQ(tolvane::splitLine("select Form1.Combo1 Log off After").after(2), "Log off After");
    EXPECT_EQ(tolvane::splitLine("type HK.Text1").after(2), "");
    EXPECT_EQ(tolvane::splitLine("type HK.Text1 ").after(2), "");
    EXPECT_EQ(tolvane::splitLine("type HK.Text1  ").after(2), " ");
    EXPECT_TRUE(tolvane::splitLine(" \t ").words.empty());

    // A TEXT of one blank is a key press like any other (the key box refuses it); a
    // trailing blank is part of an item's text.
    Outcome r = run("start\ntray left\nclick Form1.Command2\ntype HK.Text2 \\b\ntype HK.Text2  \nprint HK.Text2\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("] HK.Text2.Text = \"\"\n"), std::string::npos) << r.out;
    r = run("start\ntray left\nselect Form1.Combo1 Log off After \n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 3: Form1.Combo1 has no item Log off After "), std::string::npos) << r.err;
    r = run("start\ntray left\nselect Form1.Combo1 Log off After\nprint Form1.Combo1\n");
    EXPECT_NE(r.out.find("] Form1.Combo1.Text = \"Log off After\""), std::string::npos) << r.out;
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
