#pragma once
// Small text helpers shared by the schedule, warning and command-line code: an action's
// labels, status-line prefixes and command word by its number (from power/actions.h), and the
// number conversions of two-digit texts.
#include <cstdint>
#include <string>

#include "platform/services.h"

namespace tolvane {

inline constexpr const char* kNoSchedule = "Currently no action scheduled";
inline constexpr const char* kWarningEnabled = "    Warning Enabled";
inline constexpr const char* kWarningDisabled = "    Warning Disabled";

// The item of the "after" list for actcode 1 to 5 ("Shutdown After"); "" for any other code.
std::string afterLabel(int actcode);
// The item of the "at" list ("Shutdown At").
std::string atLabel(int actcode);
// The action's word on the command line ("shutdown").
std::string actionWord(int actcode);
// The status line's prefix in "after" mode ("Shutdown After "); "" for a code of no action.
std::string afterPrefix(int actcode);
// The status line's prefix in "at" mode ("Shutdown At ").
std::string atPrefix(int actcode);
// What the user is told when the system refused or failed an action: the action and the
// system's reason in its own words.
std::string refusedMessage(int actcode, const std::string& reason);
// What the user is told at SET when the system said the action will not happen unattended;
// `systemAnswer` is what it said ("logind CanPowerOff: challenge"). "" when it will.
std::string unattendedMessage(int actcode, Unattended verdict, const std::string& systemAnswer);
// A text read as a decimal number ("07" is 7); what does not parse reads as 0.
double number(const std::string& text);
// A 16-bit count as Str() writes it: a leading blank for a positive number or zero.
std::string signedText(int16_t value);
// Plain decimal digits of a whole number, with a "0" in front when it is below 10.
std::string twoDigits(int value);

}  // namespace tolvane
