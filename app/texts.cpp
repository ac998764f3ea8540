#include "app/texts.h"

#include <array>
#include <cstdlib>

namespace tolvane {

namespace {
const std::array<const char*, 5> kAfterLabels = {"Shutdown After", "Restart After", "Log off After", "Hibernate After",
                                                 "Stand By After"};
const std::array<const char*, 5> kAtLabels = {"Shutdown At", "Restart At", "Log off At", "Hibernate At",
                                              "Stand By At"};
}  // namespace

std::string afterPrefix(int actcode)
{
    if (actcode < 1 || actcode > 5) return "";
    return std::string(kAfterLabels[static_cast<size_t>(actcode - 1)]) + " ";
}

std::string atPrefix(int actcode)
{
    if (actcode < 1 || actcode > 5) return "";
    return std::string(kAtLabels[static_cast<size_t>(actcode - 1)]) + " ";
}

double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

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
