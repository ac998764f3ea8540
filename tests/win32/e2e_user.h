// What the end-to-end driver does and sees as a user would: windows found by their titles,
// real clicks and key presses (SendInput), list picks, what the screen shows in a rectangle,
// and the program started as a process. Each failed check is printed and counted.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/file_contents.h"
#include "tests/win32/find_control.h"
#include "tests/win32/paths.h"
#include "tests/win32/real_input.h"

#include <windows.h>

namespace tolvane::e2e {

using Clock = std::chrono::steady_clock;
using tolvane::test::centreOf;
using tolvane::test::childNamed;
using tolvane::test::clickAt;
using tolvane::test::mouseButton;
using tolvane::test::moveTo;
using tolvane::test::pressKey;
using tolvane::test::pressKeys;
using tolvane::test::readFile;
using tolvane::test::waitUntil;
using tolvane::test::windowsPath;

inline const char* const kForm1Title = "Tolvane 3.0 - Quenmoor";

// How many checks failed so far.
extern int failures;
void check(bool ok, const std::string& what);

int countOf(const std::string& text, const std::string& what);
std::string textOf(HWND hwnd);
// The program's top-level window whose title matches.
HWND windowTitled(const std::function<bool(const std::string&)>& match);
HWND shownWindowOfClass(const char* name);
HWND focusOf(HWND window);

void click(HWND control);
bool pick(HWND combo, int index);
bool pressCloseBox(HWND window);
void keys(const std::vector<WORD>& codes, bool down);
void hold(const std::vector<WORD>& codes, int ms);
int pressHotkey(WORD key, int ms, const std::string& log, const std::string& line, long long& heldMs);

BITMAPINFOHEADER pictureHeader(int w, int h);
std::vector<char> screenPixels(const RECT& r);
bool showsMostly(const RECT& r, COLORREF colour);

struct Program {
    PROCESS_INFORMATION process{};
    bool start(const std::string& exe)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string line = "\"" + exe + "\"";
        return CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process) != FALSE;
    }
    bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    // Whether it ends by itself within `ms`, with exit code 0.
    bool endsWithin(int ms) const
    {
        DWORD code = 1;
        return WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process.hProcess, &code) && code == 0;
    }
    ~Program()
    {
        if (process.hProcess) {
            TerminateProcess(process.hProcess, 0);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

// Where the tests' files go: TOLVANE_TEST_WORK, or the temporary folder.
std::string workFolder();

// The tray press, list picks, SET with the warning, the hotkeys and a second start
// (e2e_scenario.cpp).
int scenario(const std::string& exe);

}  // namespace tolvane::e2e
