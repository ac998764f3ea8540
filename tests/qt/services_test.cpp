// The launcher, the settings folder, the clock, the pictures and the key-code table.
#include <gtest/gtest.h>
#include <X11/keysym.h>

#include <QImage>
#include <QTime>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

#include "desktop_fixture.h"
#include "hotkeys/values.h"
#include "platform/qt/keys/x11_keyboard.h"
#include "platform/qt/keys/portal_shortcuts.h"
#include "platform/qt/session/desktop_services.h"
#include "platform/qt/ui/pictures.h"
#include "tests/file_contents.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(Launcher, ExplorerBecomesXdgOpenAndOtherCommandsRunAsWritten)
{
    EXPECT_EQ(XdgLauncher::translate("explorer.exe http://www.quenmoor.example"),
              (std::vector<std::string>{"xdg-open", "http://www.quenmoor.example"}));
    EXPECT_EQ(XdgLauncher::translate("notepad.exe a  b"), (std::vector<std::string>{"notepad.exe", "a", "b"}));
    EXPECT_TRUE(XdgLauncher::translate("   ").empty());
}

TEST(Launcher, StartsXdgOpenDetachedWithTheAddressAsOneArgument)
{
    TempFolder bin;
    const std::string marker = bin.path() + "/opened.txt";
    {
        std::ofstream script(bin.path() + "/xdg-open");
        script << "#!/bin/sh\nprintf '%s|' \"$@\" > " << marker << ".part && mv " << marker << ".part " << marker
               << "\n";
    }
    fs::permissions(bin.path() + "/xdg-open", fs::perms::owner_all);
    const std::string path = bin.path() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ScopedEnv env("PATH", path.c_str());
    std::vector<std::string> errors;
    XdgLauncher launcher([&](const std::string& e) { errors.push_back(e); });
    EXPECT_GT(launcher.Shell("explorer.exe http://host.example/redirect.html?a=1&b=2", 2), 0);
    ASSERT_TRUE(waitFor([&] { return fs::exists(marker); }, 10000));
    const std::string args = readFile(marker);
    EXPECT_EQ(args, "http://host.example/redirect.html?a=1&b=2|") << "no shell takes the & apart";
    EXPECT_TRUE(errors.empty());
}

TEST(Launcher, AProgramThatCannotStartGivesTaskZeroAndAMessage)
{
    std::vector<std::string> errors;
    XdgLauncher launcher([&](const std::string& e) { errors.push_back(e); });
    EXPECT_EQ(launcher.Shell("/nonexistent/tolvane-no-such-program x", 2), 0);
    ASSERT_EQ(errors.size(), 1u);
}

TEST(SettingsFolder, WindirWinsThenXdgConfigHomeThenHome)
{
    TempFolder home;
    {
        ScopedEnv windir("windir", "/somewhere/else");
        EXPECT_EQ(XdgEnvironment().windowsDirectory(), "/somewhere/else");
    }
    ScopedEnv windir("windir", nullptr);
    {
        ScopedEnv config("XDG_CONFIG_HOME", (home.path() + "/cfg").c_str());
        EXPECT_EQ(XdgEnvironment().windowsDirectory(), home.path() + "/cfg/tolvane");
        EXPECT_TRUE(fs::is_directory(home.path() + "/cfg/tolvane")) << "created when missing";
    }
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv homeVar("HOME", home.path().c_str());
    EXPECT_EQ(XdgEnvironment().windowsDirectory(), home.path() + "/.config/tolvane");
    EXPECT_TRUE(fs::is_directory(home.path() + "/.config/tolvane"));
    EXPECT_EQ(XdgEnvironment().pathSeparator(), '/');
}

TEST(SettingsFolder, TheDeliveredDefaultsAreFound)
{
    const std::string file = defaultSettingsFile();
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::path(file).filename(), "tolvdata.v");
}

