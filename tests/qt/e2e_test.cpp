// tolvane-dryrun end to end on a virtual X server (Xvfb) with a real notification area
// (trayer), driven by xdotool as a user would: open the window from the tray icon, ask for
// the warning, press SET, hold Ctrl+Alt and a hotkey, see the topmost warning window; start
// it a second time, and give it commands from a terminal, on a session bus of the test's own.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "logind_bus.h"
#include "private_bus.h"
#include "program_lines.h"
#include "tests/settings_file.h"
#include "wait.h"
#include "xvfb_process.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "x_selection.h"

namespace tolvane::test {
namespace {

const QStringList kMainWindow = {"--name", "^Tolvane 3\\.0 - Quenmoor$"};
const QStringList kTrayIcon = {"--class", "tolvane-dryrun"};

bool displayOpens(const QString& display)
{
    Display* dpy = XOpenDisplay(display.toLocal8Bit().constData());
    if (dpy) XCloseDisplay(dpy);
    return dpy != nullptr;
}

// SIGTERM, and SIGKILL if the process has not ended 3 s later.
void end(QProcess& process)
{
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// Is a notification area there (someone owns the tray selection of screen 0)?
bool trayOwned(const QString& display)
{
    return selectionOwned(display.toStdString(), "_NET_SYSTEM_TRAY_S0");
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "trayer", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is missing (scripts/install-deps installs it)";
        clock_.start();

        std::string why;
        display_ = QString::fromStdString(xvfb_.start("1024x768x24", &why));
        ASSERT_FALSE(display_.isEmpty()) << why;
        ASSERT_TRUE(waitFor([&] { return displayOpens(display_); }, 20000))
            << "no connection to " << display_.toStdString();

        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", display_);
        env_.remove("WAYLAND_DISPLAY");
        env_.remove("XDG_SESSION_TYPE");
        // Hermetic: no program of the test reaches a real bus, not even to ask.
        env_.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
        env_.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
    }

    // The notification area, at the screen's top right.
    void startTray()
    {
        tray_.setProcessEnvironment(env_);
        tray_.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "160",
                               "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"});
        ASSERT_TRUE(tray_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return trayOwned(display_); }, 20000))
            << "trayer took no tray on " << display_.toStdString() << ": " << tray_.readAllStandardError().toStdString()
            << (xvfb_.running() ? "" : "\nXvfb has ended");
    }

    void TearDown() override
    {
        if (started_ > 0) ::kill(started_, SIGTERM);
        for (QProcess* p : {&program_, &tray_}) end(*p);
        sessionBus_.stop();
        xvfb_.stop();
    }

    // A session bus of the test's own, for the programs started after this.
    void startSessionBus()
    {
        std::string why;
        ASSERT_TRUE(sessionBus_.start(&why)) << why;
        busAddress_ = QString::fromStdString(sessionBus_.address());
    }

    // The environment of a program of the test on Qt's xcb platform: the display, its settings
    // folder, and the test's session bus if it has one, never the machine's.
    QProcessEnvironment programEnvironment(const QString& windir, bool onBus = true) const
    {
        QProcessEnvironment env = env_;
        env.insert("windir", windir);
        env.insert("XDG_SESSION_ID", "e2e");
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DBUS_SESSION_BUS_ADDRESS",
                   onBus && !busAddress_.isEmpty() ? busAddress_ : "unix:path=/nonexistent/tolvane-e2e");
        return env;
    }

    // The dry run started with these arguments and run to its end.
    struct Run {
        int status = -1;
        std::string out, err;
    };
    Run run(const QStringList& arguments, const QString& windir, bool onBus = true, const QString& systemBus = {},
            const char* program = TOLVANE_DRYRUN)
    {
        QProcess p;
        QProcessEnvironment env = programEnvironment(windir, onBus);
        if (!systemBus.isEmpty()) env.insert("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
        p.setProcessEnvironment(env);
        p.start(program, arguments);
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

    // Settings with one hotkey enabled (the restart one, Ctrl+Alt+R, unless told), or the
    // delivered ones.
    void writeSettings(const std::string& folder, bool hotkey = true, const std::string& column = "restart")
    {
        copyDeliveredSettings(folder, hotkey ? "UPDATE en SET " + column + " = 1" : "");
    }

    // On Qt's xcb platform (see programEnvironment), or in a session of the test's own, where
    // the program chooses its platform itself. systemBus: the address of the test's own mock
    // logind, the only system bus a program of the test ever gets; program: the dry run unless
    // told (the real program only ever with the mock logind).
    void startProgram(const QString& windir, const QProcessEnvironment* session = nullptr,
                      const QString& systemBus = {}, const char* program = TOLVANE_DRYRUN)
    {
        QProcessEnvironment env = programEnvironment(windir);
        if (session) {
            env = *session;
            env.insert("windir", windir);
            env.insert("XDG_SESSION_ID", "e2e");
            env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
            env.remove("QT_QPA_PLATFORM");
        }
        ASSERT_TRUE(program == std::string(TOLVANE_DRYRUN) || !systemBus.isEmpty());
        if (!systemBus.isEmpty()) env.insert("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::SeparateChannels);
        keepLines(program_, clock_, lines_);
        program_.start(program, {});
        ASSERT_TRUE(program_.waitForStarted(10000));
    }

    // python3-dbusmock's logind on a private bus, as the programs' system bus.
    void startLogind(LogindBus& logind)
    {
        if (!LogindBus::toolsThere()) GTEST_SKIP() << "dbus-daemon or python3-dbusmock is missing";
        ASSERT_TRUE(logind.start("e2e")) << "the private bus or logind's mock did not come up";
    }

    // The first line equal to `text` from the index on, waiting up to timeoutMs.
    const TimedLine* line(const std::string& text, size_t from, int timeoutMs)
    {
        return waitForLine(lines_, text, from, timeoutMs);
    }
    size_t count(const std::string& text) const { return countLines(lines_, text); }

    int xdotool(const QStringList& args, QString* out = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start("xdotool", args);
        if (!p.waitForFinished(10000)) return -1;
        if (out) *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return p.exitCode();
    }
    // What the screen shows in an area.
    QImage screen(const QRect& area) const
    {
        QImage image(area.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        Display* dpy = XOpenDisplay(display_.toLocal8Bit().constData());
        if (!dpy) return image;
        if (XImage* x = XGetImage(dpy, DefaultRootWindow(dpy), area.x(), area.y(), static_cast<unsigned>(area.width()),
                                  static_cast<unsigned>(area.height()), AllPlanes, ZPixmap)) {
            for (int y = 0; y < area.height(); ++y)
                for (int col = 0; col < area.width(); ++col)
                    image.setPixel(col, y, static_cast<QRgb>(XGetPixel(x, col, y)));
            XDestroyImage(x);
        }
        XCloseDisplay(dpy);
        return image;
    }
    // The main window once the screen shows it drawn, ready for a click: found by the search,
    // most of its place no longer the black of the empty screen, and the same in two looks
    // one after the other; or "".
    QString drawnMainWindow(int timeoutMs = 20000)
    {
        const QString id = findWindow(kMainWindow, timeoutMs);
        if (id.isEmpty()) return id;
        QImage last;
        const auto drawn = [&] {
            QString place;
            xdotool({"getwindowgeometry", "--shell", id}, &place);
            const QRect area(value(place, "X"), value(place, "Y"), value(place, "WIDTH"), value(place, "HEIGHT"));
            const QImage now = screen(area);
            qsizetype black = 0;
            for (int y = 0; y < now.height(); ++y)
                for (int x = 0; x < now.width(); ++x) black += (now.pixel(x, y) & 0xffffff) == 0;
            const bool same = now == last;
            last = now;
            return !area.isEmpty() && same && black * 2 < qsizetype{area.width()} * area.height();
        };
        return waitFor(drawn, timeoutMs) ? id : QString();
    }
    // A NAME=value line's value in xdotool's --shell output, or 0.
    static int value(const QString& lines, const QString& name)
    {
        for (const QString& line : lines.split('\n'))
            if (line.startsWith(name + "=")) return line.mid(name.size() + 1).toInt();
        return 0;
    }

    // The first visible window that the search finds now, or "".
    QString visibleWindow(const QStringList& search)
    {
        QString out;
        if (xdotool(QStringList{"search", "--onlyvisible"} + search, &out) != 0) return {};
        return out.split('\n').first();
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
    XvfbProcess xvfb_;
    PrivateBus sessionBus_;
    QProcess tray_, program_;
    QString display_, busAddress_;
    pid_t started_ = 0;
    QProcessEnvironment env_;
    std::vector<TimedLine> lines_;
};

TEST_F(EndToEnd, TrayIconThenWarnedSetCarriesOutTheScheduleAndAHotkeyActsAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startTray());
    QTemporaryDir windir;
    ASSERT_TRUE(windir.isValid());
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString()));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path()));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";

    // The tray icon is the program's only visible window until it is pressed.
    const QString icon = findWindow(kTrayIcon);
    ASSERT_FALSE(icon.isEmpty()) << "no tray icon in the notification area";
    ASSERT_EQ(xdotool({"mousemove", "--window", icon, "8", "8", "click", "1"}), 0);
    const QString main = drawnMainWindow();
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
    letTimePass(350);
    ASSERT_EQ(xdotool({"keyup", "r", "alt", "ctrl"}), 0);
    letTimePass(150);
    const size_t whileHeld = count("dry-run restart Reboot(true)");
    EXPECT_GE(whileHeld, 2u) << "held keys repeat the request on every poll";
    letTimePass(400);
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
    ASSERT_NO_FATAL_FAILURE(startTray());
    ASSERT_NO_FATAL_FAILURE(startSessionBus());
    QTemporaryDir windir;
    ASSERT_TRUE(windir.isValid());
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString(), true, "shutdown"));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path()));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";
    ASSERT_FALSE(findWindow(kTrayIcon).isEmpty()) << "no tray icon";
    EXPECT_TRUE(findWindow(kMainWindow, 500).isEmpty()) << "start-up leaves the main window hidden";

    // The second start, as the autostart entry and the menu make it: it shows the running
    // program's window and ends.
    const Run second = run({}, windir.path());
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_FALSE(findWindow(kMainWindow).isEmpty()) << "the running program's window is not shown";
    QString windows;
    xdotool(QStringList{"search", "--onlyvisible"} + kMainWindow, &windows);
    EXPECT_EQ(windows.split('\n', Qt::SkipEmptyParts).size(), 1) << "one main window: " << windows.toStdString();
    // Without a session bus the settings folder's lock keeps a start out, and it says why.
    const Run noBus = run({}, windir.path(), false);
    EXPECT_EQ(noBus.status, 1);
    EXPECT_NE(noBus.err.find("another tolvane-dryrun (process " + std::to_string(program_.processId()) +
                             ") runs on the settings in"),
              std::string::npos)
        << noBus.err;

    // One program watches the keys: a 300 ms Ctrl+Alt+S is one to four polls' requests (more
    // only when a loaded machine kept the keys down longer, so the bound follows how long
    // they were down at most); two programs would give twice as many.
    const qint64 down = clock_.elapsed();
    ASSERT_EQ(xdotool({"keydown", "ctrl", "alt", "s"}), 0);
    letTimePass(300);
    ASSERT_EQ(xdotool({"keyup", "s", "alt", "ctrl"}), 0);
    const qint64 held = clock_.elapsed() - down;
    EXPECT_TRUE(waitFor([&] { return count("dry-run shutdown PowerOff(true)") >= 1; }, 5000));
    letTimePass(500);
    const size_t most = static_cast<size_t>(std::max<qint64>(4, held / 100 + 1));
    EXPECT_LE(count("dry-run shutdown PowerOff(true)"), most) << "the keys were down for " << held << " ms at most";
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(EndToEnd, CommandsFromATerminalActOnTheRunningProgram)
{
    ASSERT_NO_FATAL_FAILURE(startTray());
    ASSERT_NO_FATAL_FAILURE(startSessionBus());
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
    // The time may follow its option after "=", as GNU tools take it.
    EXPECT_EQ(run({"--after=01:30", "shutdown"}, folder).status, 0);
    EXPECT_EQ(status(), "Shutdown After 01:30    Warning Disabled\n");
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
    EXPECT_FALSE(findWindow(kMainWindow).isEmpty()) << "--show showed no window";
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

// logind refuses the shutdown (an inhibitor of a backup): the program, the real one on the
// mock logind, tells it in one message box while Ctrl+Alt+S is held for a second, though it
// asks again on every poll.
TEST_F(EndToEnd, ARefusedActionIsToldOncePerPressWithLogindsReason)
{
    LogindBus logind;
    ASSERT_NO_FATAL_FAILURE(startLogind(logind));
    if (IsSkipped()) return;
    const QString inhibited = "Operation inhibited by \"backup\" (PID 42 \"borg\", user root), reason is \"nightly\".";
    ASSERT_EQ(logind
                  .mock("AddMethod", {"org.freedesktop.login1.Manager", "PowerOff", "b", "",
                                      "raise dbus.exceptions.DBusException('" + inhibited +
                                          "', name='org.freedesktop.login1.BlockedByInhibitor')"})
                  .type(),
              QDBusMessage::ReplyMessage);
    ASSERT_EQ(
        logind.mock("AddMethod", {"org.freedesktop.login1.Manager", "CanReboot", "", "s", "ret = 'challenge'"}).type(),
        QDBusMessage::ReplyMessage);
    ASSERT_NO_FATAL_FAILURE(startTray());
    ASSERT_NO_FATAL_FAILURE(startSessionBus());
    QTemporaryDir windir;
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString(), true, "shutdown"));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path(), nullptr, logind.address(), TOLVANE_PROGRAM));
    ASSERT_FALSE(findWindow({"--class", "tolvane"}).isEmpty()) << "the program did not start";

    ASSERT_EQ(xdotool({"keydown", "ctrl", "alt", "s"}), 0);
    const QStringList messageBox = {"--name", "^Tolvane 3\\.0$"};
    const QString box = findWindow(messageBox);
    letTimePass(1000);
    ASSERT_EQ(xdotool({"keyup", "s", "alt", "ctrl"}), 0);
    ASSERT_FALSE(box.isEmpty()) << "no message box";
    letTimePass(500);
    QString boxes;
    xdotool(QStringList{"search", "--onlyvisible"} + messageBox, &boxes);
    EXPECT_EQ(boxes.split('\n', Qt::SkipEmptyParts).size(), 1) << boxes.toStdString();
    QFile log(logind.log());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_GE(log.readAll().count("PowerOff"), 2) << "the held keys ask again";

    // The reason, in logind's words, goes to standard error besides.
    EXPECT_TRUE(program_.readAllStandardError().contains(inhibited.toUtf8()));
    ASSERT_EQ(xdotool({"windowfocus", "--sync", box}), 0);
    ASSERT_EQ(xdotool({"key", "Return"}), 0);
    EXPECT_TRUE(waitFor([&] { return visibleWindow(messageBox).isEmpty(); }));

    // A restart set from a terminal that will need a password: the command says so, and the
    // program's box too; the schedule is set all the same.
    const Run set = run({"--after", "00:30", "restart"}, windir.path(), true, logind.address(), TOLVANE_PROGRAM);
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.err,
              "tolvane: Restart is set, but the system will ask for a password when it is due (logind "
              "CanReboot: challenge): if nobody is at the computer to give it, the computer stays on.\n");
    EXPECT_FALSE(findWindow(messageBox).isEmpty()) << "no message box at SET";
    EXPECT_EQ(run({"--status"}, windir.path(), true, logind.address(), TOLVANE_PROGRAM).out,
              "Restart After 00:30    Warning Disabled\n");
    EXPECT_EQ(program_.state(), QProcess::Running);
}

