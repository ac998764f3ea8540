// The program's three windows on the real Win32 backend, checked against their design
// with real input. Every check walks the controls of the window-system model, so that a
// control added to a window is checked without a line more here:
// - real input reaches each control at its designed place (WindowFromPoint and
//   ChildWindowFromPointEx at the designed point, then a SendInput click there), and the
//   model sees the control's own event;
// - it is shown in its designed rectangle and no sibling lies over it against the
//   design's layering (frames beneath labels, labels beneath the windowed controls);
// - a one-line caption fits its designed width in the font the control really has,
//   on one line, and no sibling covers its text;
// - real Tab presses walk the designed tab order;
// - a screen reader (MSAA, AccessibleObjectFromWindow) reads every control that takes input
//   with the role of its kind and a name from the design, and hears the status line change.
// A control that lies wholly outside its window's client area is not visible by design
// and is left out (Form1's advertising label).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/form2.h"
#include "app/program.h"
#include "hotkeys/hk.h"
#include "platform/model/control.h"
#include "platform/model/dialog_font.h"
#include "platform/model/twips.h"
#include "platform/model/window.h"
#include "platform/platform.h"
#include "platform/win32/text_store.h"
#include "platform/win32/dry_run.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_ui.h"
#include "tests/win32/find_control.h"
#include "tests/win32/real_input.h"

#include <windows.h>
#include <oleacc.h>

using namespace tolvane;
using tolvane::test::clickAt;
using tolvane::test::pressKey;

namespace {

std::string workFile(const char* name)
{
    char value[MAX_PATH] = {};
    std::string folder;
    if (GetEnvironmentVariableA("TOLVANE_TEST_WORK", value, MAX_PATH)) {
        folder = value;
        if (!folder.empty() && folder[0] == '/') {
            for (char& c : folder)
                if (c == '/') c = '\\';
            folder = "Z:" + folder;
        }
    } else {
        GetTempPathA(MAX_PATH, value);
        folder = value;
    }
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + name;
}

class RecordingLauncher : public LauncherApi {
public:
    double Shell(const std::string& line, int) override
    {
        lines.push_back(line);
        return 1;
    }
    std::vector<std::string> lines;
};

// Every property change the model tells, to see whether a click changed anything.
class Changes : public ModelObserver {
public:
    void propertyChanged(Window&, Control* c, Property property, const PropertyValue&) override
    {
        if (c) seen.push_back(c->name() + "." + std::string(propertyName(property)));
    }
    std::vector<std::string> seen;
};

// The whole program on the real backend, with a recording power service and a text
// store of its own: nothing here can shut anything down.
class ProgramUnderTest {
public:
    ProgramUnderTest()
        : instance_(GetModuleHandleA(nullptr)),
          log_(workFile("conformance-power.log")),
          power_(log_),
          store_(prepareStore()),
          ui(windows, instance_),
          display_(ui, instance_),
          clock_(instance_),
          shell_(instance_),
          platform_{windows,   ui,     display_,  dialogs_, clock_,       power_, power_,
                    keyboard_, shell_, launcher_, ui,       environment_, store_},
          program(platform_)
    {
        program.start();
        windows.addObserver(changes);
    }
    ~ProgramUnderTest() { windows.removeObserver(changes); }

    static std::string prepareStore()
    {
        const std::string path = workFile("conformance-store.txt");
        std::ofstream(path, std::ios::binary) << "ky\tS\tR\tL\tH\tB\r\nen\t0\t0\t0\t0\t0\r\n";
        return path;
    }

    void pump() { ui.processPendingEvents(); }

