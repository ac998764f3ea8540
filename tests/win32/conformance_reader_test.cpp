// What a screen reader meets on the program's three windows on the real Win32 backend: MSAA's
// role and name of every control that takes input, and the status line announcing its change.
#include "tests/win32/conformance_fixture.h"

using namespace tolvane;
using namespace tolvane::conformance;

// What MSAA gives a screen reader for a window's or control's client area.
struct MsaaReading {
    long role = 0;
    std::string name, action;
};

MsaaReading readMsaa(HWND h)
{
    MsaaReading out;
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&acc))) ||
        !acc)
        return out;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(acc->get_accRole(self, &role)) && role.vt == VT_I4) out.role = role.lVal;
    for (auto [text, get] : {std::pair{&out.name, &IAccessible::get_accName},
                             std::pair{&out.action, &IAccessible::get_accDefaultAction}}) {
        BSTR value = nullptr;
        if ((acc->*get)(self, &value) == S_OK && value) *text = win32::narrow(value);
        SysFreeString(value);
    }
    acc->Release();
    return out;
}

long msaaRoleOfKind(ControlKind kind)
{
    switch (kind) {
        case ControlKind::PushButton:
            return ROLE_SYSTEM_PUSHBUTTON;
        case ControlKind::CheckBox:
            return ROLE_SYSTEM_CHECKBUTTON;
        case ControlKind::OptionButton:
            return ROLE_SYSTEM_RADIOBUTTON;
        case ControlKind::DropDownList:
            return ROLE_SYSTEM_COMBOBOX;
        case ControlKind::ListBox:
            return ROLE_SYSTEM_LIST;
        case ControlKind::EditBox:
            return ROLE_SYSTEM_TEXT;
        case ControlKind::Label:
            return ROLE_SYSTEM_STATICTEXT;
        case ControlKind::Frame:
            return ROLE_SYSTEM_GROUPING;
        case ControlKind::Image:
            return ROLE_SYSTEM_GRAPHIC;
        case ControlKind::WebView:
            return 0;  // the hosted browser's
    }
    return 0;
}

// The design's reading of each control where its kind does not say all: the role, the name
// ("" for the window: its title) and a label's default action. The same as on Linux.
const std::map<std::string, std::map<std::string, MsaaReading>> kReadings = {
    {"Form1",
     {{"", {ROLE_SYSTEM_CLIENT, "Tolvane 3.0 - Quenmoor", {}}},
      {"Label3", {ROLE_SYSTEM_STATUSBAR, "Currently no action scheduled", {}}},
      {"Option1", {0, "Shutdown After", {}}},
      {"Combo1", {0, "Action after a delay", {}}},
      {"Combo3", {0, "Shutdown after, hours", {}}},
      {"Combo4", {0, "Shutdown after, minutes", {}}},
      {"Option2", {0, "Shutdown At", {}}},
      {"Combo2", {0, "Action at a time of day", {}}},
      {"Combo6", {0, "Shutdown at, hour", {}}},
      {"Combo5", {0, "Shutdown at, minute", {}}},
      {"Label9", {0, " Warn 30 seconds before the action", "Click"}},
      {"Check6", {0, " Warn 30 seconds before the action", {}}},
      {"Command1", {0, "SET", {}}},
      {"WebBrowser1", {0, "Information", {}}},
      {"Label4", {ROLE_SYSTEM_LINK, "Get Free Disk Defragmentation Software Trial", "Jump"}}}},
    {"HK",
     {{"", {ROLE_SYSTEM_DIALOG, "Setup Hot Keys", {}}},
      {"Check1", {0, "Shutdown on Ctrl + Alt +", {}}},
      {"Text1", {0, "Shutdown on Ctrl + Alt +", {}}},
      {"Check5", {0, "Stand by on Ctrl + Alt +", {}}},
      {"Text5", {0, "Stand by on Ctrl + Alt +", {}}},
      {"combo1", {0, " Current Settings", {}}}}},
    {"Form2", {{"", {ROLE_SYSTEM_ALERT, "", {}}}, {"Command1", {0, "OK", {}}}}},
};

