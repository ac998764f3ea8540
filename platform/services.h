#pragma once
// The operating-system services the program's logic calls, one small interface each,
// with the operations and arguments the program passes and no OS type in them. Each
// backend (simulated, Qt/Linux, Win32) implements them; the logic never calls the OS.
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/result.h"
#include "model/win_codes.h"

namespace tolvane {

class Window;
class WebView;

// The privilege calls of the shutdown privilege set-up, as the Windows API names them.
struct Luid {
    uint32_t lowPart = 0;
    int32_t highPart = 0;
};
// TOKEN_PRIVILEGES with room for `N` entries, byte for byte as Windows lays it out.
template <int N>
struct TokenPrivileges {
    uint32_t privilegeCount = 0;
    struct Entry {
        Luid luid;
        uint32_t attributes = 0;
    } privileges[N]{};
};

class PrivilegeApi {
public:
    virtual ~PrivilegeApi() = default;
    virtual uintptr_t GetCurrentProcess() = 0;
    virtual bool OpenProcessToken(uintptr_t process, uint32_t desiredAccess, uintptr_t& token) = 0;
    virtual bool LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid) = 0;
    virtual bool AdjustTokenPrivileges(uintptr_t token, bool disableAll, const TokenPrivileges<1>& newState,
                                       uint32_t bufferLength, TokenPrivileges<2>& previousState,
                                       uint32_t& returnLength) = 0;
};

// What the system says, before an action is due, of carrying it out with nobody at the computer.
enum class Unattended {
    Yes,
    NeedsPassword,  // the system will ask for a password at that moment (logind's "challenge")
    NotAllowed,     // the system will refuse it ("no"), or cannot do it at all ("na")
};

// The five power calls. A call that the system refuses or that fails is told to `refused`, at
// once or when the system's answer comes; the result returned only says whether the request
// could be made.
class PowerApi {
public:
    virtual ~PowerApi() = default;
    virtual bool ExitWindowsEx(uint32_t flags, uint32_t reserved) = 0;
    virtual bool SetSystemPowerState(bool suspend, bool force) = 0;
    // Asks whether `action` (a PowerAction number) can be carried out unattended; `answer` is
    // called later with the verdict and the system's own words for it, or never where the
    // system has no way to tell (then nothing is known against it).
    using UnattendedAnswer = std::function<void(Unattended verdict, const std::string& systemAnswer)>;
    virtual void askUnattended(int16_t /*action*/, UnattendedAnswer /*answer*/) {}

    // Set by the program: told, once per call, of a call the system refused or that failed,
    // with the action it stands for (a PowerAction number) and the system's reason in its own
    // words.
    std::function<void(int16_t action, const std::string& reason)> refused;
};

// What the hotkey monitor acts on, as the logic tells the key-state service each time it reads
// the hotkey settings: a row's action is carried out while every one of `modifiers` (Ctrl and
// Alt) and the row's key are down. Key codes are Windows virtual-key codes.
struct WatchedKeys {
    struct Row {
        int virtualKey = 0;  // 0: the row names no key and never fires
        bool enabled = false;
        bool operator==(const Row&) const = default;
    };
    // The keys of interest: while none of them is down, nothing can fire, and a timer marked
    // TimerRest::WhileNoKeyIsDown may rest.
    std::vector<int> modifiers;
    // One per action, in PowerAction order (row 0 is shutdown).
    std::vector<Row> rows;
    // The user has just saved these settings: a service that could not take them before tries
    // again.
    bool saved = false;
};

// Whether a key is down right now, GetAsyncKeyState style: bit 15 set while it is.
// Key codes are Windows virtual-key codes (17 Ctrl, 18 Alt, 'A'..'Z', '0'..'9', ...).
class KeyboardApi {
public:
    virtual ~KeyboardApi() = default;
    virtual int16_t GetAsyncKeyState(int virtualKey) = 0;
    // The keys that matter from now on. A service that only ever answers when asked has
    // nothing to do with them; one that must bind keys or learns of presses as they happen
    // (the desktop portal, X11's raw events) takes them from here.
    virtual void watch(const WatchedKeys&) {}
};

// The notification area. Requests carry the 88-byte ANSI NOTIFYICONDATA record; the
// shell keeps one icon per (hWnd, uID) and sends mouse activity on an icon to the
// window hWnd names, as callback messages with the mouse message in lParam.
// The record's layout and the requests' numbers are in platform/model/win_codes.h.
using NotifyIconRecord = std::array<uint8_t, kNotifyRecordSize>;

// "NIM_ADD", "NIM_MODIFY", "NIM_DELETE", or the number of any other request.
inline std::string notifyMessageName(uint32_t message)
{
    switch (message) {
        case kNimAdd:
            return "NIM_ADD";
        case kNimModify:
            return "NIM_MODIFY";
        case kNimDelete:
            return "NIM_DELETE";
        default:
            return std::to_string(message);
    }
}

