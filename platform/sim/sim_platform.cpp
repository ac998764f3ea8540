#include "platform/sim/sim_platform.h"

#include <cstdio>

#include "platform/model/text_encoding.h"
#include "platform/model/timer.h"
#include "platform/model/win_codes.h"
#include "platform/model/window.h"
#include "platform/sim/recording_store.h"
#include "platform/sqlite/sqlite_store.h"
#include "power/actions.h"
#include "tray/notify_record.h"

namespace tolvane {

namespace {
std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}
}  // namespace

SimPlatform::SimPlatform(std::string windowsDirectory, std::string defaultSettings, Transcript::Sink sink)
    : windowsDirectory_(std::move(windowsDirectory)), transcript_(loop_, std::move(sink))
{
    windows_.setTimerDriver(&loop_);
    // A timer that may rest while no key of interest is down (the hotkey monitor) does
    // nothing but let pending events run while every key is up, which is the rest this
    // platform gives it: it knows every key, so it need not ask which are of interest. Reading
    // a key state here changes nothing (there is no "pressed since the last call" bit) and is
    // not written to the transcript. A test that puts its own handler on such a timer holds a
    // key or turns skipping off, or it misses those ticks.
    loop_.setQuietRule(
        [this](const Timer& timer) { return keysDown_.empty() && timer.rest() == TimerRest::WhileNoKeyIsDown; });
    windows_.addObserver(transcript_);
    store_ = std::make_unique<RecordingStore>(std::make_unique<SqliteStore>(std::move(defaultSettings)), transcript_);
    platform_ = std::make_unique<Platform>(
        Platform{windows_, loop_, *this, *this, loop_, *this, *this, *this, *this, *this, *this, *this, *store_});
}

SimPlatform::~SimPlatform()
{
    windows_.setTimerDriver(nullptr);
}

uintptr_t SimPlatform::GetCurrentProcess()
{
    transcript_.write("GetCurrentProcess()");
    return static_cast<uintptr_t>(-1);
}

bool SimPlatform::OpenProcessToken(uintptr_t, uint32_t desiredAccess, uintptr_t& token)
{
    transcript_.write("OpenProcessToken(" + hex(desiredAccess) + ")");
    token = 0x44;
    return true;
}

bool SimPlatform::LookupPrivilegeValueA(const char* systemName, const char* name, Luid& luid)
{
    transcript_.write("LookupPrivilegeValueA(" + quote(systemName) + ", " + quote(name) + ")");
    luid = {19, 0};
    return true;
}

bool SimPlatform::AdjustTokenPrivileges(uintptr_t, bool disableAll, const TokenPrivileges<1>&, uint32_t bufferLength,
                                        TokenPrivileges<2>&, uint32_t& returnLength)
{
    transcript_.write("AdjustTokenPrivileges(" + std::to_string(disableAll ? 1 : 0) + ", " +
                      std::to_string(bufferLength) + ")");
    returnLength = 0;
    return true;
}

bool SimPlatform::recordPower(const std::string& call, int16_t action)
{
    const std::string line = powerFailure_ ? call + " -> error: " + *powerFailure_ : call;
    powerCalls_.push_back(line);
    transcript_.write(line);
    if (!powerFailure_) return true;
    if (refused) refused(action, *powerFailure_);
    return false;
}

bool SimPlatform::ExitWindowsEx(uint32_t flags, uint32_t reserved)
{
    return recordPower(exitWindowsExText(flags, reserved), actionNumber(decodeExitWindowsEx(flags).action));
}

bool SimPlatform::SetSystemPowerState(bool suspend, bool force)
{
    return recordPower(setSystemPowerStateText(suspend, force),
                       actionNumber(decodeSetSystemPowerState(suspend, force).action));
}

int16_t SimPlatform::GetAsyncKeyState(int virtualKey)
{
    return keysDown_.count(virtualKey) != 0 ? kKeyDown : int16_t{0};
}

bool SimPlatform::Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& bytes)
{
    const NotifyRecord record = NotifyRecord::fromBytes(bytes);
    std::string line = "Shell_NotifyIcon(" + notifyMessageName(message) + ", uID=" + std::to_string(record.uID) +
                       ", uFlags=" + std::to_string(record.uFlags);
    if ((record.uFlags & kNifTip) != 0) line += ", szTip=" + quote(fromAnsi(record.tipText()));
    transcript_.write(line + ")");

    const auto id = std::make_pair(record.hWnd, record.uID);
    auto icon = icons_.find(id);
    switch (message) {
        case kNimAdd:
            if (icon != icons_.end()) return false;
            icons_[id] = bytes;
            return true;
        case kNimModify:
            if (icon == icons_.end()) return false;
            icon->second = bytes;
            return true;
        case kNimDelete:
            if (icon == icons_.end()) return false;
            icons_.erase(icon);
            return true;
        default:
            return false;
    }
}

bool SimPlatform::trayMessages(const std::vector<uint32_t>& messages)
{
    if (icons_.empty()) return false;
    const auto id = icons_.begin()->first;
    for (uint32_t message : messages) {
        // The shell only reports activity on an icon that is still there.
        auto icon = icons_.find(id);
        if (icon == icons_.end()) break;
        const NotifyRecord record = NotifyRecord::fromBytes(icon->second);
        auto window = messageWindows_.find(record.hWnd);
        if (window != messageWindows_.end()) window->second(record.uCallbackMessage, message);
    }
    return true;
}

uint32_t SimPlatform::createMessageWindow(MessageHandler handler)
{
    messageWindows_[nextWindow_] = std::move(handler);
    return nextWindow_++;
}

void SimPlatform::destroyMessageWindow(uint32_t hWnd)
{
    messageWindows_.erase(hWnd);
}

void SimPlatform::InitCommonControls()
{
    transcript_.write("InitCommonControls()");
}

bool SimPlatform::SetWindowPos(Window& window, int insertAfter, int x, int y, int cx, int cy, uint32_t flags)
{
    transcript_.write("SetWindowPos(" + window.name() + ", " + std::to_string(insertAfter) + ", " + std::to_string(x) +
                      ", " + std::to_string(y) + ", " + std::to_string(cx) + ", " + std::to_string(cy) + ", " +
                      hex(flags) + ")");
    return true;
}

uint32_t SimPlatform::pictureHandle(const std::string&)
{
    return 0x2A;
}

void SimPlatform::MessageBox(const std::string& title, const std::string& text)
{
    transcript_.write("MessageBox(" + quote(title) + ", " + quote(text) + ")");
}

double SimPlatform::Shell(const std::string& commandLine, int windowStyle)
{
    transcript_.write("Shell(" + quote(commandLine) + ", " + std::to_string(windowStyle) + ")");
    return nextTask_++;
}

void SimPlatform::Navigate(WebView&, const std::string& url)
{
    transcript_.write("Navigate(" + quote(url) + ")");
}

}  // namespace tolvane