// The computer sleeps while the warning window counts down: waking (logind's PrepareForSleep)
// opens the whole 30-second window again at once, and the action comes after it, not when the
// countdown before the sleep would have ended.
TEST_F(EndToEnd, WakingInsideTheWarningOpensItsWholeWindowAgain)
{
    LogindBus logind;
    ASSERT_NO_FATAL_FAILURE(startLogind(logind));
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(startTray());
    QTemporaryDir windir;
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString(), false));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path(), nullptr, logind.address()));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";
    const QString icon = findWindow(kTrayIcon);
    ASSERT_FALSE(icon.isEmpty());
    ASSERT_EQ(xdotool({"mousemove", "--window", icon, "8", "8", "click", "1"}), 0);
    const QString main = drawnMainWindow();
    ASSERT_FALSE(main.isEmpty());
    // The warning (Label9), then SET: "Shutdown After 00:01".
    ASSERT_EQ(xdotool({"mousemove", "--window", main, "60", "130", "click", "1"}), 0);
    const qint64 setClicked = clock_.elapsed();
    ASSERT_EQ(xdotool({"mousemove", "--window", main, "284", "130", "click", "1"}), 0);

    const QString warning = findWindow({"--name", "^Shutdown After  2[0-4] Seconds$"}, 50000);
    ASSERT_FALSE(warning.isEmpty()) << "the warning window did not count down";
    for (bool sleeping : {true, false})
        ASSERT_EQ(
            logind
                .mock("EmitSignal", {"org.freedesktop.login1.Manager", "PrepareForSleep", "b", QVariantList{sleeping}})
                .type(),
            QDBusMessage::ReplyMessage);
    const qint64 woke = clock_.elapsed();
    EXPECT_FALSE(findWindow({"--name", "^Shutdown After  2[7-9] Seconds$"}, 5000).isEmpty())
        << "the countdown did not start again on waking";
    const auto* shutdown = line("dry-run shutdown PowerOff(true)", 0, 45000);
    ASSERT_NE(shutdown, nullptr) << "no action after the window opened on waking";
    std::printf("wake-up: woke to request %lld ms, SET to request %lld ms\n",
                static_cast<long long>(shutdown->first - woke), static_cast<long long>(shutdown->first - setClicked));
    EXPECT_GE(shutdown->first - woke, 29500);
    EXPECT_LE(shutdown->first - woke, 32000);
    EXPECT_EQ(count("dry-run shutdown PowerOff(true)"), 1u);
}

