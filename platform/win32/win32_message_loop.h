#pragma once
// The GUI thread's message loop: the program's run until WM_QUIT, and "let pending events
// run" for the logic. Messages for the program's own windows go through the dialog
// manager first (IsDialogMessage), which gives them the keyboard navigation of a dialog:
// Tab and Shift+Tab in the tab order, the arrow keys in an option group, Enter on the
// focused button.
// Windows headers stay out of this header.
#include "platform/services.h"

namespace tolvane::win32 {

class Win32Windows;

class Win32MessageLoop : public EventLoopApi {
public:
    explicit Win32MessageLoop(Win32Windows& windows) : windows_(windows) {}

    // Runs what is waiting now, up to a bound, so that a steady stream of messages cannot
    // hold the caller forever; a WM_QUIT met on the way is left for run().
    void processPendingEvents() override;
    // Runs the message loop until WM_QUIT; returns its exit code.
    int run();

private:
    Win32Windows& windows_;
};

}  // namespace tolvane::win32
