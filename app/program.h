#pragma once
// The program: its platform and the one instance of each window, created on first use.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/model/rnd.h"
#include "platform/platform.h"

namespace tolvane {

class Form1;
class Form2;
class HK;
class ModelObserver;
struct Command;

// The message-box title used for every message of the program.
inline constexpr const char* kMessageTitle = "Tolvane 3.0";

class Program {
public:
    explicit Program(Platform& platform);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Platform& platform() const { return platform_; }
    Rnd& rnd() { return rnd_; }

    // Creates the main window and loads it: the whole start-up.
    void start();
    // Shows the main window as a press on its tray icon does (icon taken away, window
    // shown); for a second start of the program, which hands over to this one.
    void showMainWindow();

    // A request of the command line or of the desktop bus, carried out on the main window's
    // controls as a user would (app/command.h).
    void command(const Command& command);
    // The main window's status line as it reads now.
    std::string statusLine();
    // `changed` is told each new text of the status line from now on.
    void watchStatusLine(std::function<void(const std::string&)> changed);

    // Each accessor creates its window on first use (created, not loaded).
    Form1& form1();
    Form2& form2();
    HK& hk();
    // Whether the window exists (is loaded) right now, without creating it.
    Form2* existingForm2() const { return form2_.get(); }
    HK* existingHK() const { return hk_.get(); }

private:
    void retire(Window& window);
    void releaseRetired();

    Platform& platform_;
    Rnd rnd_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<HK> hk_;
    std::unique_ptr<ModelObserver> statusWatch_;
    // Windows unloaded from inside their own handlers live on until it is safe to free them.
    std::vector<std::unique_ptr<Window>> retired_;
};

}  // namespace tolvane
