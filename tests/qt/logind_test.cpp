// The logind calls, each action's method and arguments, and the session's lock, against
// python3-dbusmock's logind (and a screen saver) on a private bus of the test's own: no call
// ever reaches the machine's real logind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>

#include "logind_bus.h"
#include "platform/qt/session/logind_sleep.h"
#include "platform/qt/session/session_lock.h"
#include "platform/qt/ui/alert_dialogs.h"
#include "wait.h"

namespace tolvane::test {
namespace {

class LogindMock : public ::testing::Test {
protected:
    // Starts the private bus and logind's mock; parameters: the template's JSON parameters.
    void startMock(const QString& parameters = "{}")
    {
        if (!LogindBus::toolsThere())
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is missing (scripts/install-deps installs them)";
        ASSERT_TRUE(logind_.start("c7", parameters)) << "the private bus or logind's mock did not come up";
        bus_ = &logind_.bus();
        mockCall("AddMethod", {"org.freedesktop.login1.Manager", "GetSessionByPID", "u", "o",
                               "ret = dbus.ObjectPath('/org/freedesktop/login1/session/c7')"});
    }

    QString log() const { return logind_.log(); }

    void mockCall(const QString& method, const QList<QVariant>& arguments)
    {
        const QDBusMessage reply = logind_.mock(method, arguments);
        ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }

    LogindUnderTest& power()
    {
        if (!power_)
            power_ = std::make_unique<LogindUnderTest>(*bus_, [this](const std::string& e) { errors_.push_back(e); });
        return *power_;
    }

    // The calls logind saw, "Method args" each, without the mock's own set-up.
    std::vector<std::string> calls(const std::vector<std::string>& methods)
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly)) return {};
        std::vector<std::string> seen;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QByteArray call = line.mid(line.indexOf(' ') + 1);
            const qsizetype space = call.indexOf(' ');
            const std::string method = (space < 0 ? call : call.left(space)).toStdString();
            if (std::find(methods.begin(), methods.end(), method) != methods.end()) seen.push_back(call.toStdString());
        }
        return seen;
    }

    bool settle()
    {
        return waitFor([&] { return power().pending() == 0; }, 20000);
    }

    LogindBus logind_;
    QDBusConnection* bus_ = nullptr;
    std::unique_ptr<LogindUnderTest> power_;
    std::vector<std::string> errors_;
};

// The test process may itself run inside a session; the calls must find the mock's.
class NoSessionVariable {
public:
    NoSessionVariable() : old_(qgetenv("XDG_SESSION_ID")) { qunsetenv("XDG_SESSION_ID"); }
    ~NoSessionVariable()
    {
        if (!old_.isEmpty()) qputenv("XDG_SESSION_ID", old_);
    }

private:
    QByteArray old_;
};

TEST_F(LogindMock, EachActionCallsItsMethodWithItsArguments)
{
    NoSessionVariable noSession;
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    TokenPrivileges<1> state;
    TokenPrivileges<2> previous;
    uint32_t length = 0;
    power().AdjustTokenPrivileges(power().GetCurrentProcess(), false, state, 16, previous, length);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(power().sessionId().has_value());
    EXPECT_EQ(power().sessionId()->toStdString(), "c7");

    EXPECT_TRUE(power().ExitWindowsEx(5, 0));
    EXPECT_TRUE(power().ExitWindowsEx(6, 0));
    EXPECT_TRUE(power().ExitWindowsEx(4, 0));
    EXPECT_TRUE(power().SetSystemPowerState(false, false));
    EXPECT_TRUE(power().SetSystemPowerState(true, true));
    ASSERT_TRUE(settle());
    const std::vector<std::string> expected = {"CanPowerOff",
                                               "CanReboot",
                                               "CanHibernate",
                                               "CanSuspend",
                                               "GetSessionByPID " + std::to_string(getpid()),
                                               "PowerOff True",
                                               "Reboot True",
                                               "TerminateSession \"c7\"",
                                               "Hibernate False",
                                               "Suspend True"};
    EXPECT_EQ(calls({"CanPowerOff", "CanReboot", "CanHibernate", "CanSuspend", "GetSessionByPID", "PowerOff", "Reboot",
                     "TerminateSession", "Hibernate", "Suspend"}),
              expected);
    EXPECT_TRUE(errors_.empty()) << errors_.front();
}

