#include "program.h"

#include "app/form1.h"
#include "app/form2.h"
#include "hotkeys/hk.h"

namespace tolvane {

Program::Program(Platform& platform) : platform_(platform) {}

Program::~Program() = default;

void Program::start()
{
    form1().load();
}

void Program::showMainWindow() { form1().bringBack(); }

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
        releaseRetired();
        hk_ = std::make_unique<HK>(*this);
        hk_->afterUnload = [this] { retire(*hk_); };
    }
    return *hk_;
}

void Program::retire(Window& window)
{
    if (form2_.get() == &window) retired_.push_back(std::move(form2_));
    if (hk_.get() == &window) retired_.push_back(std::move(hk_));
}

void Program::releaseRetired() { retired_.clear(); }

}  // namespace tolvane
