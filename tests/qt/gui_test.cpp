// The desktop program's real widgets, driven as a user drives them (offscreen platform).
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "app/form2.h"
#include "desktop_fixture.h"
#include "hotkeys/hk.h"

namespace tolvane::test {
namespace {

using Gui = DesktopTest;

QStringList itemsOf(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

TEST_F(Gui, StartUpEndsInTheNotificationAreaWithTheIconAndItsTip)
{
    QWidget* main = widget(form1());
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), "Tolvane 3.0 - Quenmoor");
    ASSERT_EQ(desktop_->tray().iconCount(), 1u);
    const NotifyRecord& record = form1().trayArea.trayRecord();
    QSystemTrayIcon* icon = desktop_->tray().icon(record.hWnd, record.uID);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), "Open");
    EXPECT_FALSE(icon->icon().isNull());
    EXPECT_FALSE(main->windowIcon().isNull());
}

TEST_F(Gui, APressOnTheTrayIconShowsTheMainWindowAndRemovesTheIcon)
{
    pressTrayIcon();
    EXPECT_TRUE(widget(form1())->isVisible());
    EXPECT_EQ(desktop_->tray().iconCount(), 0u);
    // The focus starts on the first control in the tab order.
    EXPECT_EQ(widget(form1())->focusWidget(), widget<QRadioButton>(form1().Option1));

    // Send To Tray: hidden again, one icon, with a new identity.
    const uint32_t firstId = form1().trayArea.trayRecord().uID;
    widget<QPushButton>(form1().Command3)->click();
    EXPECT_FALSE(widget(form1())->isVisible());
    ASSERT_EQ(desktop_->tray().iconCount(), 1u);
    EXPECT_NE(form1().trayArea.trayRecord().uID, firstId);

    // A right click brings it back just the same.
    const NotifyRecord& record = form1().trayArea.trayRecord();
    desktop_->tray().activated(record.hWnd, record.uID, QSystemTrayIcon::Context);
    EXPECT_TRUE(widget(form1())->isVisible());
    EXPECT_EQ(desktop_->tray().iconCount(), 0u);
}

TEST_F(Gui, SetArmsTheScheduleAndTheStatusLineShowsItThenResetCancels)
{
    pressTrayIcon();
    auto* set = widget<QPushButton>(form1().Command1);
    auto* status = widget<QLabel>(form1().Label3);
    EXPECT_EQ(status->text(), "Currently no action scheduled");
    QTest::mouseClick(set, Qt::LeftButton);
    EXPECT_EQ(status->text(), "Shutdown After 00:01    Warning Disabled");
    EXPECT_EQ(set->text(), "RESET");
    const QTimer* countdown = desktop_->timers().running(form1().Timer1);
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(countdown->interval(), 60000);
    EXPECT_EQ(countdown->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(desktop_->timers().running(form1().Timer4), nullptr);

    QTest::mouseClick(set, Qt::LeftButton);
    EXPECT_EQ(status->text(), "Currently no action scheduled");
    EXPECT_EQ(set->text(), "SET");
    EXPECT_EQ(desktop_->timers().running(form1().Timer1), nullptr);
    EXPECT_EQ(powerLines(), "");
}

TEST_F(Gui, TheAtRowTakesTheListsTheUserPicks)
{
    pressTrayIcon();
    QTest::mouseClick(widget<QRadioButton>(form1().Option2), Qt::LeftButton);
    auto* action = widget<QComboBox>(form1().Combo2);
    auto* hour = widget<QComboBox>(form1().Combo6);
    action->setFocus();
    QTest::keyClick(action, Qt::Key_Down);  // Restart At
    QTest::keyClick(hour, Qt::Key_Down);
    QTest::keyClick(hour, Qt::Key_Down);  // 02
    EXPECT_EQ(form1().Combo2.text(), "Restart At");
    EXPECT_EQ(form1().Combo6.text(), "02");
    widget<QPushButton>(form1().Command1)->click();
    EXPECT_EQ(widget<QLabel>(form1().Label3)->text(), "Restart At 02:00    Warning Disabled");
    const QTimer* clockCheck = desktop_->timers().running(form1().Timer2);
    ASSERT_NE(clockCheck, nullptr);
    EXPECT_EQ(clockCheck->interval(), 5000);
}

TEST_F(Gui, ListsHoldTheirItemsInOrderWithTheStartUpSelections)
{
    auto* after = widget<QComboBox>(form1().Combo1);
    EXPECT_EQ(itemsOf(after),
              QStringList({"Shutdown After", "Restart After", "Log off After", "Hibernate After", "Stand By After"}));
    EXPECT_EQ(after->currentText(), "Shutdown After");
    auto* at = widget<QComboBox>(form1().Combo2);
    EXPECT_EQ(itemsOf(at).size(), 5);
    EXPECT_EQ(at->currentText(), "Shutdown At");  // written as "ShutDown At"
    auto* hours = widget<QComboBox>(form1().Combo3);
    EXPECT_EQ(hours->count(), 24);
    EXPECT_EQ(hours->itemText(23), "23");
    EXPECT_EQ(hours->currentText(), "00");
    auto* minutes = widget<QComboBox>(form1().Combo4);
    EXPECT_EQ(minutes->count(), 59);
    EXPECT_EQ(minutes->itemText(0), "01");
    EXPECT_EQ(minutes->currentText(), "01");
    EXPECT_EQ(widget<QComboBox>(form1().Combo5)->count(), 60);
    EXPECT_EQ(widget<QComboBox>(form1().Combo6)->currentText(), "00");
    EXPECT_FALSE(after->isEditable());

    // The hotkey window's list shows the stored settings, one line a row.
    auto* settings = qobject_cast<QListWidget*>(windows().widget(desktop_->program().hk().combo1));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->count(), 5);
}

