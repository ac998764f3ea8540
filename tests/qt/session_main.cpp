// The tests that need a desktop session of their own: a virtual X server (Xvfb) without
// a notification area and a private session bus, both started here before Qt starts, so
// that Qt's tray and the program's portal calls meet only what the tests put on that bus.
// ctest runs every test in a process of its own: Qt settles its kind of notification area
// once per process.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "private_bus.h"
#include "session_fixture.h"
#include "xvfb_process.h"

namespace tolvane::test {

bool SessionTest::sessionReady = false;
std::string SessionTest::serviceDir;

}  // namespace tolvane::test

int main(int argc, char** argv)
{
    using namespace tolvane::test;
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

    XvfbProcess xvfb;
    PrivateBus bus;
    std::string why;
    // The bus starts only what a test describes in its service folder: nothing, unless a test
    // writes there.
    const std::string display = xvfb.start("1024x768x24", &why);
    if (!display.empty() && bus.start(&why, true)) {
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
        SessionTest::serviceDir = bus.serviceDir();
        SessionTest::sessionReady = true;
    } else {
        std::fprintf(stderr, "session tests: %s\n", why.c_str());
    }
    ::setenv("QT_QPA_PLATFORM", SessionTest::sessionReady ? "xcb" : "offscreen", 1);
    // Nothing of the desktop the tests run in: no Wayland, no desktop's own Qt theme, and
    // never the machine's system bus (the dry run still asks logind what it can do).
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("XDG_SESSION_TYPE");
    ::unsetenv("XDG_CURRENT_DESKTOP");
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-session-tests", 1);
    ::setenv("XDG_SESSION_ID", "session-tests", 1);

    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        result = RUN_ALL_TESTS();
    }
    return result;
}
