// What the desktops' portals answer, as python3-dbusmock's portal_mock.py answers as the
// portals of Plasma 6.3 and 6.7, GNOME 48 and 50 and KDE 5.27 were seen to, for what KDE's
// real one (portal_kde_test.cpp) cannot show: rows refused, left out or on other keys, a
// program id refused, and no portal at all; each told once in a message box.
#include "portal_fixture.h"

namespace tolvane::test {
namespace {

TEST_F(Portal, ShortcutsRefusedInPlasmasDialogAreNotConfirmedThenListedWithoutKeysAndToldAsNotTaken)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"stack": "plasma67", "dialog": "refuse"})"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{kTitle +
                                                       "The Ctrl+Alt hotkeys are off: they were not confirmed on "
                                                       "the desktop." +
                                                       kKdeHint});
    EXPECT_EQ(opened(), QStringList{"Global Shortcuts Requested"});

    // Plasma filed the rows with no keys: the next start binds them again, which opens nothing,
    // and takes an empty trigger for what it is.
    const qsizetype before = calls().size();
    startDesktop(true);
    ASSERT_TRUE(waitFor([&] { return boxes_.texts().size() == 2; }));
    EXPECT_EQ(boxes_.texts()[1], kTitle +
                                     "The Ctrl+Alt hotkeys are off: the desktop did not take Ctrl+Alt+R (Restart), "
                                     "Ctrl+Alt+H (Hibernate)." +
                                     kKdeHint);
    EXPECT_EQ(calls().mid(before), (QStringList{"Register example.quenmoor.Tolvane.DryRun", "CreateSession",
                                                "ListShortcuts", "BindShortcuts restart,hibernate"}));
    EXPECT_EQ(opened().size(), 1);
    EXPECT_EQ(shortcuts().state(), PortalShortcuts::State::Bound) << "kept open: keys given in the settings work";
}

TEST_F(Portal, ARowTheDesktopLeftOutIsNamedAndTheOthersWork)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"unbound": ["hibernate"]})"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{kTitle +
                                                       "Not every Ctrl+Alt hotkey works: the desktop did not "
                                                       "take Ctrl+Alt+H (Hibernate)." +
                                                       kGnomeHint});
    EXPECT_EQ(shortcuts().state(), PortalShortcuts::State::Bound);
    press("restart");
    ASSERT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000));
}

TEST_F(Portal, RowsOnAnotherKeyOrOnAnEarlierRowsTriggerAreNamedOnceAndTheRestWork)
{
    // KDE 5.27 (Debian 12's portal, without the Registry) binds the rows from CreateSession's
    // options. Log off shares restart's R, which works for both, as on X11. Hibernate is the
    // keypad's 5 (a lower-case "e"), which KDE puts on the main block's 5, and so takes stand
    // by's key.
    ASSERT_NO_FATAL_FAILURE(
        start(R"({"stack": "kde5"})", {1, 2, 3, 4}, "logoff = 'R', hibernate = 'e', standby = '5'"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(),
              std::vector<std::string>{kTitle + "Not every Ctrl+Alt hotkey works: the desktop did not take "
                                                "Ctrl+Alt+5 (Stand by), and has Hibernate on Ctrl+Alt+5 "
                                                "instead of Ctrl+Alt+KP_5. Set the keys in System Settings > "
                                                "Shortcuts."});
    EXPECT_EQ(calls(), QStringList{"CreateSession shortcuts"}) << "no Registry, and bound from the options";
    EXPECT_TRUE(opened().isEmpty());
    EXPECT_FALSE(shortcuts().named());
    press("restart");
    release("restart");
    ASSERT_TRUE(waitFor([&] { return powerLines().size() >= 2; }, 3000)) << "one tap, and each row of its key reads it";
    waitTicks(2);
    const std::vector<std::string> lines = powerLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], kReboot);
    EXPECT_EQ(lines[1].rfind("dry-run logoff ", 0), 0u) << lines[1];
}

TEST_F(Portal, GnomesAnswer2AfterBindingCountsAsBoundAndASecondStartAsksNoMore)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"stack": "gnome48"})"));
    ASSERT_TRUE(bound());
    EXPECT_EQ(opened(), QStringList{"Add Keyboard Shortcuts"});
    EXPECT_TRUE(wroteError("global shortcuts: the desktop listed the shortcuts as bound (BindShortcuts answered 2)"))
        << errors();
    waitTicks(2);
    EXPECT_EQ(sessions().value(0).section(' ', -1), "open") << "closing it would release the keys";
    press("hibernate");
    release("hibernate");
    ASSERT_TRUE(waitFor([&] { return !powerLines().empty(); }, 3000));

    // GNOME starts each session empty, so it is asked again, and binds without a dialog.
    startDesktop(true);
    ASSERT_TRUE(bound());
    EXPECT_EQ(calls().count("BindShortcuts restart,hibernate"), 2);
    EXPECT_EQ(opened().size(), 1);
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(Portal, PlasmaIsAskedToBindOnlyWhatItDoesNotListSoItsSettingsPageComesUpOnce)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"stack": "plasma63"})"));
    ASSERT_TRUE(bound());
    EXPECT_EQ(opened(), QStringList{"systemsettings://kcm_keys/example.quenmoor.Tolvane.DryRun"});

    // Known at the second start: listed, not bound again.
    qsizetype before = calls().size();
    startDesktop(true);
    ASSERT_TRUE(bound());
    EXPECT_EQ(calls().mid(before),
              (QStringList{"Register example.quenmoor.Tolvane.DryRun", "CreateSession", "ListShortcuts"}));
    EXPECT_EQ(opened().size(), 1);
    press("restart");
    ASSERT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000));
    release("restart");

    // A row disabled meanwhile is bound away, so that its keys are free again.
    std::filesystem::remove(folder_.filePath("tolvdata.v").toStdString());
    ASSERT_NO_FATAL_FAILURE(writeSettings({1}));
    before = calls().size();
    startDesktop(true);
    ASSERT_TRUE(bound());
    EXPECT_EQ(calls().mid(before).last(), "BindShortcuts restart");
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(Portal, NewerPlasmaWorksTheKeysItListsOnlyOnceTheSessionBindsThemWhichAsksNothing)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"stack": "plasma67"})"));
    ASSERT_TRUE(bound());
    startDesktop(true);
    ASSERT_TRUE(bound());
    EXPECT_EQ(calls().last(), "BindShortcuts restart,hibernate");
    EXPECT_EQ(opened(), QStringList{"Global Shortcuts Requested"});
    press("restart");
    EXPECT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000));
    release("restart");
}

