// The logind calls, each action's method and arguments, against python3-dbusmock's logind
// on a private bus of the test's own: no call ever reaches the machine's real logind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
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

#include "platform/qt/logind_power.h"
#include "private_bus.h"
#include "wait.h"

namespace tolvane::test {
namespace {

const char* const kPython = "/usr/bin/python3";


class LogindMock : public ::testing::Test {
protected:
    // Starts the private bus and logind's mock; parameters: the template's JSON parameters.
    void startMock(const QString& parameters = "{}")
    {
        if (!QFileInfo::exists("/usr/bin/dbus-daemon") ||
            QProcess::execute(kPython, {"-c", "import dbusmock"}) != 0)
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is missing (scripts/install-deps installs them)";
        ASSERT_TRUE(dir_.isValid());
        const QString config = QString::fromStdString(writeBusConfig(dir_.path().toStdString()));
        daemon_.start("/usr/bin/dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return daemon_.canReadLine(); }, 10000)) << "the bus gave no address";
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
        mock_.setProcessEnvironment(env);
        mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock_.start(kPython, {"-m", "dbusmock", "--template", "logind", "-l", log(), "-p", parameters});
        ASSERT_TRUE(mock_.waitForStarted(10000));
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, "tolvane-logind-test"));
        ASSERT_TRUE(bus_->isConnected());
        ASSERT_TRUE(waitFor([&] { return bus_->interface()->isServiceRegistered("org.freedesktop.login1"); }, 30000))
            << "logind's mock did not come up";
        mockCall("AddSession", {"c7", "seat0", QVariant::fromValue(static_cast<uint32_t>(getuid())), "tester", true});
        mockCall("AddMethod", {"org.freedesktop.login1.Manager", "GetSessionByPID", "u", "o",
                               "ret = dbus.ObjectPath('/org/freedesktop/login1/session/c7')"});
    }

    void TearDown() override
    {
        power_.reset();
        bus_.reset();
        QDBusConnection::disconnectFromBus("tolvane-logind-test");
        for (QProcess* p : {&mock_, &daemon_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->kill();
            p->waitForFinished(5000);
        }
    }

    QString log() const { return dir_.filePath("logind.log"); }

    void mockCall(const QString& method, const QList<QVariant>& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                              "org.freedesktop.DBus.Mock", method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus_->call(message, QDBus::Block, 10000);
        ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }

    LogindPower& power()
    {
        if (!power_)
            power_ = std::make_unique<LogindPower>(*bus_, [this](const std::string& e) { errors_.push_back(e); });
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

    bool settle() { return waitFor([&] { return power().pending() == 0; }, 20000); }

    QTemporaryDir dir_;
    QProcess daemon_;
    QProcess mock_;
    QString address_;
    std::unique_ptr<QDBusConnection> bus_;
    std::unique_ptr<LogindPower> power_;
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
    const std::vector<std::string> expected = {
        "CanPowerOff", "CanReboot", "CanHibernate", "CanSuspend", "GetSessionByPID " + std::to_string(getpid()),
        "PowerOff True", "Reboot True", "TerminateSession \"c7\"", "Hibernate False", "Suspend True"};
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
}

TEST_F(LogindMock, ARefusalComesBackLaterAndIsWrittenNotShown)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    mockCall("AddMethod", {"org.freedesktop.login1.Manager", "PowerOff", "b", "",
                           "raise dbus.exceptions.DBusException('Access denied', "
                           "name='org.freedesktop.DBus.Error.AccessDenied')"});
    EXPECT_TRUE(power().ExitWindowsEx(5, 0));
    EXPECT_EQ(power().pending(), 1) << "the call does not wait for logind's answer";
    ASSERT_TRUE(settle());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "logind PowerOff failed: org.freedesktop.DBus.Error.AccessDenied: Access denied");
}

TEST_F(LogindMock, WithoutLogindOnTheBusTheCallFailsQuietly)
{
    ASSERT_NO_FATAL_FAILURE(startMock());
    if (IsSkipped()) return;
    mock_.kill();
    mock_.waitForFinished(5000);
    ASSERT_TRUE(waitFor([&] { return !bus_->interface()->isServiceRegistered("org.freedesktop.login1"); }, 10000));
    EXPECT_TRUE(power().SetSystemPowerState(true, true));
    ASSERT_TRUE(settle());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("logind Suspend failed"), std::string::npos);
}

}  // namespace
}  // namespace tolvane::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
