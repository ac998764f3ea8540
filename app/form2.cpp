#include "app/form2.h"

#include "app/form1.h"
#include "platform/model/win_codes.h"

namespace tolvane {

Form2::Form2(Program& program)
    : Window(program.platform().windows, {"Form2", "", 4680, 1050, "tolvane"}),
      Command1(*this, {"Command1", {1560, 345, 1365, 345}, 0, "OK"}),
      program_(program)
{
    onLoad = [this] { Form_Load(); };
    Command1.onClick = [this] { Command1_Click(); };
}

void Form2::SetTopmost(Window& window, int16_t topmost)
{
    program_.platform().display.SetWindowPos(window, topmost != 0 ? kHwndTopmost : kHwndNoTopmost, 0, 0, 0, 0,
                                             kSwpNoSize | kSwpNoMove | kSwpNoActivate);
}

void Form2::Form_Load()
{
    SetTopmost(*this, 1);
}

void Form2::Command1_Click()
{
    program_.form1().Timer5.setEnabled(false);
    requestUnload();
}

}  // namespace tolvane
