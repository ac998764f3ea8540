#include "tray/notify_record.h"

#include <algorithm>

namespace tolvane {

namespace {

void put32(NotifyIconRecord& out, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t get32(const NotifyIconRecord& in, size_t offset)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(in[offset + i]) << (8 * i);
    return value;
}

}  // namespace

std::string toAnsi(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, its code from all of it.
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        unsigned code = lead & (0x3Fu >> extra);
        for (int k = 0; k < extra && i + 1 < text.size(); ++k) code = (code << 6) | (text[++i] & 0x3Fu);
        out += code <= 0xFF ? static_cast<char>(code) : '?';
    }
    return out;
}

std::string fromAnsi(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string tipField(const std::string& text)
{
    std::string field = toAnsi(text) + '\0';
    field.resize(std::max<size_t>(field.size(), 64), ' ');
    field.resize(64);
    return field;
}

NotifyIconRecord NotifyRecord::bytes() const
{
    NotifyIconRecord out{};
    put32(out, 0, cbSize);
    put32(out, 4, hWnd);
    put32(out, 8, uID);
    put32(out, 12, uFlags);
    put32(out, 16, uCallbackMessage);
    put32(out, 20, hIcon);
    std::copy_n(szTip.begin(), std::min<size_t>(szTip.size(), 64), out.begin() + 24);
    return out;
}

NotifyRecord NotifyRecord::fromBytes(const NotifyIconRecord& in)
{
    NotifyRecord r;
    r.cbSize = get32(in, 0);
    r.hWnd = get32(in, 4);
    r.uID = get32(in, 8);
    r.uFlags = get32(in, 12);
    r.uCallbackMessage = get32(in, 16);
    r.hIcon = get32(in, 20);
    r.szTip.assign(in.begin() + 24, in.end());
    return r;
}

std::string NotifyRecord::tipText() const
{
    const size_t nul = szTip.find('\0');
    return nul == std::string::npos ? szTip : szTip.substr(0, nul);
}

}  // namespace tolvane
