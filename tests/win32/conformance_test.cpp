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
#include "tests/win32/conformance_fixture.h"

using namespace tolvane;
using namespace tolvane::conformance;

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
// A click on the warning's label toggles the check box once; the box itself shows at
// the right end of the label and takes its own clicks.
TEST(WarningOption, Label9TogglesCheck6OnceAndCheck6ShowsAtItsRightEnd)
{
    ShownMainWindow shown;
    Form1& form = shown.form;
    HWND top = shown.top;
    HWND check6 = test::childNamed(top, form.Check6.name());
    ASSERT_NE(check6, nullptr);
    EXPECT_EQ(WindowFromPoint(shown.centre(form.Check6)), check6) << "Check6 is hidden";

    ASSERT_EQ(form.Check6.value(), 0);
    clickAt(shown.centre(form.Label9));
    EXPECT_TRUE(shown.wait([&] { return form.Check6.value() == 1; }, 3000));
    shown.wait([] { return false; }, static_cast<int>(GetDoubleClickTime()) + 100);  // two clicks, not a double click
    EXPECT_EQ(form.Check6.value(), 1) << "one click toggles once";
    EXPECT_EQ(SendMessageA(check6, BM_GETCHECK, 0, 0), BST_CHECKED);
    clickAt(shown.centre(form.Label9));
    EXPECT_TRUE(shown.wait([&] { return form.Check6.value() == 0; }, 3000));
    shown.wait([] { return false; }, static_cast<int>(GetDoubleClickTime()) + 100);
    EXPECT_EQ(form.Check6.value(), 0);
    clickAt(shown.centre(form.Check6));
    EXPECT_TRUE(shown.wait([&] { return form.Check6.value() == 1; }, 3000)) << "a click on the box itself";
    EXPECT_EQ(SendMessageA(check6, BM_GETCHECK, 0, 0), BST_CHECKED);
}
