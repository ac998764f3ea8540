#include "app/form1.h"

#include <cstdio>

#include "hotkeys/hk.h"
#include "power/actions.h"
#include "power/sp.h"

namespace tolvane {

namespace {

// One item for each action: its "after" or "at" label.
std::vector<std::string> actionItems(const char* ActionRow::*label)
{
    std::vector<std::string> items;
    for (const ActionRow& row : kActions) items.emplace_back(row.*label);
    return items;
}

std::vector<std::string> twoDigitItems(int from, int to)
{
    std::vector<std::string> items;
    for (int i = from; i <= to; ++i) {
        char text[8];
        std::snprintf(text, sizeof text, "%02d", i);
        items.emplace_back(text);
    }
    return items;
}

}  // namespace

Form1::Form1(Program& program_)
    : Window(program_.platform().windows, {"Form1", "Tolvane 3.0 - Quenmoor", 5625, 3975, "tolvane"}),
      program(program_),
      platform(program_.platform()),
      Frame1(*this, {"Frame1", {405, 30, 4890, 540}, 16, ""}),
      Label3(*this, {"Label3", {210, 195, 4335, 255}, 17, "Currently no action scheduled", &Frame1}),
      Option1(*this, {"Option1", {600, 720, 255, 375}, 0, ""}, true),
      Combo1(*this, {"Combo1", {960, 735, 2415, 315}, 1, ""}, actionItems(&ActionRow::afterLabel)),
      Combo3(*this, {"Combo3", {3600, 735, 660, 315}, 2, ""}, twoDigitItems(0, 23)),
      Label1(*this, {"Label1", {4275, 735, 135, 255}, 12, ":"}),
      Combo4(*this, {"Combo4", {4350, 735, 615, 315}, 3, ""}, twoDigitItems(1, 59)),
      Option2(*this, {"Option2", {600, 1230, 255, 375}, 4, ""}, false),
      Combo2(*this, {"Combo2", {960, 1245, 2415, 315}, 5, ""}, actionItems(&ActionRow::atLabel)),
      Combo6(*this, {"Combo6", {3600, 1245, 660, 315}, 6, ""}, twoDigitItems(0, 23)),
      Label2(*this, {"Label2", {4275, 1260, 135, 255}, 13, ":"}),
      Combo5(*this, {"Combo5", {4365, 1245, 615, 315}, 7, ""}, twoDigitItems(0, 59)),
      Frame2(*this, {"Frame2", {375, 1680, 3135, 495}, 18, ""}),
      Label9(*this, {"Label9", {75, 165, 2940, 255}, 19, " Warn 30 seconds before the action", &Frame2}),
      Check6(*this, {"Check6", {2745, 180, 255, 195}, 20, "Check6", &Frame2}),
      Command1(*this, {"Command1", {3585, 1770, 1350, 375}, 8, "SET"}),
      Command2(*this, {"Command2", {375, 2280, 1455, 375}, 9, "Hot Keys"}),
      Command3(*this, {"Command3", {1920, 2280, 1455, 375}, 10, "Send To Tray"}),
      Command4(*this, {"Command4", {3480, 2280, 1575, 375}, 11, "Home Page"}),
      WebBrowser1(*this, {"WebBrowser1", {0, 2760, 5655, 1215}, 15, ""}),
      Label4(*this, {"Label4", {1320, 4440, 3330, 255}, 14, "Get Free Disk Defragmentation Software Trial"}),
      Timer1(*this, "Timer1", 60000, false),
      Timer2(*this, "Timer2", 5000, false),
      Timer3(*this, "Timer3", 100, true, TimerRest::WhileNoKeyIsDown),
      Timer4(*this, "Timer4", 30000, false),
      Timer5(*this, "Timer5", 1000, false),
      trayArea(platform.shell, platform.display, program_.rnd()),
      hotkeySettings(
          platform, [this]() -> HK& { return program.hk(); },
          [this](const std::string& text) { platform.dialogs.MessageBox(kMessageTitle, text); }),
      hotkeyMonitor(platform, hotkeySettings),
      trayHandoff(*this, trayArea, platform.display),
      webPanel(WebBrowser1, Label4, platform.web, platform.launcher)
{
    Label4.linkLooks = true;

    // Creating the main window initialises the common controls, before any window exists.
    platform.display.InitCommonControls();

    onLoad = [this] { Form_Load(); };
    onQueryUnload = [this](int& cancel) { Form_QueryUnload(cancel); };
    Command1.onClick = [this] { Command1_Click(); };
    Command2.onClick = [this] { Command2_Click(); };
    Command3.onClick = [this] { Command3_Click(); };
    Command4.onClick = [this] { Command4_Click(); };
    Label4.onClick = [this] { Label4_Click(); };
    Label9.onClick = [this] { Label9_Click(); };
    Timer1.onTimer = [this] { Timer1_Timer(); };
    Timer2.onTimer = [this] { Timer2_Timer(); };
    Timer3.onTimer = [this] { Timer3_Timer(); };
    Timer4.onTimer = [this] { Timer4_Timer(); };
    Timer5.onTimer = [this] { Timer5_Timer(); };
    trayArea.MouseDown = [this](int16_t& button) { TrayArea_MouseDown(button); };
    platform.clock.woke = [this] { woke(); };
    platform.power.refused = [this](int16_t action, const std::string& reason) { powerRefused(action, reason); };
}

Form1::~Form1()
{
    platform.clock.woke = nullptr;
    platform.power.refused = nullptr;
}

// The start-up sequence; every step runs once, in this order.
void Form1::Form_Load()
{
    hotkeySettings.openSettings();

    Combo1.setText("Shutdown After");
    Combo2.setText("ShutDown At");
    Combo3.setText("00");
    Combo4.setText("01");
    Combo6.setText("00");
    Combo5.setText("00");

    SP_proc1(platform.privilege);
    reset();

    trayHandoff.prepareTray();
    program.hk().load();

    // Start-up ends in the notification area: hidden, with the icon present.
    trayHandoff.sendToTray();

    webPanel.startWebPanel();
}

// Closing the main window only puts it away into the notification area.
void Form1::Form_QueryUnload(int& cancel)
{
    trayHandoff.sendToTray();
    cancel = 1;
}

// "Hot Keys": the main window makes way for the hotkey window, which shows it again when it
// is closed.
void Form1::Command2_Click()
{
    setVisible(false);
    HK& hk = program.hk();
    hk.load();
    hk.setVisible(true);
}

void Form1::Command3_Click()
{
    trayHandoff.sendToTray();
}

void Form1::Command4_Click()
{
    webPanel.openHomePage();
}

void Form1::Label4_Click()
{
    webPanel.openRedirectPage();
}

void Form1::Timer3_Timer()
{
    hotkeyMonitor.tick();
}

// Either button brings the window back; the press already takes the icon away.
void Form1::TrayArea_MouseDown(int16_t& /*button*/)
{
    trayHandoff.bringBack();
}

}  // namespace tolvane
