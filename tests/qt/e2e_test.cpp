// tolvane-dryrun end to end on a virtual X server (Xvfb) with a real notification area
// (trayer), driven by xdotool as a user would: open the window from the tray icon, ask for
// the warning, press SET, hold Ctrl+Alt and a hotkey, see the topmost warning window; start
// it a second time, and give it commands from a terminal, on a session bus of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "private_bus.h"
#include "wait.h"
#include "xvfb_process.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

const QString kMainTitle = "^Tolvane 3\\.0 - Quenmoor$";

bool displayOpens(const QString& display)
{
    Display* dpy = XOpenDisplay(display.toLocal8Bit().constData());
    if (dpy) XCloseDisplay(dpy);
    return dpy != nullptr;
}

// Is a notification area there (someone owns the tray selection of screen 0)?
bool trayOwned(const QString& display)
{
    Display* dpy = XOpenDisplay(display.toLocal8Bit().constData());
    if (!dpy) return false;
    const bool owned = XGetSelectionOwner(dpy, XInternAtom(dpy, "_NET_SYSTEM_TRAY_S0", False)) != 0;
    XCloseDisplay(dpy);
    return owned;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "trayer", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is missing (scripts/install-deps installs it)";
        clock_.start();

        QString why;
        display_ = startXvfb(xvfb_, "1024x768x24", &why);
        ASSERT_FALSE(display_.isEmpty()) << why.toStdString();
        ASSERT_TRUE(waitFor([&] { return displayOpens(display_); }, 20000))
            << "no connection to " << display_.toStdString() << ": " << xvfb_.readAllStandardError().toStdString();

        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", display_);
        env_.remove("WAYLAND_DISPLAY");
        env_.remove("XDG_SESSION_TYPE");
        tray_.setProcessEnvironment(env_);
        tray_.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "160",
                               "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"});
        ASSERT_TRUE(tray_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return trayOwned(display_); }, 20000))
            << "trayer took no tray on " << display_.toStdString() << ": "
            << tray_.readAllStandardError().toStdString() << "\nXvfb (state " << xvfb_.state()
            << "): " << xvfb_.readAllStandardError().toStdString();
    }

    void TearDown() override
    {
        if (started_ > 0) ::kill(started_, SIGTERM);
        for (QProcess* p : {&program_, &tray_, &bus_, &xvfb_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    // A session bus of the test's own, for the programs started after this.
    void startBus()
    {
        ASSERT_TRUE(busFolder_.isValid());
        const std::string config = writeBusConfig(busFolder_.path().toStdString());
        bus_.start("dbus-daemon", {"--config-file=" + QString::fromStdString(config), "--nofork", "--print-address=1"});
        ASSERT_TRUE(bus_.waitForStarted(10000) && waitFor([&] { return bus_.canReadLine(); }, 20000))
            << "no dbus-daemon: " << bus_.readAllStandardError().toStdString();
        busAddress_ = QString::fromUtf8(bus_.readLine()).trimmed();
    }

    // The environment of a program of the test: the display, its settings folder, and the
    // test's bus if it has one, never the machine's.
    QProcessEnvironment programEnvironment(const QString& windir, bool onBus = true) const
    {
        QProcessEnvironment env = env_;
        env.insert("windir", windir);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_SESSION_ID", "e2e");
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
        env.insert("DBUS_SESSION_BUS_ADDRESS",
                   onBus && !busAddress_.isEmpty() ? busAddress_ : "unix:path=/nonexistent/tolvane-e2e");
        return env;
    }

    // The dry run started with these arguments and run to its end.
    struct Run {
        int status = -1;
        std::string out, err;
    };
    Run run(const QStringList& arguments, const QString& windir, bool onBus = true)
    {
        QProcess p;
        p.setProcessEnvironment(programEnvironment(windir, onBus));
        p.start(TOLVANE_DRYRUN, arguments);
        Run result;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished(3000);
            result.err = "did not end";
            return result;
        }
        result.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        result.out = p.readAllStandardOutput().toStdString();
        result.err = p.readAllStandardError().toStdString();
        return result;
    }

    // The process that owns the dry run's name on the test's bus, or 0.
    qint64 namesOwner()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress_, "e2e-test");
        const auto pid = bus.interface()->servicePid("example.quenmoor.Tolvane.DryRun");
        return pid.isValid() ? pid.value() : 0;
    }

    // Settings with one hotkey (the restart one, Ctrl+Alt+R, unless told) enabled.
    void writeSettings(const std::string& folder, const std::string& column = "restart")
    {
        const std::string file = folder + "/tolvdata.v";
        fs::copy_file(TOLVANE_DEFAULT_SETTINGS, file);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, ("UPDATE en SET " + column + " = 1").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    void startProgram(const QString& windir)
    {
        // Hermetic: the dry run never reaches a real bus, not even to ask.
        program_.setProcessEnvironment(programEnvironment(windir));
        program_.setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(&program_, &QProcess::readyReadStandardOutput, [this] {
            while (program_.canReadLine())
                lines_.push_back({clock_.elapsed(), QString::fromUtf8(program_.readLine()).trimmed().toStdString()});
        });
        program_.start(TOLVANE_DRYRUN, {});
        ASSERT_TRUE(program_.waitForStarted(10000));
    }

    // The first line equal to `text` from the index on, waiting up to timeoutMs.
    const std::pair<qint64, std::string>* line(const std::string& text, size_t from, int timeoutMs)
    {
        const std::pair<qint64, std::string>* found = nullptr;
        waitFor(
            [&] {
                for (size_t i = from; i < lines_.size(); ++i)
                    if (lines_[i].second == text) return (found = &lines_[i]) != nullptr;
                return false;
            },
            timeoutMs);
        return found;
    }
    size_t count(const std::string& text) const
    {
        return static_cast<size_t>(
            std::count_if(lines_.begin(), lines_.end(), [&](const auto& l) { return l.second == text; }));
    }

    int xdotool(const QStringList& args, QString* out = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start("xdotool", args);
        if (!p.waitForFinished(10000)) return -1;
        if (out) *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return p.exitCode();
    }
    // The first visible window that the search finds, waiting for it.
    QString findWindow(const QStringList& search, int timeoutMs = 20000)
    {
        QString id;
        waitFor(
            [&] {
                QString out;
                if (xdotool(QStringList{"search", "--onlyvisible"} + search, &out) == 0 && !out.isEmpty())
                    id = out.split('\n').first();
                return !id.isEmpty();
            },
            timeoutMs);
        return id;
    }

    QElapsedTimer clock_;
    QProcess xvfb_, tray_, bus_, program_;
    QTemporaryDir busFolder_;
    QString display_, busAddress_;
    pid_t started_ = 0;
    QProcessEnvironment env_;
    std::vector<std::pair<qint64, std::string>> lines_;
};

