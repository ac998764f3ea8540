#pragma once
// The private Xvfb of a desktop test, and the only way the tests start one: at 96 dots per
// inch, as the windows are designed; on a free display that the server picks itself and
// tells (-displayfd); kept running when its last client goes (-noreset: the server, its
// keyboard layout among it, must not start over between the test's clients); and reachable
// only through its local socket.
#include <sys/wait.h>

#include <string>

#include "child_process.h"

namespace tolvane::test {

class XvfbProcess {
public:
    // Starts the server with one screen of this size and depth ("1024x768x24"); the display's
    // name (":N"), or "" with the reason in *why.
    std::string start(const std::string& screen, std::string* why)
    {
        if (!server_.start(
                {"Xvfb", "-displayfd", "1", "-noreset", "-dpi", "96", "-screen", "0", screen, "-nolisten", "tcp"}, {},
                true)) {
            *why = "Xvfb could not be started";
            return {};
        }
        const std::string number = server_.readLine(20000);
        if (number.empty()) {
            *why = server_.running() ? "Xvfb told no display within 20 s"
                                     : "Xvfb ended at once (status " + std::to_string(WEXITSTATUS(server_.status())) +
                                           ", 127: not installed)";
            server_.stop();
            return {};
        }
        display_ = ":" + number;
        return display_;
    }
    const std::string& display() const { return display_; }
    bool running() { return server_.running(); }
    // Ends the server; its clients' connections should be closed first (Xlib ends a process
    // whose connection is lost).
    void stop() { server_.stop(); }

private:
    ChildProcess server_;
    std::string display_;
};

}  // namespace tolvane::test
