#include "hotkeys/monitor.h"

#include "hotkeys/values.h"
#include "power/power_action.h"

namespace tolvane {

void HotkeyMonitor::tick()
{
    platform_.events.processPendingEvents();

    KeyboardApi& keyboard = platform_.keyboard;
    const HotkeySettings::HotkeyTexts& hkeychar = settings_.hkeychar;
    // A row that stops firing ends its press: a refusal of its next press is told again.
    auto notFiring = [this](size_t row) { firing_[row] = refusalTold_[row] = false; };
    for (int modifier : kHotkeyModifiers) {
        if ((keyboard.GetAsyncKeyState(modifier) & kKeyDown) == 0) {
            for (size_t row = 0; row < hkeychar.size(); ++row) notFiring(row);
            return;
        }
    }
    for (size_t row = 0; row < hkeychar.size(); ++row) {
        // A row that cannot be evaluated (no key, a flag that is no number) is skipped.
        const auto code = keyCode(hkeychar[row]);
        if (!code || (keyboard.GetAsyncKeyState(*code) & kKeyDown) == 0 || !hotkeyEnabled(settings_.hkeyflag[row])) {
            notFiring(row);
            continue;
        }
        firing_[row] = true;
        RunPowerAction(platform_.power, static_cast<int16_t>(row + 1));
    }
}

bool HotkeyMonitor::tellsRefusal(size_t row)
{
    if (!firing_[row]) return true;
    if (refusalTold_[row]) return false;
    refusalTold_[row] = true;
    return true;
}

}  // namespace tolvane
