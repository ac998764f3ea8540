#pragma once
// Twips (1/1440 inch) and the screen's pixels. The windows are designed in twips; every
// backend turns them into pixels here, so that the two desktop programs put each control
// on the same pixel at the same resolution.
#include <cmath>

#include "control.h"

namespace tolvane {

// The screen's resolution in whole dots per inch; a missing or absurd reading counts as 96.
inline int wholeDotsPerInch(double dotsPerInch)
{
    return dotsPerInch >= 1 && dotsPerInch < 10000 ? static_cast<int>(std::lround(dotsPerInch)) : 96;
}

// Pixels for a length in twips, rounded to the nearest pixel (halves away from zero).
constexpr int twipsToPixels(int twips, int dotsPerInch)
{
    const long long scaled = static_cast<long long>(twips) * dotsPerInch;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

// Twips per pixel as a whole number (15 at 96 dots per inch, 12 at 120), never below 1:
// what the tray control divides a callback's x coordinate by.
constexpr int twipsPerPixel(int dotsPerInch)
{
    return dotsPerInch <= 0 ? 15 : dotsPerInch >= 1440 ? 1 : (1440 + dotsPerInch / 2) / dotsPerInch;
}

struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
};

// A control's place in pixels, relative to its window's client area: its own twips plus
// the places of the containers it lies in, each rounded on its own as a child window's
// place inside its parent is.
inline PixelRect pixelRect(const Control& control, int dotsPerInch)
{
    const Twips& g = control.geometry();
    PixelRect r{twipsToPixels(g.left, dotsPerInch), twipsToPixels(g.top, dotsPerInch),
                twipsToPixels(g.width, dotsPerInch), twipsToPixels(g.height, dotsPerInch)};
    for (const Control* c = control.container(); c; c = c->container()) {
        r.left += twipsToPixels(c->geometry().left, dotsPerInch);
        r.top += twipsToPixels(c->geometry().top, dotsPerInch);
    }
    return r;
}

}  // namespace tolvane
