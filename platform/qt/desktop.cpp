#include "platform/qt/desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/qt/session/instance.h"

namespace tolvane {

void writeError(const std::string& text)
{
    std::fprintf(stderr, "tolvane: %s\n", text.c_str());
    std::fflush(stderr);
}

namespace {

// Under XWayland X11 sees the keyboard only while one of its own windows has the focus and
// misses every other press without an error, so a Wayland session asks the desktop for
// global shortcuts even where an X display is there too.
HotkeySource hotkeySource()
{
    return waylandSession() ? HotkeySource::Portal : HotkeySource::X11;
}

PortalApp portalApp(PowerMode mode)
{
    const ProgramIdentity& identity = mode == PowerMode::DryRun ? kTolvaneDryRun : kTolvane;
    return {identity.busName, identity.name};
}

std::string sessionIdText()
{
    const char* id = std::getenv("XDG_SESSION_ID");
    return id && *id ? id : "own-session";
}

}  // namespace

bool waylandSession()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string(type) == "wayland");
}

QtDesktop::QtDesktop(PowerMode mode, std::FILE* dryRunOutput)
    : windows_(windowSystem_),
      trayHost_(QDBusConnection::sessionBus()),
      logind_(QDBusConnection::systemBus(), writeError),
      sessionLock_(logind_.session(), QDBusConnection::sessionBus(), writeError),
      dryRun_(mode == PowerMode::DryRun ? std::make_unique<DryRunPower>(dryRunOutput, sessionIdText(), &logind_)
                                        : nullptr),
      hotkeys_(hotkeySource(), windows_, portalApp(mode), writeError,
               [this](bool mayBeDown) { timers_.setKeyOfInterestMayBeDown(mayBeDown); }),
      warning_(windowSystem_, QDBusConnection::sessionBus(), writeError),
      dialogs_(windows_, QGuiApplication::platformName().startsWith("wayland"), QDBusConnection::sessionBus(),
               writeError),
      sleep_(QDBusConnection::systemBus(),
             [this] {
                 if (clock_.woke) clock_.woke();
             }),
      launcher_(writeError),
      store_(defaultSettingsFile()),
      platform_{windowSystem_,
                windows_,
                windows_,
                dialogs_,
                clock_,
                logind_,
                dryRun_ ? static_cast<PowerApi&>(*dryRun_) : static_cast<PowerApi&>(logind_),
                hotkeys_,
                tray_,
                launcher_,
                windows_,
                environment_,
                store_},
      program_(platform_)
{
    windowSystem_.setTimerDriver(&timers_);
    hotkeys_.setSessionLock(&sessionLock_);
    tray_.setHost(&trayHost_);
    windows_.setTrayAvailable([this] { return trayHost_.available(); });
    windows_.setShownByUser([this] { program_.showMainWindow(); });
    trayHost_.setChanged([this] { trayHostChanged(); });
}

QtDesktop::~QtDesktop() = default;

void QtDesktop::trayHostChanged()
{
    tray_.hostChanged();
    windows_.trayAvailabilityChanged();
}

void QtDesktop::start()
{
    program_.start();
}

namespace {
int signalPipe[2] = {-1, -1};
bool sessionEnding = false;

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// exit(), not quit(): quit() asks the windows first, and the main window refuses. It ends
// every event loop that runs, a message box's too; the flag keeps the program from starting
// its main loop afterwards when that box was one of start-up's.
void endWithTheSession()
{
    sessionEnding = true;
    QCoreApplication::exit(0);
}

// A session manager's "die" reaches the program as a Quit event; nothing else sends one.
class QuitFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Quit || watched != QCoreApplication::instance()) return false;
        endWithTheSession();
        return true;
    }
};
}  // namespace

void quitWithTheSession()
{
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new QuitFilter(app));
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        endWithTheSession();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
    // Nothing to save; the session may go on without waiting for the program.
    if (auto* gui = qobject_cast<QGuiApplication*>(app))
        QObject::connect(gui, &QGuiApplication::commitDataRequest, [](QSessionManager& manager) { manager.release(); });
}

int runUntilTheSessionEnds()
{
    return sessionEnding ? 0 : QCoreApplication::exec();
}

}  // namespace tolvane