TEST_F(Gui, WindowsAndControlsTakeTheirSizesInPixelsFromTwips)
{
    ASSERT_EQ(windows().twipsPerPixelX(), 15) << "the offscreen screen is 96 DPI";
    EXPECT_EQ(widget(form1())->size(), QSize(375, 265));
    EXPECT_EQ(widget(form1())->minimumSize(), widget(form1())->maximumSize());  // not resizable
    EXPECT_EQ(widget<QPushButton>(form1().Command1)->geometry(), QRect(239, 118, 90, 25));
    EXPECT_EQ(widget<QComboBox>(form1().Combo1)->geometry(), QRect(64, 49, 161, 21));
    // Inside a frame, positions count from the frame.
    auto* status = widget<QLabel>(form1().Label3);
    EXPECT_EQ(status->parentWidget(), widget<QGroupBox>(form1().Frame1));
    EXPECT_EQ(status->geometry(), QRect(14, 13, 289, 17));
    // The information panel is 30 twips wider than the window: its edge is cut off.
    EXPECT_EQ(windows().widget(form1().WebBrowser1)->geometry(), QRect(0, 184, 377, 81));
    // The link lies below the client area, never seen.
    EXPECT_GE(widget<QLabel>(form1().Label4)->geometry().top(), widget(form1())->height());

    HK& hk = desktop_->program().hk();
    EXPECT_EQ(widget(hk)->size(), QSize(202, 296));
    EXPECT_EQ(windows().widget(hk.Text5)->geometry(), QRect(160, 142, 18, 18));
}

// The desktop's font may run wider than the dialog font the windows were designed for;
// no one-line caption may wrap or be cut for it.
TEST_F(Gui, EveryOneLineCaptionFitsItsDesignedWidth)
{
    HK& hk = desktop_->program().hk();
    for (Window* window : {static_cast<Window*>(&form1()), static_cast<Window*>(&hk)}) {
        for (Control* control : window->controls()) {
            if (control->kind() != ControlKind::Label || control->geometry().height > 255) continue;
            auto* label = widget<QLabel>(*control);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
                << window->name() << "." << control->name();
            EXPECT_LE(label->font().pointSizeF(), 8.0);
        }
    }
}

