#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "private_bus.h"
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
    if (!busFolder_.empty()) std::filesystem::remove_all(busFolder_, ec);
}

pid_t XSession::spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    const pid_t pid = ::fork();
    if (pid != 0) {
        if (pid > 0) children_.push_back(pid);
        return pid;
    }
    // The child: quiet, in its own process group, with the display it belongs to.
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::setpgid(0, 0);
    if (!display_.empty()) ::setenv("DISPLAY", display_.c_str(), 1);
    for (const std::string& variable : environment) ::putenv(const_cast<char*>(variable.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
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

    // Xvfb picks a free display itself and writes its number to the pipe.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        *why = "no pipe";
        return false;
    }
    const pid_t xvfb = spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-noreset", "-dpi", "96", "-screen",
                              "0", "1024x768x24", "-nolisten", "tcp"});
    ::close(pipeFds[1]);
    std::string number;
    pollfd readable{pipeFds[0], POLLIN, 0};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
        if (::poll(&readable, 1, 200) <= 0) continue;
        char chunk[16];
        const ssize_t got = ::read(pipeFds[0], chunk, sizeof chunk);
        if (got <= 0) break;
        number.append(chunk, static_cast<size_t>(got));
    }
    ::close(pipeFds[0]);
    if (xvfb <= 0 || number.find('\n') == std::string::npos) {
        *why = "Xvfb did not start";
        return false;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
    ::setenv("DISPLAY", display_.c_str(), 1);

    // The machine's configuration without the iconify animation: a click while a restored
    // window is still being drawn in is lost.
    std::vector<std::string> openbox = {"openbox", "--sm-disable"};
    if (std::string config = readFile("/etc/xdg/openbox/rc.xml"); !config.empty()) {
        const std::string yes = "<animateIconify>yes</animateIconify>";
        if (const size_t at = config.find(yes); at != std::string::npos)
            config.replace(at, yes.size(), "<animateIconify>no</animateIconify>");
        configFile_ = std::filesystem::temp_directory_path() / ("tolvane-openbox-" + std::to_string(::getpid()) + ".xml");
        std::ofstream(configFile_) << config;
        openbox.insert(openbox.end(), {"--config-file", configFile_.string()});
    }
    spawn(openbox);
    if (!waitUntil([&] { return selectionOwned(display_, "WM_S0"); }, 20000)) {
        *why = "openbox took no window-manager selection on " + display_;
        return false;
    }
    if (withTray && !startTray()) {
        *why = "trayer took no tray on " + display_;
        return false;
    }
    return true;
}

bool XSession::startAccessibility(const std::string& testDir, std::string* why)
{
    for (const std::string program : {"dbus-daemon", "/usr/libexec/at-spi2-registryd", "/usr/bin/python3"}) {
        if (program[0] == '/' ? ::access(program.c_str(), X_OK) != 0 : !onPath(program)) {
            *why = program + " is missing (scripts/install-deps installs it)";
            return false;
        }
    }
    busFolder_ = std::filesystem::temp_directory_path() / ("tolvane-a11y-" + std::to_string(::getpid()));
    std::filesystem::create_directories(busFolder_ / "session");
    std::filesystem::create_directories(busFolder_ / "a11y");
    const std::string session = "unix:path=" + (busFolder_ / "session" / "bus").string();
    a11yBus_ = "unix:path=" + (busFolder_ / "a11y" / "bus").string();
    for (const auto& [folder, address] : {std::pair{busFolder_ / "session", session}, {busFolder_ / "a11y", a11yBus_}}) {
        spawn({"dbus-daemon", "--config-file=" + writeBusConfig(folder.string()), "--nofork", "--address=" + address});
        if (!waitUntil([&] { return std::filesystem::exists(folder / "bus"); }, 20000)) {
            *why = "dbus-daemon did not start";
            return false;
        }
    }
    spawn({"/usr/libexec/at-spi2-registryd", "--use-gnome-session=false"}, {"AT_SPI_BUS_ADDRESS=" + a11yBus_});
    spawn({"/usr/bin/python3", "-m", "dbusmock", "--template", testDir + "/a11y_bus_mock.py", "-p",
           "{\"address\": \"" + a11yBus_ + "\"}"},
          {"DBUS_SESSION_BUS_ADDRESS=" + session});
    ::setenv("DBUS_SESSION_BUS_ADDRESS", session.c_str(), 1);
    return true;
}

bool XSession::startTray()
{
    tray_ = spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "160",
                   "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"});
    return waitUntil([&] { return selectionOwned(display_, "_NET_SYSTEM_TRAY_S0"); }, 20000);
}

bool XSession::stopTray()
{
    if (tray_ <= 0) return false;
    ::kill(tray_, SIGTERM);
    ::waitpid(tray_, nullptr, 0);
    std::erase(children_, tray_);
    tray_ = 0;
    return waitUntil([&] { return !selectionOwned(display_, "_NET_SYSTEM_TRAY_S0"); }, 5000);
}

void XSession::stopAll()
{
    // The tray and the window manager first, the server last.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        ::kill(*it, SIGTERM);
        int status = 0;
        if (!waitUntil([&] { return ::waitpid(*it, &status, WNOHANG) != 0; }, 3000)) {
            ::kill(*it, SIGKILL);
            ::waitpid(*it, &status, 0);
        }
    }
    children_.clear();
}

}  // namespace tolvane::test
