// tolvane-dryrun end to end on a virtual X server (Xvfb) with a real notification area
// (trayer), driven by xdotool as a user would: open the window from the tray icon, ask for
// the warning, press SET, hold Ctrl+Alt and a hotkey, see the topmost warning window; start
// it a second time, and give it commands from a terminal, on a session bus of the test's own.
#include "e2e_fixture.h"

namespace tolvane::test {
namespace {

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

}  // namespace
}  // namespace tolvane::test
