#include "app/texts.h"

#include <cstdlib>

#include "power/actions.h"

namespace tolvane {

std::string afterLabel(int actcode)
{
    const ActionRow* row = actionRow(actcode);
    return row ? row->afterLabel : "";
}

std::string atLabel(int actcode)
{
    const ActionRow* row = actionRow(actcode);
    return row ? row->atLabel : "";
}

std::string afterPrefix(int actcode)
{
    return actionRow(actcode) ? afterLabel(actcode) + " " : "";
}

std::string atPrefix(int actcode)
{
    return actionRow(actcode) ? atLabel(actcode) + " " : "";
}

std::string actionWord(int actcode)
{
    const ActionRow* row = actionRow(actcode);
    return row ? row->word : "";
}

namespace {
std::string actionName(int actcode)
{
    const ActionRow* row = actionRow(actcode);
    return row ? row->description : "The action";
}
}  // namespace

std::string refusedMessage(int actcode, const std::string& reason)
{
    return actionName(actcode) + " could not be carried out: " + reason;
}

std::string unattendedMessage(int actcode, Unattended verdict, const std::string& systemAnswer)
{
    switch (verdict) {
        case Unattended::Yes:
            return "";
        case Unattended::NeedsPassword:
            return actionName(actcode) + " is set, but the system will ask for a password when it is due (" +
                   systemAnswer + "): if nobody is at the computer to give it, the computer stays on.";
        case Unattended::NotAllowed:
            return actionName(actcode) + " is set, but the system will not allow it (" + systemAnswer +
                   "): it will not happen unless that changes.";
    }
    return "";
}

double number(const std::string& text)
{
    return std::strtod(text.c_str(), nullptr);
}

std::string signedText(int16_t value)
{
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string twoDigits(int value)
{
    std::string digits = std::to_string(value);
    return value < 10 ? "0" + digits : digits;
}

}  // namespace tolvane
