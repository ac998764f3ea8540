// What the system answers to the power actions, told to the user: a refusal or failure when it
// comes, and at SET what will not happen with nobody at the computer.
#include "app/form1.h"
#include "app/texts.h"

namespace tolvane {

// Told once per request: a scheduled action, or one press of a hotkey however long it is held.
void Form1::powerRefused(int16_t action, const std::string& reason)
{
    if (action < 1 || action > kActionCount) return;
    if (!hotkeyMonitor.tellsRefusal(static_cast<size_t>(action - 1))) return;
    platform.dialogs.alert(kMessageTitle, refusedMessage(action, reason));
}

// The answer may come after the schedule was cancelled or set anew: only the schedule it was
// asked for is spoken of.
void Form1::askUnattended()
{
    const int16_t action = actcode;
    const unsigned set = setCount_;
    platform.power.askUnattended(action, [this, action, set](Unattended verdict, const std::string& systemAnswer) {
        if (verdict == Unattended::Yes || set != setCount_ || Command1.caption() == "SET") return;
        platform.dialogs.MessageBox(kMessageTitle, unattendedMessage(action, verdict, systemAnswer));
    });
}

}  // namespace tolvane