TEST_F(Gui, TheTabOrderFollowsTheDesignAndSkipsLabelsAndFrames)
{
    const auto chain = [](QWidget* first, int count) {
        std::vector<QWidget*> order{first};
        for (QWidget* w = first->nextInFocusChain(); static_cast<int>(order.size()) < count && w != first;
             w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus && w->isEnabled() && !w->isHidden()) order.push_back(w);
        return order;
    };
    Form1& f = form1();
    const std::vector<QWidget*> expected = {
        windows().widget(f.Option1),     windows().widget(f.Combo1),   windows().widget(f.Combo3),
        windows().widget(f.Combo4),      windows().widget(f.Option2),  windows().widget(f.Combo2),
        windows().widget(f.Combo6),      windows().widget(f.Combo5),   windows().widget(f.Command1),
        windows().widget(f.Command2),    windows().widget(f.Command3), windows().widget(f.Command4),
        windows().widget(f.WebBrowser1), windows().widget(f.Check6)};
    EXPECT_EQ(chain(expected.front(), static_cast<int>(expected.size())), expected);
    EXPECT_EQ(widget<QLabel>(f.Label3)->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(widget<QGroupBox>(f.Frame2)->focusPolicy(), Qt::NoFocus);

    HK& hk = desktop_->program().hk();
    const std::vector<QWidget*> hkExpected = {
        windows().widget(hk.Check1), windows().widget(hk.Text1),  windows().widget(hk.Check2),
        windows().widget(hk.Text2),  windows().widget(hk.Check3), windows().widget(hk.Text3),
        windows().widget(hk.Check4), windows().widget(hk.Text4),  windows().widget(hk.Check5),
        windows().widget(hk.Text5),  windows().widget(hk.combo1), windows().widget(hk.Command1)};
    EXPECT_EQ(chain(hkExpected.front(), static_cast<int>(hkExpected.size())), hkExpected);
}

TEST_F(Gui, OptionButtonsFormOneGroupAndTheLabelTogglesTheCheckBox)
{
    pressTrayIcon();
    auto* after = widget<QRadioButton>(form1().Option1);
    auto* at = widget<QRadioButton>(form1().Option2);
    EXPECT_TRUE(after->isChecked());
    QTest::mouseClick(at, Qt::LeftButton);
    EXPECT_TRUE(at->isChecked());
    EXPECT_FALSE(after->isChecked());
    // A click on the selected one leaves it selected (Qt alone would clear it).
    QTest::mouseClick(at, Qt::LeftButton);
    EXPECT_TRUE(at->isChecked());
    EXPECT_TRUE(form1().Option2.value());

    auto* warn = widget<QCheckBox>(form1().Check6);
    auto* warnLabel = widget<QLabel>(form1().Label9);
    QTest::mouseClick(warnLabel, Qt::LeftButton);
    EXPECT_TRUE(warn->isChecked());
    EXPECT_EQ(form1().Check6.value(), 1);
    QTest::mouseClick(warnLabel, Qt::LeftButton);
    EXPECT_FALSE(warn->isChecked());
    QTest::mouseClick(warn, Qt::LeftButton);
    EXPECT_EQ(form1().Check6.value(), 1);
}

TEST_F(Gui, KeyBoxesGoThroughTheKeyFilterAndHoldOneCharacter)
{
    HK& hk = desktop_->program().hk();
    widget<QPushButton>(form1().Command2)->click();  // Hot Keys
    auto* box = qobject_cast<QLineEdit*>(windows().widget(hk.Text1));
    ASSERT_NE(box, nullptr);
    // The model's maximum length governs typing; the widget cuts nothing the program sets.
    EXPECT_EQ(hk.Text1.maxLength(), 1);
    EXPECT_GT(box->maxLength(), 1);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "");
    QTest::keyClicks(box, "q");
    EXPECT_EQ(box->text(), "Q") << "lower case is made upper case by the filter";
    QTest::keyClicks(box, "w");
    EXPECT_EQ(box->text(), "Q") << "the maximum length refuses a second character";
    box->selectAll();
    QTest::keyClicks(box, "#");
    EXPECT_EQ(box->text(), "Q") << "a key the filter discards leaves the selection alone";
    box->selectAll();
    QTest::keyClicks(box, "7");
    EXPECT_EQ(box->text(), "7") << "a key typed over the selection replaces it";
    EXPECT_EQ(hk.Text1.text(), "7");
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(hk.Text1.text(), "");
}

