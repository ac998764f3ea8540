#pragma once
// A private X display for the desktop tests: Xvfb at 96 dots per inch, the openbox window
// manager (placement, focus, stacking and frames as a user's desktop has them) and, on
// request, the trayer notification area; and, on request, the accessibility bus a desktop
// session has, private to the tests (startAccessibility). Started before the test process's
// QApplication, so that Qt's xcb platform connects to it; every process is ended with the
// object.
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

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
    const std::string& display() const { return display_; }
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
    const std::string& accessibilityBus() const { return a11yBus_; }

private:
    // The pipe that Xvfb writes its display number to stays open in the child (no close-on-exec).
    pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    void stopAll();

    std::string display_;
    std::vector<pid_t> children_;
    pid_t tray_ = 0;
    std::filesystem::path configFile_;
    std::filesystem::path busFolder_;
    std::string a11yBus_;
};

}  // namespace tolvane::test
