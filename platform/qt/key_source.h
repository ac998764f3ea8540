#pragma once
// What a key-state service tells the timer driver: whether any of its keys of interest may be
// down right now, and when that answer may have changed. A timer whose tick does nothing
// unless such a key is down (the hotkey monitor without Ctrl or Alt) need not wake the
// program while the answer is no; see QtTimers::pauseWhileNoKeyIsDown.
//
// Only a service that learns of every press as it happens (a mirror fed by the key events of
// the whole desktop) may ever answer no; one that can only ask when polled answers yes always.
#include <functional>

namespace tolvane {

class KeyInterest {
public:
    virtual ~KeyInterest() = default;

    // False only while the service is sure that none of its keys of interest is down.
    virtual bool mayBeDown() const = 0;

    // The one listener, called on the GUI thread each time mayBeDown() may have changed
    // (possibly from inside a key-state query). Null for none.
    void onChange(std::function<void()> listener) { listener_ = std::move(listener); }

protected:
    void changed() const
    {
        if (listener_) listener_();
    }

private:
    std::function<void()> listener_;
};

}  // namespace tolvane
