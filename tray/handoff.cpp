#include "tray/handoff.h"

namespace tolvane {

void TrayHandoff::prepareTray()
{
    trayArea_.setIcon(display_.pictureHandle(mainWindow_.design().icon));
    trayArea_.setToolTip("Open");
}

void TrayHandoff::sendToTray()
{
    mainWindow_.setVisible(false);
    trayArea_.setVisible(true);
}

void TrayHandoff::bringBack()
{
    trayArea_.setVisible(false);
    mainWindow_.setVisible(true);
}

}  // namespace tolvane
