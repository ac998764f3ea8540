// The print command: the state of a window or control, in the transcript's own form.
#include "app/program.h"
#include "platform/model/window.h"
#include "platform/sim/sim_platform.h"
#include "tools/sim/scenario.h"

namespace tolvane {

void ScenarioRunner::print(const std::string& word)
{
    auto [w, c] = target(word, false);
    Transcript& out = sim_->transcript();
    Window* window = loadedWindow(w);
    if (!window) {
        out.write(w + " not loaded");
        return;
    }
    if (c.empty()) {
        out.write(w + ".Visible = " + formatValue(window->visible()));
        out.write(w + ".Caption = " + quote(window->caption()));
        return;
    }
    if (Timer* timer = window->findTimer(c)) {
        out.write(word + ".Enabled = " + formatValue(timer->enabled()));
        out.write(word + ".Interval = " + std::to_string(timer->interval()));
        return;
    }
    Control* control = window->findControl(c);
    switch (control->kind()) {
        case ControlKind::CheckBox:
            out.write(word + ".Value = " + std::to_string(static_cast<CheckBox*>(control)->value()));
            break;
        case ControlKind::OptionButton:
            out.write(word + ".Value = " + formatValue(static_cast<OptionButton*>(control)->value()));
            break;
        case ControlKind::DropDownList:
            out.write(word + ".Text = " + quote(static_cast<ListControl*>(control)->text()));
            break;
        case ControlKind::ListBox: {
            auto* list = static_cast<ListControl*>(control);
            std::string items;
            for (const std::string& item : list->items()) items += (items.empty() ? "" : ", ") + quote(item);
            out.write(word + ".List = [" + items + "]");
            out.write(word + ".Text = " + quote(list->text()));
            break;
        }
        case ControlKind::EditBox:
            out.write(word + ".Text = " + quote(static_cast<EditBox*>(control)->text()));
            break;
        case ControlKind::Image:
        case ControlKind::WebView:
            out.write(word + ".Visible = " + formatValue(control->visible()));
            break;
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::PushButton:
            out.write(word + ".Caption = " + quote(control->caption()));
            break;
    }
}

}  // namespace tolvane
