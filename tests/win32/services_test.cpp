// The Windows services: the tray control's window, the dry-run log, the privilege
// calls, the power calls' refusals, the environment, the clocks and waking.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <vector>

#include "platform/model/window_system.h"
#include "platform/win32/dry_run.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_power.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"
#include "power/sp.h"
#include "tests/file_contents.h"
#include "tests/win32/paths.h"
#include "tests/win32/refusing_power.h"

#include <windows.h>
#undef Shell_NotifyIcon

using namespace tolvane;
using test::readFile;
using test::tempPath;

TEST(TrayWindow, ReceivesTheShellsCallbackAndNothingElse)
{
    win32::Win32Shell shell(GetModuleHandleA(nullptr));
    std::vector<std::pair<uint32_t, uint32_t>> got;
    const uint32_t handle = shell.createMessageWindow([&](uint32_t m, uint32_t l) { got.emplace_back(m, l); });
    ASSERT_NE(handle, 0u);
    HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    EXPECT_EQ(FindWindowA("TolvaneTray", nullptr), hwnd);  // a test driver finds it
    EXPECT_FALSE(IsWindowVisible(hwnd));
    SendMessageA(hwnd, 512, 46239, 513);
    SendMessageA(hwnd, 512, 46239, 517);
    SendMessageA(hwnd, WM_USER + 1, 0, 513);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], std::make_pair(512u, 513u));
    EXPECT_EQ(got[1], std::make_pair(512u, 517u));
    shell.destroyMessageWindow(handle);
    EXPECT_FALSE(IsWindow(hwnd));
    shell.destroyMessageWindow(handle);  // a second destroy is harmless
}

TEST(TrayWindow, RequestsAreLoggedWithTheirIdentity)
{
    const std::string path = tempPath("tolv-tray-test.log");
    std::remove(path.c_str());
    win32::DryRunLog log(path);
    win32::Win32Shell systemShell(GetModuleHandleA(nullptr));
    win32::LoggingShell shell(systemShell, log);
    NotifyIconRecord record{};
    record[0] = 88;
    record[8] = 0x9F;  // uID 0xB49F = 46239
    record[9] = 0xB4;
    shell.Shell_NotifyIcon(NIM_ADD, record);
    shell.Shell_NotifyIcon(NIM_DELETE, record);
    EXPECT_EQ(readFile(path), "Shell_NotifyIcon(NIM_ADD, uID 46239)\r\nShell_NotifyIcon(NIM_DELETE, uID 46239)\r\n");
    std::remove(path.c_str());
}

TEST(DryRunPower, EachCallIsOneFlushedLine)
{
    const std::string path = tempPath("tolv-power-test.log");
    std::remove(path.c_str());
    win32::DryRunLog log(path);
    win32::LoggingPower power(log);
    int refusals = 0;
    power.refused = [&](int16_t, const std::string&) { ++refusals; };
    EXPECT_TRUE(power.ExitWindowsEx(5, 0));
    // Readable by another process at once, before anything else happens.
    EXPECT_EQ(readFile(path), "ExitWindowsEx(5, 0)\r\n");
    power.ExitWindowsEx(6, 0);
    power.ExitWindowsEx(4, 0);
    power.SetSystemPowerState(false, false);
    power.SetSystemPowerState(true, true);
    EXPECT_EQ(readFile(path),
              "ExitWindowsEx(5, 0)\r\nExitWindowsEx(6, 0)\r\nExitWindowsEx(4, 0)\r\n"
              "SetSystemPowerState(0, 0)\r\nSetSystemPowerState(1, 1)\r\n");
    EXPECT_EQ(refusals, 0);
    std::remove(path.c_str());
}

// A failed call is told once, with the action its arguments stand for and the system's own
// message for the error, in the user's language, with its number.
TEST(PowerRefusal, AFailedCallIsToldWithItsActionAndTheSystemsWords)
{
    const std::string path = tempPath("tolv-refusal-test.log");
    win32::DryRunLog log(path);
    test::RefusingPower power(log, ERROR_ACCESS_DENIED);
    std::vector<std::pair<int16_t, std::string>> told;
    power.refused = [&](int16_t action, const std::string& reason) { told.emplace_back(action, reason); };
    EXPECT_FALSE(power.ExitWindowsEx(5, 0));
    EXPECT_FALSE(power.ExitWindowsEx(6, 0));
    EXPECT_FALSE(power.ExitWindowsEx(4, 0));
    EXPECT_FALSE(power.SetSystemPowerState(false, false));
    EXPECT_FALSE(power.SetSystemPowerState(true, true));
    const std::string reason = win32::systemMessage(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::regex_match(reason, std::regex(".*[^ ] \\(error 5\\)"))) << reason;  // words, then the number
    const std::vector<std::pair<int16_t, std::string>> expected{
        {1, reason}, {2, reason}, {3, reason}, {4, reason}, {5, reason}};
    EXPECT_EQ(told, expected);
    EXPECT_EQ(win32::systemMessage(0xDEADu), "(error 57005)");  // no words for it: the number alone
    std::remove(path.c_str());
}

