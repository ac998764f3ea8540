#pragma once
// Small text helpers shared by the schedule, warning and command-line code: the five
// actions' labels, status-line prefixes and command words, and the number conversions of
// two-digit texts.
#include <cstdint>
#include <string>

namespace tolvane {

inline constexpr const char* kNoSchedule = "Currently no action scheduled";
inline constexpr const char* kWarningEnabled = "    Warning Enabled";
inline constexpr const char* kWarningDisabled = "    Warning Disabled";

// "Shutdown After" ... "Stand By After", the items of the "after" list, for actcode 1 to 5;
// "" for any other code.
std::string afterLabel(int actcode);
// "Shutdown At" ... "Stand By At".
std::string atLabel(int actcode);
// "shutdown", "restart", "logoff", "hibernate", "standby": the actions on the command line.
std::string actionWord(int actcode);
// The actcode of a command word; 0 for a word that names no action.
int actionCode(const std::string& word);
// "Shutdown After " ... "Stand By After " for actcode 1 to 5; "" for any other code.
std::string afterPrefix(int actcode);
// "Shutdown At " ... "Stand By At ".
std::string atPrefix(int actcode);
// A text read as a decimal number ("07" is 7); what does not parse reads as 0.
double number(const std::string& text);
// A 16-bit count as Str() writes it: a leading blank for a positive number or zero.
std::string signedText(int16_t value);
// Plain decimal digits of a whole number, with a "0" in front when it is below 10.
std::string twoDigits(int value);

}  // namespace tolvane
