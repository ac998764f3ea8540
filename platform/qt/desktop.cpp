#include "platform/qt/desktop.h"

#include "app/form1.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <vector>
#include <sys/socket.h>
#include <unistd.h>

namespace tolvane {

void writeError(const std::string& text)
{
    std::fprintf(stderr, "tolvane: %s\n", text.c_str());
    std::fflush(stderr);
}

namespace {

std::string sessionIdText()
{
    const char* id = std::getenv("XDG_SESSION_ID");
    return id && *id ? id : "own-session";
}

}  // namespace

QtDesktop::QtDesktop(PowerMode mode, std::FILE* dryRunOutput)
    : windows_(windowSystem_),
      logind_(QDBusConnection::systemBus(), writeError),
      dryRun_(mode == PowerMode::DryRun ? std::make_unique<DryRunPower>(dryRunOutput, sessionIdText()) : nullptr),
      keyboard_("", writeError),
      launcher_(writeError),
      store_(defaultSettingsFile()),
      platform_{windowSystem_,
                windows_,
                windows_,
                windows_,
                clock_,
                logind_,
                dryRun_ ? static_cast<PowerApi&>(*dryRun_) : static_cast<PowerApi&>(logind_),
                keyboard_,
                tray_,
                launcher_,
                windows_,
                environment_,
                store_},
      program_(platform_)
{
    windowSystem_.setTimerDriver(&timers_);
    windows_.setTrayAvailable(&QtTray::available);
}

QtDesktop::~QtDesktop() = default;

void QtDesktop::start()
{
    restTheHotkeyMonitorWhileIdle();
    program_.start();
    QTimer::singleShot(2000, [] { trimStartupPages(); });
}

// The hotkey monitor's tick does nothing unless Ctrl and Alt are both down. While the
// keyboard is sure that neither is (it mirrors the raw key events of the whole display),
// Timer3 need not wake the program; a press of either brings the ticks back on their phase.
void QtDesktop::restTheHotkeyMonitorWhileIdle()
{
    constexpr int VK_CONTROL = 17, VK_MENU = 18;
    keyboard_.setKeysOfInterest({VK_CONTROL, VK_MENU});
    timers_.pauseWhileNoKeyIsDown(program_.form1().Timer3, keyboard_);
}

long trimStartupPages()
{
    std::ifstream maps("/proc/self/smaps");
    struct Mapping {
        uintptr_t start = 0, end = 0;
        bool candidate = false;
        long anonymousKb = -1;
    };
    std::vector<Mapping> mappings;
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (const size_t dash = first.find('-'); dash != std::string::npos && first.back() != ':') {
            std::string perms, offset, device, inode, path;
            fields >> perms >> offset >> device >> inode >> path;
            Mapping m;
            m.start = std::stoull(first.substr(0, dash), nullptr, 16);
            m.end = std::stoull(first.substr(dash + 1), nullptr, 16);
            // Private, not writable, backed by a file: its pages can always be read again.
            m.candidate = perms.size() == 4 && perms[1] == '-' && perms[3] == 'p' && !path.empty() && path[0] == '/';
            mappings.push_back(m);
        } else if (first == "Anonymous:" && !mappings.empty()) {
            fields >> mappings.back().anonymousKb;
        }
    }
    long trimmed = 0;
    for (const Mapping& m : mappings) {
        // A page that was ever written (a relocated page, say) is the program's own copy: kept.
        if (!m.candidate || m.anonymousKb != 0) continue;
        if (::madvise(reinterpret_cast<void*>(m.start), m.end - m.start, MADV_DONTNEED) == 0)
            trimmed += static_cast<long>((m.end - m.start) / 1024);
    }
    return trimmed;
}

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}
}  // namespace

void quitWithTheSession()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        // exit(), not quit(): quit() asks the windows first, and the main window refuses.
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
    // Nothing to save; the session may go on without waiting for the program.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QObject::connect(app, &QGuiApplication::commitDataRequest, [](QSessionManager& manager) { manager.release(); });
}

}  // namespace tolvane
