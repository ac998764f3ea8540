// Runs every scenario in tests/scenarios/ and compares its transcript with the expected
// one beside it (NAME.scn -> NAME.out). An expected file that begins with a line "..."
// skips the transcript up to its first expected line (for scenarios past start-up).
// The temporary Windows directory's path is written as $WINDIR in expected files.
// TOLVANE_UPDATE_SCENARIOS=1 rewrites the expected files from the transcripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/file_contents.h"
#include "tools/sim/scenario.h"

namespace fs = std::filesystem;
using tolvane::test::readFile;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class Scenario : public testing::TestWithParam<std::string> {};

TEST_P(Scenario, TranscriptMatches)
{
    const fs::path scn = fs::path(TOLVANE_SCENARIO_DIR) / (GetParam() + ".scn");
    const fs::path expectedFile = fs::path(TOLVANE_SCENARIO_DIR) / (GetParam() + ".out");
    std::ifstream in(scn);
    std::ostringstream out, err;
    const int status = [&] {
        tolvane::ScenarioRunner runner(out, err, TOLVANE_DEFAULT_SETTINGS);
        return runner.run(in);
    }();
    ASSERT_EQ(status, 0) << err.str();
    const std::string actualText =
        std::regex_replace(out.str(), std::regex("/tmp/tolvane-sim-[A-Za-z0-9]+"), "$$WINDIR");
    auto actual = lines(actualText);

    if (std::getenv("TOLVANE_UPDATE_SCENARIOS")) {
        auto old = lines(readFile(expectedFile));
        std::ofstream update(expectedFile);
        size_t from = 0;
        if (!old.empty() && old[0] == "...") {
            update << "...\n";
            while (from < actual.size() && actual[from] != old[1]) ++from;
        }
        for (size_t i = from; i < actual.size(); ++i) update << actual[i] << '\n';
        return;
    }

    auto expected = lines(readFile(expectedFile));
    ASSERT_FALSE(expected.empty()) << "no expected transcript " << expectedFile;
    size_t from = 0;
    if (expected[0] == "...") {
        expected.erase(expected.begin());
        ASSERT_FALSE(expected.empty());
        while (from < actual.size() && actual[from] != expected[0]) ++from;
        ASSERT_LT(from, actual.size()) << "transcript never reaches: " << expected[0];
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_LT(from + i, actual.size()) << "transcript ends before expected line " << i + 1 << ": " << expected[i];
        ASSERT_EQ(actual[from + i], expected[i]) << "at expected line " << i + 1 << " of " << expectedFile;
    }
    EXPECT_EQ(actual.size() - from, expected.size()) << "transcript goes on: " << actual[from + expected.size()];
}

std::vector<std::string> scenarioNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(TOLVANE_SCENARIO_DIR))
        if (entry.path().extension() == ".scn") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Scenario, testing::ValuesIn(scenarioNames()),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

}  // namespace
