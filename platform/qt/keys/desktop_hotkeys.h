#pragma once
// The key state the hotkey monitor polls in the Linux program, the watched keys kept bound as
// global shortcuts where that is how keys are seen, and one message to the user when the
// hotkeys cannot work.
//
// - X11: X11's key state (X11Keyboard).
// - Wayland: the portal's global shortcuts (PortalShortcuts), on a session bus connection of
//   their own: the portal takes the program's id only on a connection that has made no portal
//   call yet, and Qt reads the portal's settings on the shared one. The enabled rows of the
//   watched keys are bound each time the logic tells them (KeyboardApi::watch: at start-up, on
//   loading the hotkey window, after a save) and they differ from what is bound; a save also
//   tries again a binding that failed. Where the desktop has no global shortcuts and XWayland
//   is there, X11's key state is polled after all, and its limit is said.
// - When the hotkeys cannot work (no X11 display, no portal, a refusal, a row the desktop did
//   not bind as asked), the user is told once in a message box, as soon as the watched keys
//   hold an enabled row, with where the desktop's settings set the keys; each problem is also
//   written on standard error.
// The key state in use tells `keysOfInterest` whether a key of interest may be down (see
// KeySource); with none at all no key is ever down.
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/qt/keys/x11_keyboard.h"
#include "platform/qt/keys/portal_shortcuts.h"
#include "platform/services.h"

class QObject;

namespace tolvane {

class SessionLock;

enum class HotkeySource { X11, Portal };

class DesktopHotkeys : public KeyboardApi {
public:
    // app: who the program is to the desktop's portal. errors: where problems are written
    // (standard error in the program). keysOfInterest: told whether a key of interest may be
    // down, now and at every change.
    DesktopHotkeys(HotkeySource source, DialogApi& dialogs, PortalApp app,
                   std::function<void(const std::string&)> errors, std::function<void(bool)> keysOfInterest);
    ~DesktopHotkeys() override;
    DesktopHotkeys(const DesktopHotkeys&) = delete;
    DesktopHotkeys& operator=(const DesktopHotkeys&) = delete;

    // While the session is locked, no key is down (for X11 and the portal alike).
    void setSessionLock(const SessionLock* lock) { lock_ = lock; }

    int16_t GetAsyncKeyState(int virtualKey) override;
    void watch(const WatchedKeys& keys) override;

    // The key state in use (X11's, the portal's, or none).
    X11Keyboard* x11() const { return x11_.get(); }
    PortalShortcuts* portal() const { return portal_.get(); }
    KeySource* source() const { return source_; }

private:
    void useX11();
    // The key state in use is now `source`: it watches the keys and tells of keys of interest.
    void use(KeySource* source);
    void portalProblem(const PortalShortcuts::Problem& problem);
    void tell(const std::string& text);
    bool anyEnabled() const;

    DialogApi& dialogs_;
    std::function<void(const std::string&)> errors_;
    std::function<void(bool)> keysOfInterest_;
    const SessionLock* lock_ = nullptr;
    std::unique_ptr<X11Keyboard> x11_;
    QString portalBus_;  // the name of the portal's connection
    std::unique_ptr<PortalShortcuts> portal_;
    KeySource* source_ = nullptr;
    WatchedKeys watched_;
    std::optional<std::string> untold_;  // waits for an enabled row
    bool told_ = false;
    std::unique_ptr<QObject> guard_;  // posted messages go with this object
};

}  // namespace tolvane
