#include "platform/qt/desktop_hotkeys.h"

#include <QGuiApplication>
#include <QObject>
#include <QTimer>
#include <cstdlib>
#include <vector>

#include "app/form1.h"
#include "hotkeys/values.h"
#include "platform/model/control.h"
#include "platform/model/window.h"
#include "platform/qt/session_lock.h"

namespace tolvane {

DesktopHotkeys::DesktopHotkeys(HotkeySource source, WindowSystem& windows, DialogApi& dialogs,
                               QDBusConnection sessionBus, std::function<void(const std::string&)> errors)
    : windows_(windows), dialogs_(dialogs), errors_(std::move(errors)), guard_(std::make_unique<QObject>())
{
    windows_.addObserver(*this);
    if (source == HotkeySource::X11) {
        useX11();
        return;
    }
    portal_ = std::make_unique<PortalShortcuts>(
        std::move(sessionBus), [this](const PortalShortcuts::Problem& problem) { portalProblem(problem); });
    portal_->onChange([this] { changed(); });
    use(portal_.get());
}

DesktopHotkeys::~DesktopHotkeys()
{
    windows_.removeObserver(*this);
}

void DesktopHotkeys::useX11()
{
    x11_ = std::make_unique<X11Keyboard>("", errors_);
    use(x11_.get());
    if (!x11_->connected()) tell("The Ctrl+Alt hotkeys are off: there is no X11 display to watch the keyboard on.");
}

void DesktopHotkeys::use(KeyboardApi* source)
{
    source_ = source;
    if (x11_) {
        x11_->setKeysOfInterest(interest_);
        x11_->onChange([this] { changed(); });
    }
    changed();
}

void DesktopHotkeys::setKeysOfInterest(std::vector<int> virtualKeys)
{
    interest_ = std::move(virtualKeys);
    if (x11_) x11_->setKeysOfInterest(interest_);
    changed();
}

bool DesktopHotkeys::mayBeDown() const
{
    if (source_ && source_ == x11_.get()) return x11_->mayBeDown();
    if (source_ && source_ == portal_.get()) return portal_->mayBeDown();
    return source_ != nullptr;
}

int16_t DesktopHotkeys::GetAsyncKeyState(int virtualKey)
{
    if (!source_ || (lock_ && lock_->locked())) return 0;
    return source_->GetAsyncKeyState(virtualKey);
}

// loadhkey fills the hotkey window's list right after it has written the cached copies,
// so the list's clearing is the moment they are new. A save happens in the window the user
// sees; a load, at start-up or from "Hot Keys", before the window is shown.
void DesktopHotkeys::listCleared(Control& control)
{
    if (control.name() != "combo1" || control.window().name() != "HK") return;
    settingsRead(control.window().visible());
}

void DesktopHotkeys::settingsRead(bool saved)
{
    if (!program_) return;
    if (portal_ && source_ == portal_.get()) {
        const Form1& form1 = program_->form1();
        std::vector<PortalShortcut> shortcuts;
        for (size_t row = 0; row < 5; ++row)
            if (auto shortcut = portalShortcut(row, form1.hkeychar[row], form1.hkeyflag[row]))
                shortcuts.push_back(*shortcut);
        portal_->bind(std::move(shortcuts), saved);
    }
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
                tell("The Ctrl+Alt hotkeys work only while an X11 window (this program's own, or another "
                     "XWayland program's) has the focus: " + problem.reason + ".");
            else if (x11_ && x11_->connected())
                tell("The Ctrl+Alt hotkeys work only while a window of an XWayland program has the focus, never "
                     "while this program's Wayland windows have it: " + problem.reason + ".");
            else
                tell("The Ctrl+Alt hotkeys are off: " + problem.reason + ".");
            return;
        }
        case PortalShortcuts::Problem::Partial:
            tell("Not every Ctrl+Alt hotkey works: " + problem.reason + ".");
            return;
        case PortalShortcuts::Problem::Refused:
        case PortalShortcuts::Problem::Closed:
            tell("The Ctrl+Alt hotkeys are off: " + problem.reason + ".");
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
    if (!program_) return false;
    const Form1& form1 = program_->form1();
    for (const std::string& flag : form1.hkeyflag)
        if (hotkeyEnabled(flag)) return true;
    return false;
}

}  // namespace tolvane
