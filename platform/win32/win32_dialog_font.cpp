#include "platform/win32/win32_dialog_font.h"

#include "platform/model/dialog_font.h"
#include "platform/win32/win32_text.h"

namespace tolvane::win32 {

namespace {

// The dialog face at `tenths` of a point on a screen of `dotsPerInch`.
HFONT dialogFace(int tenths, int dotsPerInch, bool underline)
{
    LOGFONTA lf{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = -MulDiv(tenths, dotsPerInch, 720);
    lf.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontIndirectA(&lf);
}

}  // namespace

DialogFonts::DialogFonts(const Window& window, int dotsPerInch)
{
    HDC dc = GetDC(nullptr);
    HFONT measuring = nullptr;
    int measuringTenths = 0;
    const int tenths = dialogFontTenths(window, dotsPerInch, [&](const std::string& caption, int size) {
        if (size != measuringTenths) {
            if (measuring) DeleteObject(measuring);
            measuring = dialogFace(size, dotsPerInch, false);
            measuringTenths = size;
        }
        HGDIOBJ old = SelectObject(dc, measuring);
        const std::string text = ansiFromUtf8(caption);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, old);
        return static_cast<int>(extent.cx);
    });
    if (measuring) DeleteObject(measuring);
    ReleaseDC(nullptr, dc);
    plain_ = dialogFace(tenths, dotsPerInch, false);
    underlined_ = dialogFace(tenths, dotsPerInch, true);
}

DialogFonts::~DialogFonts()
{
    DeleteObject(plain_);
    DeleteObject(underlined_);
}

}  // namespace tolvane::win32
