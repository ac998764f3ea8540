// End-to-end driver of tolv-dryrun.exe under Wine: drives the program from outside as a
// user would, with real input (SendInput clicks at the controls' places on the screen,
// real key presses), finds the windows with FindWindow, and reads what they show
// (WM_GETTEXT, CB_GETCURSEL, ...) and the calls the program logs. Only what the system
// itself sends stays a message: the shell's tray callback, the session's end, the power
// broadcast on waking, and a close request from another program (as taskkill sends one).
//
//   tolvane-e2e-driver scenario PROGRAM   tray press, list picks, SET with the warning,
//                                         the topmost warning, ExitWindowsEx(5, 0) after
//                                         one minute, Ctrl+Alt+<key> hotkeys, and a
//                                         second start handing over to the first
//   tolvane-e2e-driver nojet PROGRAM      no settings store: one message, no hotkeys,
//                                         no crash, no file created, and a second start
//                                         during the first one's message
//   tolvane-e2e-driver wake PROGRAM       (tolv-refusing.exe) the resume broadcast during
//                                         the warning gives it its 30 seconds again; the
//                                         refused shutdown, and a refused held hotkey,
//                                         each told once in a message box
//   tolvane-e2e-driver startup PROGRAM N  (benchmark) N start-ups, each timed from
//                                         CreateProcess to the tray icon's NIM_ADD
//   tolvane-e2e-driver screenshots PROGRAM FOLDER
//                                         pictures of the three windows as a user meets
//                                         them, form1.bmp, hk.bmp, form2.bmp (the warning
//                                         of a "Shutdown After 00:01"); the program is
//                                         ended before the schedule is due
// Exit status 0 when every check held; each failed check is printed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/file_contents.h"
#include "tests/win32/find_control.h"
#include "tests/win32/paths.h"
#include "tests/win32/real_input.h"

#include <windows.h>
#include <shellapi.h>

namespace {

using tolvane::test::childNamed;
using Clock = std::chrono::steady_clock;
using tolvane::test::readFile;
using tolvane::test::waitUntil;
using tolvane::test::windowsPath;
int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

int countOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string textOf(HWND hwnd)
{
    char text[512] = {};
    SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

struct TitleSearch {
    const std::function<bool(const std::string&)>* match;
    HWND found = nullptr;
};

BOOL CALLBACK matchTitle(HWND h, LPARAM p)
{
    auto* s = reinterpret_cast<TitleSearch*>(p);
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "TolvaneWindow" && (*s->match)(textOf(h))) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND windowTitled(const std::function<bool(const std::string&)>& match)
{
    TitleSearch search{&match};
    EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

using tolvane::test::centreOf;
using tolvane::test::clickAt;
using tolvane::test::mouseButton;
using tolvane::test::moveTo;
using tolvane::test::pressKey;
using tolvane::test::pressKeys;

// A real click in the middle of a control as it is on the screen, once a user can click it
// there: the control is shown and nothing lies over it at that point.
void click(HWND control)
{
    const POINT at = centreOf(control);
    if (!waitUntil(
            [&] {
                HWND hit = WindowFromPoint(at);
                return IsWindowVisible(control) && (hit == control || IsChild(control, hit));
            },
            5000))
        std::printf("note: a control is clicked where something else lies over it\n");
    clickAt(at);
}

// The header of a 24-bit picture as a BMP file and GetDIBits have it.
BITMAPINFOHEADER pictureHeader(int w, int h)
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    return info;
}

// What the screen shows in a rectangle: rows of 24-bit pixels, the bottom row first, each
// padded to four bytes, as a BMP file keeps them; empty when the screen could not be read.
std::vector<char> screenPixels(const RECT& r)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, picture);
    const bool copied = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
    SelectObject(memory, old);
    BITMAPINFOHEADER info = pictureHeader(w, h);
    std::vector<char> pixels(static_cast<size_t>((w * 3 + 3) & ~3) * h);
    const bool read =
        GetDIBits(memory, picture, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == h;
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied || !read) pixels.clear();
    return pixels;
}

// Whether the screen shows this colour in most of a rectangle: a selected list item, say,
// whose background shows around its text.
bool showsMostly(const RECT& r, COLORREF colour)
{
    const std::vector<char> pixels = screenPixels(r);
    const int w = r.right - r.left, h = r.bottom - r.top, stride = (w * 3 + 3) & ~3;
    int matching = 0;
    for (int y = 0; y < h && !pixels.empty(); ++y) {
        for (int x = 0; x < w; ++x) {
            const auto* bgr = reinterpret_cast<const unsigned char*>(&pixels[static_cast<size_t>(y * stride + x * 3)]);
            matching += RGB(bgr[2], bgr[1], bgr[0]) == colour;
        }
    }
    return matching * 2 > w * h;
}

