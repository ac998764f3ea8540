// An armed schedule keeps its moment when the computer sleeps or the clock jumps.
//
// The countdown and clock-check timers count only time the computer is awake, and the
// clock check compares clock readings five seconds apart. While time passes undisturbed
// that is exact and nothing here changes a line of what they do. But a computer that sleeps
// through the moment, or a clock that jumps over it (set by hand or by a time server,
// summer time beginning), would otherwise see the moment a day late or never. So:
// - an "after" delay is counted on the clock since boot, which goes on while the computer
//   sleeps and ignores the wall clock: on waking, the countdown is put back on the delay's
//   own minute grid and the status line shows the minutes really left;
// - an "at" time is reached when the clock shows it or when it went by since the last look
//   (SET or a check); a clock set back passes over nothing, so it gives no early action and,
//   the schedule being over once carried out, no second one;
// - an action whose moment came while nobody could see it comes only after the warning
//   window has counted its 30 seconds, opened at once, whether or not the warning was asked
//   for, so that a person at the computer can still press RESET. A warning that was asked for
//   is never cut short by a sleep: a schedule woken with less than the warning's 30 seconds to
//   go gets the whole window first.
#include <cstdlib>

#include "app/form1.h"
#include "app/form2.h"
#include "app/texts.h"

namespace tolvane {

namespace {

constexpr int kMinuteMs = 60000;   // Timer1's interval: one minute of the delay
constexpr int kWarningMs = 30000;  // Timer4's interval, and how long the warning window shows
// A difference this large between what the wall clock and the clock since boot moved is the
// wall clock being set (or summer time), never their ordinary drift over one check.
constexpr int64_t kClockJumpMs = 1000;

// Starts a timer's count afresh from now with a first interval of its own; the timer's own
// tick puts its designed interval back.
void restart(Timer& timer, int firstInterval)
{
    timer.setEnabled(false);
    timer.setInterval(firstInterval);
    timer.setEnabled(true);
}

// The status line of an "after" schedule with `minsleft` minutes to go, as the countdown
// writes it.
void showMinutesLeft(Form1& form)
{
    form.hourtext = twoDigits(form.minsleft / 60);
    form.mintext = twoDigits(form.minsleft % 60);
    form.Label3.setCaption(afterPrefix(form.actcode) + form.hourtext + ":" + form.mintext + form.warntext);
}

}  // namespace

Form1::ClockReading Form1::readClock() const
{
    return {platform.clock.sinceBoot(), platform.clock.localTime()};
}

void Form1::rememberSet()
{
    ++setCount_;
    afterMode_ = Option1.value();
    overdue_ = false;
    const ClockReading now = readClock();
    lastLook_ = now;
    if (afterMode_)
        dueAt_ = now.sinceBoot + int64_t{minsleft} * kMinuteMs;
    else
        dueAt_.reset();
}

bool Form1::lookPassedTarget(const ClockReading& now, bool slept)
{
    const ClockReading last = lastLook_;
    lastLook_ = now;
    if (now.local < last.local) return false;  // set back: nothing was passed over
    const auto target = static_cast<int64_t>(number(hourtext) * 60 + number(mintext)) * kMinuteMs;
    int64_t start = now.local - timeOfDay(now.local) + target;  // today's target minute...
    if (start > now.local) start -= kDayMs;                     // ...or yesterday's, the latest begun
    if (start + kMinuteMs <= last.local) return false;          // it was over before the last look
    if (now.local >= start + kMinuteMs) return true;            // it came and went unseen
    // The clock shows the target minute. That is the moment reached, as the check expects,
    // unless the minute began while nobody looked: during a sleep, or in a jump of the wall
    // clock (it moved otherwise than the time that passed: set, or summer time).
    const bool jumped =
        slept || std::llabs((now.local - last.local) - (now.sinceBoot - last.sinceBoot)) >= kClockJumpMs;
    return jumped && start > last.local;
}

void Form1::woke()
{
    if (Command1.caption() == "SET") return;  // nothing armed
    const ClockReading now = readClock();
    if (dueAt_) {
        realign(*dueAt_ - now.sinceBoot);
        return;
    }
    if (lookPassedTarget(now, true)) overdue();
}

void Form1::realign(int64_t remaining)
{
    const bool warned = overdue_ || warntext == kWarningEnabled;
    if (remaining <= 0 || (warned && remaining <= kWarningMs)) {
        overdue();
        return;
    }
    // Timer1's ticks fall whole minutes before the moment, the last on it.
    minsleft = static_cast<int16_t>((remaining + kMinuteMs - 1) / kMinuteMs);
    restart(Timer1, static_cast<int>(remaining - int64_t{minsleft - 1} * kMinuteMs));
    showMinutesLeft(*this);
    // Inside the last minute the tick that arms the warning has gone by: the window opens
    // when it would have, the warning's 30 seconds before the moment.
    if (warned && minsleft == 1) restart(Timer4, static_cast<int>(remaining - kWarningMs));
}

void Form1::overdue()
{
    overdue_ = true;
    Timer2.setEnabled(false);
    Timer2.setInterval(5000);  // as the check that carries an action out leaves it
    Timer4.setEnabled(false);
    minsleft = 1;
    dueAt_ = readClock().sinceBoot + kWarningMs;
    if (afterMode_) showMinutesLeft(*this);
    // The countdown's last tick carries the action out, in either mode.
    restart(Timer1, kWarningMs);
    showWarning();
}

}  // namespace tolvane
