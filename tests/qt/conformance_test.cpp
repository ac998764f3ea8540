// Every window of the program against its design, control by control, read from the
// window-system model: a control added to a window design is checked here without a new
// line of test. On the xcb platform with a window manager, with real input (XTest):
// - each control the design shows is where the design puts it, on the screen there, and
//   not covered by a sibling that the design puts beneath it;
// - a click on its designed centre reaches it, and the model sees the event its kind has
//   (a click, a toggle, a selection, the focus) and nothing else happens;
// - its one-line caption fits its designed width in the font the widget really uses, and a
//   drop-down's selected text is drawn whole;
// - Tab and Shift+Tab walk the designed tab order;
#include "conformance_fixture.h"

namespace tolvane::test {
namespace {

TEST_F(Conformance, TheMainWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    checkWindow(form1());
}

TEST_F(Conformance, TheHotkeyWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
    checkWindow(*desktop_->program().existingHK());
}

TEST_F(Conformance, TheWarningWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    // The warning wanted, SET with the start-up schedule (one minute), and thirty seconds on.
    clickDesigned(form1().Label9);
    clickDesigned(form1().Command1);
    ASSERT_EQ(form1().Check6.value(), 1);
    ASSERT_TRUE(form1().Timer4.enabled()) << "the one-minute schedule arms the warning at SET";
    form1().Timer4.fire();
    Form2* warning = desktop_->program().existingForm2();
    ASSERT_NE(warning, nullptr);
    checkWindow(*warning);
}

}  // namespace
}  // namespace tolvane::test
