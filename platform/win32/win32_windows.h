#pragma once
// The model's windows as native top-level windows holding their native controls
// (win32_controls.h): made when a window loads, changed as the model tells, gone when it
// unloads; and what the user does to them, told to the model.
//
// Supports: fixed single-border windows with the program icon, a title bar and the close
// box, whose client area and controls are their twips converted with the screen's DPI
// (twips.h); the controls made in tab order, which the dialog manager's Tab walk follows,
// and layered as the design draws them: frames beneath labels, labels (windowless in the
// design, drawn on their container) beneath the windowed controls. Each window has its
// dialog font (win32_dialog_font.h). The close box is a request the model may refuse; the
// end of the session is never refused. A window gives the focus back to the control that
// had it when it is activated again. Link labels are blue with the hand pointer. Texts
// are UTF-8 in the model and the system's ANSI code page in the A functions
// (win32_text.h), both ways. Each control carries its design name as a global atom in the
// window property "TolvaneName", so that a test driver in another process can find it.
// The arrow keys move among the option buttons of a group and choose, on the model's rule.
// Each window and control is read by screen readers as the model says (win32_accessible.h).
// Not supported: resizing (the windows are fixed).
// Each native window keeps what it serves, its NativeWindow, in the window itself
// (window_class.h); nothing is global.
// Windows headers stay out of this header (handles travel as void*).
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/model/observer.h"

namespace tolvane {
class WindowSystem;
}

namespace tolvane::win32 {

class Win32WebPanel;

class Win32Windows : public ModelObserver {
public:
    Win32Windows(WindowSystem& system, void* instance, Win32WebPanel& web);
    ~Win32Windows() override;
    Win32Windows(const Win32Windows&) = delete;
    Win32Windows& operator=(const Win32Windows&) = delete;

    void windowLoaded(Window& window) override;
    void windowUnloaded(Window& window) override;
    void propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value) override;
    void listCleared(Control& control) override;
    void itemAdded(Control& control, const std::string& item) override;

    int dotsPerInch() const { return dpi_; }
    void* windowHandle(const Window& window) const;
    // The native window of the loaded window with that design name ("Form1"), or null.
    void* windowHandleNamed(const std::string& name) const;
    void* controlHandle(const Control& control) const;
    // Whether `hwnd` is the native window of a loaded window of the model.
    bool isProgramWindow(void* hwnd) const;
    // A key pressed in `hwnd`: an arrow key on an option button moves to the next one of its
    // group and chooses it. True when it did (the dialog manager is then not asked).
    bool arrowKey(void* hwnd, unsigned message, uintptr_t key);

    // A native window and what it serves (defined in the .cpp).
    struct NativeWindow;
    // The window procedure's entry (public for the C callback in the .cpp).
    intptr_t handleWindowMessage(NativeWindow& native, unsigned message, uintptr_t wParam, intptr_t lParam);

private:
    NativeWindow* nativeOf(const Window& window) const;
    void createControl(NativeWindow& native, Control& control);
    void layer(NativeWindow& native);
    void setUnderline(Control& control, bool underline);
    // Tells screen readers of every name in the window that is not what they were last told.
    void tellNameChanges(NativeWindow& native);

    WindowSystem& system_;
    void* instance_;
    Win32WebPanel& web_;
    int dpi_ = 96;
    void* handCursor_ = nullptr;
    std::map<const Window*, std::unique_ptr<NativeWindow>> windows_;
    // Echo guard: a change the user made natively is told to the model, whose
    // notification must not be written back into the control being edited.
    const Control* typing_ = nullptr;
};

}  // namespace tolvane::win32
