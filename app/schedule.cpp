// SET and RESET on the main window, and reset.
#include <cmath>

#include "app/form1.h"
#include "app/form2.h"
#include "app/texts.h"
#include "power/actions.h"

namespace tolvane {

void Form1::reset()
{
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Label3.setCaption(kNoSchedule);
    // Nothing is due any more; first intervals shortened on waking are put back, so that
    // the next schedule counts whole minutes (app/moment.cpp).
    dueAt_.reset();
    overdue_ = false;
    Timer1.setInterval(60000);
    Timer4.setInterval(30000);
}

void Form1::Command1_Click()
{
    if (Command1.caption() != "SET") {
        reset();
        Command1.setCaption("SET");
        Timer5.setEnabled(false);
        Timer4.setEnabled(false);
        if (Form2* warning = program.existingForm2()) warning->requestUnload();
        return;
    }

    warntext = Check6.value() == 1 ? kWarningEnabled : kWarningDisabled;
    if (Option1.value()) {
        hourtext = Combo3.text();
        mintext = Combo4.text();
        minsleft = static_cast<int16_t>(std::lround(number(hourtext) * 60 + number(mintext)));
        if (warntext == kWarningEnabled && minsleft == 1) Timer4.setEnabled(true);
        for (int code = 1; code <= kActionCount; ++code) {
            if (Combo1.text() + " " == afterPrefix(code)) {
                Label3.setCaption(afterPrefix(code) + hourtext + ":" + mintext + warntext);
                actcode = static_cast<int16_t>(code);
            }
        }
        Timer1.setEnabled(true);
    } else {
        hourtext = Combo6.text();
        mintext = Combo5.text();
        for (int code = 1; code <= kActionCount; ++code) {
            if (Combo2.text() + " " == atPrefix(code)) {
                Label3.setCaption(atPrefix(code) + hourtext + ":" + mintext + warntext);
                actcode = static_cast<int16_t>(code);
            }
        }
        Timer2.setEnabled(true);
    }
    Command1.setCaption("RESET");
    rememberSet();
    askUnattended();
}

}  // namespace tolvane
