// The hotkeys in a Wayland session: the enabled rows bound as the portal's global shortcuts,
// its Activated and Deactivated signals read by the hotkey monitor, the session opened again
// after a save, and one message box when the hotkeys cannot work. The portal is
// python3-dbusmock with portal_mock.py on the tests' private session bus, answering as the
// portals of Plasma 6.3 and 6.7, GNOME 48 and 50 and KDE 5.27 were seen to, for what KDE's
// real one (portal_kde_test.cpp) cannot show.
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>

#include "hotkeys/hk.h"
#include "session_fixture.h"

namespace tolvane::test {
namespace {

const QString kPortal = "org.freedesktop.portal.Desktop";
const QString kPortalPath = "/org/freedesktop/portal/desktop";
const QString kMockIface = "org.tolvane.PortalMock";
const std::string kReboot = "dry-run restart Reboot(true)";
const std::string kTitle = "Tolvane 3.0: ";
const std::string kGnomeHint =
    " Set the keys in Settings > Keyboard > View and Customize Shortcuts, under Tolvane (dry run).";
const std::string kKdeHint = " Set the keys in System Settings > Shortcuts, under Tolvane (dry run).";
const std::string kAskAgain = " Press SET under Hot Keys to be asked again.";

class Portal : public SessionTest {
protected:
    // The portal, then the program with these rows enabled (1 restart and 3 hibernate unless
    // said), in the session of the mock's stack (GNOME unless said).
    void start(const QString& parameters = "{}", const std::vector<int>& rows = {1, 3}, const std::string& keys = "")
    {
        const QString stack = QJsonDocument::fromJson(parameters.toUtf8()).object().value("stack").toString("gnome50");
        ::setenv("XDG_CURRENT_DESKTOP", stack.startsWith("gnome") ? "GNOME" : "KDE", 1);
        portal_ = std::make_unique<Mock>("portal_mock.py", kPortal, parameters);
        ASSERT_TRUE(portal_->started()) << "the portal's mock did not come up";
        ASSERT_NO_FATAL_FAILURE(writeSettings(rows, keys));
        startDesktop(true);
    }
    PortalShortcuts& shortcuts()
    {
        PortalShortcuts* portal = desktop_->hotkeys().portal();
        EXPECT_NE(portal, nullptr);
        return *portal;
    }
    bool bound()
    {
        return waitFor(
            [&] { return desktop_->hotkeys().portal() && shortcuts().state() == PortalShortcuts::State::Bound; });
    }
    QStringList boundLines() { return portal_->strings(kPortalPath, kMockIface, "Bound"); }
    QStringList sessions() { return portal_->strings(kPortalPath, kMockIface, "Sessions"); }
    // The calls the portal had, and the pages and dialogs that came up on the desktop.
    QStringList calls() { return portal_->strings(kPortalPath, kMockIface, "Calls"); }
    QStringList opened() { return portal_->strings(kPortalPath, kMockIface, "Opened"); }
    void press(const QString& id) { portal_->call(kPortalPath, kMockIface, "Press", {id}); }
    void release(const QString& id) { portal_->call(kPortalPath, kMockIface, "Release", {id}); }

    // The hotkey window from "Hot Keys", as the user opens it.
    HK& openHotKeys()
    {
        QTest::mouseClick(desktop_->windows().widget(form1().Command2), Qt::LeftButton);
        return desktop_->program().hk();
    }
    void save(HK& hk) { QTest::mouseClick(desktop_->windows().widget(hk.Command1), Qt::LeftButton); }
    void typeKey(HK& hk, EditBox& box, const QString& key)
    {
        auto* edit = qobject_cast<QLineEdit*>(desktop_->windows().widget(box));
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, key);
        (void)hk;
    }

    std::unique_ptr<Mock> portal_;
    MessageBoxes boxes_;
};

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
