// The hotkeys against the real desktop portal of a KDE Plasma session: xdg-desktop-portal,
// xdg-desktop-portal-kde and kglobalaccel5, started by the tests' own session bus as a desktop's
// bus starts them (session_main.cpp), on the tests' own X server, with a home of their own and
// a stand-in kfmclient that catches the settings page KDE opens. The program is the dry run in
// a Wayland session, so it binds its rows through the portal; the keys are real key presses
// sent with XTest.
#include <signal.h>

#include <QDBusObjectPath>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>

#include "session_fixture.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tolvane::test {
namespace {

const std::string kShutdown = "dry-run shutdown PowerOff(true)";
const QString kBackend = "org.freedesktop.impl.portal.desktop.kde";
// Each D-Bus name with the program that the bus starts for it.
const std::vector<std::pair<QString, QString>> kServices = {
    {"org.freedesktop.portal.Desktop", "/usr/libexec/xdg-desktop-portal"},
    {kBackend, "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"},
    {"org.kde.kglobalaccel", "/usr/bin/kglobalaccel5"}};

class KdePortal : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        if (IsSkipped()) return;
        for (const auto& [name, program] : kServices)
            if (!QFileInfo(program).isExecutable())
                GTEST_SKIP() << program.toStdString() << " is missing (scripts/install-deps installs it)";
        const std::string home = home_.path().toStdString();
        std::ofstream(home + "/kfmclient") << "#!/bin/sh\necho \"$*\" >>" << home << "/opened.txt\n";
        std::filesystem::permissions(home + "/kfmclient", std::filesystem::perms::owner_all);
        // Each service with an environment of the test's alone: its display and buses, KDE's
        // desktop (which selects KDE's backend), a fresh home, and kfmclient found first.
        std::string env =
            "/usr/bin/env -i DISPLAY=" + qEnvironmentVariable("DISPLAY").toStdString() +
            " DBUS_SESSION_BUS_ADDRESS=" + qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString() +
            " DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-kde XDG_CURRENT_DESKTOP=KDE"
            " QT_QPA_PLATFORM=xcb PATH=" +
            home + ":/usr/bin:/bin";
        for (const char* variable : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env += std::string(" ") + variable + "=" + home;
        for (const auto& [name, program] : kServices)
            std::ofstream(serviceDir + "/" + name.toStdString() + ".service")
                << "[D-BUS Service]\nName=" << name.toStdString() << "\nExec=" << env << " " << program.toStdString();
        Mock::bus().call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus", "ReloadConfig"));
        ASSERT_TRUE(keyboard_ = XOpenDisplay(nullptr));
        ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);  // the program's session, too
    }
    void TearDown() override
    {
        SessionTest::TearDown();
        if (keyboard_) XCloseDisplay(keyboard_);
        for (const auto& service : kServices) stop(service.first);
    }

    // Ends the process that the bus started for this name.
    bool stop(const QString& name)
    {
        const uint pid = Mock::bus().interface()->servicePid(name).value();
        return pid != 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0 &&
               waitFor([&] { return !Mock::bus().interface()->isServiceRegistered(name).value(); });
    }
    void startBound(const std::vector<int>& rows, const std::string& keys = "")
    {
        ASSERT_NO_FATAL_FAILURE(writeSettings(rows, keys));
        startDesktop(true);
        ASSERT_TRUE(
            waitFor([&] { return desktop_->hotkeys().portal()->state() == PortalShortcuts::State::Bound; }, 30000))
            << errors();
    }
    QStringList opened()
    {
        QFile file(home_.filePath("opened.txt"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }
    // Ctrl+Alt+S pressed, S held for `ms` (a person's tap is 150 ms), and let go.
    void ctrlAltS(int ms)
    {
        auto send = [&](const char* key, bool down) {
            XTestFakeKeyEvent(keyboard_, XKeysymToKeycode(keyboard_, XStringToKeysym(key)), down, 0);
            XSync(keyboard_, False);
        };
        for (const char* key : {"Control_L", "Alt_L", "s"}) send(key, true);
        waitFor([] { return false; }, ms);
        for (const char* key : {"s", "Alt_L", "Control_L"}) send(key, false);
    }
    // The dry run's shutdown requests from now until `ms` have passed.
    size_t shutdownsWithin(int ms)
    {
        const size_t before = count(kShutdown);
        waitFor([] { return false; }, ms);
        return count(kShutdown) - before;
    }

    QTemporaryDir home_;
    Display* keyboard_ = nullptr;
    MessageBoxes boxes_;
};

TEST_F(KdePortal, ATapGivesOneToFourRequestsAHeldKeyMoreAndAShortcutNeverReleasedAtMostFive)
{
    // Stand by on the keypad's 5 (a lower-case "e"), which KDE 5.27 puts on the main block's 5.
    ASSERT_NO_FATAL_FAILURE(startBound({0, 4}, "standby = 'e'"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Tolvane 3.0: Not every Ctrl+Alt hotkey works: the desktop has "
                                                       "Stand by on Ctrl+Alt+5 instead of Ctrl+Alt+KP_5. Set the keys "
                                                       "in System Settings > Shortcuts."});
    EXPECT_TRUE(opened().isEmpty()) << "bound at CreateSession: no BindShortcuts, whose only work on KDE is to "
                                       "open its settings page, at every start: "
                                    << opened().join("; ").toStdString();

    ctrlAltS(150);
    ASSERT_TRUE(waitFor([&] { return count(kShutdown) >= 1; }, 5000)) << "the real key did nothing";
    const size_t tap = count(kShutdown) + shutdownsWithin(1000);
    EXPECT_GE(tap, 1u);
    EXPECT_LE(tap, 4u);
    const size_t before = count(kShutdown);
    ctrlAltS(2000);
    EXPECT_GT(count(kShutdown) - before, 5u) << "held, the key repeats and the requests go on";

    // kglobalaccel's own "invoke shortcut" sends Activated and never Deactivated.
    const QDBusMessage components = Mock::bus().call(QDBusMessage::createMethodCall(
        "org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel", "allComponents"));
    QString component;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(components.arguments().value(0)))
        if (path.path().endsWith("tolvane")) component = path.path();
    Mock::bus().asyncCall(QDBusMessage::createMethodCall("org.kde.kglobalaccel", component,
                                                         "org.kde.kglobalaccel.Component", "invokeShortcut")
                          << QString("shutdown") << QString("default"));
    const size_t neverReleased = shutdownsWithin(3000);
    EXPECT_GE(neverReleased, 1u) << component.toStdString();
    EXPECT_LE(neverReleased, 5u);
    std::printf("KDE portal: a tap gave %zu shutdown requests, a shortcut never released %zu in three seconds\n", tap,
                neverReleased);
}

TEST_F(KdePortal, AfterKdesBackendEndsTheRowsAreBoundAgainAndTheKeysWork)
{
    ASSERT_NO_FATAL_FAILURE(startBound({0}));
    ASSERT_TRUE(stop(kBackend));
    // Binding again starts it again, as on a desktop, where it is started only when called.
    ASSERT_TRUE(waitFor(
        [&] {
            return Mock::bus().interface()->isServiceRegistered(kBackend).value() &&
                   desktop_->hotkeys().portal()->state() == PortalShortcuts::State::Bound;
        },
        30000))
        << errors();
    ctrlAltS(150);
    EXPECT_TRUE(waitFor([&] { return count(kShutdown) >= 1; }, 5000)) << errors();
    EXPECT_TRUE(boxes_.texts().empty());
}

}  // namespace
}  // namespace tolvane::test
