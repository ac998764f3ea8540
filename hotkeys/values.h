#pragma once
// How the hotkey code reads the stored texts, and what the hotkey monitor polls.
#include <optional>
#include <span>
#include <string>

#include "platform/model/win_codes.h"
#include "platform/services.h"

namespace tolvane {

// An enabled-flag text as a 16-bit number ("1" -> 1); none when it is not a number.
std::optional<int> flagNumber(const std::string& text);
// Whether a stored flag enables its hotkey: its value as a number is 1. The one rule for
// the check box, the list line and the monitor, so that what the hotkey window calls
// Disabled never fires ("01", "+1" and " 1" are all 1).
bool hotkeyEnabled(const std::string& flagText);
// The key code of a stored key text: its first character's code in the ANSI code page,
// which is the virtual-key code polled. None when the text is empty or its first
// character has no ANSI code.
std::optional<int> keyCode(const std::string& text);

// The keys held together with a row's key, in the order the monitor asks for them: Ctrl, Alt.
inline constexpr int kHotkeyModifiers[] = {kVkControl, kVkMenu};
// What the monitor acts on with these cached copies (one text per row, in row order), as the
// key-state service is told it: the modifiers, and each row's key code and enabled flag.
WatchedKeys watchedKeys(std::span<const std::string> keyTexts, std::span<const std::string> flagTexts, bool saved);

}  // namespace tolvane
