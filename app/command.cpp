// Requests of the command line carried out on the main window, as a user would do them.
#include "app/command.h"

#include "app/form1.h"
#include "app/texts.h"

namespace tolvane {

// A schedule is armed while SET/RESET reads "RESET". A schedule request on an armed one
// presses RESET first; then the option button, the action, the hours, the minutes and the
// warning box are set as the request says, each only where it differs, and SET is pressed.
// Nothing else is touched: the window stays shown or hidden, and Check6 keeps the value
// the request gave it, as after the user's own clicks.
void Form1::carryOut(const Command& command)
{
    const bool armed = Command1.caption() != "SET";
    switch (command.kind) {
        case CommandKind::Cancel:
            if (armed) Command1.userClick();
            return;
        case CommandKind::Show:
        case CommandKind::Start:
            trayHandoff.bringBack();
            return;
        case CommandKind::After:
        case CommandKind::At:
            break;
        default:
            return;
    }
    const bool after = command.kind == CommandKind::After;
    if (armed) Command1.userClick();
    (after ? Option1 : Option2).userClick();
    (after ? Combo1 : Combo2).userSelect(after ? afterLabel(command.actcode) : atLabel(command.actcode));
    (after ? Combo3 : Combo6).userSelect(command.hours);
    (after ? Combo4 : Combo5).userSelect(command.minutes);
    if ((Check6.value() == 1) != command.warn) Check6.userClick();
    Command1.userClick();
}

}  // namespace tolvane
