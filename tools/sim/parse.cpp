// The small parsers of the scenario language.
#include <cctype>

#include "platform/model/text_encoding.h"
#include "platform/model/win_codes.h"
#include "platform/sim/sim_loop.h"
#include "tools/sim/scenario.h"

namespace tolvane {

std::optional<long long> parseDuration(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    // Each step is checked before it is taken, so no sum or product can leave the range.
    constexpr long long kMax = SimLoop::kMaxTime;
    long long total = 0;
    size_t i = 0;
    while (i < text.size()) {
        const size_t digits = i;
        long long value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            const int digit = text[i] - '0';
            if (value > (kMax - digit) / 10) return std::nullopt;
            value = value * 10 + digit;
            ++i;
        }
        if (i == digits) return std::nullopt;
        long long unit = 0;
        if (text.compare(i, 2, "ms") == 0) {
            unit = 1;
            i += 2;
        } else if (i < text.size() && (text[i] == 'h' || text[i] == 'm' || text[i] == 's')) {
            unit = text[i] == 'h' ? 3'600'000 : text[i] == 'm' ? 60'000 : 1000;
            ++i;
        } else {
            return std::nullopt;
        }
        if (value > (kMax - total) / unit) return std::nullopt;
        total += value * unit;
    }
    return total;
}

ScenarioLine splitLine(const std::string& line)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    ScenarioLine out;
    size_t from = 0;
    while (from < line.size() && blank(line[from])) ++from;
    out.text = line.substr(from);
    for (size_t at = 0; at < out.text.size();) {
        if (blank(out.text[at])) {
            ++at;
            continue;
        }
        const size_t begin = at;
        while (at < out.text.size() && !blank(out.text[at])) ++at;
        out.words.push_back(out.text.substr(begin, at - begin));
        out.wordEnds.push_back(at);
    }
    return out;
}

std::string ScenarioLine::after(size_t fixedWords) const
{
    if (fixedWords == 0 || fixedWords > wordEnds.size()) return {};
    const size_t end = wordEnds[fixedWords - 1];
    return end < text.size() ? text.substr(end + 1) : std::string();
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
    if (lower == "ctrl") return kVkControl;
    if (lower == "alt") return kVkMenu;
    if (lower == "shift") return kVkShift;
    if (lower.size() == 1 && lower[0] >= 'a' && lower[0] <= 'z') return lower[0] - 'a' + 'A';
    if (lower.size() == 1 && lower[0] >= '0' && lower[0] <= '9') return lower[0];
    if (lower.size() == 4 && lower.compare(0, 3, "num") == 0 && lower[3] >= '0' && lower[3] <= '9')
        return kVkNumpad0 + (lower[3] - '0');
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
            const Utf8Character character = utf8At(text, i);
            codes.push_back(static_cast<int>(character.code));
            i += character.size - 1;
        } else {
            codes.push_back(c);
        }
    }
    return codes;
}

}  // namespace tolvane
