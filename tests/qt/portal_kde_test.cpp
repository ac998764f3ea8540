// The hotkeys against the real desktop portal of a KDE Plasma session: xdg-desktop-portal,
// xdg-desktop-portal-kde and kglobalaccel, started by the tests' own session bus as a desktop's
// bus starts them (session_main.cpp), on the tests' own X server, with a home of their own and
// stand-ins for the programs that open KDE's settings pages, which write down what they were
// asked to open. The program is the dry run in a Wayland session, so it binds its rows through
// the portal; the keys are real key presses sent with XTest, and a dialog the desktop shows is
// answered with real keys too.
//
// The stacks: Debian 12's KDE 5.27 on this machine (scripts/install-deps installs it), and
// Plasma 6.3 (Debian 13, trixie) and Plasma 6.7 (forky) from the chroots that
// scripts/desktop-chroots makes and keeps; their services run in the chroot, the program here.
#include <signal.h>

#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
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
// Each D-Bus name with the program that the bus starts for it, on this machine's KDE 5.27.
const std::vector<std::pair<QString, QString>> kServices = {
    {"org.freedesktop.portal.Desktop", "/usr/libexec/xdg-desktop-portal"},
    {kBackend, "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"},
    {"org.kde.kglobalaccel", "/usr/bin/kglobalaccel5"}};
// The programs through which KDE opens its settings pages: the stand-ins write down each call.
const std::vector<const char*> kOpeners = {"kfmclient", "xdg-open", "kde-open", "kioclient", "systemsettings"};

// Where a desktop's programs come from: this machine, or the chroot of a suite.
struct KdeStack {
    const char* name;   // in the tests' names
    const char* suite;  // scripts/desktop-chroots' suite, "" for this machine
};
void PrintTo(const KdeStack& stack, std::ostream* out)
{
    *out << stack.name;
}