    HINSTANCE instance_;
    win32::DryRunLog log_;
    win32::LoggingPower power_;
    win32::TextStore store_;
    WindowSystem windows;
    win32::Win32Ui ui;
    win32::Win32Display display_;
    win32::Win32Dialogs dialogs_;
    win32::Win32Clock clock_;
    win32::Win32Keyboard keyboard_;
    win32::Win32Shell shell_;
    RecordingLauncher launcher_;
    win32::Win32Environment environment_;
    Platform platform_;
    Program program;
    Changes changes;
};

// The design's layering: frames beneath labels, labels beneath the windowed controls.
DesignLayer layer(const Control& c)
{
    return designLayer(c.kind());
}

RECT rectOf(const PixelRect& p)
{
    return RECT{p.left, p.top, p.left + p.width, p.top + p.height};
}

bool intersects(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

bool contains(const RECT& r, POINT p)
{
    return PtInRect(&r, p) != FALSE;
}

class Conformance : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        app = std::make_unique<ProgramUnderTest>();
        dpi = app->ui.dotsPerInch();
        const std::string name = GetParam();
        if (name == "Form1") {
            window = &app->program.form1();
        } else if (name == "HK") {
            window = &app->program.hk();
        } else {
            window = &app->program.form2();
            window->load();
        }
        window->setVisible(true);
        top = static_cast<HWND>(app->ui.windowHandle(*window));
        ASSERT_NE(top, nullptr);
        SetForegroundWindow(top);
        ASSERT_TRUE(wait([&] { return GetForegroundWindow() == top && GetFocus() != nullptr; }, 5000))
            << name << " does not come to the front";
        settle(200);
    }

    bool wait(const std::function<bool()>& done, int limitMs)
    {
        return test::waitUntil(done, limitMs, test::messageLoop([this] { app->pump(); }));
    }
    // Lets the events of an input run to their end (nothing more is waited for).
    void settle(int ms)
    {
        wait([] { return false; }, ms);
    }

    // The native control, found by its name once (the window keeps its controls).
    HWND handle(const Control& c) const
    {
        auto [it, added] = handles.try_emplace(&c, nullptr);
        if (added) it->second = test::childNamed(top, c.name());
        return it->second;
    }

    RECT clientRect() const
    {
        return RECT{0, 0, twipsToPixels(window->design().clientWidth, dpi),
                    twipsToPixels(window->design().clientHeight, dpi)};
    }
    RECT designed(const Control& c) const { return rectOf(pixelRect(c, dpi)); }
    bool visibleByDesign(const Control& c) const { return c.visible() && intersects(designed(c), clientRect()); }

    // The controls the design puts above `c` that hold the client point `p`.
    bool coveredByDesign(const Control& c, POINT p) const
    {
        for (Control* other : window->controls()) {
            if (other == &c || !visibleByDesign(*other) || !contains(designed(*other), p)) continue;
            if (layer(*other) > layer(c)) return true;
        }
        return false;
    }

    // The designed centre, or, where the design puts other controls over it (a frame
    // under what it holds), the point of its own rectangle nearest to the centre that
    // nothing lies over.
    bool probePoint(const Control& c, POINT& out) const
    {
        const RECT r = designed(c), client = clientRect();
        RECT visible;
        IntersectRect(&visible, &r, &client);
        const POINT centre{(visible.left + visible.right) / 2, (visible.top + visible.bottom) / 2};
        if (!coveredByDesign(c, centre)) {
            out = centre;
            return true;
        }
        long best = -1;
        for (int y = visible.top + 1; y < visible.bottom - 1; ++y) {
            for (int x = visible.left + 1; x < visible.right - 1; ++x) {
                if (coveredByDesign(c, POINT{x, y})) continue;
                const long d = (x - centre.x) * (x - centre.x) + (y - centre.y) * (y - centre.y);
                if (best < 0 || d < best) {
                    best = d;
                    out = POINT{x, y};
                }
            }
        }
        return best >= 0;
    }

    POINT toScreen(POINT client) const
    {
        ClientToScreen(top, &client);
        return client;
    }

    // The model control whose native window is `h` or holds it.
    Control* controlAt(HWND h) const
    {
        for (; h && h != top; h = GetParent(h))
            for (Control* c : window->controls())
                if (handle(*c) == h) return c;
        return nullptr;
    }

    std::string describe(HWND h) const
    {
        if (Control* c = controlAt(h)) return c->name();
        char cls[64] = {}, title[128] = {};
        GetClassNameA(h, cls, sizeof cls);
        GetWindowTextA(h, title, sizeof title);
        return std::string("a window of class ") + cls + " \"" + title + "\"";
    }

    // The control's visible rectangle on its window's client area: its window
    // rectangle, cut to its window region where it has one.
    RECT visibleRect(HWND h) const
    {
        RECT r{};
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        RECT box{};
        if (GetWindowRgn(h, region) != ERROR && GetRgnBox(region, &box) != ERROR)
            r = RECT{r.left + box.left, r.top + box.top, r.left + box.right, r.top + box.bottom};
        DeleteObject(region);
        return r;
    }

