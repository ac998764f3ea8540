// The hotkeys in a Wayland session: the enabled rows bound as the portal's global shortcuts,
// its Activated and Deactivated signals read by the hotkey monitor, the session opened again
// after a save, and one message box when the binding or the session is refused or ended. The
// portal is python3-dbusmock with portal_mock.py on the tests' private session bus.
#include "portal_fixture.h"

namespace tolvane::test {
namespace {

TEST_F(Portal, TheEnabledRowsAreBoundAsCtrlAltShortcutsInOneSessionAtStartUp)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    const QStringList lines = boundLines();
    ASSERT_EQ(lines.size(), 2) << lines.join("; ").toStdString();
    const QString session = shortcuts().sessionHandle();
    EXPECT_TRUE(session.startsWith(kPortalPath + "/session/")) << session.toStdString();
    EXPECT_TRUE(session.endsWith("/tolvane")) << "one handle token, under which KDE keeps the user's keys";
    EXPECT_EQ(lines[0], session + " restart CTRL+ALT+r|Restart");
    EXPECT_EQ(lines[1], session + " hibernate CTRL+ALT+h|Hibernate");
    EXPECT_EQ(sessions(), QStringList{session + " open"});
    EXPECT_EQ(shortcuts().triggers().at("restart"), "Press <Control><Alt>r") << "the desktop's own description is kept";
    // The id first, on a connection that has asked the portal nothing before; GNOME lists
    // nothing in a new session, so it is asked to bind, and asks the user once.
    EXPECT_EQ(calls(), (QStringList{"Register example.quenmoor.Tolvane.DryRun", "CreateSession", "ListShortcuts",
                                    "BindShortcuts restart,hibernate"}));
    EXPECT_EQ(opened(), QStringList{"Add Keyboard Shortcuts"});
    EXPECT_TRUE(shortcuts().named());
    waitTicks(2);
    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_TRUE(powerLines().empty());
}

TEST_F(Portal, ActivatedGivesTheRequestOnTheNextTickAndDeactivatedEndsIt)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    waitTicks(1);
    EXPECT_FALSE(monitorAwake()) << "nothing pressed: the monitor rests";
    const int pressedAt = ticks_;
    press("restart");
    ASSERT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000));
    EXPECT_LE(ticks_ - pressedAt, 2) << "the press is read on the first tick after it arrived";
    press("restart");  // held, the desktop repeats Activated
    EXPECT_TRUE(waitFor([&] { return count(kReboot) >= 2; }, 3000)) << "held down, the request comes on every tick";

    release("restart");
    waitTicks(1);
    const size_t afterRelease = count(kReboot);
    waitTicks(3);
    EXPECT_EQ(count(kReboot), afterRelease) << "released, no more requests";
    EXPECT_FALSE(monitorAwake()) << "released, the monitor rests again";
    for (const std::string& line : powerLines()) EXPECT_EQ(line, kReboot);
}

TEST_F(Portal, AShortTapBetweenTwoTicksIsReadOnce)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    press("hibernate");
    release("hibernate");
    waitTicks(4);
    EXPECT_EQ(powerLines(), std::vector<std::string>{"dry-run hibernate Hibernate(false)"});
    EXPECT_FALSE(shortcuts().anyKeyDown());
    EXPECT_FALSE(monitorAwake()) << "with no shortcut active the monitor rests";
}

TEST_F(Portal, ASaveBindsTheNewRowsInANewSessionAndClosesTheOldOne)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    const QString first = shortcuts().sessionHandle();

    // Shutdown enabled, restart moved from R to X, then SET.
    HK& hk = openHotKeys();
    QTest::mouseClick(desktop_->windows().widget(hk.Check1), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(typeKey(hk, hk.Text2, "x"));
    save(hk);
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); })) << "no Settings Saved";
    EXPECT_EQ(boxes_.texts().front(), "Tolvane 3.0: Settings Saved");
    ASSERT_TRUE(waitFor([&] { return sessions().size() == 2; }));
    ASSERT_TRUE(bound());
    EXPECT_EQ(shortcuts().sessionHandle(), first) << "the same handle: KDE keeps the user's keys under it";
    EXPECT_EQ(sessions(), (QStringList{first + " closed", first + " open"})) << "opened once the old one was closed";
    const QStringList lines = boundLines();
    ASSERT_EQ(lines.size(), 5) << lines.join("; ").toStdString();
    EXPECT_EQ(lines.mid(2), (QStringList{first + " shutdown CTRL+ALT+s|Shutdown", first + " restart CTRL+ALT+x|Restart",
                                         first + " hibernate CTRL+ALT+h|Hibernate"}));

    press("restart");
    ASSERT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000)) << "the new session's shortcut works";
    release("restart");
    // GNOME keeps the key it stored for restart, and the desktop's settings are where it is
    // changed.
    EXPECT_EQ(boxes_.problems(), std::vector<std::string>{kTitle +
                                                          "Not every Ctrl+Alt hotkey works: the desktop has "
                                                          "Restart on Ctrl+Alt+R instead of Ctrl+Alt+X." +
                                                          kGnomeHint});
}

