#pragma once
// A top-level window of the model: its design-time frame and its controls and timers.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control.h"
#include "timer.h"

namespace tolvane {

class WindowSystem;

struct WindowDesign {
    std::string name;
    std::string caption;
    int clientWidth = 0;  // twips
    int clientHeight = 0;
    std::string icon;  // resource name; every window of the program uses "tolvane"
};

class Window {
public:
    Window(WindowSystem& system, WindowDesign design);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    WindowSystem& system() const { return system_; }
    const std::string& name() const { return design_.name; }
    const WindowDesign& design() const { return design_; }
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool loaded() const { return loaded_; }

    // Loads the window (once): observers see it, its enabled timers start, onLoad runs.
    void load();
    // A request to unload from any source (the close box, the program). onQueryUnload may
    // refuse it by setting its argument to a non-zero value. Returns true when unloaded.
    bool requestUnload();
    // The user pressed the close box.
    void userClose() { requestUnload(); }

    const std::vector<Control*>& controls() const { return controls_; }
    const std::vector<Timer*>& timers() const { return timers_; }
    Control* findControl(const std::string& name) const;
    Timer* findTimer(const std::string& name) const;

    std::function<void()> onLoad;
    std::function<void(int& cancel)> onQueryUnload;
    std::function<void()> onUnload;
    // Told last, once the window is unloaded (the program lets the instance go then).
    std::function<void()> afterUnload;

    // Called by the control and timer constructors.
    void adopt(Control& control) { controls_.push_back(&control); }
    void adopt(Timer& timer) { timers_.push_back(&timer); }

private:
    WindowSystem& system_;
    WindowDesign design_;
    std::string caption_;
    bool visible_ = false;
    bool loaded_ = false;
    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
};

}  // namespace tolvane
