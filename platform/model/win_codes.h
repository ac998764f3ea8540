#pragma once
// The Windows numbers that pass through the service interfaces, declared once for the logic,
// the simulator and the backends that stand in for Windows. <windows.h> defines the same
// numbers as macros (VK_CONTROL, EWX_FORCE, ...), so these carry names of their own that no
// macro can replace where a Windows backend includes both.
#include <cstdint>

namespace tolvane {

// Virtual-key codes, as GetAsyncKeyState takes them. The letters and the main block's digits
// are their own capital ASCII codes ('A'..'Z', '0'..'9').
inline constexpr int kVkShift = 16;
inline constexpr int kVkControl = 17;  // either Ctrl key
inline constexpr int kVkMenu = 18;     // either Alt key
inline constexpr int kVkNumpad0 = 96;  // the keypad's 0; its 1 to 9 follow
inline constexpr int kVkNumpad9 = 105;
// The bit of GetAsyncKeyState's answer that says the key is down at this moment.
inline constexpr int16_t kKeyDown = static_cast<int16_t>(0x8000);

// ExitWindowsEx's flags.
inline constexpr uint32_t kEwxLogoff = 0;
inline constexpr uint32_t kEwxShutdown = 1;
inline constexpr uint32_t kEwxReboot = 2;
inline constexpr uint32_t kEwxForce = 4;
inline constexpr uint32_t kEwxPowerOff = 8;

// SetWindowPos: where the window goes in the order, and what it leaves alone.
inline constexpr int kHwndTopmost = -1;
inline constexpr int kHwndNoTopmost = -2;
inline constexpr uint32_t kSwpNoSize = 0x1;
inline constexpr uint32_t kSwpNoMove = 0x2;
inline constexpr uint32_t kSwpNoActivate = 0x10;

// Mouse messages, as the notification area's callback carries them in lParam. The tray control
// asks for its callbacks as kWmMouseMove.
inline constexpr uint32_t kWmMouseMove = 512;
inline constexpr uint32_t kWmLButtonDown = 513;
inline constexpr uint32_t kWmLButtonUp = 514;
inline constexpr uint32_t kWmLButtonDblClk = 515;
inline constexpr uint32_t kWmRButtonDown = 516;
inline constexpr uint32_t kWmRButtonUp = 517;
inline constexpr uint32_t kWmRButtonDblClk = 518;
inline constexpr uint32_t kWmMButtonDown = 519;
inline constexpr uint32_t kWmMButtonUp = 520;

}  // namespace tolvane