TEST_F(Portal, ASaveThatChangesNoRowKeepsTheSessionAndOpeningTheWindowBindsNothing)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    HK& hk = openHotKeys();
    save(hk);
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    waitTicks(3);
    EXPECT_EQ(sessions().size(), 1);
    EXPECT_EQ(boundLines().size(), 2);
}

TEST_F(Portal, DisablingEveryRowClosesTheSessionAndBindsNothing)
{
    ASSERT_NO_FATAL_FAILURE(start("{}", {1}));
    ASSERT_TRUE(bound());
    HK& hk = openHotKeys();
    QTest::mouseClick(desktop_->windows().widget(hk.Check2), Qt::LeftButton);
    save(hk);
    ASSERT_TRUE(waitFor([&] { return sessions().value(0).endsWith(" closed"); }));
    EXPECT_EQ(sessions().size(), 1);
    EXPECT_EQ(shortcuts().state(), PortalShortcuts::State::Idle);
}

TEST_F(Portal, SettingsThatCanNoLongerBeReadReleaseTheShortcuts)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    openHotKeys();
    desktop_->windows().widget(desktop_->program().hk())->close();  // the next "Hot Keys" reads the file again
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder_.filePath("tolvdata.v").toStdString().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE en SET restart = 'x'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    openHotKeys();
    ASSERT_TRUE(waitFor([&] { return !boxes_.problems().empty(); })) << "the bad file is not told";
    EXPECT_TRUE(waitFor([&] { return sessions().value(0).endsWith(" closed"); })) << "the hotkeys are off, yet bound";
    EXPECT_EQ(shortcuts().state(), PortalShortcuts::State::Idle);
}

TEST_F(Portal, ARefusedBindingIsToldOnceInAMessageBoxAndOnStandardError)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"bind_response": 2})"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    const std::vector<std::string> expected = {kTitle + "The Ctrl+Alt hotkeys are off: the desktop refused them." +
                                               kAskAgain};
    EXPECT_EQ(boxes_.texts(), expected);
    EXPECT_TRUE(wroteError("global shortcuts: the desktop refused them (BindShortcuts answered 2)")) << errors();
    EXPECT_EQ(shortcuts().state(), PortalShortcuts::State::Failed);

    // A save tries again; the second refusal is written but not shown.
    HK& hk = openHotKeys();
    save(hk);
    ASSERT_TRUE(
        waitFor([&] { return sessions().size() == 2 && shortcuts().state() == PortalShortcuts::State::Failed; }));
    waitTicks(3);
    EXPECT_EQ(boxes_.problems(), expected);
    EXPECT_EQ(sessions().size(), 2);
}

TEST_F(Portal, ARefusedSessionIsToldAndNothingIsBound)
{
    ASSERT_NO_FATAL_FAILURE(start(R"({"session_response": 2})"));
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(),
              std::vector<std::string>{kTitle + "The Ctrl+Alt hotkeys are off: the desktop refused them." + kAskAgain});
    EXPECT_TRUE(wroteError("global shortcuts: the desktop refused them (CreateSession answered 2)")) << errors();
    EXPECT_TRUE(boundLines().isEmpty());
    EXPECT_TRUE(shortcuts().sessionHandle().isEmpty());
}

TEST_F(Portal, ASessionTheDesktopEndsIsToldAndLeavesNoKeyDown)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(bound());
    press("restart");
    ASSERT_TRUE(waitFor([&] { return count(kReboot) >= 1; }, 3000));
    portal_->call(kPortalPath, kMockIface, "EndSession");
    ASSERT_TRUE(waitFor([&] { return !boxes_.texts().empty(); }));
    EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"Tolvane 3.0: The Ctrl+Alt hotkeys are off: the desktop ended "
                                                       "the global shortcuts session."});
    EXPECT_EQ(shortcuts().state(), PortalShortcuts::State::Failed);
    waitTicks(1);
    const size_t afterEnd = count(kReboot);
    waitTicks(3);
    EXPECT_EQ(count(kReboot), afterEnd);
}

}  // namespace
}  // namespace tolvane::test
