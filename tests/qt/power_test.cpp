// Which logind call each Windows power call becomes, and the dry-run's lines.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <cstdio>
#include <string>
#include <vector>

#include "logind_bus.h"
#include "platform/qt/session/dryrun_power.h"
#include "power/actions.h"
#include "power/power_action.h"

namespace tolvane::test {
namespace {

TEST(LogindRequests, ExitWindowsFlagsChooseTheCallAndForceMakesItInteractive)
{
    const LogindRequest shutdown = requestForExitWindows(5);
    EXPECT_EQ(shutdown.action, "shutdown");
    EXPECT_EQ(shutdown.callText("c1"), "PowerOff(true)");
    EXPECT_EQ(requestForExitWindows(6).callText("c1"), "Reboot(true)");
    EXPECT_EQ(requestForExitWindows(6).action, "restart");
    EXPECT_EQ(requestForExitWindows(4).callText("c1"), "TerminateSession(c1)");
    EXPECT_EQ(requestForExitWindows(4).action, "logoff");
    // Without EWX_FORCE the call never asks polkit.
    EXPECT_EQ(requestForExitWindows(1).callText(""), "PowerOff(false)");
    EXPECT_EQ(requestForExitWindows(2).callText(""), "Reboot(false)");
    // EWX_POWEROFF is a shutdown too; the reboot bit wins over it.
    EXPECT_EQ(requestForExitWindows(8 | 4).method, "PowerOff");
    EXPECT_EQ(requestForExitWindows(2 | 1).method, "Reboot");
}

TEST(LogindRequests, PowerStatesKeepTheirOwnForce)
{
    EXPECT_EQ(requestForPowerState(false, false).callText(""), "Hibernate(false)");
    EXPECT_EQ(requestForPowerState(false, false).action, "hibernate");
    EXPECT_EQ(requestForPowerState(true, true).callText(""), "Suspend(true)");
    EXPECT_EQ(requestForPowerState(true, true).action, "standby");
    EXPECT_EQ(requestForPowerState(true, false).callText(""), "Suspend(false)");
}

// The one decoding reads every action's own call back as that action.
TEST(LogindRequests, EachActionsCallDecodesToItsOwnRow)
{
    for (const ActionRow& row : kActions) {
        const DecodedCall call = row.call == PowerCall::ExitWindowsEx
                                     ? decodeExitWindowsEx(row.exitFlags)
                                     : decodeSetSystemPowerState(row.suspend, row.force);
        EXPECT_EQ(&call.action, &row) << row.word;
    }
}

std::string readAll(std::FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(DryRun, EachActionIsOneLineInTheCallersOrderAndNoneForNoAction)
{
    std::FILE* out = std::tmpfile();
    DryRunPower power(out, "c2");
    for (int action : {0, 1, 2, 3, 4, 5, 6}) RunPowerAction(power, static_cast<int16_t>(action));
    EXPECT_EQ(readAll(out),
              "dry-run shutdown PowerOff(true)\n"
              "dry-run restart Reboot(true)\n"
              "dry-run logoff TerminateSession(c2)\n"
              "dry-run hibernate Hibernate(false)\n"
              "dry-run standby Suspend(true)\n");
    std::fclose(out);
}

TEST(Logind, WithoutABusTheCallsFailAreToldAndSaySoOnce)
{
    std::vector<std::string> errors;
    LogindUnderTest power(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/tolvane-bus"),
                                                        QStringLiteral("tolvane-no-bus")),
                          [&](const std::string& e) { errors.push_back(e); });
    std::vector<int16_t> refused;
    power.refused = [&](int16_t action, const std::string& reason) {
        EXPECT_NE(reason.find("no system bus"), std::string::npos) << reason;
        refused.push_back(action);
    };
    EXPECT_FALSE(power.ExitWindowsEx(5, 0));
    EXPECT_FALSE(power.SetSystemPowerState(true, true));
    EXPECT_EQ(refused, (std::vector<int16_t>{1, 5}));
    TokenPrivileges<1> state;
    TokenPrivileges<2> previous;
    uint32_t length = 99;
    power.AdjustTokenPrivileges(0, false, state, 16, previous, length);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("no system bus"), std::string::npos);
    EXPECT_EQ(power.pending(), 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("tolvane-no-bus"));
}

TEST(Logind, ThePrivilegeCallsSucceedForTheShutdownPrivilegeOnly)
{
    LogindPower power(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/tolvane-bus"),
                                                    QStringLiteral("tolvane-no-bus-2")),
                      nullptr);
    uintptr_t token = 0;
    EXPECT_TRUE(power.OpenProcessToken(power.GetCurrentProcess(), 0x28, token));
    EXPECT_NE(token, 0u);
    Luid luid;
    EXPECT_TRUE(power.LookupPrivilegeValueA("", "SeShutdownPrivilege", luid));
    EXPECT_NE(luid.lowPart, 0u);
    EXPECT_FALSE(power.LookupPrivilegeValueA("", "SeDebugPrivilege", luid));
    QDBusConnection::disconnectFromBus(QStringLiteral("tolvane-no-bus-2"));
}

}  // namespace
}  // namespace tolvane::test