    // The siblings lying above `h` in the real z-order.
    std::vector<HWND> above(HWND h) const
    {
        std::vector<HWND> out;
        for (HWND s = GetWindow(h, GW_HWNDPREV); s; s = GetWindow(s, GW_HWNDPREV))
            if (IsWindowVisible(s)) out.push_back(s);
        return out;
    }

    void expectModelEvent(Control& c, POINT screen);

    std::unique_ptr<ProgramUnderTest> app;
    Window* window = nullptr;
    HWND top = nullptr;
    int dpi = 96;
    mutable std::map<const Control*, HWND> handles;
};

// A real click at the point, and the event of the control's kind in the model.
void Conformance::expectModelEvent(Control& c, POINT screen)
{
    HWND h = handle(c);
    switch (c.kind()) {
        case ControlKind::PushButton:
        case ControlKind::Label: {
            int clicks = 0;
            auto handler = c.onClick;
            c.onClick = [&] { ++clicks; };  // seen, and the program's own reaction kept out
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return clicks > 0; }, 3000)) << c.name() << ": the click is not seen";
            settle(100);
            EXPECT_EQ(clicks, 1) << c.name();
            c.onClick = handler;
            break;
        }
        case ControlKind::CheckBox: {
            auto& box = static_cast<CheckBox&>(c);
            const int before = box.value();
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return box.value() != before; }, 3000)) << c.name() << ": not toggled";
            settle(100);
            EXPECT_EQ(box.value(), before == 0 ? 1 : 0) << c.name() << ": toggled once";
            EXPECT_EQ(SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED, box.value() == 1) << c.name();
            box.setValue(before);
            break;
        }
        case ControlKind::OptionButton: {
            auto& option = static_cast<OptionButton&>(c);
            const bool before = option.value();
            option.setValue(false);
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return option.value(); }, 3000)) << c.name() << ": not selected by the click";
            EXPECT_EQ(SendMessageA(h, BM_GETCHECK, 0, 0), BST_CHECKED) << c.name();
            option.setValue(before);
            break;
        }
        case ControlKind::DropDownList: {
            auto& list = static_cast<ListControl&>(c);
            clickAt(screen);
            ASSERT_TRUE(wait([&] { return SendMessageA(h, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }, 3000))
                << c.name() << ": the click does not open the list";
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(h, &info));
            const int count = static_cast<int>(SendMessageA(info.hwndList, LB_GETCOUNT, 0, 0));
            const int first = static_cast<int>(SendMessageA(info.hwndList, LB_GETTOPINDEX, 0, 0));
            const int target = first + 1 != list.listIndex() ? first + 1 : first + 2;
            ASSERT_LT(target, count) << c.name();
            RECT item{};
            SendMessageA(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(target), reinterpret_cast<LPARAM>(&item));
            POINT p{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
            ClientToScreen(info.hwndList, &p);
            clickAt(p);
            EXPECT_TRUE(wait([&] { return list.listIndex() == target; }, 3000))
                << c.name() << ": the item picked is not the model's selection";
            EXPECT_EQ(list.text(), list.items()[static_cast<size_t>(target)]);
            break;
        }
        case ControlKind::ListBox: {
            auto& list = static_cast<ListControl&>(c);
            POINT client = screen;
            ScreenToClient(h, &client);
            const LRESULT at = SendMessageA(h, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
            ASSERT_EQ(HIWORD(at), 0) << c.name() << ": no line under its centre";
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return list.listIndex() == LOWORD(at); }, 3000))
                << c.name() << ": the line clicked is not the model's selection";
            break;
        }
        case ControlKind::EditBox: {
            auto& box = static_cast<EditBox&>(c);
            std::vector<int> codes;
            auto filter = box.onKeyPress;
            box.onKeyPress = [&](int code) {
                codes.push_back(code);
                return filter ? filter(code) : code;
            };
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return GetFocus() == h; }, 3000)) << c.name() << ": the click does not focus it";
            pressKey(VK_END);
            pressKey(VK_BACK);
            EXPECT_TRUE(wait([&] { return !codes.empty(); }, 3000)) << c.name() << ": the key does not reach the model";
            EXPECT_EQ(codes, std::vector<int>{8}) << c.name();
            EXPECT_TRUE(wait([&] { return box.text().empty(); }, 3000))
                << c.name() << ": Backspace left " << box.text();
            box.onKeyPress = filter;
            break;
        }
        case ControlKind::Frame:
        case ControlKind::Image:
        case ControlKind::WebView: {
            // Frames, pictures and the web panel have no event: a click changes nothing.
            app->changes.seen.clear();
            clickAt(screen);
            settle(300);
            EXPECT_EQ(app->changes.seen, std::vector<std::string>{}) << c.name();
            break;
        }
    }
}

}  // namespace

