// The hotkeys against GNOME's real desktop portal: GNOME Shell, xdg-desktop-portal and
// xdg-desktop-portal-gnome of GNOME 48 (Debian 13, trixie) and GNOME 50 (forky), from the chroots
// that scripts/desktop-chroots makes and keeps. The shell runs headless in the chroot on the
// tests' session bus, with a system bus of the test's own where python3-dbusmock stands in for
// logind; its portal is started by the bus once the shell is up, as on a desktop, where it
// offers global shortcuts only then. The program is the dry run in the test process in a Wayland
// session. Keys are pressed through one long-lived remote desktop session of the shell
// (org.gnome.Mutter.RemoteDesktop), which the shell takes as a keyboard's; the automation
// script the shell is started with keeps the overview from taking them and lets the test ask
// the shell which windows it shows (org.gnome.Shell.Eval).
#include <signal.h>

#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include "logind_bus.h"
#include "session_fixture.h"

namespace tolvane::test {
namespace {

const QString kShell = "org.gnome.Shell";
const QString kMutter = "org.gnome.Mutter.RemoteDesktop";
// The programs through which GNOME could open a page of its settings: the stand-ins write down
// each call.
const std::vector<const char*> kOpeners = {"xdg-open", "gnome-control-center", "gio"};

struct GnomeStack {
    const char* name;   // in the tests' names
    const char* suite;  // scripts/desktop-chroots' suite
};
void PrintTo(const GnomeStack& stack, std::ostream* out)
{
    *out << stack.name;
}

class GnomePortal : public SessionTest, public ::testing::WithParamInterface<GnomeStack> {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        if (IsSkipped()) return;
        const GnomeStack stack = GetParam();
        const QString root = desktopChroot(stack.suite);
        if (root.isEmpty()) GTEST_SKIP() << chrootMissing(stack.suite);
        ASSERT_TRUE(system_.start("gnome")) << "the system bus with logind's mock did not come up";
        const std::string home = home_.path().toStdString();
        writeOpeners(home, kOpeners);
        installDesktopFiles(home);
        // The automation script lets the test ask the shell (Eval answers only in its unsafe
        // mode) and never ends: the shell would end with it.
        std::ofstream(home + "/automation.js") << "export function init() { global.context.unsafe_mode = true; }\n"
                                                  "export async function run() { await new Promise(() => {}); }\n";

