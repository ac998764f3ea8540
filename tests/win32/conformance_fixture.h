// The fixture of the conformance tests: the whole program on the real Win32 backend, and
// one of its windows with what the checks ask of it (its controls' handles, places and
// layering). The checks themselves are in conformance_test.cpp and conformance_reader_test.cpp.
#pragma once

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

namespace tolvane::conformance {

using tolvane::test::clickAt;
using tolvane::test::pressKey;

inline std::string workFile(const char* name)
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
inline DesignLayer layer(const Control& c)
{
    return designLayer(c.kind());
}

inline RECT rectOf(const PixelRect& p)
{
    return RECT{p.left, p.top, p.left + p.width, p.top + p.height};
}

inline bool intersects(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

inline bool contains(const RECT& r, POINT p)
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

// The main window shown and in front, with a wait that keeps the program's messages flowing
// and the screen point of a control's centre.
struct ShownMainWindow {
    ShownMainWindow() : form(app.program.form1())
    {
        form.setVisible(true);
        top = static_cast<HWND>(app.ui.windowHandle(form));
        SetForegroundWindow(top);
        dpi = app.ui.dotsPerInch();
    }
    bool wait(const std::function<bool()>& done, int ms)
    {
        return test::waitUntil(done, ms, test::messageLoop([this] { app.pump(); }));
    }
    POINT centre(const Control& c) const
    {
        const PixelRect r = pixelRect(c, dpi);
        POINT p{r.left + r.width / 2, r.top + r.height / 2};
        ClientToScreen(top, &p);
        return p;
    }

    ProgramUnderTest app;
    Form1& form;
    HWND top = nullptr;
    int dpi = 96;
};

}  // namespace tolvane::conformance
