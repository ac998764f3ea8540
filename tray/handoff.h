#pragma once
// The hand-off of the main window to and from the notification area: the window and its tray
// icon move together, one hidden while the other is present. Schedules, the warning and the
// hotkeys go on working whichever of the two is showing.
#include "platform/model/window.h"
#include "platform/services.h"
#include "tray/tray_area.h"

namespace tolvane {

class TrayHandoff {
public:
    TrayHandoff(Window& mainWindow, TrayArea& trayArea, DisplayApi& display)
        : mainWindow_(mainWindow), trayArea_(trayArea), display_(display)
    {
    }

    // Start-up: the tray control gets the main window's icon and the tooltip "Open".
    void prepareTray();
    // Window hidden, icon present: "Send To Tray", the main window's close box and the end of
    // start-up.
    void sendToTray();
    // Icon away, window shown: a press on the tray icon with either button, and a second start
    // of the program.
    void bringBack();

private:
    Window& mainWindow_;
    TrayArea& trayArea_;
    DisplayApi& display_;
};

}  // namespace tolvane
