// tolvane-dryrun end to end on a Wayland desktop without an X server for the program.
#include "e2e_fixture.h"

namespace tolvane::test {
namespace {

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
