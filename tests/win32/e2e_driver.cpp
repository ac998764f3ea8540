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

#include "tests/win32/e2e_user.h"

namespace tolvane::e2e {
namespace {

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
}  // namespace tolvane::e2e

using namespace tolvane::e2e;

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
