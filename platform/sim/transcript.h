#pragma once
// The transcript: one line per platform call or change of state, each stamped with the
// simulated wall clock ("[12:00:00.000] ...").
#include <functional>
#include <string>

#include "platform/model/observer.h"
#include "platform/sim/sim_loop.h"

namespace tolvane {

class Transcript : public ModelObserver {
public:
    using Sink = std::function<void(const std::string& line)>;
    Transcript(const SimLoop& loop, Sink sink) : loop_(loop), sink_(std::move(sink)) {}

    void write(const std::string& text) const;
    // Silences the transcript (used while the runner tears the program down).
    void mute() { sink_ = nullptr; }

    void windowLoaded(Window& window) override;
    void windowUnloaded(Window& window) override;
    void propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value) override;
    void listCleared(Control& control) override;
    void itemAdded(Control& control, const std::string& item) override;
    void timerChanged(Timer& timer, Property property, const PropertyValue& value) override;

private:
    const SimLoop& loop_;
    Sink sink_;
};

// A text in double quotes with '"' and '\' escaped by a backslash.
std::string quote(const std::string& text);
// True/False, plain numbers, quoted texts.
std::string formatValue(const PropertyValue& value);
// "Form1.Label3" for a control, "Form1" for a window.
std::string qualifiedName(const Control& control);

}  // namespace tolvane
