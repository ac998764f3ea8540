// The end-to-end scenario: the tray press, the main window's lists and SET with the warning,
// the "Hot Keys" window, the hotkeys, and a second start handing over to the first.
#include <cstdio>
#include <string>
#include <thread>

#include "tests/win32/e2e_user.h"

#include <windows.h>
#include <shellapi.h>

namespace tolvane::e2e {

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

}  // namespace tolvane::e2e
