#pragma once
// The simulated platform: every service the logic calls, recorded in the transcript
// instead of performed, over simulated time. Power requests are never carried out.
//
// Supports: every service of the program; one icon per (hWnd, uID) in the notification
// area; key state set by the test; the settings store on SQLite (the same engine and
// file format as the Linux program), with its calls recorded. While no key is down, the
// ticks of a timer that rests while no key of interest is down (the hotkey monitor) that find
// nothing else due are passed over in one step: such a tick only lets pending events run and
// finds every key up, and key-state queries leave no trace, so the transcript is the same and
// long spans cost no time.
// Does not: draw anything; windows are only the model's state.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_loop.h"
#include "platform/sim/transcript.h"

namespace tolvane {

// What a test or the scenario runner does to the simulated world.
class SimControls {
public:
    virtual ~SimControls() = default;
    virtual void advance(int64_t ms) = 0;
    // The computer sleeps for `ms` and wakes (SimLoop::suspend).
    virtual void suspend(int64_t ms) = 0;
    virtual void setWallClock(int64_t msOfDay) = 0;
    // From now on every power call fails with `reason` as the system's words; none: they succeed.
    virtual void failPower(std::optional<std::string> reason) = 0;
    virtual void keyDown(int virtualKey) = 0;
    virtual void keyUp(int virtualKey) = 0;
    // Mouse messages on the notification-area icon (kWmLButtonDown, ...). False without icon.
    virtual bool trayMessages(const std::vector<uint32_t>& messages) = 0;
    // Passing over the hotkey monitor's idle ticks: on unless a test turns it off to
    // compare with the tick-by-tick run; and how many ticks it has passed over.
    virtual void setIdleSkipping(bool on) = 0;
    virtual uint64_t idleTicksPassedOver() const = 0;
};

class SimPlatform : public SimControls,
                    private PrivilegeApi,
                    private PowerApi,
                    private KeyboardApi,
                    private ShellApi,
                    private DisplayApi,
                    private DialogApi,
                    private LauncherApi,
                    private WebApi,
                    private EnvironmentApi {
public:
    // windowsDirectory: the folder that plays the Windows directory; defaultSettings: the
    // delivered settings file put there when it has none.
    SimPlatform(std::string windowsDirectory, std::string defaultSettings, Transcript::Sink sink);
    ~SimPlatform() override;

    Platform& platform() { return *platform_; }
    // Before the program starts: the folder that plays the Windows directory.
    void setWindowsDirectory(std::string folder) { windowsDirectory_ = std::move(folder); }
    Transcript& transcript() { return transcript_; }
    SimLoop& loop() { return loop_; }
    // Every power call made so far, as written in the transcript.
    const std::vector<std::string>& powerCalls() const { return powerCalls_; }
    // What the key state was last told to watch (nothing is written: the transcript stays
    // what it was before the logic told it).
    const WatchedKeys& watchedKeys() const { return watched_; }

    void advance(int64_t ms) override { loop_.advance(ms); }
    void suspend(int64_t ms) override { loop_.suspend(ms); }
    void setWallClock(int64_t msOfDay) override { loop_.setWallClock(msOfDay); }
    void failPower(std::optional<std::string> reason) override { powerFailure_ = std::move(reason); }
    void keyDown(int virtualKey) override { keysDown_.insert(virtualKey); }
    void keyUp(int virtualKey) override { keysDown_.erase(virtualKey); }
    bool trayMessages(const std::vector<uint32_t>& messages) override;
    void setIdleSkipping(bool on) override { loop_.setSkipping(on); }
    uint64_t idleTicksPassedOver() const override { return loop_.ticksPassedOver(); }

private:
    uintptr_t GetCurrentProcess() override;
    bool OpenProcessToken(uintptr_t process, uint32_t desiredAccess, uintptr_t& token) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid) override;
    bool AdjustTokenPrivileges(uintptr_t token, bool disableAll, const TokenPrivileges<1>& newState,
                               uint32_t bufferLength, TokenPrivileges<2>& previousState,
                               uint32_t& returnLength) override;
    bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
    bool SetSystemPowerState(bool suspend, bool force) override;
    int16_t GetAsyncKeyState(int virtualKey) override;
    void watch(const WatchedKeys& keys) override { watched_ = keys; }
    bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) override;
    uint32_t createMessageWindow(MessageHandler handler) override;
    void destroyMessageWindow(uint32_t hWnd) override;
    void InitCommonControls() override;
    bool SetWindowPos(Window& window, int insertAfter, int x, int y, int cx, int cy, uint32_t flags) override;
    int twipsPerPixelX() override { return 15; }
    uint32_t pictureHandle(const std::string& name) override;
    void MessageBox(const std::string& title, const std::string& text) override;
    double Shell(const std::string& commandLine, int windowStyle) override;
    void Navigate(WebView& view, const std::string& url) override;
    std::string windowsDirectory() override { return windowsDirectory_; }
    char pathSeparator() override { return '/'; }

    // Writes the call, with the failure when power calls fail; false then, and `refused` is told.
    bool recordPower(const std::string& call, int16_t action);

    std::string windowsDirectory_;
    SimLoop loop_;
    Transcript transcript_;
    WindowSystem windows_;
    std::unique_ptr<StoreApi> store_;
    std::unique_ptr<Platform> platform_;
    std::set<int> keysDown_;
    WatchedKeys watched_;
    std::map<uint32_t, MessageHandler> messageWindows_;
    uint32_t nextWindow_ = 0x10;
    // The notification area: icons by (hWnd, uID).
    std::map<std::pair<uint32_t, uint32_t>, NotifyIconRecord> icons_;
    std::vector<std::string> powerCalls_;
    std::optional<std::string> powerFailure_;
    double nextTask_ = 1000;
};

}  // namespace tolvane
