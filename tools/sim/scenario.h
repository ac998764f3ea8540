#pragma once
// Runs a scenario, one command a line, on the simulated platform and writes the
// transcript. See docs/tolvane-sim.md for the commands and the transcript's form.
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tolvane {

class Program;
class SimControls;
class SimPlatform;
class Window;

// A scenario line taken apart. Blanks (spaces, tabs) before the first word are dropped;
// words are separated by blanks; the TEXT of a command runs from after the one blank that
// follows its fixed words to the end of the line, inner and trailing blanks included.
struct ScenarioLine {
    std::string text;  // the line without its leading blanks
    std::vector<std::string> words;
    std::vector<size_t> wordEnds;  // where each word ends in `text`
    // The rest of the line after the first `fixedWords` words and one blank; empty if none.
    std::string after(size_t fixedWords) const;
};
ScenarioLine splitLine(const std::string& line);

class ScenarioRunner {
public:
    // defaultSettings: the delivered settings file, put into a Windows directory without one.
    ScenarioRunner(std::ostream& out, std::ostream& err, std::string defaultSettings);
    ~ScenarioRunner();

    // Returns the exit status: 0 when the whole scenario ran, 2 at a line not understood.
    int run(std::istream& scenario);
    // The simulated world the scenario acts on; tests change its rules through it.
    SimControls& controls();

private:
    struct Failure {
        std::string message;
    };
    void execute(const ScenarioLine& line);
    void start();
    // The window named, or null (with a note) when the user cannot reach it.
    Window* shownWindow(const std::string& name);
    Window* loadedWindow(const std::string& name);
    // Splits "W.C" and checks that the window and control exist.
    std::pair<std::string, std::string> target(const std::string& word, bool controlNeeded = true);
    void note(const std::string& sentence);
    void print(const std::string& word);
    void commandLine(const std::vector<std::string>& arguments);

    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<SimPlatform> sim_;
    std::unique_ptr<Program> program_;
    std::string defaultSettings_;
    std::string windir_;
    std::string tempDir_;
    std::map<std::string, std::set<std::string>> catalogue_;
};

// "1m30s" -> 90000; none when malformed or longer than the simulator holds (SimLoop::kMaxTime).
std::optional<long long> parseDuration(const std::string& text);
// "HH:MM:SS" -> milliseconds of the day; none when malformed.
std::optional<long long> parseClock(const std::string& text);
// The virtual-key code of a key name ("ctrl", "A", "7", "num7"); none when unknown.
std::optional<int> parseKey(const std::string& name);
// Character codes of a TEXT argument: "\b" is Backspace, "\\" one backslash.
std::vector<int> textCodes(const std::string& text);

}  // namespace tolvane
