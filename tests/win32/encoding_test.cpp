// One text encoding: UTF-8 inside the program, the system's ANSI code page at every A
// function of Windows, UTF-16 for COM, both ways. Each edge is crossed with a character
// outside ASCII. The suite runs under the code page Wine starts with (1252 for an
// English system) and once more under 1251 (Cyrillic: win32.unit.cp1251), where a
// Latin-1 byte handed over unconverted would show as another letter.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "platform/model/control.h"
#include "platform/model/window.h"
#include "platform/model/window_system.h"
#include "platform/win32/text_store.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"
#include "tests/file_contents.h"
#include "tray/notify_record.h"
// These bring in <windows.h>, whose macros must come after the project's own headers.
#include "platform/win32/win32_text.h"
#include "tests/win32/find_control.h"
#include "tests/win32/paths.h"
#include "tests/win32/real_input.h"

#include <windows.h>
#undef MessageBox

using namespace tolvane;
using test::readFile;

namespace {

// A letter of the code page that is not ASCII, as UTF-8, as its ANSI byte and as UTF-16,
// and a second pair for the key filter: the character typed and the one it becomes.
struct Sample {
    const char* utf8;
    unsigned char ansi;
    wchar_t wide;
    wchar_t typed;  // no key of its own on the keyboard: typed as a character
    unsigned char typedAnsi;
    wchar_t replaced;  // what the key filter makes of it
    const char* replacedUtf8;
};

const Sample* sampleForThisCodePage()
{
    static const Sample western{"\xC3\xA9", 0xE9, L'\u00E9', L'\u20AC', 0x80, L'\u00C9', "\xC3\x89"};   // é, €, É
    static const Sample cyrillic{"\xD0\x96", 0xC6, L'\u0416', L'\u0416', 0xC6, L'\u042F', "\xD0\xAF"};  // Ж, Ж, Я
    switch (GetACP()) {
        case 1252:
            return &western;
        case 1251:
            return &cyrillic;
        default:
            return nullptr;
    }
}

class TextWindow : public Window {
public:
    explicit TextWindow(WindowSystem& system, const std::string& text)
        : Window(system, {"TextForm", "Form " + text, 3000, 1500, "tolvane"}),
          label(*this, {"Label1", {120, 120, 1500, 255}, 3, "Label " + text}),
          combo(*this, {"Combo1", {120, 450, 1500, 315}, 0, ""}, {"Item " + text}),
          list(*this, {"List1", {1800, 120, 1000, 600}, 1, ""}),
          edit(*this, {"Text1", {120, 900, 1500, 285}, 2, ""}, 0)
    {
    }
    Label label;
    DropDownList combo;
    ListBox list;
    EditBox edit;
};

class AnsiEdge : public ::testing::Test {
protected:
    void SetUp() override
    {
        sample = sampleForThisCodePage();
        if (!sample) GTEST_SKIP() << "no sample letter for code page " << GetACP();
        std::printf("code page %u\n", GetACP());
    }
    const Sample* sample = nullptr;
};

std::wstring wideText(HWND h)
{
    wchar_t text[256] = {};
    GetWindowTextW(h, text, 256);
    return text;
}

BOOL CALLBACK findOwnMessageBox(HWND h, LPARAM p)
{
    char cls[16] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(h, &process);
    GetClassNameA(h, cls, sizeof cls);
    if (process == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(h)) {
        *reinterpret_cast<HWND*>(p) = h;
        return FALSE;
    }
    return TRUE;
}

HWND messageBoxOfThisProcess()
{
    HWND found = nullptr;
    EnumWindows(findOwnMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

TEST_F(AnsiEdge, TheConversionsThemselves)
{
    EXPECT_EQ(win32::ansiFromUtf8(sample->utf8), std::string(1, static_cast<char>(sample->ansi)));
    EXPECT_EQ(win32::utf8FromAnsi(std::string(1, static_cast<char>(sample->ansi))), sample->utf8);
    EXPECT_EQ(win32::unicodeOfAnsiChar(sample->ansi), sample->wide);
    EXPECT_EQ(win32::ansiCharOfUnicode(sample->wide), sample->ansi);
    EXPECT_EQ(win32::ansiCharOfUnicode(0x4E2D), 0u);  // no such character in the code page
    EXPECT_EQ(win32::ansiFromUtf8("a\xE4\xB8\xAD"
                                  "b"),
              "a?b");
    // COM's UTF-16 (the settings store's BSTRs) from and to the program's UTF-8.
    EXPECT_EQ(win32::widen(sample->utf8), std::wstring(1, sample->wide));
    EXPECT_EQ(win32::narrow(std::wstring(1, sample->wide).c_str()), sample->utf8);
}

TEST_F(AnsiEdge, WindowTextsGoOutAndComeBackAsTheSameCharacters)
{
    WindowSystem system;
    win32::Win32Ui ui(system, GetModuleHandleA(nullptr));
    TextWindow form(system, sample->utf8);
    form.load();
    form.setVisible(true);
    const std::wstring letter(1, sample->wide);
    HWND top = static_cast<HWND>(ui.windowHandle(form));
    EXPECT_EQ(wideText(top), L"Form " + letter);
    EXPECT_EQ(wideText(test::childNamed(top, form.label.name())), L"Label " + letter);
    form.label.setCaption(std::string("Now ") + sample->utf8);
    EXPECT_EQ(wideText(test::childNamed(top, form.label.name())), L"Now " + letter);
    wchar_t item[64] = {};
    SendMessageW(test::childNamed(top, form.combo.name()), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), L"Item " + letter);
    form.list.addItem(std::string("Line ") + sample->utf8);
    SendMessageW(test::childNamed(top, form.list.name()), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), L"Line " + letter);
    form.edit.setText(sample->utf8);
    EXPECT_EQ(wideText(test::childNamed(top, form.edit.name())), letter);
    EXPECT_EQ(win32::windowText(test::childNamed(top, form.edit.name())), sample->utf8);

    // Coming in: a paste (real Ctrl+V into the focused box) reaches the model as UTF-8.
    HWND edit = test::childNamed(top, form.edit.name());
    form.edit.setText("");
    SetForegroundWindow(top);
    test::clickAt(test::centreOf(edit));
    auto pump = test::messageLoop([&] { ui.processPendingEvents(); });
    ASSERT_TRUE(test::waitUntil([&] { return GetFocus() == edit; }, 5000, pump));
    ASSERT_TRUE(OpenClipboard(top));
    EmptyClipboard();
    const std::wstring pasted = L"P" + letter;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (pasted.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), pasted.c_str(), (pasted.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    test::pressKeys({VK_CONTROL, 'V'});
    EXPECT_TRUE(test::waitUntil([&] { return form.edit.text() == std::string("P") + sample->utf8; }, 5000, pump))
        << "the model holds \"" << form.edit.text() << "\"";
}

TEST_F(AnsiEdge, ATypedCharacterReachesTheKeyFilterAsItsUnicodeCode)
{
    WindowSystem system;
    win32::Win32Ui ui(system, GetModuleHandleA(nullptr));
    TextWindow form(system, "keys");
    std::vector<int> seen;
    const int typed = sample->typed, replaced = sample->replaced;
    form.edit.onKeyPress = [&](int code) {
        seen.push_back(code);
        return code == typed ? replaced : 0;
    };
    form.load();
    form.setVisible(true);
    HWND top = static_cast<HWND>(ui.windowHandle(form));
    HWND edit = test::childNamed(top, form.edit.name());
    SetForegroundWindow(top);
    auto pump = test::messageLoop([&] { ui.processPendingEvents(); });
    test::clickAt(test::centreOf(edit));
    ASSERT_TRUE(test::waitUntil([&] { return GetFocus() == edit; }, 5000, pump));
    test::typeCharacter(sample->typed);
    ASSERT_TRUE(test::waitUntil([&] { return !seen.empty(); }, 5000, pump)) << "no key reached the filter";
    EXPECT_EQ(seen, std::vector<int>{typed}) << "the filter was handed the code page's byte";
    // What the filter gave back goes into the ANSI box as the code page's byte.
    EXPECT_TRUE(test::waitUntil([&] { return form.edit.text() == sample->replacedUtf8; }, 5000, pump))
        << "the model holds \"" << form.edit.text() << "\"";
    EXPECT_EQ(wideText(edit), std::wstring(1, sample->replaced));
}

TEST_F(AnsiEdge, MessageBoxShowsTheTextsAsWritten)
{
    win32::Win32Dialogs dialogs;
    const std::string title = std::string("Tolvane ") + sample->utf8;
    const std::wstring wideTitle = std::wstring(L"Tolvane ") + sample->wide;
    std::wstring shownTitle, shownText;
    std::atomic<bool> pressed{false};
    std::thread user([&] {
        // Any message box of this process, whatever its title reads, so that a wrong
        // title fails the test rather than leave the box waiting for a click.
        HWND box = nullptr;
        test::waitUntil([&] { return (box = messageBoxOfThisProcess()) != nullptr; }, 10000);
        if (!box) return;
        shownTitle = wideText(box);
        shownText = wideText(GetDlgItem(box, 0xFFFF));
        SetForegroundWindow(box);
        test::pressKey(VK_RETURN);  // OK, pressed as a user does
        pressed = true;
    });
    dialogs.MessageBox(title, std::string("Saved ") + sample->utf8);
    user.join();
    EXPECT_TRUE(pressed.load()) << "no message box appeared";
    EXPECT_EQ(shownTitle, wideTitle);
    EXPECT_EQ(shownText, std::wstring(L"Saved ") + sample->wide);
}

TEST_F(AnsiEdge, TheTooltipReachesTheShellInTheSystemCodePage)
{
    // The logic lays the tip out in Latin-1; é is in code page 1252 and not in 1251.
    NotifyRecord record;
    record.szTip = tipField("Open \xC3\xA9");  // "Open é"
    const NotifyIconRecord bytes = record.bytes();
    const std::string field = win32::systemTipField(bytes.data() + 24);
    ASSERT_EQ(field.size(), 64u);
    const char expected = GetACP() == 1252 ? '\xE9' : '?';
    EXPECT_EQ(field.substr(0, 7), std::string("Open ") + expected + '\0');
    EXPECT_EQ(field[63], ' ');
    // A tip of 64 characters keeps all of them and no NUL.
    record.szTip = tipField(std::string(70, 'x'));
    EXPECT_EQ(win32::systemTipField(record.bytes().data() + 24), std::string(64, 'x'));
}

TEST_F(AnsiEdge, TheTextStoreFileHoldsTheSystemCodePage)
{
    const std::string path = test::tempPath("tolv-ansi-store.txt");
    const char a = static_cast<char>(sample->ansi);
    std::ofstream(path, std::ios::binary) << "ky\t" << a << "\tR\tL\tH\tB\r\nen\t1\t0\t0\t0\t0\r\n";
    auto tables = win32::readTextTables(path);
    ASSERT_TRUE(tables);
    EXPECT_EQ(tables.value()["ky"][0], sample->utf8);
    tables.value()["ky"][1] = std::string("Q") + sample->utf8;
    ASSERT_TRUE(win32::writeTextTables(path, tables.value()));
    EXPECT_EQ(readFile(path), std::string("en\t1\t0\t0\t0\t0\r\nky\t") + a + "\tQ" + a + "\tL\tH\tB\r\n");
    std::remove(path.c_str());
}

TEST_F(AnsiEdge, TheWindowsFolderComesInAsUtf8)
{
    win32::Win32Environment environment;
    char saved[MAX_PATH] = {};
    const DWORD had = GetEnvironmentVariableA("windir", saved, MAX_PATH);
    const std::string folder = std::string("D:\\W") + static_cast<char>(sample->ansi);
    SetEnvironmentVariableA("windir", folder.c_str());
    EXPECT_EQ(environment.windowsDirectory(), std::string("D:\\W") + sample->utf8);
    SetEnvironmentVariableA("windir", had ? saved : nullptr);
}
