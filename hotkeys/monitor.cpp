// The hotkey monitor: Timer3 polls the keyboard ten times a second and carries out the
// action of every enabled row whose key is down together with Ctrl and Alt.
#include "app/form1.h"
#include "hotkeys/values.h"
#include "power/power_action.h"

namespace tolvane {

void Form1::Timer3_Timer()
{
    platform.events.processPendingEvents();

    KeyboardApi& keyboard = platform.keyboard;
    // A row that stops firing ends its press: a refusal of its next press is told again.
    auto notFiring = [this](size_t row) { hotkeyFiring_[row] = refusalTold_[row] = false; };
    for (int modifier : kHotkeyModifiers) {
        if ((keyboard.GetAsyncKeyState(modifier) & kKeyDown) == 0) {
            for (size_t row = 0; row < hkeychar.size(); ++row) notFiring(row);
            return;
        }
    }
    for (size_t row = 0; row < hkeychar.size(); ++row) {
        // A row that cannot be evaluated (no key, a flag that is no number) is skipped.
        const auto code = keyCode(hkeychar[row]);
        if (!code || (keyboard.GetAsyncKeyState(*code) & kKeyDown) == 0 || !hotkeyEnabled(hkeyflag[row])) {
            notFiring(row);
            continue;
        }
        hotkeyFiring_[row] = true;
        RunPowerAction(platform.power, static_cast<int16_t>(row + 1));
    }
}

// What the tick reacts to changes only here, and the key-state service hears of it at once.
void Form1::useHotkeys(const HotkeyTexts& chars, const HotkeyTexts& flags, bool saved)
{
    hkeychar = chars;
    hkeyflag = flags;
    platform.keyboard.watch(watchedKeys(hkeychar, hkeyflag, saved));
}

}  // namespace tolvane
