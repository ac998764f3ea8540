// The small parsers of the scenario language.
#include <cctype>

#include "tools/sim/scenario.h"

namespace tolvane {

std::optional<long long> parseDuration(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    long long total = 0;
    size_t i = 0;
    while (i < text.size()) {
        const size_t digits = i;
        long long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            value = value * 10 + (text[i] - '0');
            if (value > 1'000'000'000LL) return std::nullopt;
            ++i;
        }
        if (i == digits) return std::nullopt;
        if (text.compare(i, 2, "ms") == 0) {
            total += value;
            i += 2;
        } else if (i < text.size() && text[i] == 'h') {
            total += value * 3'600'000;
            ++i;
        } else if (i < text.size() && text[i] == 'm') {
            total += value * 60'000;
            ++i;
        } else if (i < text.size() && text[i] == 's') {
            total += value * 1000;
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return total;
}

std::optional<long long> parseClock(const std::string& text)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
    for (size_t i : {0, 1, 3, 4, 6, 7})
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    const int h = std::stoi(text.substr(0, 2)), m = std::stoi(text.substr(3, 2)), s = std::stoi(text.substr(6, 2));
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return ((h * 60LL + m) * 60 + s) * 1000;
}

std::optional<int> parseKey(const std::string& name)
{
    std::string lower;
    for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "ctrl") return 17;
    if (lower == "alt") return 18;
    if (lower == "shift") return 16;
    if (lower.size() == 1 && lower[0] >= 'a' && lower[0] <= 'z') return lower[0] - 'a' + 'A';
    if (lower.size() == 1 && lower[0] >= '0' && lower[0] <= '9') return lower[0];
    if (lower.size() == 4 && lower.compare(0, 3, "num") == 0 && lower[3] >= '0' && lower[3] <= '9')
        return 96 + (lower[3] - '0');
    return std::nullopt;
}

std::vector<int> textCodes(const std::string& text)
{
    std::vector<int> codes;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == 'b' || text[i + 1] == '\\')) {
            codes.push_back(text[i + 1] == 'b' ? 8 : '\\');
            ++i;
        } else if (c >= 0xC0 && i + 1 < text.size()) {
            // A UTF-8 sequence is one character.
            int code = 0;
            int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            code = c & (0x3F >> extra);
            while (extra-- > 0 && i + 1 < text.size()) code = (code << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F);
            codes.push_back(code);
        } else {
            codes.push_back(c);
        }
    }
    return codes;
}

}  // namespace tolvane