TEST_F(Gui, TheMainWindowsCloseBoxPutsItAwayAndTheHotkeyWindowsCloseBoxUnloadsIt)
{
    pressTrayIcon();
    widget(form1())->close();
    EXPECT_FALSE(widget(form1())->isVisible());
    EXPECT_TRUE(form1().loaded());
    EXPECT_EQ(desktop_->tray().iconCount(), 1u);
    widget(form1())->close();
    EXPECT_EQ(desktop_->tray().iconCount(), 1u);

    pressTrayIcon();
    widget<QPushButton>(form1().Command2)->click();  // Hot Keys hides the main window
    HK* hk = desktop_->program().existingHK();
    ASSERT_NE(hk, nullptr);
    QWidget* hkWindow = widget(*hk);
    ASSERT_NE(hkWindow, nullptr);
    EXPECT_TRUE(hkWindow->isVisible());
    EXPECT_FALSE(widget(form1())->isVisible());
    hkWindow->close();
    EXPECT_FALSE(hk->loaded());
    EXPECT_TRUE(widget(form1())->isVisible());
    EXPECT_EQ(windows().widget(*hk), nullptr);
    flushDeletes();
}

TEST_F(Gui, TheWarningWindowStaysOnTopAndCountsDown)
{
    pressTrayIcon();
    QTest::mouseClick(widget<QLabel>(form1().Label9), Qt::LeftButton);
    widget<QPushButton>(form1().Command1)->click();
    ASSERT_NE(desktop_->timers().running(form1().Timer4), nullptr) << "a one-minute schedule arms the warning at SET";
    form1().Timer4.fire();  // thirty seconds later
    Form2* warning = desktop_->program().existingForm2();
    ASSERT_NE(warning, nullptr);
    QWidget* window = widget(*warning);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    // Made topmost without activating it, then shown, which activates it (see xcb_windows_test).
    EXPECT_FALSE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(window->size(), QSize(312, 70));
    EXPECT_EQ(window->windowTitle(), "");
    auto* ok = qobject_cast<QPushButton*>(windows().widget(warning->Command1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->geometry(), QRect(104, 23, 91, 23));

    form1().Timer5.fire();
    EXPECT_EQ(window->windowTitle(), "Shutdown After  29 Seconds");
    const QPoint place = window->pos();
    desktop_->windows().SetWindowPos(*warning, -1, 0, 0, 0, 0, 0x13);
    EXPECT_EQ(window->pos(), place) << "making it topmost again does not move it";
    EXPECT_EQ(window->size(), QSize(312, 70));

    ok->click();
    EXPECT_EQ(desktop_->program().existingForm2(), nullptr);
    EXPECT_EQ(desktop_->timers().running(form1().Timer5), nullptr);
    EXPECT_NE(desktop_->timers().running(form1().Timer1), nullptr) << "OK does not cancel the action";
    flushDeletes();
}

TEST_F(Gui, TheScheduledActionGoesToThePowerCallWhenItsTimeComes)
{
    pressTrayIcon();
    widget<QPushButton>(form1().Command1)->click();
    form1().Timer1.fire();  // one minute later
    EXPECT_EQ(powerLines(), "dry-run shutdown PowerOff(true)\n");
    EXPECT_EQ(widget<QPushButton>(form1().Command1)->text(), "SET");
    EXPECT_EQ(widget<QLabel>(form1().Label3)->text(), "Currently no action scheduled");
}

TEST_F(Gui, TheHotkeyMonitorRunsEveryTenthOfASecondFromStartUp)
{
    const QTimer* monitor = desktop_->timers().running(form1().Timer3);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->interval(), 100);
    EXPECT_EQ(monitor->timerType(), Qt::PreciseTimer);
}

TEST_F(Gui, MessageBoxesHaveTheTitleOneOkButtonAndNoIcon)
{
    QString title, text;
    int buttons = -1;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    windows().MessageBox("Tolvane 3.0", "Settings Saved");
    EXPECT_EQ(title, "Tolvane 3.0");
    EXPECT_EQ(text, "Settings Saved");
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
}

class GuiWithoutTray : public DesktopTest {
protected:
    void SetUp() override
    {
        trayAvailable_ = false;
        DesktopTest::SetUp();
    }
};

TEST_F(GuiWithoutTray, TheMainWindowStaysOnTheTaskbarInsteadOfBeingHidden)
{
    QWidget* main = widget(form1());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->isMinimized());
    EXPECT_FALSE(form1().visible()) << "the program's own view is unchanged";

    // The user brings it back from the taskbar; Send To Tray sends it there again.
    main->showNormal();
    EXPECT_TRUE(form1().visible());
    widget<QPushButton>(form1().Command3)->click();
    EXPECT_TRUE(main->isMinimized());
    EXPECT_FALSE(form1().visible());
}

}  // namespace
}  // namespace tolvane::test