TEST_P(Conformance, RealInputReachesEachControlAtItsDesignedPlace)
{
    std::vector<std::string> checked, outside;
    for (Control* c : window->controls()) {
        if (!visibleByDesign(*c)) {
            outside.push_back(c->name());
            continue;
        }
        SCOPED_TRACE(c->name());
        POINT client{};
        ASSERT_TRUE(probePoint(*c, client)) << "the design covers all of it";
        const POINT screen = toScreen(client);
        HWND h = handle(*c);
        ASSERT_NE(h, nullptr);
        // Rectangles only, as the design has them.
        EXPECT_EQ(ChildWindowFromPointEx(top, client, CWP_SKIPINVISIBLE), h);
        // The mouse's own hit-testing: group boxes let the mouse through to the window.
        HWND hit = WindowFromPoint(screen);
        if (c->kind() == ControlKind::Frame)
            EXPECT_TRUE(hit == h || hit == top) << "reached " << describe(hit);
        else
            EXPECT_TRUE(hit == h || IsChild(h, hit)) << "reached " << describe(hit);
        expectModelEvent(*c, screen);
        checked.push_back(c->name());
    }
    std::printf("%s: %zu controls reached by real clicks; outside the client area: %zu", GetParam(), checked.size(),
                outside.size());
    for (const auto& n : outside) std::printf(" %s", n.c_str());
    std::printf("\n");
    EXPECT_FALSE(checked.empty());
}

TEST_P(Conformance, EachControlIsShownWhereDesignedAndNothingLiesOverItAgainstTheDesign)
{
    for (Control* c : window->controls()) {
        if (!visibleByDesign(*c)) continue;
        SCOPED_TRACE(c->name());
        HWND h = handle(*c);
        ASSERT_NE(h, nullptr);
        EXPECT_TRUE(IsWindowVisible(h));
        RECT r{};
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
        const RECT want = designed(*c);
        EXPECT_EQ(r.left, want.left);
        EXPECT_EQ(r.top, want.top);
        EXPECT_EQ(r.right - r.left, want.right - want.left);
        EXPECT_EQ(r.bottom - r.top, want.bottom - want.top);
        for (HWND s : above(h)) {
            Control* other = controlAt(s);
            if (!other || !intersects(visibleRect(s), want)) continue;
            EXPECT_GE(layer(*other), layer(*c))
                << other->name() << " lies over " << c->name() << " though the design puts it beneath";
        }
    }
}

// A check box's or option button's box, as its window shows it, is drawn whole: its
// outline's first and last rows are alike, and so are its first and last columns (a box
// cut by its control's edge loses a row or a column of its outline).
TEST_P(Conformance, EachCheckBoxAndOptionButtonShowsItsWholeBox)
{
    for (Control* c : window->controls()) {
        if (!visibleByDesign(*c) || (c->kind() != ControlKind::CheckBox && c->kind() != ControlKind::OptionButton))
            continue;
        SCOPED_TRACE(c->name());
        const RECT r = visibleRect(handle(*c));
        const int size = GetSystemMetrics(SM_CXMENUCHECK), darker = GetGValue(GetSysColor(COLOR_BTNFACE)) - 0x20;
        std::vector<int> rows, columns(static_cast<size_t>(size));  // the outline's pixels in each
        // The window's own pixels, painted to the end (the screen may still show, under a
        // window just shown, what lay there before).
        RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        HDC dc = GetDC(top);
        for (int y = r.top; y < r.bottom; ++y) {
            rows.push_back(0);
            for (int x = 0; x < size; ++x)
                if (GetGValue(GetPixel(dc, r.left + x, y)) < darker) ++rows.back(), ++columns[static_cast<size_t>(x)];
        }
        ReleaseDC(top, dc);
        for (auto* edges : {&rows, &columns}) {
            edges->erase(std::remove(edges->begin(), edges->end(), 0), edges->end());
            ASSERT_FALSE(edges->empty()) << "no box is seen";
            EXPECT_EQ(edges->front(), edges->back()) << (edges == &rows ? "top and bottom" : "left and right");
        }
    }
}

