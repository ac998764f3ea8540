#pragma once
// A private bus of the test's own (PrivateBus) with python3-dbusmock's logind on it and
// one session of the user: the system bus of the logind tests, and of a dry run that follows
// its session's lock. No call ever reaches the machine's real logind.
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <optional>
#include <string>

#include "platform/qt/session/logind_power.h"
#include "private_bus.h"
#include "wait.h"

namespace tolvane::test {

// The logind power calls with what the tests read of them.
struct LogindUnderTest : LogindPower {
    using LogindPower::LogindPower;
    using LogindPower::pending;
    using LogindPower::sessionId;
};

class LogindBus {
public:
    ~LogindBus()
    {
        bus_.reset();
        QDBusConnection::disconnectFromBus(dir_.path());
        logind_.kill();
        logind_.waitForFinished(5000);
        daemon_.stop();
    }

    static bool toolsThere()
    {
        return PrivateBus::available() && QProcess::execute("/usr/bin/python3", {"-c", "import dbusmock"}) == 0;
    }

    // Starts the bus and logind's mock (parameters: the template's JSON parameters) with the
    // session `session` of the user; false when they do not come up.
    bool start(const QString& session, const QString& parameters = "{}")
    {
        if (!daemon_.start()) return false;
        address_ = QString::fromStdString(daemon_.address());
        bus_ = QDBusConnection::connectToBus(address_, dir_.path());
        const QVariant uid = QVariant::fromValue(static_cast<uint32_t>(getuid()));
        return startMock(logind_, {"--template", "logind", "-l", log(), "-p", parameters}, "org.freedesktop.login1") &&
               mock("AddSession", {session, "seat0", uid, "tester", true}).type() == QDBusMessage::ReplyMessage;
    }

    // One more python3-dbusmock service on the bus.
    bool startMock(QProcess& mock, const QStringList& arguments, const QString& service)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
        mock.setProcessEnvironment(env);
        mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock.start("/usr/bin/python3", QStringList{"-m", "dbusmock", "--system"} + arguments);
        return mock.waitForStarted(10000) &&
               waitFor([&] { return bus_->interface()->isServiceRegistered(service).value(); }, 30000);
    }

    // A call, waiting for its answer.
    QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return bus_->call(message, QDBus::Block, 10000);
    }
    // A call to logind's mock on its main object (AddMethod, ...).
    QDBusMessage mock(const QString& method, const QList<QVariant>& arguments)
    {
        return call("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.DBus.Mock", method,
                    arguments);
    }
    // Sets the LockedHint of a session, as its locker does.
    void setLockedHint(const QString& session, bool locked)
    {
        call("org.freedesktop.login1", "/org/freedesktop/login1/session/" + session, "org.freedesktop.login1.Session",
             "SetLockedHint", {locked});
    }

    QDBusConnection& bus() { return *bus_; }
    const QString& address() const { return address_; }
    QString log() const { return dir_.filePath("logind.log"); }
    QProcess& logind() { return logind_; }

private:
    QTemporaryDir dir_;
    PrivateBus daemon_;
    QProcess logind_;
    QString address_;
    std::optional<QDBusConnection> bus_;
};

}  // namespace tolvane::test
