#pragma once
// Text conversions at the edge of the Windows API. Include it after the project's own
// headers: it brings in <windows.h> and its macros.
#include <string>

#include <windows.h>

namespace tolvane::win32 {

// The program's texts are in the system's ANSI code page, as the A functions take them.
inline std::wstring widen(const std::string& text)
{
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

inline std::string narrow(const wchar_t* text)
{
    if (!text || !*text) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), n, nullptr, nullptr);
    return result;
}

inline std::string windowText(HWND hwnd)
{
    const int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace tolvane::win32
