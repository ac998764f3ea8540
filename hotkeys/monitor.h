#pragma once
// The hotkey monitor: each tick of Timer3 polls the keyboard and carries out the action of
// every enabled row whose key is down together with Ctrl and Alt.
#include <array>
#include <cstddef>

#include "hotkeys/settings.h"
#include "platform/platform.h"
#include "power/actions.h"

namespace tolvane {

class HotkeyMonitor {
public:
    // The monitor acts on the settings' cached copies as they are at each tick.
    HotkeyMonitor(Platform& platform, const HotkeySettings& settings) : platform_(platform), settings_(settings) {}

    // One tick of Timer3.
    void tick();
    // Whether a refusal of row's action (row 1 to 5 at index 0 to 4) is told now. A request is
    // one scheduled action, or one press of a hotkey however long it is held: the monitor asks
    // again ten times a second while the keys are down, and each of those calls may be refused
    // again, but the user hears of it once per press.
    bool tellsRefusal(size_t row);

private:
    Platform& platform_;
    const HotkeySettings& settings_;
    // Rows that fired at the last tick, and those of them whose refusal has been told.
    std::array<bool, kActions.size()> firing_{};
    std::array<bool, kActions.size()> refusalTold_{};
};

}  // namespace tolvane
