#pragma once
// Runs the model's interval timers on Qt's event loop.
//
// Each running model timer has one repeating QTimer of type Qt::PreciseTimer: it is due
// every interval counted from its start, without the 5 % slack of coarse timers, and
// Qt counts each next expiry from the previous one, so late ticks do not add up to drift.
// A timer of two seconds or more also wakes the program 150 ms before each tick, because
// the kernel lets a long wait end up to a thousandth of its length late (60 ms for the
// minute countdown) and a short one next to nothing.
// Ticks are delivered on the GUI thread; the model refuses a tick while the timer's own
// handler still runs (a message box or "let pending events run" inside it).
//
// A timer marked TimerRest::WhileNoKeyIsDown (the hotkey monitor: no Ctrl or Alt, no action)
// rests while the key state says that no key of interest may be down: its QTimer is stopped
// and the program is not woken at all. When that changes, the ticks resume on the timer's own
// phase, the whole intervals counted from when it was started, as if they had never stopped.
// Only marked timers rest; no other timer ever waits for the keyboard. Until the key state
// tells otherwise, a key may be down, so a driver that is never told never lets a timer rest.
#include <QElapsedTimer>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/model/observer.h"

namespace tolvane {

class QtTimers : public TimerDriver {
public:
    QtTimers() = default;
    ~QtTimers() override;
    QtTimers(const QtTimers&) = delete;
    QtTimers& operator=(const QtTimers&) = delete;

    void start(Timer& timer) override;
    void stop(Timer& timer) override;

    // What the key state says, each time it may have changed: whether a key of interest may
    // be down now.
    void setKeyOfInterestMayBeDown(bool mayBeDown);

    // The QTimer behind a running model timer (also while it rests), or null.
    const QTimer* running(const Timer& timer) const;

protected:
    // Whether a running timer rests for want of a key of interest.
    bool paused(const Timer& timer) const;
    // The wake-up armed before the next tick of a long timer, or null.
    const QTimer* guard(const Timer& timer) const;

private:
    struct Running {
        QTimer* qtimer = nullptr;
        QTimer* guard = nullptr;  // the wake-up before the next tick of a long timer
        QElapsedTimer since;      // the start of the count: the ticks fall whole intervals after it
        bool paused = false;
    };
    void pauseOrResume(Timer& timer, Running& entry);
    void armGuard(const Timer& timer, Running& entry);

    std::map<const Timer*, Running> timers_;
    bool keyMayBeDown_ = true;
};

}  // namespace tolvane