        // Everything in the chroot with an environment of the test's alone: its buses, a home of
        // its own that is also the runtime folder where the shell puts its Wayland socket.
        std::string env = "/usr/bin/env -i DBUS_SESSION_BUS_ADDRESS=" +
                          qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString() +
                          " DBUS_SYSTEM_BUS_ADDRESS=" + system_.address().toStdString() +
                          " XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_ID=gnome"
                          " WAYLAND_DISPLAY=wayland-0 PATH=" +
                          home + ":/usr/bin:/bin";
        for (const char* variable : {"HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env += std::string(" ") + variable + "=" + home;
        // Apart from the runtime folder: dconf keeps its database and its change flag under the
        // same name in each, and the flag would overwrite what the desktop stored.
        env += " XDG_CONFIG_HOME=" + home + "/.config";
        const std::string prefix =
            inChroot(stack.suite, {home, busSocket(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS")),
                                   busSocket(system_.address())}) +
            " " + env;
        // The portal comes after the shell; the shell's own services now.
        for (const auto& [name, exec] : chrootServices(root, prefix))
            (name.startsWith("org.freedesktop.portal.") || name.startsWith("org.freedesktop.impl.portal.desktop")
                 ? portals_
                 : others_)
                .push_back({name, exec});
        writeServices(others_);
        ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);  // the program's session, too

        QStringList command = QProcess::splitCommand(QString::fromStdString(prefix));
        command << "gnome-shell"
                << "--headless"
                << "--wayland"
                << "--no-x11"
                << "--virtual-monitor"
                << "1024x768"
                << "--automation-script" << QString::fromStdString(home + "/automation.js");
        shell_.setStandardOutputFile(home_.filePath("shell.log"));
        shell_.setStandardErrorFile(home_.filePath("shell.log"), QIODevice::Append);
        shell_.start(command.takeFirst(), command);
        ASSERT_TRUE(waitFor([&] { return eval("Main.layoutManager._startingUp") == "false"; }, 90000))
            << "GNOME Shell did not come up: " << shellLog();
        // The shell opens its overview at start-up, which would take the keys.
        ASSERT_TRUE(waitFor([&] { return eval("Main.overview.hide(); Main.overview.visible") == "false"; }, 10000));
        writeServices(portals_);

        // One remote desktop session for the whole test: the shell's keyboard.
        const QDBusMessage created = call(kMutter, "/org/gnome/Mutter/RemoteDesktop", kMutter, "CreateSession");
        ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
        remote_ = created.arguments().value(0).value<QDBusObjectPath>().path();
        const QDBusMessage started = call(kMutter, remote_, kMutter + ".Session", "Start");
        ASSERT_EQ(started.type(), QDBusMessage::ReplyMessage) << started.errorMessage().toStdString();
    }
    void TearDown() override
    {
        SessionTest::TearDown();
        if (!remote_.isEmpty()) call(kMutter, remote_, kMutter + ".Session", "Stop");
        for (const auto& [name, exec] : portals_) stop(name);
        for (const auto& [name, exec] : others_) stop(name);
        for (const auto& list : {portals_, others_})
            for (const auto& [name, exec] : list)
                QFile::remove(QString::fromStdString(serviceDir) + "/" + name + ".service");
        if (shell_.state() != QProcess::NotRunning) {
            shell_.terminate();
            if (!shell_.waitForFinished(10000)) shell_.kill();
            shell_.waitForFinished(5000);
        }
    }

    void writeServices(const std::vector<std::pair<QString, QString>>& services)
    {
        for (const auto& [name, exec] : services)
            std::ofstream(serviceDir + "/" + name.toStdString() + ".service")
                << "[D-BUS Service]\nName=" << name.toStdString() << "\nExec=" << exec.toStdString() << "\n";
        Mock::bus().call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus", "ReloadConfig"));
    }
    // Ends the process that the bus started for this name.
    void stop(const QString& name)
    {
        const uint pid = Mock::bus().interface()->servicePid(name).value();
        if (pid == 0 || ::kill(static_cast<pid_t>(pid), SIGTERM) != 0) return;
        waitFor([&] { return !Mock::bus().interface()->isServiceRegistered(name).value(); });
    }

    QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return Mock::bus().call(message, QDBus::Block, 10000);
    }
    // What a JavaScript expression gives in the shell, as JSON; "" when it cannot be asked.
    QString eval(const QString& script)
    {
        if (!Mock::bus().interface()->isServiceRegistered(kShell).value()) return {};
        const QDBusMessage reply = call(kShell, "/org/gnome/Shell", kShell, "Eval", {script});
        const QList<QVariant> args = reply.arguments();
        return args.size() == 2 && args[0].toBool() ? args[1].toString() : QString();
    }
    std::string shellLog()
    {
        QFile file(home_.filePath("shell.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().right(3000).toStdString() : std::string();
    }

    // A key of the remote desktop session by its keysym, down or up.
    void key(uint32_t keysym, bool down)
    {
        call(kMutter, remote_, kMutter + ".Session", "NotifyKeyboardKeysym", {keysym, down});
    }
    std::function<void(int)> remoteKeys()
    {
        return [this](int ms) {
            for (uint32_t keysym : {0xffe3u, 0xffe9u, uint32_t('s')}) key(keysym, true);  // Control_L, Alt_L
            letTimePass(ms);
            for (uint32_t keysym : {uint32_t('s'), 0xffe9u, 0xffe3u}) key(keysym, false);
        };
    }
    // A click of the left button at a point of the screen, by the remote desktop's pointer,
    // which moves only relative to where it is: moved by what is still missing, as the shell
    // tells where it is, until it is there (pointer barriers and acceleration may keep a move
    // short).
    void click(int x, int y)
    {
        const QString session = kMutter + ".Session";
        for (int move = 0; move < 10; ++move) {
            const QJsonArray at = QJsonDocument::fromJson(eval("global.get_pointer()").toUtf8()).array();
            if (at.size() < 2 || (at[0].toInt() == x && at[1].toInt() == y)) break;
            call(kMutter, remote_, session, "NotifyPointerMotionRelative",
                 {double(x - at[0].toInt()), double(y - at[1].toInt())});
        }
        // A hand's pace: the window hears the pointer come before the button goes down.
        for (bool down : {true, false}) {
            letTimePass(150);
            call(kMutter, remote_, session, "NotifyPointerButton", {0x110, down});  // BTN_LEFT
        }
    }
    // Answers GNOME's dialog "Add Keyboard Shortcuts" as a user does, with a click on its Add
    // button at its top right or on its Cancel button at its top left.
    void answerDialog(const QString& title, bool add)
    {
        const QString quoted = QString::fromUtf8(QJsonDocument(QJsonArray{title}).toJson(QJsonDocument::Compact));
        const QString where = "global.get_window_actors().map(a => a.meta_window).filter(w => w.get_title() == " +
                              quoted.mid(1).chopped(1) +
                              ").map(w => { const r = w.get_frame_rect(); return [r.x, r.y, r.width]; })[0]";
        QJsonArray rect, before;
        // The window is placed a moment after it is mapped, and may move into its place.
        waitFor([&] {
            before = rect;
            letTimePass(300);
            rect = QJsonDocument::fromJson(eval(where).toUtf8()).array();
            return rect.size() == 3 && rect[2].toInt() > 0 && rect == before;
        });
        if (rect.size() != 3) return;
        const int x = rect[0].toInt(), y = rect[1].toInt(), width = rect[2].toInt();
        // A window that was not focused may take the first click only as its focus, as a user
        // sees it does nothing and clicks again.
        for (int clicks = 0; clicks < 2 && dialogs().contains(title); ++clicks) {
            click(add ? x + width - 40 : x + 50, y + 22);
            waitFor([&] { return !dialogs().contains(title); }, 3000);
        }
        // GNOME 48's shell sometimes gives a new dialog no pointer input at all (its log says
        // "surface_state_changed: assertion 'wl_window->has_last_sent_configuration' failed"):
        // then the user answers with the buttons' keys, Alt+A to add and Alt+C to cancel.
        for (int tries = 0; tries < 2 && dialogs().contains(title); ++tries) {
            for (uint32_t keysym : {0xffe9u, uint32_t(add ? 'a' : 'c')}) key(keysym, true);  // Alt_L
            letTimePass(100);
            for (uint32_t keysym : {uint32_t(add ? 'a' : 'c'), 0xffe9u}) key(keysym, false);
            waitFor([&] { return !dialogs().contains(title); }, 3000);
        }
    }
    // The titles of the windows the shell shows: a dialog of the portal's.
    QStringList dialogs()
    {
        const QJsonArray titles =
            QJsonDocument::fromJson(
                eval("global.get_window_actors().map(a => a.meta_window.get_title() || '')").toUtf8())
                .array();
        QStringList out;
        for (const QJsonValue& title : titles)
            if (!title.toString().isEmpty()) out << title.toString();
        return out;
    }
    std::string opened() { return tolvane::test::opened(home_); }
    // GNOME 48's shell now and then maps a window that takes no input at all, neither pointer
    // nor keys, and says so in its log: no user could answer that dialog, which is the shell's
    // fault and no finding on the program.
    bool shellLostTheDialog()
    {
        QFile file(home_.filePath("shell.log"));
        return desktop_->hotkeys().portal()->state() == PortalShortcuts::State::Binding && !dialogs().isEmpty() &&
               file.open(QIODevice::ReadOnly) && file.readAll().contains("has_last_sent_configuration");
    }
    // Starts the program and waits until the desktop has answered it, answering each dialog on
    // the way with a real click (to add the shortcuts, or to cancel); the titles of the dialogs.
    QStringList startAnswering(bool add)
    {
        return SessionTest::startAnswering(
            true, [this] { return dialogs(); },
            [this, add](const QString& title) {
                letTimePass(1000);  // the dialog is drawn
                answerDialog(title, add);
            });
    }
    void print(const char* start, const QStringList& shown)
    {
        std::string told;
        for (const std::string& text : boxes_.texts()) told += "\"" + text + "\" ";
        std::printf("%s, %s: dialogs [%s] (still shown [%s]), opened [%s], told [%s], state %d\n", GetParam().name,
                    start, shown.join("; ").toStdString().c_str(), dialogs().join("; ").toStdString().c_str(),
                    opened().c_str(), told.c_str(), static_cast<int>(desktop_->hotkeys().portal()->state()));
    }

    QTemporaryDir home_;
    LogindBus system_;
    QProcess shell_;
    QString remote_;
    std::vector<std::pair<QString, QString>> portals_, others_;
    MessageBoxes boxes_;
};

TEST_P(GnomePortal, KeysWorkTappedAndHeldAndTheNextStartAsksNothingAndTellsNothing)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({0}));
    const QStringList firstDialogs = startAnswering(true);
    print("first start", firstDialogs);
    if (shellLostTheDialog()) GTEST_SKIP() << GetParam().name << "'s shell gave its dialog no input";
    const KeyFigures first = measureKeys(std::string(GetParam().name) + ", first start", remoteKeys());
    EXPECT_EQ(desktop_->hotkeys().portal()->state(), PortalShortcuts::State::Bound) << errors();
    EXPECT_TRUE(boxes_.texts().empty());
    expectKeysWork(first);

