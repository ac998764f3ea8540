#pragma once
// Win32 rendering of the window-system model.
//
// Supports: every control kind of the model as its native control (BUTTON, STATIC,
// group-box frames, COMBOBOX CBS_DROPDOWNLIST, LISTBOX, EDIT with its limit and the key
// filter run on WM_CHAR, option-button groups), placed at its twips geometry converted
// with the screen's DPI (twips.h), drop-down lists as high as designed; in tab order
// with the dialog keyboard navigation of IsDialogMessage; layered as the design draws
// them: frames beneath labels, labels (windowless in the design, drawn on their
// container) beneath the windowed controls; a check box or option button that is only
// as wide as its box shows only its box. Each window has its dialog font: the system's
// dialog face ("MS Shell Dlg") at 8 points, or the largest smaller size, in half
// points down to 6, at which every one-line label caption fits the part of its designed
// width that no windowed control lies over. Texts are UTF-8 in the model and the system's
// ANSI code page in the A functions (win32_text.h), both ways. Fixed single-border
// windows with the program icon; interval timers on SetTimer, rescheduled against
// absolute due times so that they do not drift; "let pending events run" with
// PeekMessage; the WebBrowser control hosted by atl.dll's AtlAxWin.
// Not supported: resizing (the windows are fixed), Image controls get a plain icon
// STATIC (the program shows none at run time), and the web panel stays an empty frame
// when the system has no WebBrowser control (Wine without Gecko): the program only
// navigates it once and never reads it back.
// Windows headers stay out of this header (handles travel as void*), because they
// define macros (MessageBox, NIM_ADD, ...) that collide with the service interfaces.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/model/observer.h"
#include "platform/model/twips.h"
#include "platform/model/window_system.h"
#include "platform/services.h"

namespace tolvane::win32 {

class Win32Ui : public ModelObserver, public TimerDriver, public EventLoopApi, public WebApi {
public:
    Win32Ui(WindowSystem& system, void* instance);
    ~Win32Ui() override;
    Win32Ui(const Win32Ui&) = delete;
    Win32Ui& operator=(const Win32Ui&) = delete;

    // ModelObserver
    void windowLoaded(Window& window) override;
    void windowUnloaded(Window& window) override;
    void propertyChanged(Window& window, Control* control, std::string_view property,
                         const PropertyValue& value) override;
    void listCleared(Control& control) override;
    void itemAdded(Control& control, const std::string& item) override;

    // TimerDriver
    void start(Timer& timer) override;
    void stop(Timer& timer) override;

    // EventLoopApi
    void processPendingEvents() override;
    // WebApi
    void Navigate(WebView& view, const std::string& url) override;

    // Runs the message loop until WM_QUIT; returns its exit code.
    int run();

    void* windowHandle(const Window& window) const;
    // The native window of the loaded window with that design name ("Form1"), or null.
    void* windowHandleNamed(const std::string& name) const;
    void* controlHandle(const Control& control) const;
    int dotsPerInch() const { return dpi_; }

    // Window procedure entry points (public for the C callbacks in the .cpp).
    intptr_t handleWindowMessage(void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam);
    intptr_t handleEditMessage(void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam);
    void handleTimerMessage(uintptr_t id);

private:
    struct NativeWindow;
    struct TimerState {
        Timer* timer = nullptr;
        uintptr_t id = 0;
        uint64_t due = 0;  // milliseconds on the monotonic tick count
    };

    void createControl(NativeWindow& native, Control& control);
    void* dialogFont(const Window& window) const;
    void layer(const Window& window);
    void applyControlValue(Control& control);
    void setUnderline(Control& control, bool underline);
    bool dispatchOne();
    NativeWindow* nativeOf(const Window& window) const;
    void arm(TimerState& state, uint64_t now);

    WindowSystem& system_;
    void* instance_;
    int dpi_ = 96;
    void* handCursor_ = nullptr;
    void* timerWindow_ = nullptr;
    std::map<const Window*, std::unique_ptr<NativeWindow>> windows_;
    std::unordered_map<void*, Control*> controlsByHandle_;
    std::unordered_map<const Control*, void*> handlesByControl_;
    std::unordered_map<void*, NativeWindow*> windowsByHandle_;
    std::unordered_map<const Timer*, TimerState> timers_;
    std::unordered_map<uintptr_t, const Timer*> timersById_;
    uintptr_t nextTimerId_ = 1;
    // Echo guard: a change the user made natively is told to the model, whose
    // notification must not be written back into the control being edited.
    const Control* syncing_ = nullptr;
};

}  // namespace tolvane::win32
