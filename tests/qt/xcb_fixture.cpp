#include "xcb_fixture.h"

#include <QWindow>

#include "hotkeys/hk.h"

namespace tolvane::test {

void XcbDesktopTest::SetUp()
{
    if (!xSessionProblem().empty()) GTEST_SKIP() << xSessionProblem();
    ASSERT_TRUE(x_.connected()) << "no connection to the test display";
    ::setenv("windir", folder_.path().c_str(), 1);
    prepareSettings(folder_.path());
    if (HasFatalFailure()) return;
    powerOut_ = std::tmpfile();
    desktop_ = std::make_unique<QtDesktop>(PowerMode::DryRun, powerOut_);
    desktop_->start();
}

void XcbDesktopTest::TearDown()
{
    desktop_.reset();
    flushDeletes();
    // Whatever the test left in the event queue of windows now gone.
    settle(50);
    if (powerOut_) std::fclose(powerOut_);
    ::unsetenv("windir");
}

void XcbDesktopTest::settle(int ms)
{
    letTimePass(ms);
}

bool XcbDesktopTest::waitPlaced(const Window& window)
{
    QWidget* top = widget(window);
    if (!top) return false;
    if (!waitFor([&] { return top->isVisible() && top->windowHandle() && top->windowHandle()->isExposed(); }))
        return false;
    // The window manager frames and places the window after it is mapped: wait until the
    // frame is there and the place no longer changes.
    QPoint last(-100000, -100000);
    int same = 0;
    return waitFor([&] {
        const QRect frame = x_.frameRect(top->winId());
        const QPoint origin = x_.clientOrigin(top->winId());
        if (frame.isEmpty() || frame.size() == top->size() || origin != last) {
            last = origin;
            same = 0;
            return false;
        }
        return ++same >= 3;
    });
}

bool XcbDesktopTest::waitActive(const Window& window)
{
    QWidget* top = widget(window);
    return top && waitFor([&] { return top->isActiveWindow() && x_.focusIsIn(top->winId()); }, 5000);
}

QPoint XcbDesktopTest::screenPoint(const Window& window, QPoint client)
{
    return x_.clientOrigin(widget(window)->winId()) + client;
}

QPoint XcbDesktopTest::designedCentre(const Control& control)
{
    const PixelRect r = pixelRect(control, dpi());
    return screenPoint(control.window(), QPoint(r.left + r.width / 2, r.top + r.height / 2));
}

namespace {

// Counts the mouse button releases that reach the program's windows.
class Releases : public QObject {
public:
    Releases() { QCoreApplication::instance()->installEventFilter(this); }
    ~Releases() override { QCoreApplication::instance()->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (object->isWindowType() && event->type() == QEvent::MouseButtonRelease) ++count;
        return false;
    }
};

}  // namespace

bool XcbDesktopTest::clickDesigned(const Control& control, int button)
{
    Releases releases;
    x_.click(designedCentre(control), button);
    // The window hands the release to its widget before the event loop returns to the wait.
    return waitFor([&] { return releases.count > 0; }, 5000);
}

void XcbDesktopTest::openMainWindow()
{
    const NotifyRecord& record = form1().trayArea.trayRecord();
    QSystemTrayIcon* icon = desktop_->tray().icon(record.hWnd, record.uID);
    ASSERT_NE(icon, nullptr) << "no tray icon";
    // The icon is somewhere once the notification area (at the screen's top right) has taken it in;
    // a click that came before the area showed it is clicked again.
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
        ASSERT_TRUE(waitFor([&] { return !icon->geometry().isEmpty() && icon->geometry().left() > 0; }))
            << "the icon never reached the notification area";
        x_.click(icon->geometry().center());
        shown = waitFor([&] { return form1().visible(); }, 3000);
    }
    ASSERT_TRUE(shown) << "a click on the tray icon did not bring the main window";
    ASSERT_TRUE(waitPlaced(form1())) << "the main window did not come up from the tray";
    ASSERT_TRUE(waitActive(form1())) << "the main window came up without the focus";
}

void XcbDesktopTest::openHotkeyWindow()
{
    clickDesigned(form1().Command2);
    HK* hk = desktop_->program().existingHK();
    ASSERT_NE(hk, nullptr);
    ASSERT_TRUE(waitPlaced(*hk)) << "the hotkey window did not come up";
    ASSERT_TRUE(waitActive(*hk)) << "the hotkey window came up without the focus";
}

}  // namespace tolvane::test
