#include "x_session.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/file_contents.h"
#include "tests/wait_until.h"

// Last: Xlib's macros would clash with other names.
#include "x_selection.h"

namespace tolvane::test {

namespace {

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= rest.size();) {
        const size_t end = std::min(rest.find(':', start), rest.size());
        const std::filesystem::path candidate = std::filesystem::path(rest.substr(start, end - start)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

XSession::~XSession()
{
    stopAll();
    std::error_code ec;
    if (!configFile_.empty()) std::filesystem::remove(configFile_, ec);
}

void XSession::spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    std::vector<std::string> variables = environment;
    variables.push_back("DISPLAY=" + display());
    children_.push_back(std::make_unique<ChildProcess>());
    children_.back()->start(argv, variables);
}

bool XSession::start(bool withTray, std::string* why)
{
    std::vector<std::string> needed = {"Xvfb", "openbox"};
    if (withTray) needed.push_back("trayer");
    for (const std::string& program : needed) {
        if (!onPath(program)) {
            *why = program + " is missing (scripts/install-deps installs it)";
            return false;
        }
    }
    if (xvfb_.start("1024x768x24", why).empty()) return false;
    ::setenv("DISPLAY", display().c_str(), 1);

    // The machine's configuration without the iconify animation: a click while a restored
    // window is still being drawn in is lost.
    std::vector<std::string> openbox = {"openbox", "--sm-disable"};
    if (std::string config = readFile("/etc/xdg/openbox/rc.xml"); !config.empty()) {
        const std::string yes = "<animateIconify>yes</animateIconify>";
        if (const size_t at = config.find(yes); at != std::string::npos)
            config.replace(at, yes.size(), "<animateIconify>no</animateIconify>");
        configFile_ =
            std::filesystem::temp_directory_path() / ("tolvane-openbox-" + std::to_string(::getpid()) + ".xml");
        std::ofstream(configFile_) << config;
        openbox.insert(openbox.end(), {"--config-file", configFile_.string()});
    }
    spawn(openbox);
    if (!waitUntil([&] { return selectionOwned(display(), "WM_S0"); }, 20000)) {
        *why = "openbox took no window-manager selection on " + display();
        return false;
    }
    if (withTray && !startTray()) {
        *why = "trayer took no tray on " + display();
        return false;
    }
    return true;
}

bool XSession::startAccessibility(const std::string& testDir, std::string* why)
{
    for (const std::string program : {"/usr/bin/dbus-daemon", "/usr/libexec/at-spi2-registryd", "/usr/bin/python3"}) {
        if (::access(program.c_str(), X_OK) != 0) {
            *why = program + " is missing (scripts/install-deps installs it)";
            return false;
        }
    }
    if (!sessionBus_.start(why) || !a11yBus_.start(why)) return false;
    spawn({"/usr/libexec/at-spi2-registryd", "--use-gnome-session=false"},
          {"AT_SPI_BUS_ADDRESS=" + a11yBus_.address()});
    spawn({"/usr/bin/python3", "-m", "dbusmock", "--template", testDir + "/a11y_bus_mock.py", "-p",
           "{\"address\": \"" + a11yBus_.address() + "\"}"},
          {"DBUS_SESSION_BUS_ADDRESS=" + sessionBus_.address()});
    ::setenv("DBUS_SESSION_BUS_ADDRESS", sessionBus_.address().c_str(), 1);
    return true;
}

bool XSession::startTray()
{
    tray_.start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "160",
                 "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"},
                {"DISPLAY=" + display()});
    return waitUntil([&] { return selectionOwned(display(), "_NET_SYSTEM_TRAY_S0"); }, 20000);
}

bool XSession::stopTray()
{
    if (!tray_.running()) return false;
    tray_.stop();
    return waitUntil([&] { return !selectionOwned(display(), "_NET_SYSTEM_TRAY_S0"); }, 5000);
}

void XSession::stopAll()
{
    // The session's programs first, the buses after them, the server last.
    tray_.stop();
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) (*it)->stop();
    children_.clear();
    sessionBus_.stop();
    a11yBus_.stop();
    xvfb_.stop();
}

}  // namespace tolvane::test