TEST_F(EndToEnd, TrayIconThenWarnedSetCarriesOutTheScheduleAndAHotkeyActsAtOnce)
{
    if (IsSkipped()) return;
    QTemporaryDir windir;
    ASSERT_TRUE(windir.isValid());
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString()));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path()));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";

    // The tray icon is the program's only visible window until it is pressed.
    const QString icon = findWindow({"--class", "tolvane-dryrun"});
    ASSERT_FALSE(icon.isEmpty()) << "no tray icon in the notification area";
    ASSERT_EQ(xdotool({"mousemove", "--window", icon, "8", "8", "click", "1"}), 0);
    const QString main = findWindow({"--name", kMainTitle});
    ASSERT_FALSE(main.isEmpty()) << "the main window did not come up from the tray";

    // The warning wanted (a click on Label9 ticks Check6), then SET (Command1: 3585, 1770,
    // 1350 x 375 twips) with the start-up choice, "Shutdown After 00:01".
    ASSERT_EQ(xdotool({"mousemove", "--window", main, "60", "130", "click", "1"}), 0);
    const qint64 setClicked = clock_.elapsed();
    ASSERT_EQ(xdotool({"mousemove", "--window", main, "284", "130", "click", "1"}), 0);

    // Ctrl+Alt+R while the schedule counts down: the restart request follows at once,
    // again on every poll while held, and no more once the keys are up.
    const size_t before = lines_.size();
    const qint64 pressed = clock_.elapsed();
    ASSERT_EQ(xdotool({"keydown", "ctrl", "alt", "r"}), 0);
    const auto* restart = line("dry-run restart Reboot(true)", before, 5000);
    ASSERT_NE(restart, nullptr) << "the hotkey was not seen";
    const qint64 latency = restart->first - pressed;
    std::printf("hotkey: key down to request %lld ms\n", static_cast<long long>(latency));
    EXPECT_LE(latency, 1000) << "the monitor polls every 100 ms";
    waitFor([] { return false; }, 350);
    ASSERT_EQ(xdotool({"keyup", "r", "alt", "ctrl"}), 0);
    waitFor([] { return false; }, 150);
    const size_t whileHeld = count("dry-run restart Reboot(true)");
    EXPECT_GE(whileHeld, 2u) << "held keys repeat the request on every poll";
    waitFor([] { return false; }, 400);
    EXPECT_EQ(count("dry-run restart Reboot(true)"), whileHeld) << "released keys request nothing";
    EXPECT_EQ(count("dry-run shutdown PowerOff(true)"), 0u) << "the hotkey leaves the schedule alone";

    // Thirty seconds after SET the warning window comes up, above all others, and counts down.
    const QString warning = findWindow({"--name", "^Shutdown After  [0-9]+ Seconds$"}, 45000);
    ASSERT_FALSE(warning.isEmpty()) << "no warning window";
    EXPECT_GE(clock_.elapsed() - setClicked, 29000);
    QProcess xprop;
    xprop.setProcessEnvironment(env_);
    xprop.start("xprop", {"-id", warning, "_NET_WM_STATE"});
    ASSERT_TRUE(xprop.waitForFinished(10000));
    EXPECT_TRUE(xprop.readAllStandardOutput().contains("_NET_WM_STATE_ABOVE"));

    // One minute after SET, the scheduled shutdown.
    const auto* shutdown = line("dry-run shutdown PowerOff(true)", 0, 75000);
    ASSERT_NE(shutdown, nullptr) << "the schedule never came due";
    const qint64 after = shutdown->first - setClicked;
    std::printf("schedule: SET to request %lld ms\n", static_cast<long long>(after));
    EXPECT_GE(after, 59900);
    EXPECT_LE(after, 62000);
    EXPECT_EQ(count("dry-run shutdown PowerOff(true)"), 1u);
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(EndToEnd, ASecondStartShowsTheRunningProgramsWindowAndLeavesOneProgram)
{
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(startBus());
    QTemporaryDir windir;
    ASSERT_TRUE(windir.isValid());
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString(), "shutdown"));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path()));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";
    ASSERT_FALSE(findWindow({"--class", "tolvane-dryrun"}).isEmpty()) << "no tray icon";
    EXPECT_TRUE(findWindow({"--name", kMainTitle}, 500).isEmpty()) << "start-up leaves the main window hidden";

    // The second start, as the autostart entry and the menu make it: it shows the running
    // program's window and ends.
    const Run second = run({}, windir.path());
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_FALSE(findWindow({"--name", kMainTitle}).isEmpty()) << "the running program's window is not shown";
    QString windows;
    xdotool({"search", "--onlyvisible", "--name", kMainTitle}, &windows);
    EXPECT_EQ(windows.split('\n', Qt::SkipEmptyParts).size(), 1) << "one main window: " << windows.toStdString();
    // Without a session bus the settings folder's lock keeps a start out, and it says why.
    const Run noBus = run({}, windir.path(), false);
    EXPECT_EQ(noBus.status, 1);
    EXPECT_NE(noBus.err.find("another tolvane-dryrun (process " + std::to_string(program_.processId()) +
                             ") runs on the settings in"),
              std::string::npos)
        << noBus.err;

    // One program watches the keys: a 300 ms Ctrl+Alt+S is one to four polls' requests.
    ASSERT_EQ(xdotool({"keydown", "ctrl", "alt", "s"}), 0);
    waitFor([] { return false; }, 300);
    ASSERT_EQ(xdotool({"keyup", "s", "alt", "ctrl"}), 0);
    waitFor([] { return false; }, 500);
    EXPECT_GE(count("dry-run shutdown PowerOff(true)"), 1u);
    EXPECT_LE(count("dry-run shutdown PowerOff(true)"), 4u);
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(EndToEnd, CommandsFromATerminalActOnTheRunningProgram)
{
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(startBus());
    QTemporaryDir windir;
    ASSERT_TRUE(windir.isValid());
    const QString folder = windir.path();
    ASSERT_NO_FATAL_FAILURE(writeSettings(folder.toStdString()));
    ASSERT_NO_FATAL_FAILURE(startProgram(folder));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";
    // Qt's options are left to Qt, and a command never brings Qt's GUI up: with it, this
    // platform that does not exist would abort the command.
    auto status = [&] { return run({"--status", "-platform", "none-such"}, folder).out; };

    EXPECT_EQ(run({"--after", "00:02", "restart", "--warn"}, folder).status, 0);
    EXPECT_EQ(status(), "Restart After 00:02    Warning Enabled\n");
    for (const QStringList& bad : {QStringList{"--after", "24:00", "restart"}, {"--after", "00:02", "reboot"}}) {
        const Run refused = run(bad, folder);
        EXPECT_EQ(refused.status, 2) << bad.join(' ').toStdString();
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    }
    EXPECT_EQ(status(), "Restart After 00:02    Warning Enabled\n") << "a refused command changed the schedule";
    EXPECT_EQ(run({"--at", "07:45", "standby"}, folder).status, 0);
    EXPECT_EQ(status(), "Stand By At 07:45    Warning Disabled\n");
    // The status line's changes are signalled on the bus, for applets.
    QProcess monitor;
    monitor.start("dbus-monitor", {"--address", busAddress_, "member='PropertiesChanged'"});
    ASSERT_TRUE(monitor.waitForStarted(10000) && waitFor([&] { return monitor.bytesAvailable() > 0; }, 10000));
    EXPECT_EQ(run({"--cancel"}, folder).status, 0);
    EXPECT_EQ(status(), "Currently no action scheduled\n");
    QByteArray signalled;
    EXPECT_TRUE(waitFor([&] { return (signalled += monitor.readAll()).contains("\"Currently no action scheduled\""); }))
        << signalled.toStdString();
    monitor.kill();
    monitor.waitForFinished(3000);
    EXPECT_EQ(run({"--show"}, folder).status, 0);
    EXPECT_FALSE(findWindow({"--name", kMainTitle}).isEmpty()) << "--show showed no window";
    EXPECT_EQ(namesOwner(), program_.processId()) << "one program, the one started first";
    EXPECT_EQ(program_.state(), QProcess::Running);

    // With none running, a schedule starts the program and is then carried out by it.
    program_.terminate();
    ASSERT_TRUE(program_.waitForFinished(10000));
    EXPECT_EQ(run({"--status"}, folder).status, 1);
    EXPECT_EQ(run({"--after", "00:05", "shutdown"}, folder).status, 0);
    started_ = static_cast<pid_t>(namesOwner());
    EXPECT_GT(started_, 0) << "no program took the name";
    EXPECT_EQ(status(), "Shutdown After 00:05    Warning Disabled\n");
}

}  // namespace
}  // namespace tolvane::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
