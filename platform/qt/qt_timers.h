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
// A timer whose tick does nothing unless a key of interest is down (the hotkey monitor: no
// Ctrl or Alt, no action) can be marked pausable with the key-state service that knows those
// keys. While the service is sure that none of them is down, its QTimer is stopped and the
// program is not woken at all; when that changes, the ticks resume on the timer's own phase,
// the whole intervals counted from when it was started, as if they had never stopped. Only
// marked timers pause; no other timer ever waits for the keyboard.
#include <QElapsedTimer>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/model/observer.h"
#include "platform/qt/key_interest.h"

namespace tolvane {

class QtTimers : public TimerDriver {
public:
    QtTimers() = default;
    ~QtTimers() override;
    QtTimers(const QtTimers&) = delete;
    QtTimers& operator=(const QtTimers&) = delete;

    void start(Timer& timer) override;
    void stop(Timer& timer) override;

    // Marks `timer` to rest while `keys` says that none of its keys of interest may be down.
    // The mark holds for the driver's life; the timer must live as long (the main window's
    // Timer3 does). The driver becomes the service's listener: the service is asked whenever
    // the timer starts or the service tells of a change, so it must live while the timer runs
    // and tell nothing once the driver has gone (the program's keyboard goes first).
    void pauseWhileNoKeyIsDown(const Timer& timer, KeyInterest& keys);

    // The QTimer behind a running model timer (also while it rests), or null.
    const QTimer* running(const Timer& timer) const;
    // Whether a running timer rests for want of a key of interest.
    bool paused(const Timer& timer) const;
    // The wake-up armed before the next tick of a long timer, or null.
    const QTimer* guard(const Timer& timer) const;

private:
    struct Running {
        QTimer* qtimer = nullptr;
        QTimer* guard = nullptr;  // the wake-up before the next tick of a long timer
        QElapsedTimer since;  // the start of the count: the ticks fall whole intervals after it
        KeyInterest* keys = nullptr;
        bool paused = false;
    };
    void keysChanged(KeyInterest& keys);
    void pauseOrResume(Timer& timer, Running& entry);
    void armGuard(const Timer& timer, Running& entry);

    std::map<const Timer*, Running> timers_;
    std::map<const Timer*, KeyInterest*> pausable_;
};

}  // namespace tolvane
