#include "app/form2.h"

#include "app/form1.h"

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
    constexpr int HWND_TOPMOST = -1;
    constexpr int HWND_NOTOPMOST = -2;
    constexpr uint32_t SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOACTIVATE = 0x10;
    program_.platform().display.SetWindowPos(window, topmost != 0 ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                                             SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void Form2::Form_Load() { SetTopmost(*this, 1); }

void Form2::Command1_Click()
{
    program_.form1().Timer5.setEnabled(false);
    requestUnload();
}

}  // namespace tolvane
