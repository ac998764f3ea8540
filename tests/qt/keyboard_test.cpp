// The X11 key state on a virtual X server (Xvfb): keys pressed with XTest, as a keyboard
// would; a second client that grabs the keyboard, as an open menu or a virtual machine's
// window does, or a locker with logind's mock saying the session is locked; two keyboard
// layouts and a change of group while the program runs; and the hotkey monitor's rest while
// no key of interest is down.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "hotkeys/values.h"
#include "logind_bus.h"
#include "platform/qt/keys/x11_keyboard.h"
#include "power/actions.h"
#include "program_lines.h"
#include "tests/settings_file.h"
#include "wait.h"
#include "xvfb_process.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tolvane::test {
namespace {

// The Windows names the tests use for the key codes.
constexpr int VK_CONTROL = kVkControl, VK_MENU = kVkMenu, VK_NUMPAD5 = kVkNumpad0 + 5;

// The keyboard with what the tests read of it; rawEvents false: no mirror, as on a server
// without XInput 2.1.
class KeyboardUnderTest : public X11Keyboard {
public:
    KeyboardUnderTest(const std::string& display, std::function<void(const std::string&)> notes, bool rawEvents = true)
        : X11Keyboard(display, std::move(notes), rawEvents)
    {
    }
    using X11Keyboard::keycodes;
    using X11Keyboard::mirrored;
};

class XKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "setxkbmap"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is missing (scripts/install-deps installs it)";
        clock_.start();
        std::string why;
        display_ = xvfb_.start("640x480x24", &why);
        ASSERT_FALSE(display_.empty()) << why;
        ASSERT_TRUE(waitFor([&] { return (tester_ = XOpenDisplay(display_.c_str())) != nullptr; }, 20000));
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", QString::fromStdString(display_));
        env_.remove("WAYLAND_DISPLAY");
    }

    void TearDown() override
    {
        // The connections go before the server does: Xlib ends the process on a lost one.
        if (grabber_) XCloseDisplay(grabber_);
        if (tester_) XCloseDisplay(tester_);
        grabber_ = tester_ = nullptr;
        if (program_.state() != QProcess::NotRunning) {
            program_.terminate();
            if (!program_.waitForFinished(3000)) {
                program_.kill();
                program_.waitForFinished(3000);
            }
        }
        xvfb_.stop();
    }

    // The keycode that carries the keysym in the first group (what a US keyboard has there).
    int keycode(const char* keysym) const { return XKeysymToKeycode(tester_, XStringToKeysym(keysym)); }
    // A key goes down or up, as the keyboard would send it.
    void key(int code, bool down) const
    {
        XTestFakeKeyEvent(tester_, static_cast<unsigned>(code), down ? True : False, 0);
        XSync(tester_, False);
    }
    void key(const char* keysym, bool down) const { key(keycode(keysym), down); }

    // Another client takes the whole keyboard, as an open menu does.
    void grabKeyboard()
    {
        grabber_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(grabber_, nullptr);
        ASSERT_EQ(
            XGrabKeyboard(grabber_, DefaultRootWindow(grabber_), False, GrabModeAsync, GrabModeAsync, CurrentTime),
            GrabSuccess);
        XSync(grabber_, False);
    }

    void setLayouts(const QString& layouts)
    {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start("setxkbmap", {"-display", QString::fromStdString(display_), "-layout", layouts});
        ASSERT_TRUE(p.waitForFinished(20000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    // Locks the keyboard group (0 the first layout, 1 the second), as a layout switch does.
    void lockGroup(unsigned group) const
    {
        ASSERT_TRUE(XkbLockGroup(tester_, XkbUseCoreKbd, group));
        XSync(tester_, False);
    }

    // Settings with the given key texts and every hotkey enabled.
    static void writeSettings(const std::string& folder, const std::string& keys)
    {
        // The delivered settings name each column with its action's word.
        std::string sql;
        for (const ActionRow& action : kActions) sql += std::string("UPDATE en SET ") + action.word + " = 1;";
        sql += "UPDATE ky SET " + keys;
        copyDeliveredSettings(folder, sql);
    }

    // tolvane-dryrun on the display; its standard output lines are kept with their times.
    void startProgram(const std::string& keys)
    {
        ASSERT_TRUE(windir_.isValid());
        ASSERT_NO_FATAL_FAILURE(writeSettings(windir_.path().toStdString(), keys));
        QProcessEnvironment env = env_;
        env.insert("windir", windir_.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_SESSION_ID", "keyboard");
        // Hermetic: the dry run never reaches a real bus, not even to ask; logind is the
        // test's mock where one runs.
        const QString logind = logind_.address();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", logind.isEmpty() ? "unix:path=/nonexistent/tolvane-keyboard" : logind);
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-keyboard");
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::MergedChannels);  // its notes on standard error too
        keepLines(program_, clock_, lines_);
        program_.start(TOLVANE_DRYRUN, {});
        ASSERT_TRUE(program_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return count("dry-run ready") == 1; }, 30000)) << "the program did not start";
    }
    size_t count(const std::string& text) const { return countLines(lines_, text); }
    // When the first line equal to text came, from the index on; -1 if it does not come in time.
    qint64 lineTime(const std::string& text, size_t from, int timeoutMs)
    {
        const TimedLine* line = waitForLine(lines_, text, from, timeoutMs);
        return line ? line->first : -1;
    }

    QElapsedTimer clock_;
    XvfbProcess xvfb_;
    QProcess program_;
    std::string display_;
    QProcessEnvironment env_;
    Display* tester_ = nullptr;
    Display* grabber_ = nullptr;
    QTemporaryDir windir_;
    std::vector<TimedLine> lines_;
    LogindBus logind_;
};

