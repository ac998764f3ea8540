#include "text_encoding.h"

#include <algorithm>

namespace tolvane {

Utf8Character utf8At(const std::string& text, size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1};
    const size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    Utf8Character character{lead & (0x3Fu >> extra), 1};
    for (; character.size <= extra && at + character.size < text.size(); ++character.size)
        character.code = (character.code << 6) | (static_cast<unsigned char>(text[at + character.size]) & 0x3Fu);
    return character;
}

size_t characterCount(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !continuesCharacter(c); }));
}

std::string utf8(int code)
{
    std::string out;
    const auto c = static_cast<unsigned>(code);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string toAnsi(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const Utf8Character character = utf8At(text, i);
        out += character.code <= 0xFF ? static_cast<char>(character.code) : '?';
        i += character.size;
    }
    return out;
}

std::string fromAnsi(const std::string& text)
{
    std::string out;
    for (char c : text) out += utf8(static_cast<unsigned char>(c));
    return out;
}

}  // namespace tolvane
