#pragma once
// A private X display for the desktop tests: Xvfb at 96 dots per inch, the openbox window
// manager (placement, focus, stacking and frames as a user's desktop has them) and, on
// request, the trayer notification area. Started before the test process's QApplication,
// so that Qt's xcb platform connects to it; every process is ended with the object.
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

private:
    // The pipe that Xvfb writes its display number to stays open in the child (no close-on-exec).
    pid_t spawn(const std::vector<std::string>& argv);
    void stopAll();

    std::string display_;
    std::vector<pid_t> children_;
    pid_t tray_ = 0;
    std::filesystem::path configFile_;
};

}  // namespace tolvane::test
