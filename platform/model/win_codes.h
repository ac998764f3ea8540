#pragma once
// The Windows numbers that pass through the service interfaces, declared once for the logic,
// the simulator and the backends that stand in for Windows. <windows.h> defines the same
// numbers as macros (VK_CONTROL, EWX_FORCE, ...), so these carry names of their own that no
// macro can replace where a Windows backend includes both.
#include <cstddef>
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

// Shell_NotifyIcon's requests, and the flags of its record that say which fields count.
inline constexpr uint32_t kNimAdd = 0;
inline constexpr uint32_t kNimModify = 1;
inline constexpr uint32_t kNimDelete = 2;
inline constexpr uint32_t kNifMessage = 1;
inline constexpr uint32_t kNifIcon = 2;
inline constexpr uint32_t kNifTip = 4;

// The record Shell_NotifyIcon takes: the first, 88-byte ANSI version of NOTIFYICONDATA. Its
// fields are 32-bit little-endian numbers at these offsets, then the 64-byte tip.
inline constexpr size_t kNotifyRecordSize = 88;
inline constexpr size_t kNotifySizeAt = 0;       // cbSize
inline constexpr size_t kNotifyWindowAt = 4;     // hWnd
inline constexpr size_t kNotifyIdAt = 8;         // uID
inline constexpr size_t kNotifyFlagsAt = 12;     // uFlags
inline constexpr size_t kNotifyCallbackAt = 16;  // uCallbackMessage
inline constexpr size_t kNotifyIconAt = 20;      // hIcon
inline constexpr size_t kNotifyTipAt = 24;       // szTip
inline constexpr size_t kNotifyTipSize = 64;

}  // namespace tolvane
