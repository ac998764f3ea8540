#include "platform/sim/transcript.h"

#include "platform/model/timer.h"
#include "platform/model/window.h"

namespace tolvane {

void Transcript::write(const std::string& text) const
{
    if (sink_) sink_("[" + formatWallClock(loop_.wallMs()) + "] " + text);
}

std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string formatValue(const PropertyValue& value)
{
    if (const bool* b = std::get_if<bool>(&value)) return *b ? "True" : "False";
    if (const int* i = std::get_if<int>(&value)) return std::to_string(*i);
    return quote(std::get<std::string>(value));
}

std::string qualifiedName(const Control& control)
{
    return control.window().name() + "." + control.name();
}

void Transcript::windowLoaded(Window& window)
{
    write("load " + window.name());
}

void Transcript::windowUnloaded(Window& window)
{
    write("unload " + window.name());
}

void Transcript::propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value)
{
    const std::string owner = control ? qualifiedName(*control) : window.name();
    write(owner + "." + std::string(propertyName(property)) + " = " + formatValue(value));
}

void Transcript::listCleared(Control& control)
{
    write(qualifiedName(control) + ".Clear");
}

void Transcript::itemAdded(Control& control, const std::string& item)
{
    write(qualifiedName(control) + ".AddItem " + quote(item));
}

void Transcript::timerChanged(Timer& timer, Property property, const PropertyValue& value)
{
    write(timer.window().name() + "." + timer.name() + "." + std::string(propertyName(property)) + " = " +
          formatValue(value));
}

}  // namespace tolvane
