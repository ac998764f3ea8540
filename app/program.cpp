#include "program.h"

#include "app/command.h"
#include "app/form1.h"
#include "app/form2.h"
#include "hotkeys/hk.h"

namespace tolvane {

namespace {

// Hears the status line's changes among everything the model tells its observers.
class StatusWatch : public ModelObserver {
public:
    explicit StatusWatch(std::function<void(const std::string&)> changed) : changed_(std::move(changed)) {}
    void propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value) override
    {
        if (control && window.name() == "Form1" && control->name() == "Label3" && property == Property::Caption)
            changed_(std::get<std::string>(value));
    }

private:
    std::function<void(const std::string&)> changed_;
};

}  // namespace

Program::Program(Platform& platform) : platform_(platform) {}

Program::~Program()
{
    if (statusWatch_) platform_.windows.removeObserver(*statusWatch_);
}

void Program::start()
{
    form1().load();
}

void Program::showMainWindow()
{
    form1().trayHandoff.bringBack();
}

void Program::command(const Command& command)
{
    form1().carryOut(command);
}

std::string Program::statusLine()
{
    return form1().Label3.caption();
}

void Program::watchStatusLine(std::function<void(const std::string&)> changed)
{
    if (statusWatch_) platform_.windows.removeObserver(*statusWatch_);
    statusWatch_ = std::make_unique<StatusWatch>(std::move(changed));
    platform_.windows.addObserver(*statusWatch_);
}

Form1& Program::form1()
{
    if (!form1_) form1_ = std::make_unique<Form1>(*this);
    return *form1_;
}

Form2& Program::form2()
{
    if (!form2_) {
        releaseRetired();
        form2_ = std::make_unique<Form2>(*this);
        form2_->afterUnload = [this] { retire(*form2_); };
    }
    return *form2_;
}

HK& Program::hk()
{
    if (!hk_) {
        Form1& main = form1();
        releaseRetired();
        hk_ = std::make_unique<HK>(platform_.windows, main.hotkeySettings, main);
        hk_->afterUnload = [this] { retire(*hk_); };
    }
    return *hk_;
}

void Program::retire(Window& window)
{
    if (form2_.get() == &window) retired_.push_back(std::move(form2_));
    if (hk_.get() == &window) retired_.push_back(std::move(hk_));
}

void Program::releaseRetired()
{
    retired_.clear();
}

}  // namespace tolvane