class KdePortal : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        if (IsSkipped()) return;
        const std::string home = home_.path().toStdString();
        // Each service with an environment of the test's alone: its display and buses, KDE's
        // desktop (which selects KDE's backend), a fresh home, and the stand-ins found first.
        std::string env =
            "/usr/bin/env -i DISPLAY=" + qEnvironmentVariable("DISPLAY").toStdString() +
            " DBUS_SESSION_BUS_ADDRESS=" + qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString() +
            " DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-kde XDG_CURRENT_DESKTOP=KDE"
            " QT_QPA_PLATFORM=xcb PATH=" +
            home + ":/usr/bin:/bin";
        for (const char* variable : {"HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env += std::string(" ") + variable + "=" + home;
        // Apart from the runtime folder: dconf keeps its database and its change flag under the
        // same name in each, and the flag would overwrite what the desktop stored.
        env += " XDG_CONFIG_HOME=" + home + "/.config";
        std::vector<std::pair<QString, QString>> services;
        if (*stack_.suite) {
            const QString root = desktopChroot(stack_.suite);
            if (root.isEmpty()) GTEST_SKIP() << chrootMissing(stack_.suite);
            const std::string bus = busSocket(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
            const std::string prefix = inChroot(stack_.suite, {home, bus}) + " " + env;
            services = chrootServices(root, prefix);
            // Plasma 6's kglobalacceld has no bus service: the session starts it at login.
            // Here the bus starts it when the portal first calls it, which comes to the same.
            services.push_back({"org.kde.kglobalaccel",
                                QString::fromStdString(prefix + " /usr/lib/x86_64-linux-gnu/libexec/kglobalacceld")});
        } else {
            for (const auto& [name, program] : kServices) {
                if (!QFileInfo(program).isExecutable())
                    GTEST_SKIP() << program.toStdString() << " is missing (scripts/install-deps installs it)";
                services.push_back({name, QString::fromStdString(env) + " " + program});
            }
        }
        writeOpeners(home, kOpeners);
        installDesktopFiles(home);
        for (const auto& [name, exec] : services) {
            std::ofstream(serviceDir + "/" + name.toStdString() + ".service")
                << "[D-BUS Service]\nName=" << name.toStdString() << "\nExec=" << exec.toStdString() << "\n";
            names_.push_back(name);
        }
        Mock::bus().call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus", "ReloadConfig"));
        ASSERT_TRUE(keyboard_ = XOpenDisplay(nullptr));
        ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);  // the program's session, too
    }
    void TearDown() override
    {
        SessionTest::TearDown();
        if (keyboard_) XCloseDisplay(keyboard_);
        for (const QString& name : names_) stop(name);
        for (const QString& name : names_) QFile::remove(QString::fromStdString(serviceDir) + "/" + name + ".service");
    }

    // Ends the process that the bus started for this name.
    bool stop(const QString& name)
    {
        if (!Mock::bus().interface()->isServiceRegistered(name).value()) return false;
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
    std::string opened() { return tolvane::test::opened(home_); }
    // Ctrl+Alt+S pressed, S held for `ms` (a person's tap is 150 ms), and let go.
    void ctrlAltS(int ms)
    {
        auto send = [&](const char* key, bool down) {
            XTestFakeKeyEvent(keyboard_, XKeysymToKeycode(keyboard_, XStringToKeysym(key)), down, 0);
            XSync(keyboard_, False);
        };
        for (const char* key : {"Control_L", "Alt_L", "s"}) send(key, true);
        letTimePass(ms);
        for (const char* key : {"s", "Alt_L", "Control_L"}) send(key, false);
    }
    // The windows of other programs that are on the screen now, by their titles: a dialog of
    // the desktop's.
    QStringList dialogs()
    {
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--name", "."});
        search.waitForFinished(10000);
        QStringList titles;
        for (const QString& window :
             QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
            QProcess name, pid;
            pid.start("xdotool", {"getwindowpid", window});
            name.start("xdotool", {"getwindowname", window});
            pid.waitForFinished(5000);
            name.waitForFinished(5000);
            if (QString::fromUtf8(pid.readAllStandardOutput()).trimmed().toLongLong() == ::getpid()) continue;
            const QString title = QString::fromUtf8(name.readAllStandardOutput()).trimmed();
            if (!title.isEmpty()) titles << title;
        }
        return titles;
    }
    // Answers the desktop's dialog with a real key, Return to accept or Escape to refuse, on the
    // dialog, which takes the keyboard when the pointer is over it (there is no window manager).
    void answerDialog(const QString& title, const char* key)
    {
        QProcess::execute("xdotool", {"search", "--onlyvisible", "--name", title, "windowfocus", "--sync", "mousemove",
                                      "--window", "%1", "20", "20"});
        XTestFakeKeyEvent(keyboard_, XKeysymToKeycode(keyboard_, XStringToKeysym(key)), True, 0);
        XTestFakeKeyEvent(keyboard_, XKeysymToKeycode(keyboard_, XStringToKeysym(key)), False, 0);
        XSync(keyboard_, False);
    }
    // Starts the program and waits until the desktop has answered it, answering a dialog on the
    // way with `key`; the titles of the dialogs that came up.
    QStringList startAnswering(bool wayland, const char* key)
    {
        return SessionTest::startAnswering(
            wayland, [this] { return dialogs(); }, [this, key](const QString& title) { answerDialog(title, key); });
    }
    // The keys as ctrlAltS presses them.
    std::function<void(int)> xtestKeys()
    {
        return [this](int ms) { ctrlAltS(ms); };
    }

    QTemporaryDir home_;
    Display* keyboard_ = nullptr;
    MessageBoxes boxes_;
    KdeStack stack_{"Plasma527", ""};
    std::vector<QString> names_;  // the services the bus may start
};

TEST_F(KdePortal, ATapGivesOneToFourRequestsAHeldKeyMoreAndAShortcutNeverReleasedAtMostFive)
{
    // Stand by on the keypad's 5 (a lower-case "e"), which KDE 5.27 puts on the main block's 5.
    ASSERT_NO_FATAL_FAILURE(startBound({0, 4}, "standby = 'e'"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Tolvane 3.0: Not every Ctrl+Alt hotkey works: the desktop has "
                                                       "Stand by on Ctrl+Alt+5 instead of Ctrl+Alt+KP_5. Set the keys "
                                                       "in System Settings > Shortcuts."});
    EXPECT_EQ(opened(), "") << "bound at CreateSession: no BindShortcuts, whose only work on KDE is to open its "
                               "settings page, at every start";

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

// The same on each stack, as a new user meets it: the first start binds the row (accepting
// what the desktop asks), the keys work tapped and held, and the next start, with the keys
// known to the desktop, opens no page and no dialog, tells nothing, and the keys still work.
class KdeStacks : public KdePortal, public ::testing::WithParamInterface<KdeStack> {
protected:
    void SetUp() override
    {
        stack_ = GetParam();
        KdePortal::SetUp();
    }
    // One line of the figures of a start.
    void print(const char* start, const QStringList& shown)
    {
        std::string told;
        for (const std::string& text : boxes_.texts()) told += "\"" + text + "\" ";
        std::printf("%s, %s: dialogs [%s], opened [%s], told [%s]\n", stack_.name, start,
                    shown.join("; ").toStdString().c_str(), opened().c_str(), told.c_str());
    }
};

TEST_P(KdeStacks, KeysWorkTappedAndHeldAndTheNextStartOpensNothingAndTellsNothing)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({0}));
    const QStringList firstDialogs = startAnswering(true, "Return");
    print("first start", firstDialogs);
    const KeyFigures first = measureKeys(std::string(stack_.name) + ", first start", xtestKeys());
    EXPECT_EQ(desktop_->hotkeys().portal()->state(), PortalShortcuts::State::Bound) << errors();
    EXPECT_TRUE(boxes_.texts().empty());
    expectKeysWork(first);

    const std::string before = opened();
    const size_t toldBefore = boxes_.texts().size();
    const QStringList secondDialogs = startAnswering(true, "Return");
    print("next start", secondDialogs);
    EXPECT_TRUE(secondDialogs.isEmpty());
    EXPECT_EQ(opened(), before) << "a page opened at a start where the keys were known";
    EXPECT_EQ(boxes_.texts().size(), toldBefore);
    const KeyFigures next = measureKeys(std::string(stack_.name) + ", next start", xtestKeys());
    EXPECT_EQ(desktop_->hotkeys().portal()->state(), PortalShortcuts::State::Bound) << errors();
    expectKeysWork(next);
}