TEST_P(Conformance, OneLineCaptionsFitTheirDesignedWidthsInTheFontUsed)
{
    const int box = GetSystemMetrics(SM_CXMENUCHECK);
    for (Control* c : window->controls()) {
        if (!visibleByDesign(*c) || c->caption().empty()) continue;
        const bool label = c->kind() == ControlKind::Label;
        const bool button = c->kind() == ControlKind::PushButton;
        const bool check = c->kind() == ControlKind::CheckBox || c->kind() == ControlKind::OptionButton;
        if (!label && !button && !check) continue;
        if (label && !isOneLineLabel(*c)) continue;  // designed for more than one line
        SCOPED_TRACE(c->name());
        HWND h = handle(*c);
        char text[512] = {};
        GetWindowTextA(h, text, sizeof text);
        HDC dc = GetDC(h);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        const RECT d = designed(*c);
        const int width = d.right - d.left, height = d.bottom - d.top;
        int room = width;
        if (button) room = width - 2 * (GetSystemMetrics(SM_CXEDGE) + 1);
        if (check) room = width - box - MulDiv(4, dpi, 96);
        if (check && room <= 0) {
            // Only as wide as its box: the caption is designed not to be seen.
            SelectObject(dc, old);
            ReleaseDC(h, dc);
            continue;
        }
        EXPECT_LE(extent.cx, room) << "\"" << text << "\" needs " << extent.cx << " of " << room << " pixels";
        EXPECT_LE(extent.cy, height) << "\"" << text << "\" is cut at the bottom";
        if (label) {
            RECT lines{0, 0, width, 0};
            DrawTextA(dc, text, -1, &lines, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            EXPECT_EQ(lines.bottom, metrics.tmHeight) << "\"" << text << "\" wraps";
            // The drawn text is not covered by anything lying above the label.
            const RECT drawn{d.left, d.top, d.left + extent.cx, d.top + extent.cy};
            for (HWND s : above(h)) {
                Control* other = controlAt(s);
                EXPECT_FALSE(other && intersects(visibleRect(s), drawn))
                    << other->name() << " covers part of \"" << text << "\"";
            }
        }
        SelectObject(dc, old);
        ReleaseDC(h, dc);
    }
}

TEST_P(Conformance, RealTabPressesWalkTheDesignedTabOrder)
{
    std::vector<Control*> order;
    for (Control* c : window->controls()) {
        if (!visibleByDesign(*c) || !c->takesFocus() || !c->enabled()) continue;
        // An option group is one stop: the selected button.
        if (c->kind() == ControlKind::OptionButton && !static_cast<OptionButton*>(c)->value()) continue;
        order.push_back(c);
    }
    std::stable_sort(order.begin(), order.end(), [](Control* a, Control* b) { return a->tabIndex() < b->tabIndex(); });
    ASSERT_FALSE(order.empty());
    auto focused = [&] { return controlAt(GetFocus()); };
    EXPECT_EQ(focused(), order.front()) << "first focus on "
                                        << (focused() ? focused()->name() : std::string("nothing"));
    std::vector<std::string> want, got;
    for (size_t i = 1; i <= order.size(); ++i) {
        Control* next = order[i % order.size()];
        want.push_back(next->name());
        Control* before = focused();
        pressKey(VK_TAB);
        wait([&] { return focused() != before; }, 2000);
        got.push_back(focused() ? focused()->name() : std::string("(none)"));
    }
    EXPECT_EQ(got, want);
}

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

// A click on the warning's label toggles the check box once; the box itself shows at
// the right end of the label and takes its own clicks.
TEST(WarningOption, Label9TogglesCheck6OnceAndCheck6ShowsAtItsRightEnd)
{
    ProgramUnderTest app;
    Form1& form = app.program.form1();
    form.setVisible(true);
    HWND top = static_cast<HWND>(app.ui.windowHandle(form));
    SetForegroundWindow(top);
    auto wait = [&](const std::function<bool()>& done, int ms) {
        return test::waitUntil(done, ms, test::messageLoop([&] { app.pump(); }));
    };
    const int dpi = app.ui.dotsPerInch();
    auto centre = [&](const Control& c) {
        const PixelRect r = pixelRect(c, dpi);
        POINT p{r.left + r.width / 2, r.top + r.height / 2};
        ClientToScreen(top, &p);
        return p;
    };
    HWND check6 = test::childNamed(top, form.Check6.name());
    ASSERT_NE(check6, nullptr);
    EXPECT_EQ(WindowFromPoint(centre(form.Check6)), check6) << "Check6 is hidden";

    ASSERT_EQ(form.Check6.value(), 0);
    clickAt(centre(form.Label9));
    EXPECT_TRUE(wait([&] { return form.Check6.value() == 1; }, 3000));
    wait([] { return false; }, static_cast<int>(GetDoubleClickTime()) + 100);  // two clicks, not a double click
    EXPECT_EQ(form.Check6.value(), 1) << "one click toggles once";
    EXPECT_EQ(SendMessageA(check6, BM_GETCHECK, 0, 0), BST_CHECKED);
    clickAt(centre(form.Label9));
    EXPECT_TRUE(wait([&] { return form.Check6.value() == 0; }, 3000));
    wait([] { return false; }, static_cast<int>(GetDoubleClickTime()) + 100);
    EXPECT_EQ(form.Check6.value(), 0);
    clickAt(centre(form.Check6));
    EXPECT_TRUE(wait([&] { return form.Check6.value() == 1; }, 3000)) << "a click on the box itself";
    EXPECT_EQ(SendMessageA(check6, BM_GETCHECK, 0, 0), BST_CHECKED);
}

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
    ProgramUnderTest app;
    Form1& form = app.program.form1();
    form.setVisible(true);
    HWND top = static_cast<HWND>(app.ui.windowHandle(form));
    SetForegroundWindow(top);
    auto wait = [&](const std::function<bool()>& done, int ms) {
        return test::waitUntil(done, ms, test::messageLoop([&] { app.pump(); }));
    };
    const int dpi = app.ui.dotsPerInch();
    auto centre = [&](const Control& c) {
        const PixelRect r = pixelRect(c, dpi);
        POINT p{r.left + r.width / 2, r.top + r.height / 2};
        ClientToScreen(top, &p);
        return p;
    };
    HWND label3 = test::childNamed(top, "Label3");
    HWND option1 = test::childNamed(top, "Option1"), option2 = test::childNamed(top, "Option2");
    ASSERT_TRUE(label3 && option1 && option2);
    heardEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, hearEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr) << "no WinEvent hook";
    clickAt(centre(form.Command1));
    ASSERT_TRUE(wait([&] { return form.Command1.caption() == "RESET"; }, 3000)) << "SET was not pressed";
    const auto heard = [&](DWORD event) {
        return wait(
            [&] {
                return std::find(heardEvents.begin(), heardEvents.end(), std::pair{event, label3}) != heardEvents.end();
            },
            3000);
    };
    EXPECT_TRUE(heard(EVENT_OBJECT_NAMECHANGE)) << "no name change for the status line";
    EXPECT_TRUE(heard(EVENT_OBJECT_LIVEREGIONCHANGED)) << "no live-region change for the status line";
    UnhookWinEvent(hook);
    clickAt(centre(form.Command1));  // RESET

    clickAt(centre(form.Option1));
    ASSERT_TRUE(wait([&] { return GetFocus() == option1; }, 3000));
    for (int key : {VK_DOWN, VK_UP, VK_RIGHT, VK_LEFT, VK_UP}) {
        const bool toSecond = form.Option1.value();
        pressKey(static_cast<WORD>(key));
        EXPECT_TRUE(wait(
            [&] { return GetFocus() == (toSecond ? option2 : option1) && form.Option2.value() == toSecond; }, 3000))
            << "key " << key << " did not move to the other option and choose it";
        EXPECT_EQ(SendMessageA(option2, BM_GETCHECK, 0, 0) == BST_CHECKED, form.Option2.value());
    }
}