    const std::string before = opened();
    const size_t toldBefore = boxes_.texts().size();
    const QStringList secondDialogs = startAnswering(true);
    print("next start", secondDialogs);
    if (shellLostTheDialog()) GTEST_SKIP() << GetParam().name << "'s shell gave its dialog no input";
    EXPECT_TRUE(secondDialogs.isEmpty());
    EXPECT_EQ(opened(), before);
    EXPECT_EQ(boxes_.texts().size(), toldBefore);
    const KeyFigures next = measureKeys(std::string(GetParam().name) + ", next start", remoteKeys());
    EXPECT_EQ(desktop_->hotkeys().portal()->state(), PortalShortcuts::State::Bound) << errors();
    expectKeysWork(next);
}

TEST_P(GnomePortal, ARefusedDialogIsToldAndNoKeyWorks)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({0}));
    const QStringList dialogs = startAnswering(false);
    print("first start, refused", dialogs);
    if (shellLostTheDialog()) GTEST_SKIP() << GetParam().name << "'s shell gave its dialog no input";
    EXPECT_FALSE(dialogs.isEmpty());
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); })) << "the refusal was not told";
    remoteKeys()(300);
    EXPECT_EQ(shutdownsWithin(1500), 0u);
}

INSTANTIATE_TEST_SUITE_P(Desktops, GnomePortal,
                         ::testing::Values(GnomeStack{"Gnome48", "trixie"}, GnomeStack{"Gnome50", "forky"}),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace tolvane::test
