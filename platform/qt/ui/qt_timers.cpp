#include "platform/qt/ui/qt_timers.h"

#include <algorithm>

#include "platform/model/timer.h"

namespace tolvane {

namespace {
// The kernel lets a poll that waits T end up to T/1000 late (100 ms at most), so a lone 60 s
// timer comes up to 60 ms late once nothing else wakes the program. A timer of two seconds or
// more therefore has a guard that wakes the program a little before each tick: the wait that
// ends at the tick is then short, and so is its slack.
constexpr qint64 kGuardFromMs = 2000;
constexpr qint64 kGuardLeadMs = 150;
}  // namespace

QtTimers::~QtTimers()
{
    for (auto& [timer, entry] : timers_) {
        delete entry.qtimer;
        delete entry.guard;
    }
}

void QtTimers::start(Timer& timer)
{
    Running& entry = timers_[&timer];
    if (!entry.qtimer) {
        entry.qtimer = new QTimer;
        entry.qtimer->setTimerType(Qt::PreciseTimer);
        QTimer* qtimer = entry.qtimer;
        QObject::connect(qtimer, &QTimer::timeout, [this, qtimer, &timer] {
            // The first tick after a rest came from a one-shot that met the phase; from
            // here on the interval repeats again, before the handler runs, as for any tick.
            if (qtimer->isSingleShot()) {
                qtimer->setSingleShot(false);
                qtimer->start(timer.interval());
            }
            if (auto it = timers_.find(&timer); it != timers_.end()) armGuard(timer, it->second);
            timer.fire();
        });
    }
    // Starting again counts the interval from now, as the model asks.
    entry.since.start();
    entry.paused = false;
    entry.qtimer->setSingleShot(false);
    entry.qtimer->start(timer.interval());
    pauseOrResume(timer, entry);
    armGuard(timer, entry);
}

void QtTimers::stop(Timer& timer)
{
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    QTimer* qtimer = it->second.qtimer;
    if (QTimer* guard = it->second.guard) {
        guard->stop();
        guard->deleteLater();
    }
    timers_.erase(it);
    qtimer->stop();
    // The model timer may be stopped from inside its own tick, or be about to be destroyed:
    // the QTimer lets go of it at once and goes itself once the tick has returned.
    QObject::disconnect(qtimer, nullptr, nullptr, nullptr);
    qtimer->deleteLater();
}

void QtTimers::setKeyOfInterestMayBeDown(bool mayBeDown)
{
    keyMayBeDown_ = mayBeDown;
    for (auto& [timer, entry] : timers_) pauseOrResume(const_cast<Timer&>(*timer), entry);
}

void QtTimers::pauseOrResume(Timer& timer, Running& entry)
{
    if (timer.rest() != TimerRest::WhileNoKeyIsDown) return;
    const bool rest = !keyMayBeDown_;
    if (rest == entry.paused) return;
    entry.paused = rest;
    if (rest) {
        entry.qtimer->stop();
        armGuard(timer, entry);
        return;
    }
    // The next whole interval after the start of the count, met by a one-shot (rounded up to
    // the millisecond, so never early); the repeating interval takes over from there.
    const qint64 interval = qint64{timer.interval()} * 1000000;
    const qint64 elapsed = entry.since.nsecsElapsed();
    const qint64 next = (elapsed / interval + 1) * interval;
    entry.qtimer->setSingleShot(true);
    entry.qtimer->start(static_cast<int>((next - elapsed + 999999) / 1000000));
    armGuard(timer, entry);
}

void QtTimers::armGuard(const Timer& timer, Running& entry)
{
    const qint64 interval = timer.interval();
    if (interval < kGuardFromMs || entry.paused) {
        if (entry.guard) entry.guard->stop();
        return;
    }
    if (!entry.guard) {
        // Its timeout needs no slot: the wake-up is all it is for.
        entry.guard = new QTimer;
        entry.guard->setTimerType(Qt::PreciseTimer);
        entry.guard->setSingleShot(true);
    }
    // The first tick due more than the lead from now (one due sooner needs no guard).
    const qint64 elapsed = entry.since.elapsed();
    const qint64 next = ((elapsed + kGuardLeadMs) / interval + 1) * interval;
    entry.guard->start(static_cast<int>(std::max<qint64>(0, next - kGuardLeadMs - elapsed)));
}

const QTimer* QtTimers::guard(const Timer& timer) const
{
    auto it = timers_.find(&timer);
    return it == timers_.end() || !it->second.guard || !it->second.guard->isActive() ? nullptr : it->second.guard;
}

const QTimer* QtTimers::running(const Timer& timer) const
{
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return nullptr;
    return it->second.qtimer->isActive() || it->second.paused ? it->second.qtimer : nullptr;
}

bool QtTimers::paused(const Timer& timer) const
{
    auto it = timers_.find(&timer);
    return it != timers_.end() && it->second.paused;
}

}  // namespace tolvane
