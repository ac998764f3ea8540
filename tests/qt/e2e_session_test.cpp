// tolvane-dryrun end to end as the session around it changes: logind refusing the action,
// the computer sleeping inside the warning, a notification area that comes late or goes, and
// SIGTERM while the start-up message box is open.
#include "e2e_fixture.h"

namespace tolvane::test {
namespace {

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

}  // namespace
}  // namespace tolvane::test
