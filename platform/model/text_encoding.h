#pragma once
// The program's texts are UTF-8 everywhere; the Windows records and the key codes the logic
// hands on carry one byte a character in the ANSI code page, which is Latin-1 here (a
// character's code is its Unicode code up to U+00FF). These are the rules both ways, for the
// model, the tray record, the hotkey monitor and the scenario runner alike.
#include <cstddef>
#include <string>

namespace tolvane {

// One character of a UTF-8 text: its code, and how many bytes it takes.
struct Utf8Character {
    unsigned code = 0;
    size_t size = 1;
};
// The character that begins at text[at] (at < text.size()). Its length comes from the lead
// byte alone and its code from as many bytes after it as there are, whatever they are: a text
// cut short in a character reads as the bits it has.
Utf8Character utf8At(const std::string& text, size_t at);

// Whether a byte continues a character begun before it (10xxxxxx) rather than beginning one.
constexpr bool continuesCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}
// The number of characters of a UTF-8 text, and one character code as UTF-8 (nothing for a
// code past U+10FFFF).
size_t characterCount(const std::string& text);
std::string utf8(int code);

// UTF-8 to the ANSI code page (a character it lacks becomes '?') and back.
std::string toAnsi(const std::string& text);
std::string fromAnsi(const std::string& text);

}  // namespace tolvane
