#include "tray/tray_area.h"

#include "platform/model/win_codes.h"

namespace tolvane {

namespace {

std::string trimSpaces(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

TrayArea::TrayArea(ShellApi& shell, DisplayApi& display, Rnd& rnd) : shell_(shell), display_(display), rnd_(rnd)
{
    hWnd_ = shell_.createMessageWindow([this](uint32_t message, uint32_t lParam) { onShellMessage(message, lParam); });
}

TrayArea::~TrayArea()
{
    shell_.Shell_NotifyIcon(kNimDelete, trayRecord_.bytes());
    shell_.destroyMessageWindow(hWnd_);
}

void TrayArea::setIcon(Picture New_Icon)
{
    picture_ = New_Icon;
    if (!New_Icon) {
        setVisible(false);
    } else if (visibleFlag_ != 0) {
        trayRecord_.uFlags = kNifIcon;
        trayRecord_.hIcon = *New_Icon;
        shell_.Shell_NotifyIcon(kNimModify, trayRecord_.bytes());
    }
}

void TrayArea::setToolTip(const std::string& New_ToolTip)
{
    tooltip_ = trimSpaces(New_ToolTip);
    trayRecord_.uFlags = kNifTip;
    trayRecord_.szTip = tipField(tooltip_);
    shell_.Shell_NotifyIcon(kNimModify, trayRecord_.bytes());
}

void TrayArea::setVisible(bool New_Visible)
{
    const int16_t flag = New_Visible ? -1 : 0;
    if (flag == visibleFlag_) return;
    visibleFlag_ = flag;
    if (New_Visible) {
        if (!userMode) return;
        trayRecord_.cbSize = kNotifyRecordSize;
        trayRecord_.hWnd = hWnd_;
        trayRecord_.uID = static_cast<uint32_t>(rnd_.next() * 65535 + 1);
        trayRecord_.uFlags = kNifMessage;
        if (picture_) {
            trayRecord_.uFlags += kNifIcon;
            trayRecord_.hIcon = *picture_;
        }
        if (!tooltip_.empty()) {
            trayRecord_.uFlags += kNifTip;
            trayRecord_.szTip = tipField(tooltip_);
        }
        trayRecord_.uCallbackMessage = kWmMouseMove;
        shell_.Shell_NotifyIcon(kNimAdd, trayRecord_.bytes());
    } else {
        shell_.Shell_NotifyIcon(kNimDelete, trayRecord_.bytes());
    }
}

void TrayArea::resized(int width, int height)
{
    width_ = width;
    height_ = height;
    if (resizeGuard_) return;
    resizeGuard_ = true;
    resized(width_, kFaceTwips);
    resized(kFaceTwips, height_);
    resizeGuard_ = false;
}

void TrayArea::onShellMessage(uint32_t message, uint32_t lParam)
{
    if (message != kWmMouseMove) return;
    // The shell's callback reads as a mouse move whose x, in pixels, is the mouse message.
    const int xPixels = static_cast<int>(lParam & 0xFFFF);
    mouseMoved(static_cast<float>(xPixels * display_.twipsPerPixelX()));
}

void TrayArea::mouseMoved(float xTwips)
{
    const float message = xTwips / static_cast<float>(display_.twipsPerPixelX());
    // The message as the single-precision number it was computed as.
    const auto is = [message](uint32_t m) { return message == static_cast<float>(m); };
    int16_t button = 0;
    if (is(kWmMouseMove)) {
        if (MouseMove) MouseMove();
    } else if (is(kWmLButtonDown) || is(kWmRButtonDown)) {
        button = is(kWmLButtonDown) ? 1 : 2;
        if (MouseDown) MouseDown(button);
    } else if (is(kWmLButtonUp) || is(kWmRButtonUp)) {
        button = is(kWmLButtonUp) ? 1 : 2;
        if (MouseUp) MouseUp(button);
    } else if (is(kWmLButtonDblClk) || is(kWmRButtonDblClk)) {
        if (DblClick) DblClick();
    }
}

}  // namespace tolvane