// A panel slower than the autostart: no window manager here, so the main window that waits
// for a notification area is simply on the screen.
TEST_F(EndToEnd, ATrayThatComesLateTakesTheIconAndOneThatGoesLeavesTheWindowInReach)
{
    QTemporaryDir windir;
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString()));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path()));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start";
    EXPECT_FALSE(findWindow(kMainWindow).isEmpty()) << "without a notification area the window is out of reach";

    letTimePass(4000);
    ASSERT_NO_FATAL_FAILURE(startTray());
    ASSERT_TRUE(waitFor([&] { return visibleWindow(kMainWindow).isEmpty(); })) << "the window stays out of the tray";
    const QString icon = findWindow(kTrayIcon);
    ASSERT_FALSE(icon.isEmpty()) << "no icon in the notification area that came after the program";
    ASSERT_EQ(xdotool({"mousemove", "--window", icon, "8", "8", "click", "1"}), 0);
    const QString main = drawnMainWindow();
    ASSERT_FALSE(main.isEmpty()) << "a press on the icon did not bring the main window";

    // "Send To Tray" (Command3: 1920, 2280, 1455 x 375 twips) puts it back behind an icon.
    ASSERT_EQ(xdotool({"mousemove", "--window", main, "176", "164", "click", "1"}), 0);
    ASSERT_TRUE(waitFor([&] { return visibleWindow(kMainWindow).isEmpty(); })) << "Send To Tray did not hide it";
    EXPECT_FALSE(findWindow(kTrayIcon).isEmpty()) << "hidden without an icon";

    // The tray goes: the hidden window comes back within reach; the tray comes again: the icon.
    tray_.terminate();
    ASSERT_TRUE(tray_.waitForFinished(5000));
    EXPECT_FALSE(findWindow(kMainWindow).isEmpty()) << "the tray went and took the way back with it";
    ASSERT_NO_FATAL_FAILURE(startTray());
    ASSERT_TRUE(waitFor([&] { return visibleWindow(kMainWindow).isEmpty(); }));
    const QString again = findWindow(kTrayIcon);
    ASSERT_FALSE(again.isEmpty()) << "no icon in the tray that came back";
    ASSERT_EQ(xdotool({"mousemove", "--window", again, "8", "8", "click", "1"}), 0);
    EXPECT_FALSE(findWindow(kMainWindow).isEmpty());
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(EndToEnd, SigtermEndsTheProgramWhileTheStartUpMessageBoxIsOpen)
{
    QTemporaryDir windir;
    ASSERT_TRUE(windir.isValid());
    // A settings file that cannot be used: start-up says so in a message box.
    QFile broken(windir.filePath("tolvdata.v"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a settings file");
    broken.close();
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path()));
    ASSERT_FALSE(findWindow({"--name", "^Tolvane 3\\.0$"}).isEmpty()) << "no message box at start-up";

    program_.terminate();
    ASSERT_TRUE(program_.waitForFinished(10000)) << "the box closed, but the program carried on";
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.exitCode(), 0);
    const bool ready = count("dry-run ready") > 0 || program_.readAllStandardOutput().contains("dry-run ready");
    EXPECT_FALSE(ready) << "the main loop started after the session had ended";
}

