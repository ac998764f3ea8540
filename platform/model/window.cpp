#include "window.h"

#include "window_system.h"

namespace tolvane {

Window::Window(WindowSystem& system, WindowDesign design)
    : system_(system), design_(std::move(design)), caption_(design_.caption)
{
}

// The timers are members of the derived windows and have stopped themselves by now.
Window::~Window() = default;

void Window::setCaption(std::string caption)
{
    if (caption == caption_) return;
    caption_ = std::move(caption);
    system_.notify([&](ModelObserver& o) { o.propertyChanged(*this, nullptr, Property::Caption, caption_); });
}

void Window::setVisible(bool visible)
{
    if (visible == visible_) return;
    visible_ = visible;
    system_.notify([&](ModelObserver& o) { o.propertyChanged(*this, nullptr, Property::Visible, visible); });
}

void Window::load()
{
    if (loaded_) return;
    loaded_ = true;
    system_.notify([&](ModelObserver& o) { o.windowLoaded(*this); });
    for (Timer* t : timers_) t->windowLoaded();
    if (onLoad) onLoad();
}

bool Window::requestUnload()
{
    if (!loaded_) return true;
    int cancel = 0;
    if (onQueryUnload) onQueryUnload(cancel);
    if (cancel != 0) return false;
    if (onUnload) onUnload();
    for (Timer* t : timers_) t->windowUnloaded();
    visible_ = false;
    loaded_ = false;
    system_.notify([&](ModelObserver& o) { o.windowUnloaded(*this); });
    if (afterUnload) afterUnload();
    return true;
}

Control* Window::findControl(const std::string& name) const
{
    for (Control* c : controls_)
        if (c->name() == name) return c;
    return nullptr;
}

Timer* Window::findTimer(const std::string& name) const
{
    for (Timer* t : timers_)
        if (t->name() == name) return t;
    return nullptr;
}

}  // namespace tolvane
