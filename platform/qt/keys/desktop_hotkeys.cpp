#include "platform/qt/keys/desktop_hotkeys.h"

#include <QGuiApplication>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "app/program.h"
#include "platform/qt/session/session_lock.h"

namespace tolvane {

DesktopHotkeys::DesktopHotkeys(HotkeySource source, DialogApi& dialogs, PortalApp app,
                               std::function<void(const std::string&)> errors, std::function<void(bool)> keysOfInterest)
    : dialogs_(dialogs),
      errors_(std::move(errors)),
      keysOfInterest_(std::move(keysOfInterest)),
      guard_(std::make_unique<QObject>())
{
    if (source == HotkeySource::X11) {
        useX11();
        return;
    }
    portalBus_ = "tolvane-portal-" + QString::number(reinterpret_cast<quintptr>(this), 16);
    portal_ = std::make_unique<PortalShortcuts>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, portalBus_), std::move(app),
        [this](const PortalShortcuts::Problem& problem) { portalProblem(problem); });
    use(portal_.get());
}

DesktopHotkeys::~DesktopHotkeys()
{
    if (source_) source_->onChange(nullptr);
    portal_.reset();
    if (!portalBus_.isEmpty()) QDBusConnection::disconnectFromBus(portalBus_);
}

void DesktopHotkeys::useX11()
{
    x11_ = std::make_unique<X11Keyboard>("", errors_);
    use(x11_.get());
    if (!x11_->connected()) tell("The Ctrl+Alt hotkeys are off: there is no X11 display to watch the keyboard on.");
}

void DesktopHotkeys::use(KeySource* source)
{
    if (source_) source_->onChange(nullptr);
    source_ = source;
    if (source_) {
        source_->watch(watched_);
        source_->onChange(keysOfInterest_);
    }
    if (keysOfInterest_) keysOfInterest_(source_ && source_->mayBeDown());
}

int16_t DesktopHotkeys::GetAsyncKeyState(int virtualKey)
{
    if (!source_ || (lock_ && lock_->locked())) return 0;
    return source_->GetAsyncKeyState(virtualKey);
}

void DesktopHotkeys::watch(const WatchedKeys& keys)
{
    watched_ = keys;
    if (source_) source_->watch(keys);
    if (untold_ && anyEnabled()) {
        const std::string text = *untold_;
        untold_.reset();
        tell(text);
    }
}

void DesktopHotkeys::portalProblem(const PortalShortcuts::Problem& problem)
{
    if (errors_)
        errors_("global shortcuts: " + problem.reason + (problem.detail.empty() ? "" : " (" + problem.detail + ")"));
    const std::string hint = problem.hint.empty() ? "" : " " + problem.hint;
    switch (problem.kind) {
        case PortalShortcuts::Problem::Missing: {
            // A desktop without global shortcuts is not asked again; XWayland, if there, is
            // better than nothing.
            QTimer::singleShot(0, guard_.get(), [this] { portal_.reset(); });
            const char* display = std::getenv("DISPLAY");
            if (!x11_ && display && *display) x11_ = std::make_unique<X11Keyboard>("", errors_);
            use(x11_.get());
            // XWayland sees the keyboard only while one of its own windows has the focus; the
            // program's windows are among them only where Qt runs on xcb.
            if (x11_ && x11_->connected() && QGuiApplication::platformName() == "xcb")
                tell(
                    "The Ctrl+Alt hotkeys work only while an X11 window (this program's own, or another "
                    "XWayland program's) has the focus: " +
                    problem.reason + ".");
            else if (x11_ && x11_->connected())
                tell(
                    "The Ctrl+Alt hotkeys work only while a window of an XWayland program has the focus, never "
                    "while this program's Wayland windows have it: " +
                    problem.reason + ".");
            else
                tell("The Ctrl+Alt hotkeys are off: " + problem.reason + ".");
            return;
        }
        case PortalShortcuts::Problem::Partial:
            tell("Not every Ctrl+Alt hotkey works: " + problem.reason + "." + hint);
            return;
        case PortalShortcuts::Problem::Refused:
        case PortalShortcuts::Problem::Unbound:
        case PortalShortcuts::Problem::Closed:
            tell("The Ctrl+Alt hotkeys are off: " + problem.reason + "." + hint);
            return;
        case PortalShortcuts::Problem::Note:
            return;
    }
}

void DesktopHotkeys::tell(const std::string& text)
{
    if (told_) return;
    if (!anyEnabled()) {
        untold_ = text;
        return;
    }
    told_ = true;
    // Posted: the problem may be found inside a handler that should not wait on the box.
    QTimer::singleShot(0, guard_.get(), [this, text] { dialogs_.MessageBox(kMessageTitle, text); });
}

bool DesktopHotkeys::anyEnabled() const
{
    return std::any_of(watched_.rows.begin(), watched_.rows.end(),
                       [](const WatchedKeys::Row& row) { return row.enabled; });
}

}  // namespace tolvane