class ShellApi {
public:
    virtual ~ShellApi() = default;
    virtual bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) = 0;
    // A hidden window of the caller's that receives the shell's callback messages.
    using MessageHandler = std::function<void(uint32_t message, uint32_t lParam)>;
    virtual uint32_t createMessageWindow(MessageHandler handler) = 0;
    virtual void destroyMessageWindow(uint32_t hWnd) = 0;
};

// Screen, pictures and the few window-manager calls the program makes itself.
class DisplayApi {
public:
    virtual ~DisplayApi() = default;
    virtual void InitCommonControls() = 0;
    virtual bool SetWindowPos(Window& window, int insertAfter, int x, int y, int cx, int cy, uint32_t flags) = 0;
    virtual int twipsPerPixelX() = 0;
    // The handle of a picture resource ("tolvane" is the program's icon).
    virtual uint32_t pictureHandle(const std::string& name) = 0;
};

// A message box with the given title, the text, an OK button and no icon.
class DialogApi {
public:
    virtual ~DialogApi() = default;
    virtual void MessageBox(const std::string& title, const std::string& text) = 0;
    // A message about something that happened while nobody may be looking (an action that
    // did not happen): a message box, and where the desktop may keep that box out of sight
    // behind other windows, a desktop notification besides.
    virtual void alert(const std::string& title, const std::string& text) { MessageBox(title, text); }
};

// Starting a command line ("explorer.exe ADDRESS") with a window style; returns the task id.
class LauncherApi {
public:
    virtual ~LauncherApi() = default;
    virtual double Shell(const std::string& commandLine, int windowStyle) = 0;
};

// The embedded web view's one operation the program uses.
class WebApi {
public:
    virtual ~WebApi() = default;
    virtual void Navigate(WebView& view, const std::string& url) = 0;
};

// The two clocks a schedule follows, and the one event that moves both at once.
class ClockApi {
public:
    virtual ~ClockApi() = default;
    // Milliseconds since the computer started, on a clock that goes on while the computer
    // sleeps and that setting the wall clock leaves alone: what a delay is counted on.
    virtual int64_t sinceBoot() = 0;
    // The local wall clock: milliseconds since 1970-01-01 00:00 of the local calendar, the day
    // and time of day the clock shows (not UTC). It jumps when the clock is set and when
    // summer time begins or ends.
    virtual int64_t localTime() = 0;

    // Set by the program: told at once when the computer wakes from sleep or hibernation.
    // Interval timers count only time awake, so what was due meanwhile is late until then.
    std::function<void()> woke;
};

inline constexpr int64_t kDayMs = 24LL * 60 * 60 * 1000;

// The time of day of a localTime() reading, in milliseconds from midnight.
inline int64_t timeOfDay(int64_t localTime)
{
    return (localTime % kDayMs + kDayMs) % kDayMs;
}

// "hh:mm:ss" of a localTime() reading, 24-hour clock.
inline std::string timeOfDayText(int64_t localTime)
{
    const int64_t ms = timeOfDay(localTime);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60));
    return text;
}

class EventLoopApi {
public:
    virtual ~EventLoopApi() = default;
    // Lets the events that are waiting run now (the running handler is not re-entered).
    virtual void processPendingEvents() = 0;
};

// Where the settings file lives: the folder that plays the Windows directory.
class EnvironmentApi {
public:
    virtual ~EnvironmentApi() = default;
    // The "windir" variable when it is set, otherwise the platform's own folder.
    virtual std::string windowsDirectory() = 0;
    virtual char pathSeparator() = 0;
};

// The settings store, shaped as the ADO objects it stands for: a connection, and
// updatable recordsets positioned on their first record with fields addressed by position.
struct FieldValue {
    bool isText = true;
    std::string text;
    int16_t number = 0;
};

class Recordset {
public:
    virtual ~Recordset() = default;
    // Fields.Item(position).Value of the current record, converted to text.
    virtual Result<std::string> fieldText(int16_t position) = 0;
    virtual Result<void> setField(int16_t position, const FieldValue& value) = 0;
    virtual Result<void> update() = 0;
    // Drops the values set since the last update (ADO's CancelUpdate), so that reading
    // gives what is stored again; nothing to drop is no failure.
    virtual Result<void> cancelUpdate() = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual Result<void> open(const std::string& connectionString, const std::string& userId,
                              const std::string& password, int options) = 0;
    virtual Result<std::unique_ptr<Recordset>> openRecordset(const std::string& source, int cursorType, int lockType,
                                                             int options) = 0;
    virtual Result<void> beginTrans() = 0;
    virtual Result<void> commitTrans() = 0;
    virtual Result<void> rollbackTrans() = 0;
};

class StoreApi {
public:
    virtual ~StoreApi() = default;
    virtual std::unique_ptr<Connection> createConnection() = 0;
};

}  // namespace tolvane
