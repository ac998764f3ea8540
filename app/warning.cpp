// The pre-action warning: the option, the 30-second arming timer and the countdown
// in the warning window's title.
#include "app/form1.h"
#include "app/form2.h"
#include "app/texts.h"

namespace tolvane {

void Form1::Label9_Click()
{
    Check6.setValue(Check6.value() == 1 ? 0 : 1);
}

void Form1::Timer4_Timer()
{
    showWarning();
    Timer4.setEnabled(false);
    // A first interval shortened on waking is over (app/moment.cpp).
    Timer4.setInterval(30000);
}

void Form1::showWarning()
{
    Form2& warning = program.form2();
    warning.load();
    warning.setVisible(true);
    warnsecs = 29;
    // A countdown that already runs (the window shown before a sleep) starts from the top.
    Timer5.setEnabled(false);
    Timer5.setEnabled(true);
}

void Form1::Timer5_Timer()
{
    // The window may have been closed with its close box; the countdown goes on without it.
    Form2* warning = program.existingForm2();
    if (warning) warning->setCaption(afterPrefix(actcode) + signedText(warnsecs) + " Seconds");
    if (warnsecs == 0) {
        Timer5.setEnabled(false);
        if (warning) warning->requestUnload();
    }
    warnsecs = static_cast<int16_t>(warnsecs - 1);
}

}  // namespace tolvane
