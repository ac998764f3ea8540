// The tests that need a desktop session of their own: a virtual X server (Xvfb) without
// a notification area and a private session bus, both started here before Qt starts, so
// that Qt's tray and the program's portal calls meet only what the tests put on that bus.
// ctest runs every test in a process of its own: Qt settles its kind of notification area
// once per process.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "private_bus.h"
#include "session_fixture.h"

namespace tolvane::test {

bool SessionTest::sessionReady = false;
std::string SessionTest::serviceDir;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
};

// Starts a program with its standard output on a pipe and its errors discarded.
Child spawn(const std::vector<std::string>& args)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (std::FILE* null = std::fopen("/dev/null", "w")) ::dup2(fileno(null), 2);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

// The first line the child writes, waiting up to 20 s.
std::string firstLine(const Child& child)
{
    std::string line;
    pollfd fd{child.out, POLLIN, 0};
    while (::poll(&fd, 1, 20000) > 0) {
        char c = 0;
        if (::read(child.out, &c, 1) != 1 || c == '\n') break;
        line += c;
    }
    return line;
}

void stop(Child& child)
{
    if (child.pid <= 0) return;
    ::kill(child.pid, SIGTERM);
    ::waitpid(child.pid, nullptr, 0);
    ::close(child.out);
    child.pid = -1;
}

}  // namespace
}  // namespace tolvane::test

int main(int argc, char** argv)
{
    using namespace tolvane::test;
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

    Child xvfb, bus;
    char busFolder[] = "/tmp/tolvane-session-bus.XXXXXX";
    if (!::access("/usr/bin/Xvfb", X_OK) && !::access("/usr/bin/dbus-daemon", X_OK)) {
        xvfb = spawn({"Xvfb", "-displayfd", "1", "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        const std::string display = firstLine(xvfb);
        if (::mkdtemp(busFolder)) {
            // The bus starts only what a test names in this folder: nothing, unless it writes there.
            SessionTest::serviceDir = std::string(busFolder) + "/services";
            std::filesystem::create_directory(SessionTest::serviceDir);
            bus = spawn({"dbus-daemon", "--config-file=" + writeBusConfig(busFolder, {SessionTest::serviceDir}),
                         "--nofork", "--print-address=1"});
        }
        const std::string address = firstLine(bus);
        if (!display.empty() && !address.empty()) {
            ::setenv("DISPLAY", (":" + display).c_str(), 1);
            ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
            SessionTest::sessionReady = true;
        }
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
    stop(bus);
    stop(xvfb);
    std::filesystem::remove_all(busFolder);
    return result;
}