struct ClassSearch {
    const char* name;
    HWND found = nullptr;
};

BOOL CALLBACK matchShownClass(HWND h, LPARAM p)
{
    auto* s = reinterpret_cast<ClassSearch*>(p);
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpiA(cls, s->name) == 0 && IsWindowVisible(h)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND shownWindowOfClass(const char* name)
{
    ClassSearch search{name};
    EnumWindows(matchShownClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The control that has the focus in the thread of `window` (GetFocus is the caller's own).
HWND focusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// A real pick from a drop-down list, as a user makes it: a click opens the list; the pointer
// goes onto the item, which the list shows lit up under it; a click there picks it; and the
// list is gone from the screen before anything else is clicked (a click that comes while it
// is still on the screen may be lost). Should the list still be open after all, the user
// clicks again, as this does, twice at most, saying so.
bool pick(HWND combo, int index)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) std::printf("note: the pick of item %d is tried again\n", index);
        if (SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) == FALSE) click(combo);
        if (!waitUntil([&] { return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }, 5000)) continue;
        // The opened list is a window of its own (GetComboBoxInfo does not cross processes).
        HWND dropped = nullptr;
        waitUntil([&] { return (dropped = shownWindowOfClass("ComboLBox")) != nullptr; }, 5000);
        if (!dropped) continue;
        const int top = static_cast<int>(SendMessageA(dropped, LB_GETTOPINDEX, 0, 0));
        const int height = static_cast<int>(SendMessageA(dropped, LB_GETITEMHEIGHT, 0, 0));
        RECT list{}, shown{};
        GetClientRect(dropped, &list);
        GetWindowRect(dropped, &shown);
        RECT item{list.left, (index - top) * height, list.right, (index - top + 1) * height};
        if (item.top < 0 || item.bottom > list.bottom) return false;  // not in view: no user sees it there
        MapWindowPoints(dropped, nullptr, reinterpret_cast<POINT*>(&item), 2);
        moveTo(POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
        // Inside the dotted focus frame, the selected item's colour around the text.
        InflateRect(&item, -2, -2);
        if (!waitUntil([&] { return showsMostly(item, GetSysColor(COLOR_HIGHLIGHT)); }, 5000)) continue;
        const std::vector<char> open = screenPixels(shown);
        mouseButton(true);
        mouseButton(false);
        if (waitUntil(
                [&] {
                    return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) == FALSE &&
                           SendMessageA(combo, CB_GETCURSEL, 0, 0) == index && screenPixels(shown) != open;
                },
                5000))
            return true;
    }
    return false;
}

// A real click on a window's close box.
bool pressCloseBox(HWND window)
{
    POINT box{};
    if (!tolvane::test::closeBoxOf(window, box)) return false;
    clickAt(box);
    return true;
}

