#pragma once
// Text conversions at the edge of the Windows API. Inside the program every text is
// UTF-8; the A functions of Windows (window texts, list items, message boxes, WM_CHAR
// of an ANSI window) take and give the system's ANSI code page, and COM takes UTF-16.
// Everything that crosses into Windows goes through one of these, both ways.
// Not supported: the double-byte code pages' two-message WM_CHAR (a lead byte alone
// converts to no character, which every key filter of the program discards anyway).
// Include it after the project's own headers: it brings in <windows.h> and its macros.
#include <string>

#include <windows.h>

namespace tolvane::win32 {

inline std::wstring wideFrom(UINT codePage, const std::string& text)
{
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// No "best fit": a character the code page lacks is not shown as another one (é as e).
inline std::string bytesFrom(UINT codePage, const std::wstring& wide)
{
    if (wide.empty()) return {};
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}

// UTF-8 to UTF-16 and back (COM's BSTRs, the W functions).
inline std::wstring widen(const std::string& utf8)
{
    return wideFrom(CP_UTF8, utf8);
}
inline std::string narrow(const std::wstring& wide)
{
    return bytesFrom(CP_UTF8, wide);
}
inline std::string narrow(const wchar_t* wide)
{
    return wide ? narrow(std::wstring(wide)) : std::string();
}

// UTF-8 to the system's ANSI code page and back; a character the code page lacks
// becomes the code page's default character ('?').
inline std::string ansiFromUtf8(const std::string& utf8)
{
    return bytesFrom(CP_ACP, widen(utf8));
}
inline std::string utf8FromAnsi(const std::string& ansi)
{
    return narrow(wideFrom(CP_ACP, ansi));
}

// One character code of an ANSI window's WM_CHAR as its Unicode code, and back; 0 when
// the code page has no such character.
inline int unicodeOfAnsiChar(unsigned code)
{
    if (code < 0x80) return static_cast<int>(code);
    const char byte = static_cast<char>(code & 0xFF);
    wchar_t wide = 0;
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1) == 1 ? wide : 0;
}

inline unsigned ansiCharOfUnicode(int code)
{
    if (code >= 0 && code < 0x80) return static_cast<unsigned>(code);
    const wchar_t wide = static_cast<wchar_t>(code);
    char bytes[4] = {};
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &lost);
    return n == 1 && !lost ? static_cast<unsigned char>(bytes[0]) : 0;
}

// A window's text, read through GetWindowTextA, as UTF-8.
inline std::string windowText(HWND hwnd)
{
    const int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return utf8FromAnsi(text);
}

inline void setWindowText(HWND hwnd, const std::string& utf8)
{
    SetWindowTextA(hwnd, ansiFromUtf8(utf8).c_str());
}

// The resource of a picture the model names ("tolvane"): resource names are upper case.
inline std::string resourceName(std::string picture)
{
    for (char& c : picture) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return picture;
}

}  // namespace tolvane::win32