TEST(Clock, TellsTheLocalTimeAndTheTimeSinceBoot)
{
    LocalClock clock;
    const QTime shown = QTime::fromString(QString::fromStdString(timeOfDayText(clock.localTime())), "hh:mm:ss");
    ASSERT_TRUE(shown.isValid());
    const int apart = std::abs(shown.secsTo(QTime::currentTime()));
    EXPECT_TRUE(apart <= 2 || apart >= 24 * 3600 - 2) << apart;  // the same moment, midnight or not
    const int64_t boot = clock.sinceBoot();
    timespec monotonic{};
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    // Time since boot counts suspended time too, so it is never behind the monotonic clock.
    EXPECT_GE(boot / 1000, int64_t{monotonic.tv_sec} - 1);
}

TEST(Pictures, TheThreePicturesAre32By32AndTheHandHasTwoColours)
{
    for (const char* name : {"tolvane", "tray_face", "hand"}) {
        const QPixmap picture = QtPictures::pixmap(QtPictures::handle(name));
        EXPECT_EQ(picture.size(), QSize(32, 32)) << name;
    }
    EXPECT_EQ(QtPictures::handle("nothing"), 0u);
    EXPECT_TRUE(QtPictures::pixmap(0).isNull());

    const QImage icon = QtPictures::pixmap(QtPictures::handle("tolvane")).toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) colours.insert(icon.pixel(x, y));
    EXPECT_LE(colours.size(), 16);

    const QImage hand = QtPictures::pixmap(QtPictures::handle("hand")).toImage();
    QSet<QRgb> opaque;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (qAlpha(hand.pixel(x, y)) == 255) opaque.insert(hand.pixel(x, y));
    EXPECT_EQ(opaque.size(), 2);
    const QCursor cursor = QtPictures::handCursor();
    EXPECT_EQ(cursor.hotSpot(), QPoint(9, 0));
    EXPECT_EQ(qAlpha(hand.pixel(9, 0)), 255) << "the hotspot is on the fingertip";
}

TEST(KeyCodes, KeysymsMapToTheWindowsKeyCodes)
{
    EXPECT_EQ(virtualKeyForKeysym(XK_Control_L), 17);
    EXPECT_EQ(virtualKeyForKeysym(XK_Control_R), 17);
    EXPECT_EQ(virtualKeyForKeysym(XK_Alt_L), 18);
    EXPECT_EQ(virtualKeyForKeysym(XK_Alt_R), 18);
    EXPECT_EQ(virtualKeyForKeysym(XK_Meta_L), 18);
    EXPECT_EQ(virtualKeyForKeysym(XK_s), 'S');
    EXPECT_EQ(virtualKeyForKeysym(XK_S), 'S');
    EXPECT_EQ(virtualKeyForKeysym(XK_a), 'A');
    EXPECT_EQ(virtualKeyForKeysym(XK_z), 'Z');
    EXPECT_EQ(virtualKeyForKeysym(XK_5), '5');
    // The keypad is kept apart from the main block's digits.
    EXPECT_EQ(virtualKeyForKeysym(XK_KP_5), 101);
    EXPECT_EQ(virtualKeyForKeysym(XK_KP_0), 96);
    EXPECT_EQ(virtualKeyForKeysym(XK_F1), 0);
    EXPECT_EQ(virtualKeyForKeysym(XK_Shift_L), 0);
    EXPECT_EQ(virtualKeyForKeysym(XK_ISO_Level3_Shift), 0);
}

TEST(KeyCodes, WithoutADisplayNoKeyIsEverDownAndThatIsSaidOnce)
{
    std::vector<std::string> notes;
    X11Keyboard keyboard(":tolvane-no-such-display", [&](const std::string& n) { notes.push_back(n); });
    EXPECT_FALSE(keyboard.connected());
    EXPECT_EQ(keyboard.GetAsyncKeyState(17), 0);
    EXPECT_EQ(keyboard.GetAsyncKeyState('S'), 0);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("hotkeys are off"), std::string::npos);
}

