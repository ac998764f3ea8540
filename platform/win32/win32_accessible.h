#pragma once
// The program's windows and controls as a screen reader meets them through MSAA. Roles,
// names, descriptions and the labels' actions are the model's
// (platform/model/accessibility.h); this file only puts them into MSAA's terms.
//
// Supported: each control and each window answers WM_GETOBJECT for its client area with
// the system's own accessible object of that control (CreateStdAccessibleObject), through
// a proxy that gives the model's name, role, description and, for a label with a click, its
// default action (a check box without a visible caption is named by its label, a list by its
// row). Everything else (value, state, children, location, navigation) is the system's. A
// change of a name raises EVENT_OBJECT_NAMECHANGE; a change of an announced text (the status
// line, the warning's title) raises EVENT_OBJECT_LIVEREGIONCHANGED as well, for a control
// whose UI Automation LiveSetting is set by Dynamic Annotation (IAccPropServices); an alert
// coming up raises EVENT_SYSTEM_ALERT.
//
// Not supported: Wine's oleacc implements no IAccPropServices (every method answers
// E_NOTIMPL), so under Wine the live setting is not there; the events and the proxies are.
// The web panel is the hosted browser's own.
// Include it after the project's own headers: it brings in <windows.h>.
#include <functional>
#include <optional>

#include <windows.h>

#include "platform/model/accessibility.h"

namespace tolvane {
class Control;
}

namespace tolvane::win32 {

// What the proxy of one window asks, every time: the model's facts while the model object
// is there (nothing once it is gone), and what a label's default action does.
struct AccessibleSource {
    std::function<std::optional<Accessible>()> facts;
    std::function<void()> click;
};

// The answer to WM_GETOBJECT for `hwnd` (0 for what this does not serve: anything but
// OBJID_CLIENT).
LRESULT answerGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam, AccessibleSource source);
// Makes a control answer WM_GETOBJECT with its proxy, and marks an announced one as a live
// region for UI Automation.
void serveAccessible(HWND hwnd, Control& control);
// Asks UI Automation to read the changes of `hwnd`'s client object out when they come (a
// live region, by Dynamic Annotation), or no longer (before the window goes).
void markLive(HWND hwnd, bool live);
// Tells screen readers that the name of `hwnd`'s client object changed; `announce`: it is
// to be read out wherever the focus is.
void tellNameChange(HWND hwnd, bool announce);

}  // namespace tolvane::win32
