#include "app/texts.h"

#include <array>
#include <cstdlib>

namespace tolvane {

namespace {
// The five actions in PowerAction order: the word of the command line, and the labels of
// the "after" and "at" lists (each status-line prefix is its label and one blank).
struct ActionTexts {
    const char* word;
    const char* afterLabel;
    const char* atLabel;
};
const std::array<ActionTexts, 5> kActions = {{{"shutdown", "Shutdown After", "Shutdown At"},
                                              {"restart", "Restart After", "Restart At"},
                                              {"logoff", "Log off After", "Log off At"},
                                              {"hibernate", "Hibernate After", "Hibernate At"},
                                              {"standby", "Stand By After", "Stand By At"}}};

const ActionTexts* action(int actcode)
{
    return actcode < 1 || actcode > 5 ? nullptr : &kActions[static_cast<size_t>(actcode - 1)];
}
}  // namespace

std::string afterLabel(int actcode)
{
    return action(actcode) ? action(actcode)->afterLabel : "";
}

std::string atLabel(int actcode)
{
    return action(actcode) ? action(actcode)->atLabel : "";
}

std::string afterPrefix(int actcode)
{
    return action(actcode) ? afterLabel(actcode) + " " : "";
}

std::string atPrefix(int actcode)
{
    return action(actcode) ? atLabel(actcode) + " " : "";
}

std::string actionWord(int actcode)
{
    return action(actcode) ? action(actcode)->word : "";
}

int actionCode(const std::string& word)
{
    for (int code = 1; code <= 5; ++code)
        if (word == kActions[static_cast<size_t>(code - 1)].word) return code;
    return 0;
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
