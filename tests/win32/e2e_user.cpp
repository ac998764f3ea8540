#include "tests/win32/e2e_user.h"

#include <cstdio>
#include <thread>

namespace tolvane::e2e {

int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

int countOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string textOf(HWND hwnd)
{
    char text[512] = {};
    SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

struct TitleSearch {
    const std::function<bool(const std::string&)>* match;
    HWND found = nullptr;
};

BOOL CALLBACK matchTitle(HWND h, LPARAM p)
{
    auto* s = reinterpret_cast<TitleSearch*>(p);
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "TolvaneWindow" && (*s->match)(textOf(h))) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND windowTitled(const std::function<bool(const std::string&)>& match)
{
    TitleSearch search{&match};
    EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A real click in the middle of a control as it is on the screen, once a user can click it
// there: the control is shown and nothing lies over it at that point.
void click(HWND control)
{
    const POINT at = centreOf(control);
    if (!waitUntil(
            [&] {
                HWND hit = WindowFromPoint(at);
                return IsWindowVisible(control) && (hit == control || IsChild(control, hit));
            },
            5000))
        std::printf("note: a control is clicked where something else lies over it\n");
    clickAt(at);
}

// The header of a 24-bit picture as a BMP file and GetDIBits have it.
BITMAPINFOHEADER pictureHeader(int w, int h)
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    return info;
}

// What the screen shows in a rectangle: rows of 24-bit pixels, the bottom row first, each
// padded to four bytes, as a BMP file keeps them; empty when the screen could not be read.
std::vector<char> screenPixels(const RECT& r)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, picture);
    const bool copied = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
    SelectObject(memory, old);
    BITMAPINFOHEADER info = pictureHeader(w, h);
    std::vector<char> pixels(static_cast<size_t>((w * 3 + 3) & ~3) * h);
    const bool read =
        GetDIBits(memory, picture, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == h;
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied || !read) pixels.clear();
    return pixels;
}

// Whether the screen shows this colour in most of a rectangle: a selected list item, say,
// whose background shows around its text.
bool showsMostly(const RECT& r, COLORREF colour)
{
    const std::vector<char> pixels = screenPixels(r);
    const int w = r.right - r.left, h = r.bottom - r.top, stride = (w * 3 + 3) & ~3;
    int matching = 0;
    for (int y = 0; y < h && !pixels.empty(); ++y) {
        for (int x = 0; x < w; ++x) {
            const auto* bgr = reinterpret_cast<const unsigned char*>(&pixels[static_cast<size_t>(y * stride + x * 3)]);
            matching += RGB(bgr[2], bgr[1], bgr[0]) == colour;
        }
    }
    return matching * 2 > w * h;
}

struct ClassSearch {
    const char* name;
    HWND found = nullptr;
};

BOOL CALLBACK matchShownClass(HWND h, LPARAM p)
{
    auto* s = reinterpret_cast<ClassSearch*>(p);
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpiA(cls, s->name) == 0 && IsWindowVisible(h)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND shownWindowOfClass(const char* name)
{
    ClassSearch search{name};
    EnumWindows(matchShownClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The control that has the focus in the thread of `window` (GetFocus is the caller's own).
HWND focusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// A real pick from a drop-down list, as a user makes it: a click opens the list; the pointer
// goes onto the item, which the list shows lit up under it; a click there picks it; and the
// list is gone from the screen before anything else is clicked (a click that comes while it
// is still on the screen may be lost). Should the list still be open after all, the user
// clicks again, as this does, twice at most, saying so.
bool pick(HWND combo, int index)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) std::printf("note: the pick of item %d is tried again\n", index);
        if (SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) == FALSE) click(combo);
        if (!waitUntil([&] { return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }, 5000)) continue;
        // The opened list is a window of its own (GetComboBoxInfo does not cross processes).
        HWND dropped = nullptr;
        waitUntil([&] { return (dropped = shownWindowOfClass("ComboLBox")) != nullptr; }, 5000);
        if (!dropped) continue;
        const int top = static_cast<int>(SendMessageA(dropped, LB_GETTOPINDEX, 0, 0));
        const int height = static_cast<int>(SendMessageA(dropped, LB_GETITEMHEIGHT, 0, 0));
        RECT list{}, shown{};
        GetClientRect(dropped, &list);
        GetWindowRect(dropped, &shown);
        RECT item{list.left, (index - top) * height, list.right, (index - top + 1) * height};
        if (item.top < 0 || item.bottom > list.bottom) return false;  // not in view: no user sees it there
        MapWindowPoints(dropped, nullptr, reinterpret_cast<POINT*>(&item), 2);
        moveTo(POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
        // Inside the dotted focus frame, the selected item's colour around the text.
        InflateRect(&item, -2, -2);
        if (!waitUntil([&] { return showsMostly(item, GetSysColor(COLOR_HIGHLIGHT)); }, 5000)) continue;
        const std::vector<char> open = screenPixels(shown);
        mouseButton(true);
        mouseButton(false);
        if (waitUntil(
                [&] {
                    return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) == FALSE &&
                           SendMessageA(combo, CB_GETCURSEL, 0, 0) == index && screenPixels(shown) != open;
                },
                5000))
            return true;
    }
    return false;
}

// A real click on a window's close box.
bool pressCloseBox(HWND window)
{
    POINT box{};
    if (!tolvane::test::closeBoxOf(window, box)) return false;
    clickAt(box);
    return true;
}

void keys(const std::vector<WORD>& codes, bool down)
{
    std::vector<INPUT> inputs;
    for (WORD vk : codes) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Holds the keys for `ms` and lets them go again.
void hold(const std::vector<WORD>& codes, int ms)
{
    keys(codes, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::vector<WORD> reversed(codes.rbegin(), codes.rend());
    keys(reversed, false);
}

// Holds Ctrl+Alt+<key> for about `ms` and returns how many `line`s the program logged for
// it; `heldMs` is how long the keys were really down. Wine takes the keyboard's state from
// the X server when one of its windows gets the X focus, and so forgets keys SendInput
// holds when that focus comes late (a window just activated on a loaded machine): a
// press that gave nothing is made again, twice at most, and said.
int pressHotkey(WORD key, int ms, const std::string& log, const std::string& line, long long& heldMs)
{
    int requests = 0;
    for (int attempt = 0; attempt < 3 && requests == 0; ++attempt) {
        if (attempt > 0) std::printf("note: Ctrl+Alt+%c is pressed again\n", key);
        const int before = countOf(readFile(log), line);
        const auto down = Clock::now();
        hold({VK_CONTROL, VK_MENU, key}, ms);
        heldMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - down).count();
        waitUntil([&] { return countOf(readFile(log), line) > before; }, 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a poll that saw the keys may still write
        requests = countOf(readFile(log), line) - before;
    }
    return requests;
}

std::string workFolder()
{
    char value[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TOLVANE_TEST_WORK", value, MAX_PATH)) return windowsPath(value);
    GetTempPathA(MAX_PATH, value);
    std::string folder = value;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

}  // namespace tolvane::e2e
