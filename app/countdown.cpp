// The two timers that bring an armed schedule to its action: the "after" countdown
// (Timer1, once a minute) and the "at" clock check (Timer2, every five seconds).
#include "app/form1.h"
#include "app/texts.h"
#include "power/power_action.h"

namespace tolvane {

void Form1::carryOutSchedule()
{
    reset();
    Command1.setCaption("SET");
    RunPowerAction(platform.power, actcode);
}

void Form1::Timer1_Timer()
{
    // A first tick shortened on waking is over: the minutes go on from here.
    if (Timer1.interval() != 60000) Timer1.setInterval(60000);
    if (minsleft <= 1) {
        carryOutSchedule();
        return;
    }
    minsleft = static_cast<int16_t>(minsleft - 1);
    const int minutes = static_cast<int>(number(mintext));
    if (minutes > 0) {
        mintext = twoDigits(minutes - 1);
    } else {
        mintext = "59";
        hourtext = twoDigits(static_cast<int>(number(hourtext)) - 1);
    }
    Label3.setCaption(afterPrefix(actcode) + hourtext + ":" + mintext + warntext);
    if (warntext == kWarningEnabled && minsleft == 1) Timer4.setEnabled(true);
}

void Form1::Timer2_Timer()
{
    if (Timer2.interval() == 60000) Timer2.setInterval(5000);
    const ClockReading now = readClock();
    nowhm = timeOfDayText(now.local).substr(0, 5);
    nowmins = std::to_string(static_cast<int>(number(nowhm.substr(0, 2)) * 60 + number(nowhm.substr(3, 2))));
    const double difference = (number(hourtext) * 60 + number(mintext)) - number(nowmins);
    if (lookPassedTarget(now, false)) {
        overdue();
        return;
    }
    // A target of 00:00 is one minute ahead at 23:59 too: the warning wraps round midnight.
    const bool oneMinuteAhead = difference == 1 || difference == 1 - 24 * 60;
    if (warntext == kWarningEnabled && oneMinuteAhead) {
        Timer4.setEnabled(true);
        Timer2.setInterval(60000);
    }
    if (hourtext + ":" + mintext == nowhm) carryOutSchedule();
}

}  // namespace tolvane