// The main thread's voluntary context switches: each time it went to sleep and was woken.
long wakeUps(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    return -1;
}

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

TEST_F(XKeyboard, TheMirrorTellsWhetherAKeyOfInterestMayBeDown)
{
    KeyboardUnderTest keyboard(display_, nullptr);
    ASSERT_TRUE(keyboard.mirrored());
    keyboard.watch(watchedKeys({}, {}, false));  // Ctrl and Alt, as the hotkey monitor tells them
    int told = 0;
    keyboard.onChange([&](bool) { ++told; });
    EXPECT_FALSE(keyboard.mayBeDown()) << "nothing is pressed";

    key("s", true);
    letTimePass(200);
    EXPECT_FALSE(keyboard.mayBeDown()) << "S is of no interest";
    EXPECT_EQ(told, 0);
    key("Alt_R", true);
    EXPECT_TRUE(waitFor([&] { return keyboard.mayBeDown(); }, 3000)) << "the raw event of Alt is seen";
    EXPECT_EQ(told, 1);
    key("Control_L", true);
    letTimePass(200);
    EXPECT_EQ(told, 1) << "still down: nothing new to tell";
    key("Alt_R", false);
    key("Control_L", false);
    EXPECT_TRUE(waitFor([&] { return !keyboard.mayBeDown(); }, 3000));
    EXPECT_EQ(told, 2);
    key("s", false);

    // A layout change that moves no key of interest keeps the answer.
    ASSERT_NO_FATAL_FAILURE(setLayouts("us,de"));
    letTimePass(300);
    EXPECT_FALSE(keyboard.mayBeDown());
}

TEST_F(XKeyboard, WithoutTheRawEventMirrorAKeyMayAlwaysBeDown)
{
    KeyboardUnderTest keyboard(display_, nullptr, false);
    ASSERT_TRUE(keyboard.connected());
    EXPECT_FALSE(keyboard.mirrored());
    keyboard.watch(watchedKeys({}, {}, false));  // Ctrl and Alt, as the hotkey monitor tells them
    EXPECT_TRUE(keyboard.mayBeDown()) << "without the mirror nothing is known between two polls";
    key("Control_L", true);
    EXPECT_TRUE(waitFor([&] { return (keyboard.GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }, 3000))
        << "every poll asks the server";
    key("Control_L", false);
    EXPECT_TRUE(waitFor([&] { return keyboard.GetAsyncKeyState(VK_CONTROL) == 0; }, 3000));
    EXPECT_TRUE(keyboard.mayBeDown());

    X11Keyboard nowhere("", nullptr);  // the tests run without $DISPLAY
    EXPECT_FALSE(nowhere.connected());
    EXPECT_TRUE(nowhere.mayBeDown()) << "no display, no mirror: never paused";
}

TEST_F(XKeyboard, TheIdleProgramSleepsAndAHotkeyStillFiresWithinATick)
{
    ASSERT_NO_FATAL_FAILURE(startProgram("restart = 'R'"));
    letTimePass(2500);  // start-up settles (the page trim comes after 2 s)

    // Ten ticks a second would wake the program 30 times in 3 s.
    const long before = wakeUps(program_.processId());
    ASSERT_GE(before, 0);
    letTimePass(3000);
    const long idle = wakeUps(program_.processId()) - before;
    std::printf("idle: %ld wake-ups of the main thread in 3 s\n", idle);
    EXPECT_LE(idle, 6) << "no key of interest is down, so the hotkey monitor rests";

    for (int press = 0; press < 5; ++press) {
        const size_t from = lines_.size();
        key("Control_L", true);
        key("Alt_L", true);
        const qint64 pressed = clock_.elapsed();
        key("r", true);
        const qint64 seen = lineTime("dry-run restart Reboot(true)", from, 5000);
        for (const char* k : {"r", "Alt_L", "Control_L"}) key(k, false);
        ASSERT_GE(seen, 0) << "press " << press << " was not seen";
        std::printf("hotkey after rest: key down to request %lld ms\n", static_cast<long long>(seen - pressed));
        EXPECT_LE(seen - pressed, 300) << "about one 100 ms tick, with room for a loaded machine";
        letTimePass(330 + 37 * press);  // the next press falls at another phase
    }
}

}  // namespace
}  // namespace tolvane::test
