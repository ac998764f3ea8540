#pragma once
// The hotkey settings: the settings database, open for the whole run, and the cached copies of
// its two records that the hotkey monitor acts on. loadhkey brings the file's values into the
// copies and the hotkey window; savehkey writes the window's values to the file and reads them
// back.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "power/actions.h"

namespace tolvane {

class HK;

class HotkeySettings {
public:
    // One text for each row, rows 1 to 5 at index 0 to 4.
    using HotkeyTexts = std::array<std::string, kActions.size()>;

    // `hk` gives the hotkey window's one instance, created on first use; `tell` puts a message
    // in front of the user.
    HotkeySettings(Platform& platform, std::function<HK&()> hk, std::function<void(const std::string&)> tell);
    HotkeySettings(const HotkeySettings&) = delete;
    HotkeySettings& operator=(const HotkeySettings&) = delete;

    // Start-up: the database and both recordsets opened.
    void openSettings();
    void loadhkey();
    void savehkey();

    // The hotkey settings as last read.
    HotkeyTexts hkeychar;
    HotkeyTexts hkeyflag;

private:
    void reportSettingsProblem(const std::string& problem);
    // saved: the read follows the user's save in the hotkey window.
    Result<void> readSettings(bool saved);
    // The only writer of the cached copies; tells the key-state service what the monitor
    // watches from now on.
    void useHotkeys(const HotkeyTexts& chars, const HotkeyTexts& flags, bool saved);
    std::string settingsFile() const;

    Platform& platform_;
    std::function<HK&()> hk_;
    std::function<void(const std::string&)> tell_;

    std::unique_ptr<Connection> hkeydb;
    std::unique_ptr<Recordset> kyrs;
    std::unique_ptr<Recordset> enrs;
    // Why the settings cannot be used, once something went wrong with them; while set,
    // the hotkeys are off and the hotkey window does not write.
    std::optional<std::string> settingsProblem_;
};

}  // namespace tolvane