TEST_F(LogindMock, TheSessionVariableNamesTheSessionWithoutAskingLogind)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    const QByteArray old = qgetenv("XDG_SESSION_ID");
    qputenv("XDG_SESSION_ID", "41");
    power().ExitWindowsEx(4, 0);
    if (old.isEmpty())
        qunsetenv("XDG_SESSION_ID");
    else
        qputenv("XDG_SESSION_ID", old);
    ASSERT_TRUE(settle());
    EXPECT_EQ(calls({"GetSessionByPID", "TerminateSession"}), std::vector<std::string>{"TerminateSession \"41\""});
}

TEST_F(LogindMock, WhatIsNotAvailableIsWrittenOnceAtThePrivilegeStep)
{
    NoSessionVariable noSession;
    ASSERT_NO_FATAL_FAILURE(startMock(R"({"CanHibernate": "na", "CanSuspend": "challenge", "CanReboot": "no"})"));
    if (IsSkipped()) return;
    TokenPrivileges<1> state;
    TokenPrivileges<2> previous;
    uint32_t length = 0;
    power().AdjustTokenPrivileges(1, false, state, 16, previous, length);
    power().AdjustTokenPrivileges(1, false, state, 16, previous, length);  // asked once only
    ASSERT_TRUE(settle());
    const std::vector<std::string> expected = {"restart is not available (logind CanReboot: no)",
                                               "hibernate is not available (logind CanHibernate: na)",
                                               "stand by will ask for authentication (logind CanSuspend: challenge)"};
    EXPECT_EQ(errors_, expected);
    EXPECT_EQ(calls({"CanPowerOff"}).size(), 1u);

    // A schedule set asks again for its own action; log off has nothing to ask.
    std::vector<std::string> verdicts;
    for (int16_t action = 1; action <= 5; ++action)
        power().askUnattended(action, [&verdicts, action](Unattended verdict, const std::string& said) {
            verdicts.push_back(std::to_string(action) + " " + std::to_string(static_cast<int>(verdict)) + " " + said);
        });
    ASSERT_TRUE(settle());
    std::sort(verdicts.begin(), verdicts.end());
    EXPECT_EQ(verdicts, (std::vector<std::string>{"1 0 logind CanPowerOff: yes", "2 2 logind CanReboot: no",
                                                  "4 2 logind CanHibernate: na", "5 1 logind CanSuspend: challenge"}));
}

TEST_F(LogindMock, ARefusalComesBackLaterAndIsToldInLogindsWords)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    mockCall("AddMethod", {"org.freedesktop.login1.Manager", "PowerOff", "b", "",
                           "raise dbus.exceptions.DBusException('Access denied', "
                           "name='org.freedesktop.DBus.Error.AccessDenied')"});
    std::vector<std::string> refused;
    power().refused = [&](int16_t action, const std::string& reason) {
        refused.push_back(std::to_string(action) + " " + reason);
    };
    EXPECT_TRUE(power().ExitWindowsEx(5, 0));
    EXPECT_EQ(power().pending(), 1) << "the call does not wait for logind's answer";
    ASSERT_TRUE(settle());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "logind PowerOff failed: org.freedesktop.DBus.Error.AccessDenied: Access denied");
    EXPECT_EQ(refused, std::vector<std::string>{"1 Access denied"});
}

