// The Win32 rendering of the window-system model, on real windows under Wine: native
// control kinds, twips geometry, values both ways, the key filter, tab order, close
// requests and the timers. What a user does is done with real input (SendInput).
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/model/control.h"
#include "platform/model/timer.h"
#include "platform/model/twips.h"
#include "platform/model/window.h"
#include "platform/model/window_system.h"
#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_text.h"
#include "tests/win32/find_control.h"
#include "tests/win32/real_input.h"

#include <windows.h>

using namespace tolvane;

namespace {

// A small window with one control of each kind, laid out as the program's are.
class TestWindow : public Window {
public:
    explicit TestWindow(WindowSystem& system)
        : Window(system, {"TestForm", "Test Form", 4500, 3000, "tolvane"}),
          frame(*this, {"Frame1", {300, 300, 3000, 900}, 7, "", nullptr}),
          label(*this, {"Label1", {150, 150, 1500, 255}, 8, "Inside", &frame}),
          option1(*this, {"Option1", {150, 1300, 255, 375}, 0, "", nullptr}, true),
          combo(*this, {"Combo1", {600, 1300, 2000, 315}, 1, "", nullptr}, {"Shutdown At", "Restart At"}),
          option2(*this, {"Option2", {150, 1800, 255, 375}, 2, "", nullptr}, false),
          check(*this, {"Check1", {600, 1800, 255, 255}, 3, "Check1", nullptr}),
          edit(*this, {"Text1", {1200, 1800, 270, 270}, 4, "", nullptr}, 1),
          list(*this, {"List1", {150, 2200, 2000, 600}, 5, "", nullptr}),
          button(*this, {"Command1", {2400, 2200, 1200, 375}, 6, "SET", nullptr}),
          web(*this, {"WebBrowser1", {0, 2900, 4530, 100}, 9, "", nullptr}),
          timer(*this, "Timer1", 50, false)
    {
        edit.onKeyPress = [](int code) {
            if (code >= 'a' && code <= 'z') return code - 32;
            return std::isalnum(code) || code == 8 ? code : 0;
        };
    }
    Frame frame;
    Label label;
    OptionButton option1;
    DropDownList combo;
    OptionButton option2;
    CheckBox check;
    EditBox edit;
    ListBox list;
    PushButton button;
    WebView web;
    Timer timer;
};

class Backend : public ::testing::Test {
protected:
    Backend() : ui(system, GetModuleHandleA(nullptr)), form(system) { form.load(); }

    HWND hwnd(const Control& c) const { return test::childNamed(top(), c.name()); }
    HWND top() const { return static_cast<HWND>(ui.windowHandle(form)); }
    // The window on the screen and in front, for real input.
    void show()
    {
        form.setVisible(true);
        SetForegroundWindow(top());
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == top(); }, 5000));
    }
    // A real click in the middle of a control; waits until `done` (the model saw it).
    bool click(const Control& c, const std::function<bool()>& done)
    {
        test::clickAt(test::centreOf(hwnd(c)));
        return pumpUntil(done, 3000);
    }
    void settle(int ms)
    {
        pumpUntil([] { return false; }, ms);
    }
    std::string className(const Control& c) const
    {
        char name[64] = {};
        GetClassNameA(hwnd(c), name, sizeof name);
        return name;
    }
    // Lets real events arrive until `done` holds or the time is up (GUI test: a
    // generous limit, never a fixed sleep).
    bool pumpUntil(const std::function<bool()>& done, int limitMs)
    {
        return test::waitUntil(done, limitMs, test::messageLoop([this] { ui.processPendingEvents(); }));
    }

    WindowSystem system;
    win32::Win32Ui ui;
    TestWindow form;
};

}  // namespace

