#pragma once
// The whole desktop program in the test process on Qt's xcb platform, on a private X display
// with a window manager and a notification area (x_session.h, started by xcb_main.cpp),
// driven by real input (x_input.h). Power requests are the dry run's lines, written to a file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <ostream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "desktop_fixture.h"
#include "platform/model/twips.h"
#include "platform/qt/desktop.h"
#include "wait.h"
#include "x_input.h"

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tolvane::test {

// Set by main: why the display could not be had (empty when it is there), and the display.
const std::string& xSessionProblem();
// Why the windows cannot be read as a screen reader reads them (empty when they can).
const std::string& accessibilityProblem();
class XSession;
XSession& xSession();

class XcbDesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs before start-up with the settings folder; the default settings are copied in unless
    // the test writes a file of its own there.
    virtual void prepareSettings(const std::string&) {}

    Form1& form1() { return desktop_->program().form1(); }
    QtWindows& windows() { return desktop_->windows(); }
    QWidget* widget(const Window& window) { return windows().widget(window); }
    QWidget* widget(const Control& control) { return windows().widget(control); }

    // The window is on the screen where the window manager put it, drawn, and settled there.
    bool waitPlaced(const Window& window);
    // The window has the keyboard focus, as the X server and Qt both see it.
    bool waitActive(const Window& window);
    // The designed centre of a control, and any designed point of its client area, on the screen.
    QPoint screenPoint(const Window& window, QPoint client);
    QPoint designedCentre(const Control& control);
    int dpi() { return windows().dotsPerInch(); }

    // A real click on a control's designed centre; true once the program's window has taken
    // it in and handed it to the control (false after 5 s without it).
    bool clickDesigned(const Control& control, int button = 1);
    // Lets the event loop run a little, to see whether anything more comes.
    static void settle(int ms = 150);

    // The main window as a user opens it: a click on its icon in the notification area.
    void openMainWindow();
    // The hotkey window: Form1's "Hot Keys".
    void openHotkeyWindow();

    TempFolder folder_;
    std::FILE* powerOut_ = nullptr;
    std::unique_ptr<QtDesktop> desktop_;
    XInput x_;
};

}  // namespace tolvane::test
