// The windows as the window manager and a user's mouse meet them (xcb, openbox, XTest):
// the warning window comes up active, above all others and with an empty title; a double
// click on a label is one click; the main window always has a way back, whichever way it
// was hidden and whether the notification area is there or not; Enter presses the focused
// button.
#include <QGuiApplication>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "app/form2.h"
#include "hotkeys/hk.h"
#include "x_session.h"
#include "xcb_fixture.h"

namespace tolvane::test {
namespace {

bool has(const std::vector<std::string>& atoms, const std::string& atom)
{
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

class WarningWindow : public XcbDesktopTest {
protected:
    // The warned one-minute schedule set by clicks, and its thirty seconds gone by. The
    // countdown's next tick is put an hour away, so that the test says when it comes.
    Form2* showWarning()
    {
        openMainWindow();
        if (HasFatalFailure()) return nullptr;
        clickDesigned(form1().Label9);
        clickDesigned(form1().Command1);
        if (!form1().Timer4.enabled()) {
            ADD_FAILURE() << "SET with the warning did not arm it";
            return nullptr;
        }
        form1().Timer4.fire();
        form1().Timer5.setInterval(3600 * 1000);
        return desktop_->program().existingForm2();
    }
};

TEST_F(WarningWindow, ComesUpActiveWithOkFocusedAboveAllOthersAndWithAnEmptyTitle)
{
    Form2* warning = showWarning();
    ASSERT_NE(warning, nullptr);
    QWidget* top = widget(*warning);
    ASSERT_TRUE(waitPlaced(*warning));
    const unsigned long id = top->winId();

    // Shown as Timer4 shows it: an ordinary Show, which activates the window.
    EXPECT_TRUE(waitActive(*warning)) << "the warning window came up without the focus";
    EXPECT_TRUE(waitFor([&] { return x_.activeWindow() == id; }, 3000)) << "the window manager has it inactive";
    EXPECT_EQ(QApplication::focusWidget(), widget(warning->Command1)) << "OK does not hold the focus";
    // Above every other window, the main window included.
    EXPECT_TRUE(has(x_.netWmState(id), "_NET_WM_STATE_ABOVE"));
    ASSERT_FALSE(x_.stacking().empty());
    EXPECT_EQ(x_.stacking().back(), id);
    // No title until the countdown writes one; not the program's name either.
    EXPECT_EQ(x_.textProperty(id, "_NET_WM_NAME"), "");
    EXPECT_EQ(x_.textProperty(id, "WM_NAME"), "");

    // The main window taken up again: the warning stays above it; making it topmost once
    // more moves it not and activates it not.
    const QRect frame = x_.frameRect(id);
    x_.click(designedCentre(form1().Label3));
    ASSERT_TRUE(waitActive(form1()));
    warning->SetTopmost(*warning, 1);
    settle(300);
    EXPECT_EQ(x_.frameRect(id), frame) << "moved";
    EXPECT_TRUE(form1().visible());
    EXPECT_TRUE(widget(form1())->isActiveWindow()) << "made active";
    EXPECT_TRUE(waitFor([&] { return x_.activeWindow() == widget(form1())->winId(); }, 3000));
    EXPECT_TRUE(top->isVisible());
    EXPECT_TRUE(has(x_.netWmState(id), "_NET_WM_STATE_ABOVE"));
    EXPECT_EQ(x_.stacking().back(), id);

    // The first second of the countdown names it.
    form1().Timer5.fire();
    EXPECT_TRUE(waitFor([&] { return x_.textProperty(id, "_NET_WM_NAME") == "Shutdown After  29 Seconds"; }))
        << x_.textProperty(id, "_NET_WM_NAME").toStdString();

    // Back on the warning window, the focus is on OK again: the space bar presses it.
    x_.click(screenPoint(*warning, QPoint(8, 8)));
    ASSERT_TRUE(waitActive(*warning));
    EXPECT_EQ(QApplication::focusWidget(), widget(warning->Command1));
    ASSERT_TRUE(x_.key("space"));
    EXPECT_TRUE(waitFor([&] { return desktop_->program().existingForm2() == nullptr; })) << "OK not pressed";
    EXPECT_FALSE(form1().Timer5.enabled());
}

using Labels = XcbDesktopTest;

// A label tells one click for a double click, as a static control does (a click, then a
// double click that has no handler): Label9 ticks Check6 once.
TEST_F(Labels, ADoubleClickOnTheWarningLabelTogglesTheCheckBoxOnce)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_EQ(form1().Check6.value(), 0);
    x_.doubleClick(designedCentre(form1().Label9));
    settle(QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(form1().Check6.value(), 1);
    // Two single clicks, a double-click time apart, are two clicks.
    clickDesigned(form1().Label9);
    settle(QApplication::doubleClickInterval() + 100);
    clickDesigned(form1().Label9);
    settle(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(form1().Check6.value(), 1);
    x_.doubleClick(designedCentre(form1().Label9));
    settle(QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(form1().Check6.value(), 0);
}

class Reach : public XcbDesktopTest {
protected:
    void TearDown() override
    {
        XcbDesktopTest::TearDown();
        if (!trayGone_) return;
        EXPECT_TRUE(xSession().startTray()) << "the tests after this one have no notification area";
    }
    void stopTray()
    {
        trayGone_ = true;
        ASSERT_TRUE(xSession().stopTray());
        ASSERT_TRUE(waitFor([&] { return !desktop_->trayHost().available(); }));
    }
    // Hidden where the user finds it: minimised on the taskbar, as the window manager sees it,
    // and no longer the window that has the keyboard, as the program sees it. Before that the
    // program has not yet taken in what the window manager did, and nobody could act so soon.
    bool waitsOnTheTaskbar()
    {
        QWidget* top = widget(form1());
        return waitFor([&] {
            if (form1().visible() || !has(x_.netWmState(top->winId()), "_NET_WM_STATE_HIDDEN")) return false;
            // What the window manager did is known to Qt once the server has answered it.
            QGuiApplication::sync();
            QCoreApplication::processEvents();
            return QGuiApplication::focusWindow() != top->windowHandle();
        });
    }
    // The user takes it back from the taskbar: shown as far as the program knows, no icon left.
    void restoreFromTaskbar()
    {
        x_.restoreFromTaskbar(widget(form1())->winId());
        ASSERT_TRUE(waitFor([&] { return form1().visible(); })) << "restored, but not shown for the program";
        EXPECT_EQ(desktop_->tray().iconCount(), 0u);
    }
    bool trayGone_ = false;
};

TEST_F(Reach, EveryWayOfHidingTheMainWindowLeavesAnIconOrATaskbarEntry)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(stopTray());

    // Without a notification area: Send To Tray, the close box, Hot Keys.
    clickDesigned(form1().Command3);
    ASSERT_TRUE(waitsOnTheTaskbar()) << "Send To Tray";
    ASSERT_NO_FATAL_FAILURE(restoreFromTaskbar());
    x_.closeFromTaskbar(widget(form1())->winId());
    ASSERT_TRUE(waitsOnTheTaskbar()) << "the close box";
    ASSERT_NO_FATAL_FAILURE(restoreFromTaskbar());
    ASSERT_TRUE(waitPlaced(form1()));
    ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
    ASSERT_TRUE(waitsOnTheTaskbar()) << "Hot Keys";
    ASSERT_NO_FATAL_FAILURE(restoreFromTaskbar());
    // The hotkey window closed, and Send To Tray after it.
    x_.closeFromTaskbar(widget(*desktop_->program().existingHK())->winId());
    ASSERT_TRUE(waitFor([&] { return desktop_->program().existingHK() == nullptr; }));
    EXPECT_TRUE(form1().visible());
    ASSERT_TRUE(waitActive(form1()));
    clickDesigned(form1().Command3);
    ASSERT_TRUE(waitsOnTheTaskbar()) << "Send To Tray after Hot Keys";

    // The notification area comes back: the window leaves the taskbar for an icon.
    ASSERT_TRUE(xSession().startTray());
    trayGone_ = false;
    ASSERT_TRUE(waitFor([&] { return !widget(form1())->isVisible(); })) << "still on the taskbar";
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
    x_.closeFromTaskbar(widget(*desktop_->program().existingHK())->winId());
    ASSERT_TRUE(waitFor([&] { return form1().visible() && desktop_->program().existingHK() == nullptr; }));
    ASSERT_TRUE(waitActive(form1()));
    clickDesigned(form1().Command3);
    EXPECT_FALSE(widget(form1())->isVisible());
    const NotifyRecord& record = form1().trayArea.trayRecord();
    EXPECT_NE(desktop_->tray().icon(record.hWnd, record.uID), nullptr) << "hidden without an icon";
}

using Buttons = XcbDesktopTest;

// Enter, of the main block or the keypad, presses the push button that has the focus.
TEST_F(Buttons, EnterPressesTheFocusedButton)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    clickDesigned(form1().Command1);
    ASSERT_EQ(form1().Command1.caption(), "RESET");
    ASSERT_EQ(QApplication::focusWidget(), widget(form1().Command1));
    ASSERT_TRUE(x_.key("Return"));
    EXPECT_TRUE(waitFor([&] { return form1().Command1.caption() == "SET"; })) << "Enter did not press RESET";
    ASSERT_TRUE(x_.key("KP_Enter"));
    EXPECT_TRUE(waitFor([&] { return form1().Command1.caption() == "RESET"; })) << "keypad Enter did not press SET";
}

// The arrow keys move between the two option buttons, round the ends, and choose the one
// they land on; Tab still walks on to the action list.
TEST_F(Buttons, ArrowKeysMoveAmongTheOptionButtonsAndChoose)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_EQ(QApplication::focusWidget(), widget(form1().Option1)) << "the focus starts on Option1";
    const auto on = [&](const OptionButton& option) {
        return waitFor([&] { return QApplication::focusWidget() == widget(option) && option.value(); }, 5000);
    };
    for (const char* key : {"Down", "Up", "Right", "Left", "Up"}) {
        SCOPED_TRACE(key);
        const bool toSecond = form1().Option1.value();
        ASSERT_TRUE(x_.key(key));
        EXPECT_TRUE(on(toSecond ? form1().Option2 : form1().Option1))
            << "did not move to the other option and choose it";
        EXPECT_NE(form1().Option1.value(), form1().Option2.value());
    }
    ASSERT_TRUE(x_.key("Tab"));
    EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == widget(form1().Combo2); }))
        << "Tab from Option2 leaves the designed order";
}

}  // namespace
}  // namespace tolvane::test
