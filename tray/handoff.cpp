// Putting the main window away into the notification area and bringing it back.
#include "app/form1.h"

namespace tolvane {

void Form1::prepareTray()
{
    trayArea.setIcon(platform.display.pictureHandle(design().icon));
    trayArea.setToolTip("Open");
}

void Form1::Command3_Click()
{
    setVisible(false);
    trayArea.setVisible(true);
}

void Form1::TrayArea_MouseDown(int16_t& /*button*/)
{
    bringBack();
}

// What a press on the tray icon does; a second start of the program asks for the same.
void Form1::bringBack()
{
    trayArea.setVisible(false);
    setVisible(true);
}

}  // namespace tolvane