TEST_F(Backend, EachControlIsItsNativeKind)
{
    EXPECT_EQ(className(form.button), "Button");
    EXPECT_EQ(className(form.frame), "Button");
    EXPECT_EQ(GetWindowLongA(hwnd(form.frame), GWL_STYLE) & 0xF, BS_GROUPBOX);
    EXPECT_EQ(GetWindowLongA(hwnd(form.check), GWL_STYLE) & 0xF, BS_CHECKBOX);
    EXPECT_EQ(GetWindowLongA(hwnd(form.option1), GWL_STYLE) & 0xF, BS_RADIOBUTTON);
    EXPECT_EQ(className(form.combo), "ComboBox");
    EXPECT_EQ(GetWindowLongA(hwnd(form.combo), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(className(form.list), "ListBox");
    EXPECT_EQ(className(form.edit), "Edit");
    EXPECT_EQ(SendMessageA(hwnd(form.edit), EM_GETLIMITTEXT, 0, 0), 1);
    EXPECT_EQ(className(form.label), "Static");
    EXPECT_EQ(win32::windowText(hwnd(form.button)), "SET");
    EXPECT_EQ(SendMessageA(hwnd(form.combo), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(hwnd(form.combo), CB_GETCURSEL, 0, 0), CB_ERR);  // nothing selected at creation
}

TEST_F(Backend, GeometryIsTwipsAtTheScreensDpiWithFramesAsOrigins)
{
    const int dpi = ui.dotsPerInch();
    RECT client;
    GetClientRect(top(), &client);
    EXPECT_EQ(client.right, twipsToPixels(4500, dpi));
    EXPECT_EQ(client.bottom, twipsToPixels(3000, dpi));
    // The window cannot be resized.
    EXPECT_EQ(GetWindowLongA(top(), GWL_STYLE) & WS_THICKFRAME, 0);
    RECT r;
    GetWindowRect(hwnd(form.label), &r);
    MapWindowPoints(nullptr, top(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, twipsToPixels(300, dpi) + twipsToPixels(150, dpi));
    EXPECT_EQ(r.top, twipsToPixels(300, dpi) + twipsToPixels(150, dpi));
    EXPECT_EQ(r.right - r.left, twipsToPixels(1500, dpi));
    EXPECT_EQ(r.bottom - r.top, twipsToPixels(255, dpi));
}

TEST_F(Backend, ModelChangesReachTheNativeControls)
{
    form.button.setCaption("RESET");
    EXPECT_EQ(win32::windowText(hwnd(form.button)), "RESET");
    form.setCaption("Renamed");
    EXPECT_EQ(win32::windowText(top()), "Renamed");
    ASSERT_TRUE(form.combo.setText("restart at"));
    EXPECT_EQ(SendMessageA(hwnd(form.combo), CB_GETCURSEL, 0, 0), 1);
    form.check.setValue(1);
    EXPECT_EQ(SendMessageA(hwnd(form.check), BM_GETCHECK, 0, 0), BST_CHECKED);
    form.list.addItem("one");
    form.list.addItem("two");
    EXPECT_EQ(SendMessageA(hwnd(form.list), LB_GETCOUNT, 0, 0), 2);
    form.list.clear();
    EXPECT_EQ(SendMessageA(hwnd(form.list), LB_GETCOUNT, 0, 0), 0);
    form.edit.setText("Q");
    EXPECT_EQ(win32::windowText(hwnd(form.edit)), "Q");
    form.setVisible(true);
    EXPECT_TRUE(IsWindowVisible(top()));
    form.setVisible(false);
    EXPECT_FALSE(IsWindowVisible(top()));
    form.label.setFontUnderline(true);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd(form.label), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_TRUE(font.lfUnderline);
}

TEST_F(Backend, UserActionsGoIntoTheModel)
{
    show();
    EXPECT_TRUE(click(form.option2, [&] { return form.option2.value(); }));
    EXPECT_FALSE(form.option1.value());  // one group: the model clears the other
    EXPECT_EQ(SendMessageA(hwnd(form.option1), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(hwnd(form.option2), BM_GETCHECK, 0, 0), BST_CHECKED);

    EXPECT_TRUE(click(form.check, [&] { return form.check.value() == 1; }));
    settle(static_cast<int>(GetDoubleClickTime()) + 100);  // a second click, not a double click
    EXPECT_TRUE(click(form.check, [&] { return form.check.value() == 0; }));

    // A pick: a click opens the list, a click on the second item picks it.
    ASSERT_TRUE(click(form.combo, [&] { return SendMessageA(hwnd(form.combo), CB_GETDROPPEDSTATE, 0, 0) != FALSE; }));
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(hwnd(form.combo), &info));
    RECT item{};
    SendMessageA(info.hwndList, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(info.hwndList, &at);
    test::clickAt(at);
    EXPECT_TRUE(pumpUntil([&] { return form.combo.text() == "Restart At"; }, 3000)) << form.combo.text();

    int clicks = 0;
    form.button.onClick = [&] { ++clicks; };
    EXPECT_TRUE(click(form.button, [&] { return clicks > 0; }));
    settle(100);
    EXPECT_EQ(clicks, 1);
    int labelClicks = 0;
    form.label.onClick = [&] { ++labelClicks; };
    EXPECT_TRUE(click(form.label, [&] { return labelClicks > 0; }));
    settle(100);
    EXPECT_EQ(labelClicks, 1);
}

TEST_F(Backend, TypedKeysPassTheFilterThenTheLimit)
{
    show();
    HWND box = hwnd(form.edit);
    ASSERT_TRUE(click(form.edit, [&] { return GetFocus() == box; }));
    test::pressKeys({VK_SHIFT, '1'});  // "!": discarded by the filter
    settle(200);
    EXPECT_EQ(form.edit.text(), "");
    test::pressKey('Q');  // "q": changed by the filter
    EXPECT_TRUE(pumpUntil([&] { return form.edit.text() == "Q"; }, 3000)) << form.edit.text();
    EXPECT_EQ(win32::windowText(box), "Q");
    test::pressKeys({VK_SHIFT, 'W'});  // past the limit of one character
    settle(200);
    EXPECT_EQ(form.edit.text(), "Q");
    test::pressKeys({VK_SHIFT, VK_HOME});  // selected, the present character is replaced
    test::pressKey('7');
    EXPECT_TRUE(pumpUntil([&] { return form.edit.text() == "7"; }, 3000)) << form.edit.text();
    test::pressKey(VK_BACK);  // Backspace passes the filter and deletes
    EXPECT_TRUE(pumpUntil([&] { return form.edit.text().empty(); }, 3000)) << form.edit.text();
}

TEST_F(Backend, TabOrderFollowsTheTabPlacesAndSkipsLabels)
{
    auto tabOrder = [&] {
        std::vector<HWND> order;
        HWND first = GetNextDlgTabItem(top(), nullptr, FALSE);
        for (HWND h = first; h && order.size() < 12; h = GetNextDlgTabItem(top(), h, FALSE)) {
            if (!order.empty() && h == first) break;
            order.push_back(h);
        }
        return order;
    };
    // As in a classic option group, the tab key stops only at the selected option
    // button; frames and labels never take the focus.
    EXPECT_EQ(tabOrder(), (std::vector<HWND>{hwnd(form.option1), hwnd(form.combo), hwnd(form.check), hwnd(form.edit),
                                             hwnd(form.list), hwnd(form.button), hwnd(form.web)}));
    form.option2.setValue(true);
    EXPECT_EQ(tabOrder(), (std::vector<HWND>{hwnd(form.combo), hwnd(form.option2), hwnd(form.check), hwnd(form.edit),
                                             hwnd(form.list), hwnd(form.button), hwnd(form.web)}));
}

TEST_F(Backend, CloseBoxAsksTheModelWhichMayRefuse)
{
    show();
    int asked = 0;
    form.onQueryUnload = [&](int& cancel) {
        ++asked;
        cancel = 1;
    };
    HWND window = top();
    POINT closeBox{};
    ASSERT_TRUE(test::closeBoxOf(window, closeBox));
    test::clickAt(closeBox);
    EXPECT_TRUE(pumpUntil([&] { return asked > 0; }, 3000));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(form.loaded());
    form.onQueryUnload = nullptr;
    settle(static_cast<int>(GetDoubleClickTime()) + 100);
    test::clickAt(closeBox);
    EXPECT_TRUE(pumpUntil([&] { return !form.loaded(); }, 3000));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ui.windowHandle(form), nullptr);
}

TEST_F(Backend, TheWebPanelIsHostedInItsPlace)
{
    // atl.dll's AtlAxWin hosts the system's WebBrowser; without one (Wine without Gecko)
    // a plain frame keeps the panel's place. Either way navigating must not fail.
    ASSERT_NE(hwnd(form.web), nullptr);
    const std::string cls = className(form.web);
    EXPECT_TRUE(cls == "AtlAxWin" || cls == "Static") << cls;
    RECT r;
    GetWindowRect(hwnd(form.web), &r);
    EXPECT_EQ(r.right - r.left, twipsToPixels(4530, ui.dotsPerInch()));
    ui.Navigate(form.web, "http://www.quenmoor.example/info.php?n=tolv");
    std::printf("web panel: %s\n", cls.c_str());
}

TEST_F(Backend, TheSessionEndIsNotRefused)
{
    EXPECT_EQ(SendMessageA(top(), WM_QUERYENDSESSION, 0, 0), TRUE);
}

// The program ends with its windows loaded: they go with the backend, and so do the
// global atoms of their controls' names, which would otherwise outlive the program.
TEST(BackendEnd, TheWindowsStillLoadedGiveBackTheirNames)
{
    WindowSystem system;
    {
        win32::Win32Ui ui(system, GetModuleHandleA(nullptr));
        Window form(system, {"EndForm", "End", 1500, 1000, "tolvane"});
        PushButton button(form, {"TolvaneEndCheck", {120, 120, 900, 375}, 0, "OK"});
        form.load();
        ASSERT_NE(GlobalFindAtomA("TolvaneEndCheck"), 0);
    }
    EXPECT_EQ(GlobalFindAtomA("TolvaneEndCheck"), 0);
}

TEST_F(Backend, TimersKeepTheirPaceWithoutCumulativeDrift)
{
    std::vector<std::chrono::steady_clock::time_point> ticks;
    form.timer.onTimer = [&] {
        ticks.push_back(std::chrono::steady_clock::now());
        // A handler that takes a good part of the interval: a timer re-armed after the
        // handler would fall behind by this much on every tick.
        const auto busy = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
        while (std::chrono::steady_clock::now() < busy) {
        }
        if (ticks.size() == 20) form.timer.setEnabled(false);
    };
    const auto start = std::chrono::steady_clock::now();
    form.timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks.size() >= 20; }, 10000));
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(ticks.back() - start).count();
    EXPECT_GE(elapsed, 20 * 50 - 20);                        // no tick comes early
    EXPECT_LT(elapsed, 20 * 50 + 300) << "the ticks drift";  // 30 ms a tick would make +600
    // Stopped from its own handler: no further tick.
    EXPECT_FALSE(pumpUntil([&] { return ticks.size() > 20; }, 300));
}

TEST_F(Backend, PendingEventsRunWithoutReenteringTheRunningHandler)
{
    int depth = 0, maxDepth = 0, ticks = 0;
    form.timer.onTimer = [&] {
        ++ticks;
        maxDepth = std::max(maxDepth, ++depth);
        // Wait past the next due time inside the handler, then let the events run: the
        // timer's own tick must not run this handler again.
        const auto busy = std::chrono::steady_clock::now() + std::chrono::milliseconds(120);
        while (std::chrono::steady_clock::now() < busy) {
        }
        ui.processPendingEvents();
        --depth;
    };
    form.timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }, 5000));
    form.timer.setEnabled(false);
    EXPECT_EQ(maxDepth, 1);
}

TEST_F(Backend, ChangingTheIntervalRestartsTheCount)
{
    int ticks = 0;
    form.timer.onTimer = [&] { ++ticks; };
    form.timer.setInterval(400);
    form.timer.setEnabled(true);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 1; }, 3000));
    const auto first =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(first, 380);
}
