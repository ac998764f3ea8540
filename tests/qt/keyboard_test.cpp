// The X11 key state on a virtual X server (Xvfb): keys pressed with XTest, as a keyboard
// would; a second client that grabs the keyboard, as an open menu or a virtual machine's
// window does, or a locker with logind's mock saying the session is locked; and two keyboard
// layouts and a change of group while the program runs.
#include "keyboard_fixture.h"

namespace tolvane::test {
namespace {

TEST_F(XKeyboard, KeyStateComesFromX11WithTheKeypadKeptApart)
{
    std::vector<std::string> notes;
    KeyboardUnderTest keyboard(display_, [&](const std::string& n) { notes.push_back(n); });
    ASSERT_TRUE(keyboard.connected());
    EXPECT_TRUE(keyboard.mirrored()) << "Xvfb has XInput 2";
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(keyboard.GetAsyncKeyState(VK_CONTROL), 0);
    const auto down = [&](int vk) { return (keyboard.GetAsyncKeyState(vk) & 0x8000) != 0; };

    key("KP_5", true);
    EXPECT_TRUE(waitFor([&] { return down(VK_NUMPAD5); }, 3000)) << "keypad 5 is VK_NUMPAD5";
    EXPECT_FALSE(down('5')) << "the keypad is not the main block";
    key("KP_5", false);
    EXPECT_TRUE(waitFor([&] { return !down(VK_NUMPAD5); }, 3000));

    for (const char* k : {"Control_R", "Alt_L", "5", "s"}) key(k, true);
    EXPECT_TRUE(waitFor([&] { return down(VK_CONTROL) && down(VK_MENU) && down('5') && down('S'); }, 3000));
    EXPECT_FALSE(down('R'));
    EXPECT_FALSE(down(VK_NUMPAD5));
    for (const char* k : {"s", "5", "Alt_L", "Control_R"}) key(k, false);
    EXPECT_TRUE(waitFor([&] { return !down(VK_CONTROL) && !down(VK_MENU) && !down('5') && !down('S'); }, 3000))
        << "the mirror sees the releases";
}

TEST_F(XKeyboard, KeysAreSeenWhileAnotherClientGrabsTheKeyboard)
{
    KeyboardUnderTest keyboard(display_, nullptr);
    ASSERT_TRUE(keyboard.mirrored());
    const auto down = [&](int vk) { return (keyboard.GetAsyncKeyState(vk) & 0x8000) != 0; };
    ASSERT_NO_FATAL_FAILURE(grabKeyboard());
    for (const char* k : {"Control_L", "Alt_L", "r"}) key(k, true);
    EXPECT_TRUE(waitFor([&] { return down(VK_CONTROL) && down(VK_MENU) && down('R'); }, 3000))
        << "a grab by another client hides no key from the monitor";
    EXPECT_FALSE(down('S'));
    for (const char* k : {"r", "Alt_L", "Control_L"}) key(k, false);
    EXPECT_TRUE(waitFor([&] { return !down(VK_CONTROL) && !down(VK_MENU) && !down('R'); }, 3000));
}

TEST_F(XKeyboard, TheDryRunProgramActsOnAHotkeyWhileTheKeyboardIsGrabbed)
{
    ASSERT_NO_FATAL_FAILURE(startProgram("restart = 'R'"));
    ASSERT_NO_FATAL_FAILURE(grabKeyboard());
    const size_t before = lines_.size();
    for (const char* k : {"Control_L", "Alt_L", "r"}) key(k, true);
    EXPECT_GE(lineTime("dry-run restart Reboot(true)", before, 5000), 0) << "the hotkey was not seen under the grab";
    for (const char* k : {"r", "Alt_L", "Control_L"}) key(k, false);
}

TEST_F(XKeyboard, LettersAreTheKeysOfTheGroupInUseAndFollowAChangeOfGroup)
{
    // One keyboard, two layouts: the key of the US "y" is "z" in the German layout.
    const int yKey = keycode("y"), zKey = keycode("z"), fiveKey = keycode("5"), keypadFive = keycode("KP_5");
    KeyboardUnderTest keyboard(display_, nullptr);
    ASSERT_NO_FATAL_FAILURE(setLayouts("us,de"));
    ASSERT_TRUE(waitFor([&] { return keyboard.keycodes('Z') == std::vector<int>{zKey}; }, 3000))
        << "the new layouts are read";
    EXPECT_EQ(keyboard.keycodes('Y'), std::vector<int>{yKey});
    EXPECT_EQ(keyboard.keycodes('5'), std::vector<int>{fiveKey});
    EXPECT_EQ(keyboard.keycodes(VK_NUMPAD5), std::vector<int>{keypadFive});
    const auto down = [&](int vk) { return (keyboard.GetAsyncKeyState(vk) & 0x8000) != 0; };

    for (const char* k : {"Control_L", "Alt_L"}) key(k, true);
    key(yKey, true);
    EXPECT_TRUE(waitFor([&] { return down(VK_CONTROL) && down(VK_MENU) && down('Y'); }, 3000));
    EXPECT_FALSE(down('Z')) << "the US y key is z only in the other group";

    // The German layout comes into use with the key still held: now it is z.
    ASSERT_NO_FATAL_FAILURE(lockGroup(1));
    EXPECT_TRUE(waitFor([&] { return keyboard.keycodes('Z') == std::vector<int>{yKey}; }, 3000))
        << "the change of group is followed";
    EXPECT_TRUE(down('Z'));
    EXPECT_FALSE(down('Y'));
    EXPECT_TRUE(down(VK_CONTROL) && down(VK_MENU)) << "Ctrl and Alt in every group";
    EXPECT_EQ(keyboard.keycodes('5'), std::vector<int>{fiveKey});
    EXPECT_EQ(keyboard.keycodes(VK_NUMPAD5), std::vector<int>{keypadFive}) << "the keypad stays apart";
    key(yKey, false);
    key(zKey, true);
    EXPECT_TRUE(waitFor([&] { return down('Y'); }, 3000));
    EXPECT_FALSE(down('Z'));
    key(zKey, false);

    ASSERT_NO_FATAL_FAILURE(lockGroup(0));
    EXPECT_TRUE(waitFor([&] { return keyboard.keycodes('Y') == std::vector<int>{yKey}; }, 3000));
    for (const char* k : {"Alt_L", "Control_L"}) key(k, false);
}

TEST_F(XKeyboard, TheDryRunProgramFiresTheRowOfTheLetterInTheGroupInUse)
{
    const int yKey = keycode("y"), sKey = keycode("s");
    ASSERT_NO_FATAL_FAILURE(setLayouts("us,de"));
    ASSERT_NO_FATAL_FAILURE(startProgram("shutdown = 'Y', restart = 'Z', logoff = 'S'"));
    const std::string shutdown = "dry-run shutdown PowerOff(true)", restart = "dry-run restart Reboot(true)";

    size_t before = lines_.size();
    for (const char* k : {"Control_L", "Alt_L"}) key(k, true);
    key(yKey, true);
    EXPECT_GE(lineTime(shutdown, before, 5000), 0) << "Ctrl+Alt+Y in the US layout";
    key(yKey, false);
    letTimePass(300);
    EXPECT_EQ(count(restart), 0u) << "the US y key is not z as well";

    ASSERT_NO_FATAL_FAILURE(lockGroup(1));
    letTimePass(300);  // the group change reaches the program
    const size_t shutdowns = count(shutdown);
    before = lines_.size();
    key(yKey, true);
    EXPECT_GE(lineTime(restart, before, 5000), 0) << "the same key is z in the German layout";
    key(yKey, false);
    for (const char* k : {"Alt_L", "Control_L"}) key(k, false);
    letTimePass(300);
    EXPECT_EQ(count(shutdown), shutdowns) << "and no longer y";

    // Russian in use has no S: the key that carries it in the US layout is S.
    ASSERT_NO_FATAL_FAILURE(setLayouts("ru,us"));
    ASSERT_NO_FATAL_FAILURE(lockGroup(0));
    letTimePass(300);  // the new layouts reach the program
    before = lines_.size();
    for (int code : {keycode("Control_L"), keycode("Alt_L"), sKey}) key(code, true);
    EXPECT_GE(lineTime("dry-run logoff TerminateSession(keyboard)", before, 5000), 0) << "Ctrl+Alt+S under ru,us";
    for (int code : {sKey, keycode("Alt_L"), keycode("Control_L")}) key(code, false);
}

TEST_F(XKeyboard, NothingFiresWhileTheSessionIsLockedAndTheLockerHoldsTheKeyboard)
{
    if (!LogindBus::toolsThere()) GTEST_SKIP() << "dbus-daemon or python3-dbusmock is missing";
    // The program's own session (its XDG_SESSION_ID) as logind knows it.
    ASSERT_TRUE(logind_.start("keyboard")) << "the private bus or logind's mock did not come up";
    ASSERT_NO_FATAL_FAILURE(startProgram("shutdown = 'S'"));
    const std::string shutdown = "dry-run shutdown PowerOff(true)";

    // The locker takes the keyboard and tells logind.
    ASSERT_NO_FATAL_FAILURE(grabKeyboard());
    logind_.setLockedHint("keyboard", true);
    const std::string locked = "tolvane: the session is locked: the Ctrl+Alt hotkeys do nothing until it is unlocked";
    ASSERT_GE(lineTime(locked, 0, 10000), 0);
    for (const char* k : {"Control_L", "Alt_L", "s"}) key(k, true);
    letTimePass(1000);  // ten ticks with the keys held
    EXPECT_EQ(count(shutdown), 0u) << "Ctrl+Alt+S at the locked screen";

    // Unlocked, with the keys still held: the next tick fires.
    XUngrabKeyboard(grabber_, CurrentTime);
    XSync(grabber_, False);
    logind_.setLockedHint("keyboard", false);
    EXPECT_GE(lineTime(shutdown, 0, 10000), 0) << "unlocked again, the hotkey fires";
    for (const char* k : {"s", "Alt_L", "Control_L"}) key(k, false);
}

}  // namespace
}  // namespace tolvane::test