// A Wayland desktop without an X server for the program: weston, nested in the Xvfb with its
// x11 backend, so that XTest input on the Xvfb reaches the program as real input and the
// Xvfb's screen shows what weston shows. No notification area; the desktop notifications are
// python3-dbusmock's on a bus of the test's own.
class Weston : public EndToEnd {
protected:
    static constexpr unsigned long kBackground = 0x204060;
    static constexpr int kWidth = 1000, kHeight = 740;

    void SetUp() override
    {
        EndToEnd::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (QStandardPaths::findExecutable("weston").isEmpty() || !PrivateBus::available())
            GTEST_SKIP() << "weston or dbus-daemon is missing (scripts/install-deps installs them)";
        if (QProcess::execute("/usr/bin/python3", {"-c", "import dbusmock"}) != 0)
            GTEST_SKIP() << "python3-dbusmock is missing (scripts/install-deps installs it)";
        QFile ini(runtime_.filePath("weston.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(
            "[core]\nidle-time=0\n[shell]\npanel-position=none\nbackground-color=0xff204060\n"
            "locking=false\nanimation=none\nstartup-animation=none\n");
        ini.close();
        QProcessEnvironment env = env_;
        env.insert("XDG_RUNTIME_DIR", runtime_.path());
        weston_.setProcessEnvironment(env);
        weston_.setProcessChannelMode(QProcess::MergedChannels);
        weston_.start("weston", {"--backend=x11-backend.so", "--width=1000", "--height=740", "--socket=wayland-tolvane",
                                 "--config=" + ini.fileName()});
        ASSERT_TRUE(weston_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return screen().pixelColor(kWidth / 2, kHeight / 2) == QColor(kBackground); }, 30000))
            << "weston did not come up: " << weston_.readAll().toStdString();