TEST_F(LogindMock, WithoutLogindOnTheBusTheCallFailsAndIsTold)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    logind_.logind().kill();
    logind_.logind().waitForFinished(5000);
    ASSERT_TRUE(waitFor([&] { return !bus_->interface()->isServiceRegistered("org.freedesktop.login1"); }, 10000));
    std::vector<int16_t> refused;
    power().refused = [&](int16_t action, const std::string&) { refused.push_back(action); };
    EXPECT_TRUE(power().SetSystemPowerState(true, true));
    ASSERT_TRUE(settle());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("logind Suspend failed"), std::string::npos);
    EXPECT_EQ(refused, std::vector<int16_t>{5});
}

TEST_F(LogindMock, WakingFromSleepIsToldAtOnceAndGoingToSleepIsNot)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    int woke = 0;
    LogindSleep sleep(*bus_, [&] { ++woke; });
    // Signals arrive in the order sent: once waking is heard, going to sleep was heard before.
    for (bool sleeping : {true, false})
        mockCall("EmitSignal", {"org.freedesktop.login1.Manager", "PrepareForSleep", "b", QVariantList{sleeping}});
    EXPECT_TRUE(waitFor([&] { return woke > 0; }));
    EXPECT_EQ(woke, 1);
}

TEST_F(LogindMock, ARequestStillUnansweredIsNotSentAgain)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    // PowerOff answers only when the test lets it, as while polkit's dialog is open.
    const QString answer = log() + ".answer";
    mockCall("AddMethod", {"org.freedesktop.login1.Manager", "PowerOff", "b", "",
                           "import os, time\nwhile not os.path.exists('" + answer + "'): time.sleep(0.02)"});
    for (int tick = 0; tick < 3; ++tick) power().ExitWindowsEx(5, 0);  // three ticks of a held hotkey
    power().SetSystemPowerState(true, true);
    EXPECT_EQ(power().pending(), 2) << "one PowerOff and the Suspend";
    QFile(answer).open(QIODevice::WriteOnly);
    ASSERT_TRUE(settle());
    power().ExitWindowsEx(5, 0);  // answered: the next request goes out
    ASSERT_TRUE(settle());
    EXPECT_EQ(calls({"PowerOff", "Suspend"}),
              (std::vector<std::string>{"PowerOff True", "Suspend True", "PowerOff True"}));
}

TEST_F(LogindMock, InNoSessionLogOffEndsTheUsersGraphicalSessionAndSaysSo)
{
    NoSessionVariable noSession;
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    // A program in an app-*.scope unit of the user's service manager belongs to no session.
    mockCall("AddMethod", {"org.freedesktop.login1.Manager", "GetSessionByPID", "u", "o",
                           "raise dbus.exceptions.DBusException('no session', "
                           "name='org.freedesktop.login1.NoSessionForPID')"});
    mockCall("AddMethod",
             {"org.freedesktop.login1.Manager", "GetSession", "s", "o",
              "ret = dbus.ObjectPath('/org/freedesktop/login1/session/c7' if args[0] == 'auto' else '/')"});
    power().ExitWindowsEx(4, 0);
    ASSERT_TRUE(settle());
    const std::vector<std::string> said = {"in no login session: log off ends the user's graphical session c7"};
    EXPECT_EQ(errors_, said);
    EXPECT_EQ(calls({"GetSession", "TerminateSession"}),
              (std::vector<std::string>{"GetSession \"auto\"", "TerminateSession \"c7\""}));

    // A logind that knows no "auto": the user's Display session.
    power_.reset();
    errors_.clear();
    mockCall("AddMethod",
             {"org.freedesktop.login1.Manager", "GetSession", "s", "o",
              "raise dbus.exceptions.DBusException('no auto', name='org.freedesktop.login1.NoSuchSession')"});
    const QString user = QString("/org/freedesktop/login1/user/%1").arg(getuid());
    mockCall("AddMethod", {"org.freedesktop.login1.Manager", "GetUser", "u", "o",
                           "ret = dbus.ObjectPath('" + user +
                               "'); objects[ret].Set('org.freedesktop.login1.User', "
                               "'Display', ('c7', dbus.ObjectPath('/org/freedesktop/login1/session/c7')))"});
    power().ExitWindowsEx(4, 0);
    ASSERT_TRUE(settle());
    EXPECT_EQ(errors_, said);
    EXPECT_EQ(calls({"TerminateSession"}).size(), 2u);
}

