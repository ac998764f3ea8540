#pragma once
// The key state the hotkey monitor polls in the Linux program, the hotkey settings kept
// bound as global shortcuts where that is how keys are seen, and one message to the user
// when the hotkeys cannot work.
//
// - X11: X11's key state (X11Keyboard).
// - Wayland: the portal's global shortcuts (PortalShortcuts). The enabled rows of Form1's
//   cached copies are bound whenever the hotkey window's list is filled again (loadhkey: at
//   start-up, on loading that window, after a save) and they differ from what is bound; a
//   save also tries again a binding that failed. Where the desktop has no global shortcuts
//   and XWayland is there, X11's key state is polled after all, and its limit is said.
// - When the hotkeys cannot work (no X11 display, no portal, a refusal, a row the desktop
//   did not take), the user is told once in a message box, as soon as the settings hold an
//   enabled row; each problem is also written on standard error.
// The logic is not changed: the settings are read from the cached copies after the list
// that loadhkey fills is cleared, which happens after the copies are written.
#include <QDBusConnection>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/model/observer.h"
#include "platform/model/window_system.h"
#include "platform/qt/portal_shortcuts.h"
#include "platform/qt/x11_keyboard.h"
#include "platform/services.h"

class QObject;

namespace tolvane {

class Program;
class SessionLock;

enum class HotkeySource { X11, Portal };

class DesktopHotkeys : public KeyboardApi, public KeyInterest, public ModelObserver {
public:
    // errors: where problems are written (standard error in the program).
    DesktopHotkeys(HotkeySource source, WindowSystem& windows, DialogApi& dialogs, QDBusConnection sessionBus,
                   std::function<void(const std::string&)> errors);
    ~DesktopHotkeys() override;
    DesktopHotkeys(const DesktopHotkeys&) = delete;
    DesktopHotkeys& operator=(const DesktopHotkeys&) = delete;

    // The program whose settings are bound; before its start-up.
    void setProgram(Program& program) { program_ = &program; }
    // While the session is locked, no key is down (for X11 and the portal alike).
    void setSessionLock(const SessionLock* lock) { lock_ = lock; }

    int16_t GetAsyncKeyState(int virtualKey) override;
    void listCleared(Control& control) override;
    // What the key state in use says of the keys of interest; with none at all no key is
    // ever down. A portal shortcut is Ctrl and Alt at once, so only X11 needs to be told.
    bool mayBeDown() const override;
    void setKeysOfInterest(std::vector<int> virtualKeys);

    // The key state in use (X11's, the portal's, or none).
    X11Keyboard* x11() const { return x11_.get(); }
    PortalShortcuts* portal() const { return portal_.get(); }
    KeyboardApi* source() const { return source_; }
    // Whether the user has been told.
    bool told() const { return told_; }

private:
    void useX11();
    // The key state in use is now `source`; its changes are passed on to the listener.
    void use(KeyboardApi* source);
    void settingsRead(bool saved);
    void portalProblem(const PortalShortcuts::Problem& problem);
    void tell(const std::string& text);
    bool anyEnabled() const;

    WindowSystem& windows_;
    DialogApi& dialogs_;
    std::function<void(const std::string&)> errors_;
    Program* program_ = nullptr;
    const SessionLock* lock_ = nullptr;
    std::unique_ptr<X11Keyboard> x11_;
    std::unique_ptr<PortalShortcuts> portal_;
    KeyboardApi* source_ = nullptr;
    std::vector<int> interest_;
    std::optional<std::string> untold_;  // waits for an enabled row
    bool told_ = false;
    std::unique_ptr<QObject> guard_;  // posted messages go with this object
};

}  // namespace tolvane
