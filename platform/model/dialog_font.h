#pragma once
// The size of a window's dialog font, one rule for every desktop backend. The windows were
// laid out for an 8-point dialog font whose one-line label captions fit the room the design
// gives them; a desktop whose face runs wider gets the largest smaller size, in half points
// down to 6, at which every one of them fits. The backend only measures: it says how wide
// a caption is in its own face at a given size.
#include <algorithm>
#include <functional>
#include <string>

#include "control_order.h"
#include "twips.h"
#include "window.h"

namespace tolvane {

constexpr int kOneLineLabel = 255;  // twips: the designed height of a one-line label

// A label designed for one line of text, whose caption the font must fit.
inline bool isOneLineLabel(const Control& control)
{
    return control.kind() == ControlKind::Label && control.geometry().height <= kOneLineLabel;
}

// The pixels of a label's designed width that its caption may use: up to the first
// windowed control that the design lays over the label to the right of its left edge
// (Form1's warning check box at the right end of its caption, HK's key boxes). Both
// backends draw the labels beneath the windowed controls, so a caption that ran on under
// such a control would be cut there.
inline int captionRoom(const Control& label, const Window& window, int dotsPerInch)
{
    const PixelRect own = pixelRect(label, dotsPerInch);
    int room = own.width;
    for (const Control* other : window.controls()) {
        if (other == &label || !other->visible() || designLayer(other->kind()) <= designLayer(label.kind())) continue;
        const PixelRect r = pixelRect(*other, dotsPerInch);
        const bool overlaps = std::max(own.left, r.left) < std::min(own.left + own.width, r.left + r.width) &&
                              std::max(own.top, r.top) < std::min(own.top + own.height, r.top + r.height);
        if (overlaps && r.left > own.left) room = std::min(room, r.left - own.left);
    }
    return room;
}

// Sizes in tenths of a point.
constexpr int kDialogFontTenths = 80;
constexpr int kSmallestDialogFontTenths = 60;

// How many pixels `caption` takes in the backend's dialog face at `tenths` of a point.
using CaptionWidth = std::function<int(const std::string& caption, int tenths)>;

// The dialog font's size for `window`, in tenths of a point: 8 points, or the largest
// smaller size in half points at which every one-line label caption fits its room; 6
// points when none does.
inline int dialogFontTenths(const Window& window, int dotsPerInch, const CaptionWidth& width)
{
    int tenths = kDialogFontTenths;
    for (; tenths > kSmallestDialogFontTenths; tenths -= 5) {
        const bool fits = std::all_of(window.controls().begin(), window.controls().end(), [&](const Control* c) {
            return !isOneLineLabel(*c) || c->caption().empty() ||
                   width(c->caption(), tenths) <= captionRoom(*c, window, dotsPerInch);
        });
        if (fits) break;
    }
    return tenths;
}

}  // namespace tolvane
