#include "hotkeys/values.h"

#include <charconv>

#include "platform/model/text_encoding.h"

namespace tolvane {

std::optional<int> flagNumber(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(' ') + 1;
    const char* begin = text.data() + first;
    if (*begin == '+') ++begin;
    int value = 0;
    auto [end, error] = std::from_chars(begin, text.data() + last, value);
    if (error != std::errc() || end != text.data() + last || value < -32768 || value > 32767) return std::nullopt;
    return value;
}

bool hotkeyEnabled(const std::string& flagText)
{
    return flagNumber(flagText) == 1;
}

std::optional<int> keyCode(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    // Texts are stored as UTF-8; a character up to U+00FF is its Latin-1 code. Only a whole
    // character of one or two bytes is read: a longer one has no ANSI code anyway.
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead >= 0x80 && ((lead & 0xE0) != 0xC0 || text.size() < 2)) return std::nullopt;
    const Utf8Character character = utf8At(text, 0);
    if (character.code > 0xFF) return std::nullopt;
    return static_cast<int>(character.code);
}

WatchedKeys watchedKeys(std::span<const std::string> keyTexts, std::span<const std::string> flagTexts, bool saved)
{
    WatchedKeys keys{{std::begin(kHotkeyModifiers), std::end(kHotkeyModifiers)}, {}, saved};
    for (size_t row = 0; row < keyTexts.size() && row < flagTexts.size(); ++row)
        keys.rows.push_back({keyCode(keyTexts[row]).value_or(0), hotkeyEnabled(flagTexts[row])});
    return keys;
}

}  // namespace tolvane