        std::string why;
        ASSERT_TRUE(bus_.start(&why)) << why;
        const QString address = QString::fromStdString(bus_.address());
        QProcessEnvironment busEnv = env_;
        busEnv.insert("DBUS_SESSION_BUS_ADDRESS", address);
        notifications_.setProcessEnvironment(busEnv);
        notifications_.start("/usr/bin/python3", {"-m", "dbusmock", "--template", "notification_daemon", "-l",
                                                  runtime_.filePath("notifications.log")});
        ASSERT_TRUE(notifications_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return QFile::exists(runtime_.filePath("notifications.log")); }, 30000));

        // The program's session: Wayland only, nothing of the X server.
        wayland_ = env;
        wayland_.remove("DISPLAY");
        wayland_.insert("WAYLAND_DISPLAY", "wayland-tolvane");
        wayland_.insert("XDG_SESSION_TYPE", "wayland");
        wayland_.insert("DBUS_SESSION_BUS_ADDRESS", address);
    }
    void TearDown() override
    {
        for (QProcess* p : {&program_, &notifications_}) end(*p);
        bus_.stop();
        end(weston_);
        EndToEnd::TearDown();
    }

    // What weston shows, from the Xvfb's screen.
    QImage screen() const { return EndToEnd::screen({0, 0, kWidth, kHeight}); }
    // The windows on weston's screen, frames included: every row and column with more than 40
    // pixels that are not the background (weston's pointer is narrower).
    QRect windowsShown()
    {
        const QImage image = screen();
        std::vector<int> rows(kHeight), columns(kWidth);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if ((image.pixel(x, y) & 0xffffff) != kBackground) ++rows[y], ++columns[x];
        const auto many = [](int n) { return n > 40; };
        const auto top = std::find_if(rows.begin(), rows.end(), many),
                   left = std::find_if(columns.begin(), columns.end(), many);
        if (top == rows.end() || left == columns.end()) return {};
        const auto bottom = std::find_if(rows.rbegin(), rows.rend(), many);
        const auto right = std::find_if(columns.rbegin(), columns.rend(), many);
        return QRect(QPoint(int(left - columns.begin()), int(top - rows.begin())),
                     QPoint(kWidth - 1 - int(right - columns.rbegin()), kHeight - 1 - int(bottom - rows.rbegin())));
    }
    // The one window shown whose client area has this size, waiting for it.
    QRect waitForWindow(QSize client)
    {
        QRect frame;
        waitFor(
            [&] {
                frame = windowsShown();
                const QSize border = frame.size() - client;
                return border.width() > 0 && border.width() < 20 && border.height() > border.width() &&
                       border.height() < 60;
            },
            20000);
        return frame;
    }
    // A click at a point of the client area of the window in this frame (Qt draws the frame:
    // equal borders left, right and below, the title bar above).
    void click(const QRect& frame, QSize client, QPoint point)
    {
        const int border = (frame.width() - client.width()) / 2;
        const QPoint origin(frame.left() + border, frame.bottom() + 1 - border - client.height());
        const QPoint at = origin + point;
        // The pointer comes in from outside weston's window, so that weston is told it entered:
        // one that was already inside when weston started may not follow the motion.
        ASSERT_EQ(xdotool({"mousemove", QString::number(kWidth + 10), QString::number(kHeight + 10)}), 0);
        letTimePass(100);
        ASSERT_EQ(xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())}), 0);
        letTimePass(100);
        ASSERT_EQ(xdotool({"click", "1"}), 0);
        letTimePass(300);
    }
    QString notifications()
    {
        QFile log(runtime_.filePath("notifications.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QTemporaryDir runtime_;
    PrivateBus bus_;
    QProcess weston_, notifications_;
    QProcessEnvironment wayland_;
};

TEST_F(Weston, WithoutAnXServerTheProgramStartsTheWarningIsSeenAndTheWindowComesBackFromTheHotkeyWindow)
{
    QTemporaryDir windir;
    // No hotkey enabled: no message about them (the desktop has no global shortcuts).
    ASSERT_NO_FATAL_FAILURE(writeSettings(windir.path().toStdString(), false));
    ASSERT_NO_FATAL_FAILURE(startProgram(windir.path(), &wayland_));
    ASSERT_NE(line("dry-run ready", 0, 30000), nullptr) << "the program did not start on weston";

    // Without a notification area the main window stays in reach; weston shows it.
    const QSize form1(375, 265), hk(202, 296);
    QRect frame = waitForWindow(form1);
    ASSERT_FALSE(frame.isEmpty()) << "the main window is not on weston's screen";

    // The warned one-minute schedule (Label9, then SET); thirty seconds later the warning, as
    // a critical desktop notification beside its window, which weston cannot keep above.
    ASSERT_NO_FATAL_FAILURE(click(frame, form1, {60, 130}));
    ASSERT_NO_FATAL_FAILURE(click(frame, form1, {284, 130}));
    ASSERT_TRUE(waitFor([&] { return notifications().contains("\"Shutdown After  29 Seconds\""); }, 45000))
        << notifications().toStdString();
    EXPECT_TRUE(notifications().contains(R"("urgency": 2)")) << notifications().toStdString();
    EXPECT_TRUE(notifications().contains(R"("desktop-entry": "example.quenmoor.Tolvane.DryRun")"))
        << notifications().toStdString();
    EXPECT_NE(windowsShown(), frame) << "no warning window beside the notification";
    // RESET: the window and the notification go.
    ASSERT_NO_FATAL_FAILURE(click(frame, form1, {284, 130}));
    ASSERT_TRUE(waitFor([&] { return notifications().contains("CloseNotification"); }, 5000));

    // "Hot Keys" hides the main window; closing the hotkey window (its close box, at the right
    // of the title bar Qt draws) brings it back.
    ASSERT_NO_FATAL_FAILURE(click(frame, form1, {73, 164}));
    const QRect hotkeys = waitForWindow(hk);
    ASSERT_FALSE(hotkeys.isEmpty()) << "the hotkey window is not alone on the screen";
    ASSERT_EQ(xdotool({"mousemove", QString::number(hotkeys.right() - 17), QString::number(hotkeys.top() + 14), "click",
                       "1"}),
              0);
    EXPECT_FALSE(waitForWindow(form1).isEmpty()) << "the main window did not come back";
    EXPECT_EQ(program_.state(), QProcess::Running);
}

}  // namespace
}  // namespace tolvane::test