// Plasma 6.7 asks the user before it binds (the others ask nothing); a refusal is told at that
// start and at the next, which the desktop answers as bound with no trigger.
using KdeAsking = KdeStacks;
TEST_P(KdeAsking, ARefusalIsToldAtThatStartAndTheNext)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({0}));
    const QStringList firstDialogs = startAnswering(true, "Escape");
    print("first start, refused", firstDialogs);
    EXPECT_FALSE(firstDialogs.isEmpty());
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); })) << "the refusal was not told";
    const size_t toldFirst = boxes_.texts().size();
    const QStringList secondDialogs = startAnswering(true, "Escape");
    print("next start, refused before", secondDialogs);
    EXPECT_TRUE(waitFor([&] { return boxes_.texts().size() > toldFirst; })) << "the next start said nothing";
    ctrlAltS(300);
    EXPECT_EQ(shutdownsWithin(1500), 0u);
}

INSTANTIATE_TEST_SUITE_P(Desktops, KdeStacks,
                         ::testing::Values(KdeStack{"Plasma527", ""}, KdeStack{"Plasma63", "trixie"},
                                           KdeStack{"Plasma67", "forky"}),
                         [](const auto& instance) { return std::string(instance.param.name); });
INSTANTIATE_TEST_SUITE_P(Desktops, KdeAsking, ::testing::Values(KdeStack{"Plasma67", "forky"}),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace tolvane::test
