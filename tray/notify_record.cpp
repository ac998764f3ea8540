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
