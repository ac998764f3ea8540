#pragma once
// A private X display for the desktop tests: Xvfb at 96 dots per inch, the openbox window
// manager (placement, focus, stacking and frames as a user's desktop has them) and, on
// request, the trayer notification area; and, on request, the accessibility bus a desktop
// session has, private to the tests (startAccessibility). Started before the test process's
// QApplication, so that Qt's xcb platform connects to it; every process is ended with the
// object.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "private_bus.h"
#include "xvfb_process.h"

namespace tolvane::test {

class XSession {
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the display and the window manager (and the tray); false with the reason when
    // a program is missing or does not come up. Sets DISPLAY for this process.
    bool start(bool withTray, std::string* why);
    const std::string& display() const { return xvfb_.display(); }
    // The notification area goes, or comes (again); false when it did not.
    bool stopTray();
    bool startTray();
    // A session bus and an accessibility bus of the tests' own (each with a configuration of
    // its own), AT-SPI's registry on the latter and, on the former, the launcher's interface
    // that tells programs where it is (tests/qt/a11y_bus_mock.py in `testDir`). Sets
    // DBUS_SESSION_BUS_ADDRESS for this process, as a desktop session does; false with the
    // reason when a program is missing.
    bool startAccessibility(const std::string& testDir, std::string* why);
    // The accessibility bus's address, for a screen reader (AT_SPI_BUS_ADDRESS); empty
    // without one.
    const std::string& accessibilityBus() const { return a11yBus_.address(); }

private:
    // A program of the session, on its display, with these variables besides.
    void spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    void stopAll();

    XvfbProcess xvfb_;
    std::vector<std::unique_ptr<ChildProcess>> children_;
    ChildProcess tray_;
    std::filesystem::path configFile_;
    PrivateBus sessionBus_, a11yBus_;
};

}  // namespace tolvane::test
