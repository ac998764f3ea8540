#include "platform/qt/ui/display_choice.h"

#include <QDir>
#include <QLibraryInfo>
#include <QStringList>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>

namespace tolvane {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool xServer()
{
    if (variable("DISPLAY").empty()) return false;
    Display* display = XOpenDisplay(nullptr);
    if (display) XCloseDisplay(display);
    return display != nullptr;
}

// The compositor's socket, as a Wayland client finds it: WAYLAND_DISPLAY, a name in
// XDG_RUNTIME_DIR or a path.
bool waylandCompositor()
{
    if (!variable("WAYLAND_SOCKET").empty()) return true;
    std::string path = variable("WAYLAND_DISPLAY");
    if (path.empty()) return false;
    if (path.front() != '/') {
        const std::string runtime = variable("XDG_RUNTIME_DIR");
        if (runtime.empty()) return false;
        path = runtime + "/" + path;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::copy(path.begin(), path.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool accepted = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return accepted;
}

bool waylandPlatformInstalled()
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    return std::any_of(folders.begin(), folders.end(), [](const QString& folder) {
        return !QDir(folder + "/platforms").entryList({"libqwayland-*.so"}, QDir::Files).isEmpty();
    });
}

bool gnome()
{
    return lower(variable("XDG_CURRENT_DESKTOP")).find("gnome") != std::string::npos ||
           lower(variable("XDG_SESSION_DESKTOP")).find("gnome") != std::string::npos;
}

}  // namespace

QtArguments::QtArguments(int argc, char** argv, const std::function<void(const std::string&)>& say)
    : arguments_(argv, argv + argc)
{
    const bool given = !variable("QT_QPA_PLATFORM").empty() ||
                       std::find(arguments_.begin(), arguments_.end(), "-platform") != arguments_.end();
    if (!given) {
        const bool x = xServer();
        const bool compositor = waylandCompositor();
        const bool wayland = compositor && waylandPlatformInstalled();
        std::string choice;
        if (wayland)
            choice = !x ? "wayland" : gnome() ? "xcb;wayland" : "wayland;xcb";
        else if (x)
            choice = "xcb";
        if (compositor && !wayland)
            say(x ? "Qt's Wayland platform is not installed (package qt6-wayland): the windows are shown through "
                    "XWayland."
                  : "there is no display for the windows: the Wayland display needs Qt's Wayland platform "
                    "(package qt6-wayland), and there is no X display.");
        else if (choice.empty())
            say("there is no display for the windows: neither WAYLAND_DISPLAY nor DISPLAY names one that "
                "accepts a connection.");
        found_ = !choice.empty();
        if (found_) arguments_.insert(arguments_.end(), {"-platform", choice});
    }
    for (std::string& argument : arguments_) pointers_.push_back(argument.data());
    argc_ = static_cast<int>(arguments_.size());
    pointers_.push_back(nullptr);
}

}  // namespace tolvane
