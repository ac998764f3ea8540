#pragma once
// The root of the model: the observers that render it and the driver that runs its timers.
#include <algorithm>
#include <vector>

#include "observer.h"

namespace tolvane {

class WindowSystem {
public:
    void addObserver(ModelObserver& observer) { observers_.push_back(&observer); }
    void removeObserver(ModelObserver& observer)
    {
        observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
    }
    void setTimerDriver(TimerDriver* driver) { driver_ = driver; }
    TimerDriver* timerDriver() const { return driver_; }

    template <class F>
    void notify(F&& f) const
    {
        for (ModelObserver* o : observers_) f(*o);
    }

    unsigned long nextTimerOrder() { return ++timerCount_; }

private:
    std::vector<ModelObserver*> observers_;
    TimerDriver* driver_ = nullptr;
    unsigned long timerCount_ = 0;
};

}  // namespace tolvane
