// What the settings tests share: folders of their own, a file's bytes and rows, and a run of
// the whole program over a settings file.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <array>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/program.h"
#include "hotkeys/hk.h"
#include "hotkeys/values.h"
#include "platform/sim/sim_platform.h"
#include "tests/file_contents.h"
#include "tests/settings_file.h"
#include "tests/temp_folder.h"
#include "tools/sim/scenario.h"

namespace tolvane::settings_tests {

namespace fs = std::filesystem;
using test::execSql;
using test::writeFile;

inline const std::string kDefaultSettings = TOLVANE_DEFAULT_SETTINGS;

// A fresh folder with the settings file's place in it.
class TempDir : public test::TempFolder {
public:
    std::string file() const { return path() + "/tolvdata.v"; }
};

// A folder where a file should be reads as "(a folder)", so that a comparison says so.
inline std::string readBytes(const std::string& path)
{
    if (fs::is_directory(path)) return "(a folder)";
    return test::readFile(path);
}

// One query's rows, each field as text ("NULL" for Null).
inline std::vector<std::string> query(const std::string& path, const std::string& sql)
{
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, sql.c_str(),
            [](void* out, int n, char** values, char**) {
                std::string row;
                for (int i = 0; i < n; ++i) row += (i ? "," : "") + std::string(values[i] ? values[i] : "NULL");
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
}

const char* const kTables =
    "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT);"
    "CREATE TABLE en (a INTEGER, b INTEGER, c INTEGER, d INTEGER, e INTEGER);";
// Well-formed settings with every hotkey disabled.
inline const std::string kValid = std::string(kTables) +
                                  "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');"
                                  "INSERT INTO en VALUES (0, 0, 0, 0, 0);";

// The program started on the simulated platform over a folder, its transcript kept as lines.
class ProgramRun {
public:
    // store: a settings store in place of the simulated platform's own (null: its own).
    explicit ProgramRun(const std::string& folder, StoreApi* store = nullptr)
        : sim(folder, kDefaultSettings, [this](const std::string& line) { lines.push_back(line); }),
          platform(withStore(sim.platform(), store)),
          program(platform)
    {
        program.start();
    }
    ~ProgramRun() { sim.transcript().mute(); }

    // Transcript lines that hold the piece (and the second piece, when one is given).
    size_t count(const std::string& piece, const std::string& also = "") const
    {
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(piece) != std::string::npos && line.find(also) != std::string::npos;
        }));
    }
    // The index of the first line holding the piece, lines.size() when none does.
    size_t find(const std::string& piece, size_t from = 0) const
    {
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i].find(piece) != std::string::npos) return i;
        return lines.size();
    }
    bool powerRequested() const { return !sim.powerCalls().empty(); }
    // Ctrl, Alt and every letter and digit held for a few monitor ticks.
    void holdEveryKey()
    {
        std::vector<int> keys = {17, 18};
        for (int c = 'A'; c <= 'Z'; ++c) keys.push_back(c);
        for (int c = '0'; c <= '9'; ++c) keys.push_back(c);
        for (int key : keys) sim.keyDown(key);
        sim.advance(300);
        for (int key : keys) sim.keyUp(key);
    }
    // The user opens the window from the tray, presses SET on the start-up choices
    // ("Shutdown After 00:01") and waits a minute.
    void scheduleShutdownInOneMinute()
    {
        sim.trayMessages({513, 514});
        program.form1().Command1.userClick();
        sim.advance(60000);
    }
    // Types new keys and flags into HK and presses SET.
    void save(const std::string& keys, const std::vector<int>& flags)
    {
        HK& hk = program.hk();
        for (size_t row = 0; row < 5; ++row) {
            hk.keys()[row]->userPaste(keys.substr(row, 1));
            hk.checks()[row]->setValue(flags[row]);
        }
        hk.Command1.userClick();
    }

    // The user closes the hotkey window and opens it again with "Hot Keys".
    void reopenHotkeyWindow()
    {
        program.hk().userClose();
        program.form1().Command2.userClick();
    }

    std::vector<std::string> lines;
    SimPlatform sim;
    Platform platform;
    Program program;

private:
    static Platform withStore(Platform& p, StoreApi* store)
    {
        return {p.windows,
                p.events,
                p.display,
                p.dialogs,
                p.clock,
                p.privilege,
                p.power,
                p.keyboard,
                p.shell,
                p.launcher,
                p.web,
                p.environment,
                store ? *store : p.store};
    }
};

}  // namespace tolvane::settings_tests
