#pragma once
// Form1, the main window: every control and timer as designed, the schedule members,
// the settings objects and the cached hotkey copies. Its event handlers and operations
// are defined beside the subsystem they belong to (app/, hotkeys/, tray/, web/).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/program.h"
#include "platform/model/window.h"
#include "power/actions.h"
#include "tray/tray_area.h"

namespace tolvane {

struct Command;

class Form1 : public Window {
public:
    explicit Form1(Program& program);
    ~Form1() override;

    // Operations the other windows use.
    void reset();
    void loadhkey();
    void savehkey();
    // The main window back from the notification area: icon away, window shown.
    void bringBack();
    // A request of the command line, on the controls as a user would make it (app/command.h).
    void carryOut(const Command& command);

    Program& program;
    Platform& platform;

    // Controls, in the order of their design (containers before what they hold).
    Frame Frame1;
    Label Label3;
    OptionButton Option1;
    DropDownList Combo1;
    DropDownList Combo3;
    Label Label1;
    DropDownList Combo4;
    OptionButton Option2;
    DropDownList Combo2;
    DropDownList Combo6;
    Label Label2;
    DropDownList Combo5;
    Frame Frame2;
    Label Label9;
    CheckBox Check6;
    PushButton Command1;
    PushButton Command2;
    PushButton Command3;
    PushButton Command4;
    WebView WebBrowser1;
    Label Label4;

    Timer Timer1;
    Timer Timer2;
    Timer Timer3;
    Timer Timer4;
    Timer Timer5;

    TrayArea trayArea;

    // The schedule (set by SET, run by the countdown and clock-check timers).
    int16_t actcode = 0;
    std::string warntext;
    std::string hourtext;
    std::string mintext;
    int16_t minsleft = 0;
    std::string nowhm;
    std::string nowmins;
    int16_t warnsecs = 0;

    // The settings database, open for the whole run.
    std::unique_ptr<Connection> hkeydb;
    std::unique_ptr<Recordset> kyrs;
    std::unique_ptr<Recordset> enrs;
    // Why the settings cannot be used, once something went wrong with them; while set,
    // the hotkeys are off and the hotkey window does not write.
    std::optional<std::string> settingsProblem;

    // The hotkey settings as last read, rows 1 to 5 at index 0 to 4.
    using HotkeyTexts = std::array<std::string, kActions.size()>;
    HotkeyTexts hkeychar;
    HotkeyTexts hkeyflag;

private:
    void Form_Load();
    void Form_QueryUnload(int& cancel);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Label4_Click();
    void Label9_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();
    void TrayArea_MouseDown(int16_t& button);

    // Start-up pieces owned by the settings, tray and web subsystems.
    void openSettings();
    void reportSettingsProblem(const std::string& problem);
    // saved: the read follows the user's save in the hotkey window.
    Result<void> readSettings(bool saved);
    // The only writer of the cached copies; tells the key-state service what the monitor
    // watches from now on.
    void useHotkeys(const HotkeyTexts& chars, const HotkeyTexts& flags, bool saved);
    void prepareTray();
    void startWebPanel();
    // Carries out the armed schedule: idle first, then the action.
    void carryOutSchedule();
};

}  // namespace tolvane
