#pragma once
// Form2, the warning window shown in the last 30 seconds before a warned action.
#include <cstdint>

#include "app/program.h"
#include "platform/model/window.h"

namespace tolvane {

class Form2 : public Window {
public:
    explicit Form2(Program& program);

    // Puts a window above all others (true) or back among them (false), without moving,
    // resizing or activating it.
    void SetTopmost(Window& window, int16_t topmost);

    PushButton Command1;

private:
    void Form_Load();
    void Command1_Click();

    Program& program_;
};

}  // namespace tolvane
