#include "hotkeys/hk.h"

#include "hotkeys/settings.h"
#include "power/actions.h"

namespace tolvane {

int hkeyFilter(int code)
{
    if (code == 8) return code;
    if (code >= '0' && code <= '9') return code;
    if (code >= 'A' && code <= 'Z') return code;
    if (code >= 'a' && code <= 'z') return code - 32;
    return 0;
}

HK::HK(WindowSystem& windows, HotkeySettings& settings, Window& mainWindow)
    : Window(windows, {"HK", "Setup Hot Keys", 3030, 4440, "tolvane"}),
      Check1(*this, {"Check1", {360, 240, 255, 255}, 0, "Check1"}),
      Label4(*this, {"Label4", {600, 240, 1815, 255}, 16, kActions[0].rowCaption}),
      Text1(*this, {"Text1", {2400, 240, 270, 270}, 1, ""}, 1),
      Check2(*this, {"Check2", {360, 720, 255, 255}, 2, "Check1"}),
      Label5(*this, {"Label5", {600, 720, 1695, 255}, 15, kActions[1].rowCaption}),
      Text2(*this, {"Text2", {2400, 720, 270, 270}, 3, ""}, 1),
      Check3(*this, {"Check3", {360, 1200, 255, 255}, 4, "Check1"}),
      Label6(*this, {"Label6", {600, 1200, 1575, 255}, 14, kActions[2].rowCaption}),
      Text3(*this, {"Text3", {2400, 1185, 270, 270}, 5, ""}, 1),
      Check4(*this, {"Check4", {360, 1680, 255, 255}, 6, "Check1"}),
      Label7(*this, {"Label7", {600, 1680, 1800, 255}, 13, kActions[3].rowCaption}),
      Text4(*this, {"Text4", {2400, 1665, 270, 270}, 7, ""}, 1),
      Check5(*this, {"Check5", {360, 2160, 255, 255}, 8, "Check1"}),
      Label8(*this, {"Label8", {600, 2160, 1680, 255}, 12, kActions[4].rowCaption}),
      Text5(*this, {"Text5", {2400, 2130, 270, 270}, 9, ""}, 1),
      la(*this, {"la", {195, 2565, 2640, 255}, 17, " Current Settings"}),
      combo1(*this, {"combo1", {120, 2895, 2790, 1035}, 10, ""}),
      Command1(*this, {"Command1", {870, 3990, 1335, 375}, 11, "SET"}),
      settings_(settings),
      mainWindow_(mainWindow)
{
    onLoad = [this] { settings_.loadhkey(); };
    onUnload = [this] { mainWindow_.setVisible(true); };
    Command1.onClick = [this] { settings_.savehkey(); };
    for (EditBox* box : keys()) box->onKeyPress = hkeyFilter;
}

}  // namespace tolvane