TEST_F(Portal, AnIdThePortalDoesNotTakeIsToldWithTheDesktopFileItNeeds)
{
    // Plasma 6.7's portal requires an id, and takes one only with its desktop file installed.
    ASSERT_NO_FATAL_FAILURE(start(R"({"stack": "plasma67", "apps": []})"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(),
              std::vector<std::string>{
                  kTitle + "The Ctrl+Alt hotkeys are off: the desktop's global shortcuts failed. The desktop "
                           "portal did not take the program's id example.quenmoor.Tolvane.DryRun: "
                           "example.quenmoor.Tolvane.DryRun.desktop must be installed where the desktop finds "
                           "it."});
    EXPECT_TRUE(
        wroteError("global shortcuts: the desktop portal did not take the id example.quenmoor.Tolvane.DryRun "
                   "(org.freedesktop.portal.Error.Failed: Could not register app ID: App info not found for "
                   "'example.quenmoor.Tolvane.DryRun')"))
        << errors();
    EXPECT_TRUE(
        wroteError("global shortcuts: the desktop's global shortcuts failed (CreateSession: "
                   "org.freedesktop.portal.Error.NotAllowed: An app id is required)"))
        << errors();
}

TEST_F(Portal, WithoutThePortalTheUserIsToldOnceAndXWaylandsKeysAreUsed)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({1}));
    startDesktop(true);
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Tolvane 3.0: The Ctrl+Alt hotkeys work only while an X11 "
                                                       "window (this program's own, or another XWayland program's) "
                                                       "has the focus: the desktop offers no global shortcuts."});
    ASSERT_NE(desktop_->hotkeys().x11(), nullptr);
    EXPECT_TRUE(desktop_->hotkeys().x11()->connected());
    EXPECT_EQ(desktop_->hotkeys().source(), desktop_->hotkeys().x11());
    EXPECT_NE(errors().find("tolvane: global shortcuts: the desktop offers no global shortcuts "
                            "(org.freedesktop.DBus.Error.ServiceUnknown: "),
              std::string::npos)
        << errors();
    EXPECT_TRUE(wroteError("Wayland session: the Ctrl+Alt hotkeys are seen only while an X11 window has the focus"));
}

TEST_F(Portal, WithoutThePortalAndWithoutAnXDisplayTheHotkeysAreOffAndThatIsSaid)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({0}));
    ::unsetenv("DISPLAY");
    startDesktop(true);
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(
        boxes_.texts(),
        std::vector<std::string>{"Tolvane 3.0: The Ctrl+Alt hotkeys are off: the desktop offers no global shortcuts."});
    EXPECT_EQ(desktop_->hotkeys().source(), nullptr);
    EXPECT_EQ(desktop_->hotkeys().GetAsyncKeyState(17), 0);
}

TEST_F(Portal, WithEveryRowDisabledNothingIsAskedNorShownUntilASaveEnablesOne)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({}));
    startDesktop(true);  // no portal at all
    waitTicks(3);
    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_EQ(desktop_->hotkeys().portal()->state(), PortalShortcuts::State::Idle);

    HK& hk = openHotKeys();
    QTest::mouseClick(desktop_->windows().widget(hk.Check5), Qt::LeftButton);
    save(hk);
    ASSERT_TRUE(waitFor([&] { return boxes_.problems().size() == 1; }));
    EXPECT_NE(boxes_.problems()[0].find("the desktop offers no global shortcuts"), std::string::npos);
}

TEST_F(Portal, APortalThatGoesLeavesNoKeyDown)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    press("restart");
    ASSERT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000));
    portal_->stop();  // no Deactivated ever comes
    waitTicks(2);
    const size_t afterStop = count(kReboot);
    waitTicks(3);
    EXPECT_EQ(count(kReboot), afterStop);
}

TEST_F(Portal, AnX11SessionWithoutADisplayIsToldOnceAtStartUp)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings({2}));
    ::unsetenv("DISPLAY");
    startDesktop(false);
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{
                                  "Tolvane 3.0: The Ctrl+Alt hotkeys are off: there is no X11 display to watch the "
                                  "keyboard on."});
    EXPECT_NE(errors().find("tolvane: no X11 display: the Ctrl+Alt hotkeys are off"), std::string::npos);
    EXPECT_EQ(desktop_->hotkeys().portal(), nullptr) << "an X11 session never asks the portal";
}

}  // namespace
}  // namespace tolvane::test
