#pragma once
// Which of Qt's platforms the desktop program runs on, chosen before Qt starts: Qt ends the
// process with an abort when none of the platforms it tries can start.
//
// - QT_QPA_PLATFORM or -platform given (by the user, or a test): left to Qt.
// - A Wayland compositor that accepts a connection, with Qt's Wayland platform installed
//   (package qt6-wayland): wayland, and xcb after it where an X server is there too. On
//   GNOME, whose compositor draws no window decorations for Wayland clients, Qt itself
//   prefers XWayland, and so does the program.
// - An X server that accepts a connection: xcb. Where a Wayland compositor is there but Qt's
//   Wayland platform is not, this is XWayland, and standard error says so.
// - Neither: nothing is started, and standard error says why.
// The choice is handed to Qt as the arguments "-platform NAME", not through the environment,
// so that the programs the program starts (the browser) make their own.
#include <functional>
#include <string>
#include <vector>

namespace tolvane {

class QtArguments {
public:
    // say: where the user is told what was chosen against the session's wish, or why nothing.
    QtArguments(int argc, char** argv, const std::function<void(const std::string&)>& say);
    QtArguments(const QtArguments&) = delete;
    QtArguments& operator=(const QtArguments&) = delete;

    bool displayFound() const { return found_; }
    // For QApplication, which keeps both for its lifetime.
    int& argc() { return argc_; }
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> arguments_;
    std::vector<char*> pointers_;
    int argc_ = 0;
    bool found_ = true;
};

}  // namespace tolvane
