// The hotkey monitor: Timer3 polls the keyboard ten times a second and carries out the
// action of every enabled row whose key is down together with Ctrl and Alt.
#include "app/form1.h"
#include "hotkeys/values.h"
#include "power/power_action.h"

namespace tolvane {

void Form1::Timer3_Timer()
{
    platform.events.processPendingEvents();

    constexpr int VK_CONTROL = 17, VK_MENU = 18;
    constexpr int16_t kDown = static_cast<int16_t>(0x8000);
    KeyboardApi& keyboard = platform.keyboard;
    if ((keyboard.GetAsyncKeyState(VK_CONTROL) & kDown) == 0) return;
    if ((keyboard.GetAsyncKeyState(VK_MENU) & kDown) == 0) return;
    for (size_t row = 0; row < 5; ++row) {
        // A row that cannot be evaluated (no key, a flag that is no number) is skipped.
        const auto code = keyCode(hkeychar[row]);
        if (!code) continue;
        const int16_t state = keyboard.GetAsyncKeyState(*code);
        if ((state & kDown) != 0 && hotkeyEnabled(hkeyflag[row]))
            RunPowerAction(platform.power, static_cast<int16_t>(row + 1));
    }
}

}  // namespace tolvane
