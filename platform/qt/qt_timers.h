#pragma once
// Runs the model's interval timers on Qt's event loop.
//
// Each running model timer has one repeating QTimer of type Qt::PreciseTimer: it is due
// every interval counted from its start, without the 5 % slack of coarse timers, and
// Qt counts each next expiry from the previous one, so late ticks do not add up to drift.
// Ticks are delivered on the GUI thread; the model refuses a tick while the timer's own
// handler still runs (a message box or "let pending events run" inside it).
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

    // The QTimer behind a running model timer, or null.
    const QTimer* running(const Timer& timer) const;

private:
    std::map<const Timer*, QTimer*> timers_;
};

}  // namespace tolvane