// One walk per window: its client object, then each control that takes input or has a
// reading of its own.
TEST_P(Conformance, AScreenReaderReadsEachInputControlsRoleAndDesignedName)
{
    OleInitialize(nullptr);  // the answers travel as marshalled COM objects
    const auto& readings = kReadings.at(GetParam());
    const MsaaReading own = readMsaa(top), wanted = readings.at("");
    EXPECT_EQ(own.role, wanted.role) << "the window's role";
    if (!wanted.name.empty()) {
        EXPECT_EQ(own.name, wanted.name);
    }
    for (Control* c : window->controls()) {
        const auto reading = readings.find(c->name());
        if (!c->takesFocus() && reading == readings.end()) continue;
        SCOPED_TRACE(c->name());
        const MsaaReading got = readMsaa(handle(*c));
        const long role =
            reading != readings.end() && reading->second.role ? reading->second.role : msaaRoleOfKind(c->kind());
        if (role) {
            EXPECT_EQ(got.role, role);
        }
        EXPECT_FALSE(got.name.empty()) << "no name";
        EXPECT_NE(got.name, c->name()) << "named by its design name";
        if (reading == readings.end()) continue;
        EXPECT_EQ(got.name, reading->second.name);
        EXPECT_EQ(got.action, reading->second.action);
    }
    OleUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Windows, Conformance, ::testing::Values("Form1", "Form2", "HK"),
                         [](const auto& param) { return std::string(param.param); });

namespace {

// What a screen reader is told, as WinEvents (the hook runs on this thread, between messages).
std::vector<std::pair<DWORD, HWND>> heardEvents;
void CALLBACK hearEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG, DWORD, DWORD)
{
    if (object == OBJID_CLIENT) heardEvents.emplace_back(event, hwnd);
}

}  // namespace

// SET changes the status line: its name change and its live-region change are raised for it;
// and the arrow keys move between the option buttons and choose, as the dialog keys do.
TEST(ScreenReaderAndKeys, TheStatusLineAnnouncesItsChangeAndArrowKeysChooseTheOtherOption)
{
    ShownMainWindow shown;
    Form1& form = shown.form;
    HWND top = shown.top;
    HWND label3 = test::childNamed(top, "Label3");
    HWND option1 = test::childNamed(top, "Option1"), option2 = test::childNamed(top, "Option2");
    ASSERT_TRUE(label3 && option1 && option2);
    heardEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, hearEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr) << "no WinEvent hook";
    clickAt(shown.centre(form.Command1));
    ASSERT_TRUE(shown.wait([&] { return form.Command1.caption() == "RESET"; }, 3000)) << "SET was not pressed";
    const auto heard = [&](DWORD event) {
        return shown.wait(
            [&] {
                return std::find(heardEvents.begin(), heardEvents.end(), std::pair{event, label3}) != heardEvents.end();
            },
            3000);
    };
    EXPECT_TRUE(heard(EVENT_OBJECT_NAMECHANGE)) << "no name change for the status line";
    EXPECT_TRUE(heard(EVENT_OBJECT_LIVEREGIONCHANGED)) << "no live-region change for the status line";
    UnhookWinEvent(hook);
    clickAt(shown.centre(form.Command1));  // RESET

    clickAt(shown.centre(form.Option1));
    ASSERT_TRUE(shown.wait([&] { return GetFocus() == option1; }, 3000));
    for (int key : {VK_DOWN, VK_UP, VK_RIGHT, VK_LEFT, VK_UP}) {
        const bool toSecond = form.Option1.value();
        pressKey(static_cast<WORD>(key));
        EXPECT_TRUE(shown.wait(
            [&] { return GetFocus() == (toSecond ? option2 : option1) && form.Option2.value() == toSecond; }, 3000))
            << "key " << key << " did not move to the other option and choose it";
        EXPECT_EQ(SendMessageA(option2, BM_GETCHECK, 0, 0) == BST_CHECKED, form.Option2.value());
    }
}