// On Wayland an alert (an action that did not happen) is a notification besides its box.
TEST_F(LogindMock, AnAlertIsAlsoADesktopNotificationWhereAsked)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    QProcess notifications;
    const QString service = "org.freedesktop.Notifications";
    const QString notified = log() + ".notifications";
    ASSERT_TRUE(logind_.startMock(notifications, {"--template", "notification_daemon", "-l", notified}, service));
    struct Boxes : DialogApi {
        std::vector<std::string> shown;
        void MessageBox(const std::string& title, const std::string& text) override
        {
            shown.push_back(title + ": " + text);
        }
    } boxes;
    AlertDialogs plain(boxes, false, *bus_, nullptr), wayland(boxes, true, *bus_, nullptr);
    plain.alert("Tolvane 3.0", "Restart could not be carried out: no");
    wayland.alert("Tolvane 3.0", "Shutdown could not be carried out: Access denied");
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"Tolvane 3.0: Restart could not be carried out: no",
                                                     "Tolvane 3.0: Shutdown could not be carried out: Access denied"}));
    QByteArray seen;
    EXPECT_TRUE(waitFor([&] {
        QFile file(notified);
        return file.open(QIODevice::ReadOnly) && (seen = file.readAll()).contains("Notify");
    })) << seen.toStdString();
    EXPECT_EQ(seen.count("Notify"), 1) << seen.toStdString();
    EXPECT_TRUE(seen.contains("Shutdown could not be carried out: Access denied"));
    notifications.kill();
    notifications.waitForFinished(5000);
}

TEST_F(LogindMock, TheLockFollowsLogindsLockedHintAndTheScreenSaver)
{
    NoSessionVariable noSession;
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    const QString saver = "org.freedesktop.ScreenSaver", saverPath = "/org/freedesktop/ScreenSaver";
    QProcess screenSaver;
    ASSERT_TRUE(logind_.startMock(screenSaver, {saver, saverPath, saver}, saver));
    const auto saverCall = [&](const QString& method, const QList<QVariant>& arguments) {
        return logind_.call(saver, saverPath, "org.freedesktop.DBus.Mock", method, arguments).type();
    };
    ASSERT_EQ(saverCall("AddMethod", {"", "GetActive", "", "b", "ret = True"}), QDBusMessage::ReplyMessage);
    std::vector<std::string> notes;
    SessionLock lock(power().session(), *bus_, [&](const std::string& note) { notes.push_back(note); });
    const auto locked = [&] { return lock.locked(); };
    const auto unlocked = [&] { return !lock.locked(); };

    EXPECT_TRUE(waitFor(locked)) << "the screen saver is active at start";
    saverCall("EmitSignal", {saver, "ActiveChanged", "b", QVariantList{false}});
    EXPECT_TRUE(waitFor(unlocked));
    logind_.setLockedHint("c7", true);
    EXPECT_TRUE(waitFor(locked)) << "logind's LockedHint of the own session";
    logind_.setLockedHint("c7", false);
    EXPECT_TRUE(waitFor(unlocked));
    saverCall("EmitSignal", {saver, "ActiveChanged", "b", QVariantList{true}});
    EXPECT_TRUE(waitFor(locked));
    screenSaver.kill();
    EXPECT_TRUE(waitFor(unlocked)) << "a screen saver that goes away leaves no lock behind";
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes[0], "the session is locked: the Ctrl+Alt hotkeys do nothing until it is unlocked");
    EXPECT_EQ(notes[1], "the session is unlocked: the Ctrl+Alt hotkeys work again");
    screenSaver.waitForFinished(5000);
}

}  // namespace
}  // namespace tolvane::test