// The shortcut of a row whose cached copies hold these texts (the other rows empty), from the
// keys the hotkey monitor tells the key state it watches.
std::optional<PortalShortcut> portalShortcut(size_t row, const std::string& keyText, const std::string& flagText)
{
    std::vector<std::string> keys(kActions.size()), flags(kActions.size());
    if (row < keys.size()) {
        keys[row] = keyText;
        flags[row] = flagText;
    }
    return tolvane::portalShortcut(watchedKeys(keys, flags, false), row);
}

TEST(PortalShortcutRows, KeysAreNamedAsTheShortcutsNotationNamesKeysyms)
{
    EXPECT_EQ(keysymName('S'), "s");
    EXPECT_EQ(keysymName('A'), "a");
    EXPECT_EQ(keysymName('Z'), "z");
    EXPECT_EQ(keysymName('0'), "0");
    EXPECT_EQ(keysymName('9'), "9");
    EXPECT_EQ(keysymName(96), "KP_0") << "a lower-case key text polls the keypad, so it binds the keypad";
    EXPECT_EQ(keysymName(105), "KP_9");
    EXPECT_EQ(keysymName(17), "");
    EXPECT_EQ(keysymName('#'), "");
    EXPECT_EQ(keysymName(106), "");
}

TEST(PortalShortcutRows, OnlyEnabledRowsWithAKeyBecomeShortcuts)
{
    const auto restart = portalShortcut(1, "R", "1");
    ASSERT_TRUE(restart.has_value());
    EXPECT_EQ(restart->id, "restart");
    EXPECT_EQ(restart->description, "Restart");
    EXPECT_EQ(restart->trigger, "CTRL+ALT+r");
    EXPECT_EQ(restart->virtualKey, 'R');
    EXPECT_EQ(shortcutName(*restart), "Ctrl+Alt+R (Restart)");

    EXPECT_EQ(portalShortcut(4, "7", " 1")->trigger, "CTRL+ALT+7") << "the hotkey window's rule for an enabled flag";
    EXPECT_EQ(portalShortcut(4, "7", " 1")->id, "standby");
    EXPECT_EQ(shortcutName(*portalShortcut(3, "a", "1")), "Ctrl+Alt+KP_1 (Hibernate)");
    EXPECT_FALSE(portalShortcut(0, "S", "0").has_value()) << "a disabled row is not bound";
    EXPECT_FALSE(portalShortcut(0, "S", "x").has_value());
    EXPECT_FALSE(portalShortcut(0, "", "1").has_value()) << "a row without a key never fires";
    EXPECT_FALSE(portalShortcut(0, "#", "1").has_value()) << "a key no keysym names is never down";
    EXPECT_FALSE(portalShortcut(5, "S", "1").has_value());
}

