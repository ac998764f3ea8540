#include "tools/sim/scenario.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/command.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/program.h"
#include "hotkeys/hk.h"
#include "platform/model/win_codes.h"
#include "platform/sim/sim_platform.h"
#include "platform/sim/transcript.h"

namespace tolvane {

namespace fs = std::filesystem;

namespace {

const char* const kWindows[] = {"Form1", "Form2", "HK"};

bool isWindowName(const std::string& name)
{
    for (const char* w : kWindows)
        if (name == w) return true;
    return false;
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::ostream& out, std::ostream& err, std::string defaultSettings)
    : out_(out), err_(err), defaultSettings_(std::move(defaultSettings))
{
    sim_ = std::make_unique<SimPlatform>("", defaultSettings_, [this](const std::string& line) {
        out_ << line << '\n';
        out_.flush();
    });

    // The names a scenario may use, read off a silent throwaway copy of each window.
    SimPlatform silent("", "", nullptr);
    Program names(silent.platform());
    auto collect = [&](Window& w) {
        auto& set = catalogue_[w.name()];
        for (Control* c : w.controls()) set.insert(c->name());
        for (Timer* t : w.timers()) set.insert(t->name());
    };
    collect(names.form1());
    collect(names.form2());
    collect(names.hk());
}

ScenarioRunner::~ScenarioRunner()
{
    // Tearing the program down is not part of the scenario: nothing more is written.
    sim_->transcript().mute();
    program_.reset();
    sim_.reset();
    if (!tempDir_.empty()) {
        std::error_code ec;
        fs::remove_all(tempDir_, ec);
    }
}

int ScenarioRunner::run(std::istream& scenario)
{
    std::string line;
    int number = 0;
    while (std::getline(scenario, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Blanks before the first word are harmless, also before a '#'.
        const ScenarioLine parsed = splitLine(line);
        if (parsed.words.empty() || parsed.text[0] == '#') continue;
        try {
            execute(parsed);
        } catch (const Failure& failure) {
            err_ << "tolvane-sim: line " << number << ": " << failure.message << " (" << line << ")\n";
            return 2;
        }
    }
    return 0;
}

SimControls& ScenarioRunner::controls()
{
    return *sim_;
}

void ScenarioRunner::note(const std::string& sentence)
{
    sim_->transcript().write("! " + sentence);
}

std::pair<std::string, std::string> ScenarioRunner::target(const std::string& word, bool controlNeeded)
{
    const size_t dot = word.find('.');
    const std::string window = word.substr(0, dot);
    if (!isWindowName(window)) throw Failure{"unknown window " + window};
    if (dot == std::string::npos) {
        if (controlNeeded) throw Failure{"a control is needed, as in " + window + ".Command1"};
        return {window, ""};
    }
    const std::string control = word.substr(dot + 1);
    if (catalogue_[window].count(control) == 0) throw Failure{"unknown control " + word};
    return {window, control};
}

Window* ScenarioRunner::loadedWindow(const std::string& name)
{
    if (!program_) return nullptr;
    if (name == "Form1") return program_->form1().loaded() ? &program_->form1() : nullptr;
    if (name == "Form2") return program_->existingForm2();
    return program_->existingHK();
}

Window* ScenarioRunner::shownWindow(const std::string& name)
{
    Window* window = loadedWindow(name);
    if (!window || !window->visible()) {
        note(name + " is not shown");
        return nullptr;
    }
    return window;
}

void ScenarioRunner::start()
{
    if (program_) {
        note("the program is already running");
        return;
    }
    std::string folder = windir_;
    if (folder.empty()) {
        std::string pattern = (fs::temp_directory_path() / "tolvane-sim-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw Failure{"cannot make a temporary Windows directory"};
        tempDir_ = folder = pattern;
    }
    sim_->setWindowsDirectory(folder);
    program_ = std::make_unique<Program>(sim_->platform());
    program_->start();
}

// What `tolvane ARGUMENTS` does to the running program, with what the command would print
// written as notes.
void ScenarioRunner::commandLine(const std::vector<std::string>& arguments)
{
    const Result<Command> request = parseCommandLine(arguments);
    if (!request) {
        note("tolvane refuses it, exit status 2: " + request.error().message);
        return;
    }
    const Command& command = request.value();
    if (command.kind == CommandKind::Help || command.kind == CommandKind::Version) {
        note(arguments.front() + " is answered by tolvane itself, not by the running program");
        return;
    }
    if (!program_) {
        if (!startsTheProgram(command.kind)) {
            note(command.kind == CommandKind::Status ? "no tolvane runs: exit status 1"
                                                     : "no tolvane runs: nothing to cancel");
            return;
        }
        start();
        if (command.kind == CommandKind::Start) return;
    }
    if (command.kind == CommandKind::Status)
        note("tolvane prints " + quote(program_->statusLine()));
    else
        program_->command(command);
}

void ScenarioRunner::execute(const ScenarioLine& line)
{
    const std::vector<std::string>& words = line.words;
    const std::string& command = words[0];
    auto need = [&](size_t count) {
        if (words.size() != count) throw Failure{"wrong number of words for " + command};
    };

    // The DURATION of advance and suspend: within what the runner holds.
    auto span = [&] {
        need(2);
        auto ms = parseDuration(words[1]);
        if (!ms)
            throw Failure{"malformed duration " + words[1] + " (at most " + std::to_string(SimLoop::kMaxTimeHours) +
                          "h in all)"};
        if (!sim_->loop().canAdvance(*ms))
            throw Failure{"the simulated time would pass " + std::to_string(SimLoop::kMaxTimeHours) +
                          "h since the run began, the most the runner holds"};
        return *ms;
    };

    if (command == "clock") {
        need(2);
        auto ms = parseClock(words[1]);
        if (!ms) throw Failure{"malformed clock time " + words[1]};
        sim_->setWallClock(*ms);
    } else if (command == "windir") {
        if (words.size() < 2) throw Failure{"windir needs a folder"};
        if (program_) {
            note("windir is taken only before start");
            return;
        }
        windir_ = line.after(1);
    } else if (command == "start") {
        need(1);
        start();
    } else if (command == "advance") {
        sim_->advance(span());
    } else if (command == "suspend") {
        sim_->suspend(span());
    } else if (command == "fail") {
        if (words.size() < 2 || words[1] != "power") throw Failure{"fail takes power, as in fail power REASON"};
        const std::string reason = line.after(2);
        sim_->failPower(reason.empty() ? std::nullopt : std::optional<std::string>(reason));
    } else if (command == "click") {
        need(2);
        auto [w, c] = target(words[1]);
        Window* window = shownWindow(w);
        if (!window) return;
        Control* control = window->findControl(c);
        if (!control) throw Failure{words[1] + " cannot be clicked"};
        switch (control->kind()) {
            case ControlKind::PushButton:
            case ControlKind::Label:
            case ControlKind::CheckBox:
            case ControlKind::OptionButton:
                control->userClick();
                break;
            case ControlKind::Frame:
            case ControlKind::DropDownList:
            case ControlKind::ListBox:
            case ControlKind::EditBox:
            case ControlKind::Image:
            case ControlKind::WebView:
                throw Failure{words[1] + " is not a button, label, check box or option button"};
        }
    } else if (command == "select") {
        if (line.after(2).empty()) throw Failure{"select needs a list and an item"};
        auto [w, c] = target(words[1]);
        Window* window = shownWindow(w);
        if (!window) return;
        Control* control = window->findControl(c);
        if (!control || (control->kind() != ControlKind::DropDownList && control->kind() != ControlKind::ListBox))
            throw Failure{words[1] + " is not a list"};
        if (!static_cast<ListControl*>(control)->userSelect(line.after(2)))
            throw Failure{words[1] + " has no item " + line.after(2)};
    } else if (command == "type" || command == "paste") {
        if (line.after(2).empty()) throw Failure{command + " needs an edit box and a text"};
        auto [w, c] = target(words[1]);
        Window* window = shownWindow(w);
        if (!window) return;
        Control* control = window->findControl(c);
        if (!control || control->kind() != ControlKind::EditBox) throw Failure{words[1] + " is not an edit box"};
        auto* box = static_cast<EditBox*>(control);
        if (command == "type") {
            for (int code : textCodes(line.after(2))) box->userType(code);
        } else {
            std::string text;
            for (int code : textCodes(line.after(2))) text += utf8(code);
            box->userPaste(text);
        }
    } else if (command == "close") {
        need(2);
        auto [w, c] = target(words[1], false);
        if (!c.empty()) throw Failure{"close takes a window"};
        if (Window* window = shownWindow(w)) window->userClose();
    } else if (command == "tray") {
        need(2);
        std::vector<uint32_t> messages;
        if (words[1] == "left")
            messages = {kWmLButtonDown, kWmLButtonUp};
        else if (words[1] == "right")
            messages = {kWmRButtonDown, kWmRButtonUp};
        else if (words[1] == "middle")
            messages = {kWmMButtonDown, kWmMButtonUp};
        else if (words[1] == "double")
            messages = {kWmLButtonDown, kWmLButtonUp, kWmLButtonDblClk, kWmLButtonUp};
        else
            throw Failure{"unknown mouse button " + words[1]};
        if (!sim_->trayMessages(messages)) note("no icon in the notification area");
    } else if (command == "keydown" || command == "keyup") {
        if (words.size() < 2) throw Failure{command + " needs keys"};
        std::vector<int> keys;
        for (size_t i = 1; i < words.size(); ++i) {
            auto key = parseKey(words[i]);
            if (!key) throw Failure{"unknown key " + words[i]};
            keys.push_back(*key);
        }
        for (int key : keys) command == "keydown" ? sim_->keyDown(key) : sim_->keyUp(key);
    } else if (command == "command") {
        commandLine(std::vector<std::string>(words.begin() + 1, words.end()));
    } else if (command == "print") {
        need(2);
        print(words[1]);
    } else {
        throw Failure{"unknown command " + command};
    }
}

}  // namespace tolvane
