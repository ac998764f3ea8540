#pragma once
// A window's dialog font: the system's dialog face ("MS Shell Dlg", the face of
// DEFAULT_GUI_FONT, which the system substitutes) at the size dialog_font.h picks for the
// window, captions measured in the system's ANSI code page as the A functions draw them;
// and the same font underlined, for a label the program underlines.
// Include it after the project's own headers: it brings in <windows.h>.
#include <windows.h>

namespace tolvane {
class Window;
}

namespace tolvane::win32 {

class DialogFonts {
public:
    DialogFonts(const Window& window, int dotsPerInch);
    ~DialogFonts();
    DialogFonts(const DialogFonts&) = delete;
    DialogFonts& operator=(const DialogFonts&) = delete;

    HFONT plain() const { return plain_; }
    HFONT underlined() const { return underlined_; }

private:
    HFONT plain_ = nullptr;
    HFONT underlined_ = nullptr;
};

}  // namespace tolvane::win32
