// The xcb tests run in one QApplication on a private X display with openbox and trayer,
// started here before Qt connects to it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <cstdio>
#include <cstdlib>

#include "x_session.h"

namespace tolvane::test {

namespace {
std::string problem;
std::string a11yProblem;
XSession* session = nullptr;
}  // namespace

const std::string& xSessionProblem()
{
    return problem;
}
const std::string& accessibilityProblem()
{
    return a11yProblem;
}
XSession& xSession()
{
    return *session;
}

}  // namespace tolvane::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Hermetic: neither the dry run nor the window manager and the tray reach a real bus, not
    // even to ask (the session bus of the tests' own comes with the accessibility bus, below).
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-xcb", 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-xcb", 1);
    tolvane::test::XSession session;
    tolvane::test::session = &session;
    if (!session.start(true, &tolvane::test::problem)) {
        std::fprintf(stderr, "xcb tests: %s\n", tolvane::test::problem.c_str());
        // Without a display every test skips with the reason; no QApplication is made.
        return RUN_ALL_TESTS();
    }
    // The windows are read as a screen reader reads them, on an accessibility bus of the tests'
    // own that the program finds as it does in a desktop session.
    if (!session.startAccessibility(TOLVANE_TEST_DIR, &tolvane::test::a11yProblem))
        std::fprintf(stderr, "xcb tests: no accessibility bus: %s\n", tolvane::test::a11yProblem.c_str());
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    // Compose sequences (dead keys) as a desktop has them; the compose table is the locale's.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("QT_IM_MODULE", "compose", 1);
    ::setenv("XDG_SESSION_ID", "xcb", 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // A style asked for (QT_STYLE_OVERRIDE, as a desktop sets it) that is not installed: Qt
    // would fall back to its default silently, so the tests skip and say why.
    const QString style = qEnvironmentVariable("QT_STYLE_OVERRIDE");
    if (!style.isEmpty() && QApplication::style()->name().compare(style, Qt::CaseInsensitive) != 0)
        tolvane::test::problem = "the style " + style.toStdString() + " is not installed";
    std::printf("xcb tests: style %s\n", qPrintable(QApplication::style()->name()));
    return RUN_ALL_TESTS();
}
