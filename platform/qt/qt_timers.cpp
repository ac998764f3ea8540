#include "platform/qt/qt_timers.h"

#include "platform/model/timer.h"

namespace tolvane {

QtTimers::~QtTimers()
{
    for (auto& [timer, qtimer] : timers_) delete qtimer;
}

void QtTimers::start(Timer& timer)
{
    QTimer*& qtimer = timers_[&timer];
    if (!qtimer) {
        qtimer = new QTimer;
        qtimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(qtimer, &QTimer::timeout, [&timer] { timer.fire(); });
    }
    // Starting again counts the interval from now, as the model asks.
    qtimer->start(timer.interval());
}

void QtTimers::stop(Timer& timer)
{
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    QTimer* qtimer = it->second;
    timers_.erase(it);
    qtimer->stop();
    // The model timer may be stopped from inside its own tick, or be about to be destroyed:
    // the QTimer lets go of it at once and goes itself once the tick has returned.
    QObject::disconnect(qtimer, nullptr, nullptr, nullptr);
    qtimer->deleteLater();
}

const QTimer* QtTimers::running(const Timer& timer) const
{
    auto it = timers_.find(&timer);
    return it == timers_.end() || !it->second->isActive() ? nullptr : it->second;
}

}  // namespace tolvane
