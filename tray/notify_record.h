#pragma once
// The record handed to the shell with every notification-area request: the first,
// 88-byte ANSI version of NOTIFYICONDATA, little-endian.
#include <cstdint>
#include <string>

#include "platform/model/text_encoding.h"
#include "platform/model/win_codes.h"
#include "platform/services.h"

namespace tolvane {

struct NotifyRecord {
    uint32_t cbSize = 0;
    uint32_t hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    uint32_t hIcon = 0;
    // The 64-character tip field, as the control keeps it.
    std::string szTip = std::string(kNotifyTipSize, '\0');

    NotifyIconRecord bytes() const;
    static NotifyRecord fromBytes(const NotifyIconRecord& bytes);
    // The tip text up to its NUL (all 64 characters when there is none).
    std::string tipText() const;
};

// The tip field for a text: the text in the ANSI code page, one NUL, spaces up to 64
// characters; cut at 64.
std::string tipField(const std::string& text);

}  // namespace tolvane