// An account without the shutdown privilege: AdjustTokenPrivileges "succeeds" with
// ERROR_NOT_ALL_ASSIGNED, and the refusal of every action that needs the privilege says so.
TEST(PowerRefusal, APrivilegeThatCouldNotBeEnabledIsToldWithTheRefusal)
{
    const std::string path = tempPath("tolv-privilege-test.log");
    win32::DryRunLog log(path);
    test::RefusingPower power(log);
    std::vector<std::pair<int16_t, std::string>> told;
    power.refused = [&](int16_t action, const std::string& reason) { told.emplace_back(action, reason); };
    SP_proc1(power);
    EXPECT_EQ(power.privilegeFailure(), "AdjustTokenPrivileges: " + win32::systemMessage(ERROR_NOT_ALL_ASSIGNED));
    power.ExitWindowsEx(5, 0);
    power.ExitWindowsEx(4, 0);  // ending the session needs no privilege: nothing said of it
    power.SetSystemPowerState(true, true);
    const std::string refusal = win32::systemMessage(ERROR_PRIVILEGE_NOT_HELD);
    const std::string note =
        " The shutdown privilege could not be enabled when the program started: " + power.privilegeFailure();
    const std::vector<std::pair<int16_t, std::string>> expected{{1, refusal + note}, {3, refusal}, {5, refusal + note}};
    EXPECT_EQ(told, expected);
    std::remove(path.c_str());
}

TEST(Privilege, TheShutdownPrivilegeSetUpRunsAgainstTheRealCalls)
{
    win32::Win32Power api;
    uintptr_t token = 0;
    ASSERT_TRUE(api.OpenProcessToken(api.GetCurrentProcess(), 0x28, token));
    EXPECT_NE(token, 0u);
    Luid luid;
    ASSERT_TRUE(api.LookupPrivilegeValueA("", "SeShutdownPrivilege", luid));
    EXPECT_EQ(luid.lowPart, 19u);  // SE_SHUTDOWN_PRIVILEGE
    EXPECT_EQ(luid.highPart, 0);
    tolvane::TokenPrivileges<1> state;
    state.privilegeCount = 1;
    state.privileges[0].luid = luid;
    state.privileges[0].attributes = 2;
    tolvane::TokenPrivileges<2> previous;
    uint32_t length = 0;
    EXPECT_TRUE(api.AdjustTokenPrivileges(token, false, state, 16, previous, length));
    EXPECT_EQ(api.privilegeFailure(), "");
    CloseHandle(reinterpret_cast<HANDLE>(token));
    EXPECT_FALSE(api.LookupPrivilegeValueA("", "SeNoSuchPrivilege", luid));
    EXPECT_EQ(api.privilegeFailure().rfind("LookupPrivilegeValueA: ", 0), 0u) << api.privilegeFailure();
}

TEST(Environment, WindirWhenSetEvenEmptyOtherwiseTheWindowsFolder)
{
    win32::Win32Environment env;
    char saved[MAX_PATH] = {};
    const DWORD had = GetEnvironmentVariableA("windir", saved, MAX_PATH);
    SetEnvironmentVariableA("windir", "D:\\Elsewhere");
    EXPECT_EQ(env.windowsDirectory(), "D:\\Elsewhere");
    SetEnvironmentVariableA("windir", "");
    EXPECT_EQ(env.windowsDirectory(), "");
    SetEnvironmentVariableA("windir", nullptr);
    char folder[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
    EXPECT_EQ(env.windowsDirectory(), std::string(folder, n));
    EXPECT_EQ(env.pathSeparator(), '\\');
    if (had) SetEnvironmentVariableA("windir", saved);
}

TEST(Clock, LocalTimeAsHoursMinutesSeconds)
{
    win32::Win32Clock clock(GetModuleHandleA(nullptr));
    const std::string text = timeOfDayText(clock.localTime());
    ASSERT_TRUE(std::regex_match(text, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"))) << text;
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(std::stoi(text.substr(0, 2)), now.wHour % 24);
}

// Windows tells every top-level window of a wake, with one message or two (the second when
// a person woke the computer); the program is told once per wake.
TEST(Clock, EachWakeIsToldOnceFromThePowerBroadcast)
{
    win32::Win32Clock clock(GetModuleHandleA(nullptr));
    int wakes = 0;
    clock.woke = [&] { ++wakes; };
    HWND hwnd = FindWindowA("TolvaneWake", nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    // As the system sends it: to all top-level windows, the hidden ones too.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(wakes, 1);
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);  // the same wake: a person is there
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMSUSPEND, 0), TRUE);
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    EXPECT_EQ(wakes, 2);
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMECRITICAL, 0);  // a sleep nobody was told of
    EXPECT_EQ(wakes, 3);
}

TEST(Display, TwipsPerPixelAndTheProgramIcon)
{
    WindowSystem system;
    win32::Win32Ui ui(system, GetModuleHandleA(nullptr));
    win32::Win32Display display(ui, GetModuleHandleA(nullptr));
    EXPECT_EQ(display.twipsPerPixelX(), 1440 / ui.dotsPerInch());
    const uint32_t icon = display.pictureHandle("tolvane");
    EXPECT_NE(icon, 0u);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)), &info));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    EXPECT_EQ(display.pictureHandle("nosuchpicture"), 0u);
}

TEST(Launcher, StartsTheCommandLineAndReturnsItsTaskNumber)
{
    win32::Win32Launcher launcher;
    const double task = launcher.Shell("cmd.exe /c exit 0", 2);
    EXPECT_GT(task, 0.0);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(task));
    if (process) {
        EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
        CloseHandle(process);
    }
    // A program that is not there is ignored, as the links' failures are.
    EXPECT_EQ(launcher.Shell("no-such-program-tolv.exe http://www.quenmoor.example", 2), 0.0);
}
