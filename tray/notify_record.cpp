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
    field.resize(std::max(field.size(), kNotifyTipSize), ' ');
    field.resize(kNotifyTipSize);
    return field;
}

NotifyIconRecord NotifyRecord::bytes() const
{
    NotifyIconRecord out{};
    put32(out, kNotifySizeAt, cbSize);
    put32(out, kNotifyWindowAt, hWnd);
    put32(out, kNotifyIdAt, uID);
    put32(out, kNotifyFlagsAt, uFlags);
    put32(out, kNotifyCallbackAt, uCallbackMessage);
    put32(out, kNotifyIconAt, hIcon);
    std::copy_n(szTip.begin(), std::min(szTip.size(), kNotifyTipSize), out.begin() + kNotifyTipAt);
    return out;
}

NotifyRecord NotifyRecord::fromBytes(const NotifyIconRecord& in)
{
    NotifyRecord r;
    r.cbSize = get32(in, kNotifySizeAt);
    r.hWnd = get32(in, kNotifyWindowAt);
    r.uID = get32(in, kNotifyIdAt);
    r.uFlags = get32(in, kNotifyFlagsAt);
    r.uCallbackMessage = get32(in, kNotifyCallbackAt);
    r.hIcon = get32(in, kNotifyIconAt);
    r.szTip.assign(in.begin() + kNotifyTipAt, in.begin() + kNotifyTipAt + kNotifyTipSize);
    return r;
}

std::string NotifyRecord::tipText() const
{
    const size_t nul = szTip.find('\0');
    return nul == std::string::npos ? szTip : szTip.substr(0, nul);
}

}  // namespace tolvane
