#pragma once
// The two orders of a window's controls that every backend keeps, written once: the tab order
// (where Tab goes, and which control a window's first showing gives the focus) and the design's
// layers (which control is drawn over which where they overlap). A backend asks for them and
// applies them with its own means: the order it makes its native controls in, setTabOrder,
// the z-order.
#include <algorithm>
#include <vector>

#include "control.h"
#include "window.h"

namespace tolvane {

// The design's layers, bottom to top: frames, then labels (windowless in the design and
// drawn on their container), then every windowed control.
enum class DesignLayer { Frames, Labels, Windowed };

constexpr DesignLayer designLayer(ControlKind kind)
{
    switch (kind) {
        case ControlKind::Frame:
            return DesignLayer::Frames;
        case ControlKind::Label:
            return DesignLayer::Labels;
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::DropDownList:
        case ControlKind::ListBox:
        case ControlKind::EditBox:
        case ControlKind::Image:
        case ControlKind::WebView:
            return DesignLayer::Windowed;
    }
    return DesignLayer::Windowed;
}

// `controls` by the design's layers, the bottom layer first; within a layer they keep the order
// they are given in. Frames come before what they hold, so a backend that makes its controls
// in this order finds every container made.
inline std::vector<Control*> bottomLayerFirst(std::vector<Control*> controls)
{
    std::stable_sort(controls.begin(), controls.end(), [](const Control* a, const Control* b) {
        return designLayer(a->kind()) < designLayer(b->kind());
    });
    return controls;
}

// `controls` by the design's layers, the top layer first; within a layer they keep the order
// they are given in.
inline std::vector<Control*> topLayerFirst(std::vector<Control*> controls)
{
    std::stable_sort(controls.begin(), controls.end(), [](const Control* a, const Control* b) {
        return designLayer(a->kind()) > designLayer(b->kind());
    });
    return controls;
}

// Every control of the window in the order of its tab place, those without a place last;
// controls of one place keep the order of their design.
inline std::vector<Control*> tabOrder(const Window& window)
{
    std::vector<Control*> order = window.controls();
    const auto place = [](const Control* c) { return c->tabIndex() < 0 ? 1 << 30 : c->tabIndex(); };
    std::stable_sort(order.begin(), order.end(),
                     [&place](const Control* a, const Control* b) { return place(a) < place(b); });
    return order;
}

// The controls of the window that take the focus, in the tab order: what Tab walks through.
inline std::vector<Control*> focusOrder(const Window& window)
{
    std::vector<Control*> order = tabOrder(window);
    std::erase_if(order, [](const Control* c) { return !c->takesFocus(); });
    return order;
}

}  // namespace tolvane
