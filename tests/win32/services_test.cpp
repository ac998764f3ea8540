// The Windows services: the tray control's window, the dry-run log, the privilege
// calls, the environment and the clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <vector>

#include "platform/model/window_system.h"
#include "platform/win32/dry_run.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"
#include "tests/file_contents.h"
#include "tests/win32/paths.h"

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
    std::remove(path.c_str());
}

TEST(Privilege, TheShutdownPrivilegeSetUpRunsAgainstTheRealCalls)
{
    win32::Win32Privilege api;
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
    CloseHandle(reinterpret_cast<HANDLE>(token));
    EXPECT_FALSE(api.LookupPrivilegeValueA("", "SeNoSuchPrivilege", luid));
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
    win32::Win32Clock clock;
    const std::string text = timeOfDayText(clock.localTime());
    ASSERT_TRUE(std::regex_match(text, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"))) << text;
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(std::stoi(text.substr(0, 2)), now.wHour % 24);
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
