#pragma once
// The program's message boxes with Qt Widgets: the title and the text as the program gives
// them (plain text), one OK button, no icon in the box, the program's icon on its window. The
// box is modal and returns once it is closed.
#include <string>

namespace tolvane {

void showMessageBox(const std::string& title, const std::string& text);

}  // namespace tolvane
