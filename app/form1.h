#pragma once
// Form1, the main window: every control and timer as designed, the schedule members, and
// the parts it holds for the other subsystems: the hotkey settings and monitor (hotkeys/),
// the tray control and the hand-off (tray/), the web panel (web/). Its own event handlers
// and operations are defined in app/; those of another subsystem's control call that part.
#include <cstdint>
#include <optional>
#include <string>

#include "app/program.h"
#include "hotkeys/monitor.h"
#include "hotkeys/settings.h"
#include "platform/model/window.h"
#include "power/actions.h"
#include "tray/handoff.h"
#include "tray/tray_area.h"
#include "web/web_panel.h"

namespace tolvane {

struct Command;

class Form1 : public Window {
public:
    explicit Form1(Program& program);
    ~Form1() override;

    // Operations the other windows use.
    void reset();
    // A request of the command line, on the controls as a user would make it (app/command.h).
    void carryOut(const Command& command);
    // The computer woke from sleep: an armed schedule catches up with the clocks (app/moment.cpp).
    void woke();

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

    // The parts of the other subsystems, which the handlers of their controls call.
    HotkeySettings hotkeySettings;
    HotkeyMonitor hotkeyMonitor;
    TrayHandoff trayHandoff;
    WebPanel webPanel;

    // The schedule (set by SET, run by the countdown and clock-check timers).
    int16_t actcode = 0;
    std::string warntext;
    std::string hourtext;
    std::string mintext;
    int16_t minsleft = 0;
    std::string nowhm;
    std::string nowmins;
    int16_t warnsecs = 0;

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

    // Carries out the armed schedule: idle first, then the action.
    void carryOutSchedule();
    // Timer4's work: the warning window shown and its countdown started from the top.
    void showWarning();

    // Where an armed schedule stands in time beyond what its timers count: the timers count
    // only time awake and the clock may be set, so the moment the schedule names is kept on
    // the clocks themselves (app/moment.cpp).
    struct ClockReading {
        int64_t sinceBoot = 0;
        int64_t local = 0;
    };
    ClockReading readClock() const;
    // "At": a look at the clocks (a check, or waking when `slept`); true when the target minute
    // began or went by since the last look where no check could see it.
    bool lookPassedTarget(const ClockReading& now, bool slept);
    // "After": the timers put back on the delay's own grid with `remaining` ms to go.
    void realign(int64_t remaining);
    // The moment came unseen: the action comes after a warning window of its own, opened now.
    void overdue();
    // SET's part in it: the moment the new schedule names.
    void rememberSet();

    // A power call the system refused or that failed, told to the user once per request.
    void powerRefused(int16_t action, const std::string& reason);
    // At SET: what the system said of carrying the action out with nobody at the computer.
    void askUnattended();

    bool afterMode_ = false;        // the mode SET armed
    std::optional<int64_t> dueAt_;  // the action's moment since boot: "after", or overdue
    ClockReading lastLook_;         // "at": the clocks at SET or at the last check
    bool overdue_ = false;          // the moment came unseen: warned, whatever Check6 said
    unsigned setCount_ = 0;         // SETs so far, so that a late answer finds its own
};

}  // namespace tolvane