void keys(const std::vector<WORD>& codes, bool down)
{
    std::vector<INPUT> inputs;
    for (WORD vk : codes) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Holds the keys for `ms` and lets them go again.
void hold(const std::vector<WORD>& codes, int ms)
{
    keys(codes, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::vector<WORD> reversed(codes.rbegin(), codes.rend());
    keys(reversed, false);
}

// Holds Ctrl+Alt+<key> for about `ms` and returns how many `line`s the program logged for
// it; `heldMs` is how long the keys were really down. Wine takes the keyboard's state from
// the X server when one of its windows gets the X focus, and so forgets keys SendInput
// holds when that focus comes late (a window just activated on a loaded machine): a
// press that gave nothing is made again, twice at most, and said.
int pressHotkey(WORD key, int ms, const std::string& log, const std::string& line, long long& heldMs)
{
    int requests = 0;
    for (int attempt = 0; attempt < 3 && requests == 0; ++attempt) {
        if (attempt > 0) std::printf("note: Ctrl+Alt+%c is pressed again\n", key);
        const int before = countOf(readFile(log), line);
        const auto down = Clock::now();
        hold({VK_CONTROL, VK_MENU, key}, ms);
        heldMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - down).count();
        waitUntil([&] { return countOf(readFile(log), line) > before; }, 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a poll that saw the keys may still write
        requests = countOf(readFile(log), line) - before;
    }
    return requests;
}

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

std::string workFolder()
{
    char value[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TOLVANE_TEST_WORK", value, MAX_PATH)) return windowsPath(value);
    GetTempPathA(MAX_PATH, value);
    std::string folder = value;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

const char* kForm1Title = "Tolvane 3.0 - Quenmoor";

// "Hot Keys": a new key typed through the key filter, a row enabled, SET, the message,
// the store written, the new hotkey acting at once; closing gives the main window back.
void hotkeyWindow(HWND form1, const std::string& log, const std::string& store)
{
    click(childNamed(form1, "Command2"));
    HWND hk = nullptr;
    waitUntil([&] { return (hk = FindWindowA("TolvaneWindow", "Setup Hot Keys")) != nullptr && IsWindowVisible(hk); },
              5000);
    check(hk && IsWindowVisible(hk), "\"Hot Keys\" shows the hotkey window");
    check(!IsWindowVisible(form1), "and hides the main window");
    if (!hk) return;
    HWND text2 = childNamed(hk, "Text2"), check2 = childNamed(hk, "Check2"), set = childNamed(hk, "Command1"),
         list = childNamed(hk, "combo1");
    check(text2 && check2 && set && list, "the hotkey window's controls are found by name");
    if (!(text2 && check2 && set && list)) return;
    check(textOf(text2) == "R", "the restart key box shows the stored R");
    // Into the box once the window's activation has put the focus on its first control
    // (late on a loaded machine, it would take the focus back from the box), its one
    // character selected (End, Shift+Home), then typed over.
    waitUntil([&] { return IsChild(hk, focusOf(hk)) != FALSE; }, 5000);
    for (int attempt = 0; attempt < 3 && focusOf(hk) != text2; ++attempt) {
        if (attempt > 0) std::printf("note: the key box is clicked again\n");
        click(text2);
        waitUntil([&] { return focusOf(hk) == text2; }, 3000);
    }
    pressKey(VK_END);
    pressKeys({VK_SHIFT, VK_HOME});
    pressKeys({VK_SHIFT, '1'});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // nothing is to come: give the key its time
    check(textOf(text2) == "R", "a typed \"!\" is refused by the key filter");
    pressKey('X');
    check(waitUntil([&] { return textOf(text2) == "X"; }, 5000), "a typed \"x\" replaces the selection as \"X\"");
    click(check2);
    check(waitUntil([&] { return SendMessageA(check2, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000),
          "a click ticks the restart row");
    click(set);
    HWND box = nullptr;
    check(waitUntil([&] { return (box = FindWindowA("#32770", "Tolvane 3.0")) != nullptr; }, 10000),
          "a message follows SET");
    if (box) {
        check(textOf(GetDlgItem(box, 0xFFFF)) == "Settings Saved", "it reads \"Settings Saved\"");
        click(GetDlgItem(box, IDOK));
        check(waitUntil([&] { return !IsWindow(box); }, 5000), "a click on OK closes it");
    }
    const std::string saved = readFile(store);
    check(saved.find("en\t1\t1\t0\t0\t0") != std::string::npos && saved.find("ky\tS\tX\tL\tH\tB") != std::string::npos,
          "both records are in the store");
    // Asked in UTF-16: Wine hands list texts across processes in the list's own
    // (Unicode) form whatever the caller's.
    wchar_t wide[128] = {};
    SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(wide));
    char line[128] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, line, sizeof line, nullptr, nullptr);
    check(std::string(line) == "Restart on Ctrl+Alt+X Enabled", std::string("the settings list: ") + line);
    long long held = 0;
    check(pressHotkey('X', 300, log, "ExitWindowsEx(6, 0)", held) >= 1,
          "the new Ctrl+Alt+X calls ExitWindowsEx(6, 0) at once");
    check(pressCloseBox(hk), "the hotkey window has a close box");
    check(waitUntil([&] { return !IsWindow(hk) && IsWindowVisible(form1); }, 5000),
          "closing the hotkey window shows the main window again");
}

int scenario(const std::string& exe)
{
    const std::string folder = workFolder();
    const std::string log = folder + "\\dryrun.log";
    const std::string store = folder + "\\store.txt";
    DeleteFileA(log.c_str());
    // Shutdown on S enabled, restart on R disabled.
    std::ofstream(store, std::ios::binary) << "ky\tS\tR\tL\tH\tB\r\nen\t1\t0\t0\t0\t0\r\n";
    SetEnvironmentVariableA("TOLVANE_DRYRUN_LOG", log.c_str());
    SetEnvironmentVariableA("TOLVANE_DRYRUN_STORE", store.c_str());

    Program program;
    const auto launched = Clock::now();
    if (!program.start(exe)) {
        check(false, "tolv-dryrun.exe starts");
        return 1;
    }
    check(waitUntil([&] { return readFile(log).find("Shell_NotifyIcon(NIM_ADD") != std::string::npos; }, 60000),
          "start-up ends with the tray icon added");
    std::printf(
        "start-up to the tray icon: %lld ms\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - launched).count()));
    HWND form1 = FindWindowA("TolvaneWindow", kForm1Title);
    HWND tray = FindWindowA("TolvaneTray", nullptr);
    check(form1 != nullptr, "the main window exists");
    check(tray != nullptr, "the tray control's window exists");
    if (!form1 || !tray) return 1;
    check(!IsWindowVisible(form1), "the main window starts hidden");
    check(readFile(log).find("MessageBox") == std::string::npos, "the supplied store opens without a message");

    // Hotkeys, with the window still in the tray.
    keys({VK_CONTROL, VK_MENU, 'S'}, true);
    check(waitUntil([&] { return countOf(readFile(log), "ExitWindowsEx(5, 0)") >= 1; }, 5000),
          "Ctrl+Alt+S (enabled) calls ExitWindowsEx(5, 0)");
    keys({'S', VK_MENU, VK_CONTROL}, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int afterHotkey = countOf(readFile(log), "ExitWindowsEx(5, 0)");
    hold({VK_CONTROL, VK_MENU, 'R'}, 1500);
    check(countOf(readFile(log), "ExitWindowsEx(6, 0)") == 0, "Ctrl+Alt+R (disabled) calls nothing");
    hold({'S'}, 800);
    hold({VK_CONTROL, 'S'}, 800);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    check(countOf(readFile(log), "ExitWindowsEx(5, 0)") == afterHotkey, "S alone and Ctrl+S call nothing");

    // The tray icon brings the window back: the shell tells a press on the icon with the
    // icon's callback message (512, the press in lParam), which is sent here as the
    // shell sends it.
    SendMessageA(tray, 512, 0, 513);
    check(waitUntil([&] { return IsWindowVisible(form1) != FALSE; }, 5000),
          "a press on the tray icon shows the window");
    check(readFile(log).find("Shell_NotifyIcon(NIM_DELETE") != std::string::npos, "and removes the icon");

    HWND combo1 = childNamed(form1, "Combo1"), combo3 = childNamed(form1, "Combo3"),
         combo4 = childNamed(form1, "Combo4"), check6 = childNamed(form1, "Check6"),
         command1 = childNamed(form1, "Command1"), label3 = childNamed(form1, "Label3");
    check(combo1 && combo3 && combo4 && check6 && command1 && label3, "the controls are found by name");
    if (!(combo1 && combo3 && combo4 && check6 && command1 && label3)) return 1;
    check(textOf(label3) == "Currently no action scheduled", "the status line starts idle");
    check(pick(combo1, 2), "\"Log off After\" picked");  // and back: the pick is the program's
    check(pick(combo1, 0), "\"Shutdown After\" picked");
    check(pick(combo3, 0), "hours \"00\" picked");
    check(pick(combo4, 0), "minutes \"01\" picked");
    click(check6);
    check(waitUntil([&] { return SendMessageA(check6, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000),
          "the warning is ticked");
    const int before = countOf(readFile(log), "ExitWindowsEx(5, 0)");
    click(command1);
    check(waitUntil([&] { return textOf(command1) == "RESET"; }, 5000), "the button reads RESET");
    const auto set = Clock::now();
    check(textOf(label3) == "Shutdown After 00:01    Warning Enabled", "Label3: " + textOf(label3));

    auto since = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - set).count(); };
    HWND warning = nullptr;
    check(waitUntil(
              [&] {
                  warning = windowTitled([](const std::string& t) { return t.rfind("Shutdown After  ", 0) == 0; });
                  return warning != nullptr;
              },
              45000),
          "the warning window opens");
    if (warning) {
        const long long at = since();
        check(at >= 29000 && at <= 33000, "30 seconds after SET (at " + std::to_string(at) + " ms)");
        const std::string title = textOf(warning);
        check(title == "Shutdown After  29 Seconds" || title == "Shutdown After  28 Seconds",
              "warning title: " + title);
        check((GetWindowLongA(warning, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, "the warning window is topmost");
    }
    check(waitUntil([&] { return countOf(readFile(log), "ExitWindowsEx(5, 0)") > before; }, 90000),
          "the schedule calls ExitWindowsEx(5, 0)");
    const long long due = since();
    check(due >= 59000 && due <= 63000, "one minute after SET (at " + std::to_string(due) + " ms)");
    check(waitUntil([&] { return textOf(label3) == "Currently no action scheduled"; }, 2000),
          "the status line is idle again");
    check(textOf(command1) == "SET", "the button reads SET again");
    hotkeyWindow(form1, log, store);

    // The close box hides the window to the tray and is refused; the session end is not.
    const int adds = countOf(readFile(log), "Shell_NotifyIcon(NIM_ADD");
    check(pressCloseBox(form1), "the main window has a close box");
    check(waitUntil([&] { return !IsWindowVisible(form1); }, 5000) && IsWindow(form1),
          "the close box hides the main window and keeps it");
    check(waitUntil([&] { return countOf(readFile(log), "Shell_NotifyIcon(NIM_ADD") == adds + 1; }, 5000),
          "and puts the icon back");
    // A close request from another program (taskkill sends one) to the hidden window.
    SendMessageA(form1, WM_CLOSE, 0, 0);
    check(countOf(readFile(log), "Shell_NotifyIcon(NIM_ADD") == adds + 1, "a second close adds no second icon");
    check(SendMessageA(form1, WM_QUERYENDSESSION, 0, 0) == TRUE, "the end of the session is not refused");
    check(program.running(), "the program is still running");

    // A second start (the autostart and the menu entry) hands over to the running one.
    const int deletes = countOf(readFile(log), "Shell_NotifyIcon(NIM_DELETE");
    Program second;
    check(second.start(exe) && second.endsWithin(30000) && program.running(),
          "a second start ends by itself, with code 0, and the first one runs on");
    check(waitUntil([&] { return IsWindowVisible(form1) != FALSE; }, 5000), "the main window is shown");
    check(countOf(readFile(log), "Shell_NotifyIcon(NIM_DELETE") == deletes + 1 &&
              countOf(readFile(log), "Shell_NotifyIcon(NIM_ADD") == adds + 1,
          "its icon is taken away and the second start adds none");
    // One program polls ten times a second: 1 to 4 requests for 300 ms (more only when a
    // loaded machine kept the keys down longer); two programs give twice as many.
    long long held = 0;
    const int requests = pressHotkey('S', 300, log, "ExitWindowsEx(5, 0)", held);
    const int most = std::max<int>(4, static_cast<int>(held / 100) + 1);
    check(requests >= 1 && requests <= most, "a " + std::to_string(held) + " ms Ctrl+Alt+S gives " +
                                                 std::to_string(requests) + " requests, 1 to " + std::to_string(most));
    return failures == 0 ? 0 : 1;
}

// The title's seconds of a warning window ("Shutdown After  24 Seconds" gives 24), or -1.
int warningSeconds(HWND warning)
{
    const std::string title = textOf(warning);
    const std::string prefix = "Shutdown After  ";
    if (title.rfind(prefix, 0) != 0) return -1;
    return std::atoi(title.c_str() + prefix.size());
}

// The computer wakes while the warning counts down, and the shutdown is refused. Wine can
// neither sleep nor refuse (its ExitWindowsEx ends the prefix, its SetSystemPowerState does
// nothing), so the system's resume broadcast is posted here as the system sends it, to
// every top-level window, and PROGRAM is tolv-refusing.exe: the dry run as an account
// without the shutdown privilege meets it (refusing_power.h).
int wakeAndRefusal(const std::string& exe)
{
    const std::string folder = workFolder();
    const std::string log = folder + "\\refusing.log";
    const std::string store = folder + "\\refusing-store.txt";
    DeleteFileA(log.c_str());
    std::ofstream(store, std::ios::binary) << "ky\tS\tR\tL\tH\tB\r\nen\t1\t0\t0\t0\t0\r\n";  // Ctrl+Alt+S: shutdown
    SetEnvironmentVariableA("TOLVANE_DRYRUN_LOG", log.c_str());
    SetEnvironmentVariableA("TOLVANE_DRYRUN_STORE", store.c_str());
    Program program;
    if (!program.start(exe)) {
        check(false, "tolv-refusing.exe starts");
        return 1;
    }
    check(waitUntil([&] { return readFile(log).find("Shell_NotifyIcon(NIM_ADD") != std::string::npos; }, 60000),
          "start-up ends with the tray icon added");
    HWND form1 = FindWindowA("TolvaneWindow", kForm1Title), tray = FindWindowA("TolvaneTray", nullptr);
    check(form1 && tray, "the main window and the tray control's window exist");
    if (!form1 || !tray) return 1;
    SendMessageA(tray, 512, 0, 513);  // a press on the icon, as the shell tells it
    check(waitUntil([&] { return IsWindowVisible(form1) != FALSE; }, 5000), "the tray icon shows the main window");
    HWND label9 = childNamed(form1, "Label9"), check6 = childNamed(form1, "Check6"),
         label3 = childNamed(form1, "Label3"), command1 = childNamed(form1, "Command1");
    check(label9 && check6 && label3 && command1, "the controls are found by name");
    if (!(label9 && check6 && label3 && command1)) return 1;
    click(label9);
    check(waitUntil([&] { return SendMessageA(check6, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000),
          "the warning is ticked");
    click(command1);
    const bool armed = waitUntil([&] { return textOf(command1) == "RESET"; }, 5000);
    check(armed && textOf(label3) == "Shutdown After 00:01    Warning Enabled",
          "SET arms \"Shutdown After 00:01\" with the warning: " + textOf(label3));

    HWND warning = nullptr;
    check(waitUntil(
              [&] {
                  warning = windowTitled([](const std::string& t) { return t.rfind("Shutdown After  ", 0) == 0; });
                  return warning && warningSeconds(warning) >= 0 && warningSeconds(warning) <= 25;
              },
              50000),
          "the warning window counts down to 25 seconds");
    if (!warning) return 1;
    // The computer wakes: Windows tells every top-level window, once the wake and once more
    // that a person is there; the program hears one wake.
    PostMessageA(HWND_BROADCAST, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    PostMessageA(HWND_BROADCAST, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    const auto woke = Clock::now();
    auto sinceWake = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - woke).count(); };
    const bool again = waitUntil([&] { return warningSeconds(warning) >= 28; }, 5000);
    check(again, "on waking the warning starts its 30 seconds again: " + textOf(warning));
    check(countOf(readFile(log), "ExitWindowsEx") == 0, "and nothing is carried out yet");

    check(waitUntil([&] { return countOf(readFile(log), "ExitWindowsEx(5, 0)") == 1; }, 45000),
          "the schedule calls ExitWindowsEx(5, 0)");
    const long long due = sinceWake();
    // The minute would have been 25 seconds after waking. Wine adds up to 2 s when the warning
    // window closes first (its X11 driver waits for the unmapped window).
    check(due >= 29000 && due <= 36000,
          "30 seconds after waking, not at the minute (at " + std::to_string(due) + " ms)");
    HWND box = nullptr;
    check(waitUntil([&] { return (box = FindWindowA("#32770", "Tolvane 3.0")) != nullptr; }, 10000),
          "a message box titled \"Tolvane 3.0\" tells of the refusal");
    if (!box) return 1;
    const std::string text = textOf(GetDlgItem(box, 0xFFFF));
    check(text.rfind("Shutdown could not be carried out: ", 0) == 0 && text.find("(error 1314)") != std::string::npos,
          "it names the action and the system's reason: " + text);
    check(text.find("The shutdown privilege could not be enabled when the program started: AdjustTokenPrivileges: ") !=
                  std::string::npos &&
              text.find("(error 1300)") != std::string::npos,
          "and says that the privilege could not be enabled");
    check(textOf(label3) == "Currently no action scheduled" && textOf(command1) == "SET",
          "the schedule has ended as usual");
    click(GetDlgItem(box, IDOK));
    check(waitUntil([&] { return !IsWindow(box); }, 5000), "a click on OK closes it");

    // A held hotkey: its first request is refused and told; the message box holds up the
    // poll that opened it, so the keys held on meanwhile ask nothing more. (That a press still
    // held after OK is refused again untold Wine cannot show: it forgets keys that SendInput
    // holds when the focus comes back to a window; the simulator's refused.scn shows it.)
    const int boxes = countOf(readFile(log), "MessageBox(");
    HWND second = nullptr;
    for (int attempt = 0; attempt < 3 && !second; ++attempt) {
        if (attempt > 0) std::printf("note: Ctrl+Alt+S is pressed again\n");
        keys({VK_CONTROL, VK_MENU, 'S'}, true);
        waitUntil([&] { return (second = FindWindowA("#32770", "Tolvane 3.0")) != nullptr; }, 3000);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        keys({'S', VK_MENU, VK_CONTROL}, false);
    }
    check(second != nullptr, "Ctrl+Alt+S held for a second is refused and told in a message box");
    const std::string calls = readFile(log);
    check(countOf(calls, "MessageBox(") == boxes + 1, "one message for the press");
    if (second) click(GetDlgItem(second, IDOK));
    check(waitUntil([&] { return FindWindowA("#32770", "Tolvane 3.0") == nullptr; }, 5000), "which OK closes");
    check(program.running(), "the program is still running");
    return failures == 0 ? 0 : 1;
}

int noJet(const std::string& exe)
{
    const std::string folder = workFolder();
    const std::string log = folder + "\\dryrun.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("TOLVANE_DRYRUN_LOG", log.c_str());
    SetEnvironmentVariableA("TOLVANE_DRYRUN_STORE", nullptr);
    char windowsFolder[MAX_PATH];
    GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    const std::string settings = std::string(windowsFolder) + "\\tolvdata.v";
    DeleteFileA(settings.c_str());

    Program program;
    if (!program.start(exe)) {
        check(false, "tolv-dryrun.exe starts");
        return 1;
    }
    HWND box = nullptr;
    check(waitUntil([&] { return (box = FindWindowA("#32770", "Tolvane 3.0")) != nullptr; }, 60000),
          "a message box titled \"Tolvane 3.0\" appears");
    if (!box) return 1;
    const std::string text = textOf(GetDlgItem(box, 0xFFFF));
    check(text.find("cannot be used") != std::string::npos && text.find("without hotkeys") != std::string::npos,
          "it says the hotkeys are off: " + text);
    check(GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr, "with an OK button only");
    HWND icon = GetDlgItem(box, 0x14);  // the message box's icon control
    check(!icon || !IsWindowVisible(icon), "and no icon");
    Program second;  // while the first one is still starting
    check(second.start(exe) && second.endsWithin(30000), "a second start meanwhile ends by itself");
    click(GetDlgItem(box, IDOK));
    check(waitUntil([&] { return readFile(log).find("Shell_NotifyIcon(NIM_ADD") != std::string::npos; }, 20000),
          "start-up goes on to the tray icon");
    HWND form1 = FindWindowA("TolvaneWindow", kForm1Title);
    check(waitUntil([&] { return form1 && IsWindowVisible(form1); }, 5000),
          "and then shows the main window the second start asked for");
    hold({VK_CONTROL, VK_MENU, 'S', 'R', 'L', 'H', 'B'}, 1500);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string calls = readFile(log);
    check(calls.find("ExitWindowsEx") == std::string::npos && calls.find("SetSystemPowerState") == std::string::npos,
          "no hotkey acts");
    check(countOf(calls, "MessageBox(") == 1, "exactly one message");
    check(program.running(), "the program is still running");
    check(GetFileAttributesA(settings.c_str()) == INVALID_FILE_ATTRIBUTES, "no settings file was created");
    return failures == 0 ? 0 : 1;
}

// Takes the icon of a program about to be ended away as the program itself would, so
// that the next start does not wait on the shell dropping a dead window's icon.
void removeTrayIcon(const std::string& log)
{
    const std::string text = readFile(log);
    const size_t at = text.find("Shell_NotifyIcon(NIM_ADD, uID ");
    HWND tray = FindWindowA("TolvaneTray", nullptr);
    if (at == std::string::npos || !tray) return;
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = tray;
    data.uID = static_cast<UINT>(std::stoul(text.substr(at + 30)));
    Shell_NotifyIconA(NIM_DELETE, &data);
}

int timeStartups(const std::string& exe, int runs)
{
    const std::string folder = workFolder();
    const std::string log = folder + "\\startup.log";
    const std::string store = folder + "\\startup-store.txt";
    std::ofstream(store, std::ios::binary) << "ky\tS\tR\tL\tH\tB\r\nen\t0\t0\t0\t0\t0\r\n";
    SetEnvironmentVariableA("TOLVANE_DRYRUN_LOG", log.c_str());
    SetEnvironmentVariableA("TOLVANE_DRYRUN_STORE", store.c_str());
    std::vector<long long> times;
    for (int i = 0; i < runs; ++i) {
        DeleteFileA(log.c_str());
        Program program;
        const auto launched = Clock::now();
        if (!program.start(exe)) return 1;
        if (!waitUntil([&] { return readFile(log).find("Shell_NotifyIcon(NIM_ADD") != std::string::npos; }, 60000))
            return 1;
        times.push_back(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - launched).count());
        removeTrayIcon(log);
    }
    for (long long t : times) std::printf("start-up to the tray icon: %.1f ms\n", static_cast<double>(t) / 1000.0);
    return 0;
}

// The window's rectangle, frame included, as the screen shows it (whatever lies over
// it too), written as a 24-bit BMP.
bool saveShot(HWND window, const std::string& file)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let it paint
    RECT r{};
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const std::vector<char> pixels = screenPixels(r);
    const BITMAPINFOHEADER info = pictureHeader(w, h);
    BITMAPFILEHEADER head{};
    head.bfType = 0x4D42;  // "BM"
    head.bfOffBits = sizeof head + sizeof info;
    head.bfSize = static_cast<DWORD>(head.bfOffBits + pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&head), sizeof head);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    std::printf("%s: %dx%d at %ld,%ld\n", file.c_str(), w, h, r.left, r.top);
    std::fflush(stdout);
    return !pixels.empty() && out.good();
}

// The main window from the tray; a warned SET of "Shutdown After 00:01" (the start-up
// selection), the hotkey window, and the warning thirty seconds after SET.
int screenshots(const std::string& exe, const std::string& folder)
{
    const std::string log = workFolder() + "\\shots.log";
    const std::string store = workFolder() + "\\shots-store.txt";
    std::ofstream(store, std::ios::binary) << "ky\tS\tR\tL\tH\tB\r\nen\t0\t0\t0\t0\t0\r\n";
    SetEnvironmentVariableA("TOLVANE_DRYRUN_LOG", log.c_str());
    SetEnvironmentVariableA("TOLVANE_DRYRUN_STORE", store.c_str());
    auto fail = [](const std::string& what) {
        std::fflush(stdout);
        std::fprintf(stderr, "screenshots: %s\n", what.c_str());
        return 1;
    };
    Program program;
    if (!program.start(exe)) return fail("tolv-dryrun.exe does not start");
    if (!waitUntil([&] { return readFile(log).find("Shell_NotifyIcon(NIM_ADD") != std::string::npos; }, 60000))
        return fail("no tray icon");
    HWND form1 = FindWindowA("TolvaneWindow", kForm1Title), tray = FindWindowA("TolvaneTray", nullptr);
    if (!form1 || !tray) return fail("no main window");
    SendMessageA(tray, 512, 0, 513);  // a press on the icon, as the shell tells it
    if (!waitUntil([&] { return IsWindowVisible(form1) != FALSE; }, 5000))
        return fail("the main window did not come up");
    if (!saveShot(form1, folder + "\\form1.bmp")) return fail("no picture of the main window");

    HWND label9 = childNamed(form1, "Label9"), check6 = childNamed(form1, "Check6"),
         label3 = childNamed(form1, "Label3"), set = childNamed(form1, "Command1"),
         hotKeys = childNamed(form1, "Command2");
    if (!(label9 && check6 && label3 && set && hotKeys)) return fail("the main window's controls are not found");
    click(label9);
    if (!waitUntil([&] { return SendMessageA(check6, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000))
        return fail("a click on the warning option does not tick it");
    click(set);
    if (!waitUntil([&] { return textOf(set) == "RESET"; }, 5000) ||
        textOf(label3) != "Shutdown After 00:01    Warning Enabled")
        return fail("SET does not arm a warned \"Shutdown After 00:01\": " + textOf(label3));
    const auto armed = Clock::now();
    click(hotKeys);
    HWND hk = nullptr;
    if (!waitUntil([&] { return (hk = FindWindowA("TolvaneWindow", "Setup Hot Keys")) && IsWindowVisible(hk); }, 5000))
        return fail("the hotkey window did not come up");
    if (!saveShot(hk, folder + "\\hk.bmp")) return fail("no picture of the hotkey window");

    HWND warning = nullptr;
    if (!waitUntil(
            [&] {
                warning = windowTitled([](const std::string& t) { return t.rfind("Shutdown After  ", 0) == 0; });
                return warning && IsWindowVisible(warning);
            },
            40000))
        return fail("the warning window did not come up");
    if (!saveShot(warning, folder + "\\form2.bmp")) return fail("no picture of the warning window");
    if (Clock::now() - armed > std::chrono::seconds(50) || readFile(log).find("ExitWindowsEx") != std::string::npos)
        return fail("the schedule came too near its end");
    return 0;  // ending `program` takes the schedule with it
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "startup") return timeStartups(windowsPath(argv[2]), std::atoi(argv[3]));
    if (argc == 4 && std::string(argv[1]) == "screenshots")
        return screenshots(windowsPath(argv[2]), windowsPath(argv[3]));
    if (argc != 3) {
        std::fprintf(
            stderr,
            "usage: tolvane-e2e-driver scenario|nojet|wake PROGRAM | startup PROGRAM RUNS | screenshots PROGRAM "
            "FOLDER\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string exe = windowsPath(argv[2]);
    if (mode == "scenario") return scenario(exe);
    if (mode == "nojet") return noJet(exe);
    if (mode == "wake") return wakeAndRefusal(exe);
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
