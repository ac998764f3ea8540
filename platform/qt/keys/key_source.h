#pragma once
// A key state the Linux program can poll (X11's, the desktop portal's) that also says whether
// any of the keys of interest (the modifiers of the keys it watches) may be down right now,
// and when that answer changes. While it is no, a timer marked TimerRest::WhileNoKeyIsDown
// need not wake the program (QtTimers::setKeyOfInterestMayBeDown).
//
// Only a source that learns of every press as it happens (a mirror fed by the key events of
// the whole desktop) may ever answer no; one that can only ask when polled answers yes always.
#include <functional>

#include "platform/services.h"

namespace tolvane {

class KeySource : public KeyboardApi {
public:
    // False only while the source is sure that none of its keys of interest is down.
    virtual bool mayBeDown() const = 0;

    // The one listener, told the new answer on the GUI thread each time it may have changed
    // (possibly from inside a key-state query). Null for none.
    void onChange(std::function<void(bool mayBeDown)> listener) { listener_ = std::move(listener); }

protected:
    void changed() const
    {
        if (listener_) listener_(mayBeDown());
    }

private:
    std::function<void(bool)> listener_;
};

}  // namespace tolvane
