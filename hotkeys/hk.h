#pragma once
// HK, the hotkey settings window: a check box, a caption and a one-character key box
// for each action, the list of the stored settings, and SET.
#include <array>

#include "platform/model/window.h"

namespace tolvane {

class HotkeySettings;

class HK : public Window {
public:
    // Loading the window runs loadhkey, its SET runs savehkey, and closing it shows the main
    // window again.
    HK(WindowSystem& windows, HotkeySettings& settings, Window& mainWindow);

    CheckBox Check1;
    Label Label4;
    EditBox Text1;
    CheckBox Check2;
    Label Label5;
    EditBox Text2;
    CheckBox Check3;
    Label Label6;
    EditBox Text3;
    CheckBox Check4;
    Label Label7;
    EditBox Text4;
    CheckBox Check5;
    Label Label8;
    EditBox Text5;
    Label la;
    ListBox combo1;
    PushButton Command1;

    // Row 1 to 5 at index 0 to 4.
    std::array<CheckBox*, 5> checks() { return {&Check1, &Check2, &Check3, &Check4, &Check5}; }
    std::array<EditBox*, 5> keys() { return {&Text1, &Text2, &Text3, &Text4, &Text5}; }

private:
    HotkeySettings& settings_;
    Window& mainWindow_;
};

// The key filter of the five key boxes: Backspace, digits and capitals pass, small
// letters become capitals, every other code is discarded (0).
int hkeyFilter(int code);

}  // namespace tolvane
