// The hotkey monitor's rest while no key of interest is down: the raw events' mirror of the
// keys, and the idle program that sleeps yet acts on a hotkey within a tick.
#include "keyboard_fixture.h"

namespace tolvane::test {
namespace {

// The main thread's voluntary context switches: each time it went to sleep and was woken.
long wakeUps(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    return -1;
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

    std::vector<qint64> delays;
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
        delays.push_back(seen - pressed);
        letTimePass(330 + 37 * press);  // the next press falls at another phase
    }
    // Most presses within about one 100 ms tick; a loaded machine may hold up one or two (620 ms
    // was seen at load 10), while a monitor that slept through keys would be late every time.
    std::sort(delays.begin(), delays.end());
    EXPECT_LE(delays[delays.size() / 2], 300) << "the median press, about one tick";
    EXPECT_LE(delays.back(), 2000) << "no press waits for a long rest";
}

}  // namespace
}  // namespace tolvane::test