TEST(PortalShortcutRows, AWaylandSessionIsToldByEitherVariable)
{
    const QByteArray display = qgetenv("WAYLAND_DISPLAY"), type = qgetenv("XDG_SESSION_TYPE");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    EXPECT_FALSE(waylandSession());
    qputenv("XDG_SESSION_TYPE", "x11");
    EXPECT_FALSE(waylandSession());
    qputenv("XDG_SESSION_TYPE", "wayland");
    EXPECT_TRUE(waylandSession()) << "even with an X display beside it";
    qunsetenv("XDG_SESSION_TYPE");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(waylandSession());
    qputenv("WAYLAND_DISPLAY", "");
    EXPECT_FALSE(waylandSession());
    for (auto [name, value] : {std::pair{"WAYLAND_DISPLAY", display}, std::pair{"XDG_SESSION_TYPE", type}}) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

TEST(PortalShortcutRows, GnomesAndKdesDescriptionsAreReadAsTheKeysTheyName)
{
    // GNOME: GTK accelerators in a translated sentence.
    EXPECT_TRUE(describesTrigger("Press <Control><Alt>s", "CTRL+ALT+s"));
    EXPECT_TRUE(describesTrigger("Drücken Sie <Super>x oder <Control><Alt>s", "CTRL+ALT+s"));
    EXPECT_TRUE(describesTrigger("Press <Control><Alt>KP_5", "CTRL+ALT+KP_5"));
    EXPECT_FALSE(describesTrigger("Press <Super>s", "CTRL+ALT+s"));
    EXPECT_FALSE(describesTrigger("Press <Control><Alt><Shift>s", "CTRL+ALT+s"));
    EXPECT_FALSE(describesTrigger("Press <Control><Alt>5", "CTRL+ALT+KP_5"));
    EXPECT_EQ(shownTrigger("Press <Control><Alt>s or <Super>KP_5"), "Ctrl+Alt+S or Super+KP_5");
    // KDE: Qt's names, joined by commas; translated modifiers leave the key to compare.
    EXPECT_TRUE(describesTrigger("Meta+X, Ctrl+Alt+S", "CTRL+ALT+s"));
    EXPECT_TRUE(describesTrigger("Strg+Alt+S", "CTRL+ALT+s"));
    EXPECT_TRUE(describesTrigger("Ctrl+Alt+Num+5", "CTRL+ALT+KP_5"));
    EXPECT_FALSE(describesTrigger("Meta+S", "CTRL+ALT+s"));
    EXPECT_FALSE(describesTrigger("Ctrl+Alt+5", "CTRL+ALT+KP_5"));
    EXPECT_FALSE(describesTrigger("", "CTRL+ALT+s"));
    EXPECT_EQ(shownTrigger(" Meta+S "), "Meta+S");
}

TEST(PortalShortcutRows, TheIdALauncherGaveIsReadFromItsUnitAsThePortalReadsIt)
{
    EXPECT_EQ(unitAppId("app-gnome-example.quenmoor.Tolvane-4242.scope"), "example.quenmoor.Tolvane");
    EXPECT_EQ(unitAppId("app-gnome-example.quenmoor.Tolvane@autostart.service"), "example.quenmoor.Tolvane");
    EXPECT_EQ(unitAppId("app-gnome-tolvane-autostart.service"), "tolvane");
    EXPECT_EQ(unitAppId("app-example.quenmoor.Tolvane.DryRun-7.scope"), "example.quenmoor.Tolvane.DryRun");
    EXPECT_EQ(unitAppId("app-gnome-org.gnome.Evolution\\x2dalarm\\x2dnotify-2437.scope"),
              "org.gnome.Evolution-alarm-notify");
    EXPECT_EQ(unitAppId("session-2.scope"), "");
}

TEST(PortalShortcutRows, WithoutASessionBusThePortalIsMissingAndNoKeyIsDown)
{
    std::vector<PortalShortcuts::Problem> problems;
    PortalShortcuts portal(QDBusConnection::connectToBus("unix:path=/nonexistent/tolvane-portal", "tolvane-no-bus"),
                           {"example.quenmoor.Tolvane", "Tolvane"},
                           [&](const PortalShortcuts::Problem& p) { problems.push_back(p); });
    portal.bind({*portalShortcut(0, "S", "1")});
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].kind, PortalShortcuts::Problem::Missing);
    EXPECT_EQ(problems[0].reason, "there is no session bus");
    EXPECT_FALSE(problems[0].detail.empty()) << "what QtDBus said goes to standard error";
    EXPECT_EQ(portal.state(), PortalShortcuts::State::Failed);
    EXPECT_EQ(portal.GetAsyncKeyState(17), 0);
    EXPECT_EQ(portal.GetAsyncKeyState('S'), 0);
    portal.bind({*portalShortcut(0, "S", "1")});
    EXPECT_EQ(problems.size(), 1u) << "the same rows are not tried again without a save";
    portal.bind({*portalShortcut(0, "S", "1")}, true);
    EXPECT_EQ(problems.size(), 2u) << "a save tries again";
    QDBusConnection::disconnectFromBus("tolvane-no-bus");
}

}  // namespace
}  // namespace tolvane::test
