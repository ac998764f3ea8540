#pragma once
// TrayArea: a control that owns one icon in the notification area. The host sets its
// Icon, ToolTip and Visible properties and receives the icon's mouse activity as the
// MouseMove, MouseDown, MouseUp and DblClick events.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/model/rnd.h"
#include "platform/services.h"
#include "tray/notify_record.h"

namespace tolvane {

// A picture reference: none, or a picture object with a handle (0 for an empty picture).
using Picture = std::optional<uint32_t>;

class TrayArea {
public:
    TrayArea(ShellApi& shell, DisplayApi& display, Rnd& rnd);
    ~TrayArea();
    TrayArea(const TrayArea&) = delete;
    TrayArea& operator=(const TrayArea&) = delete;

    Picture icon() const { return picture_; }
    void setIcon(Picture New_Icon);
    const std::string& toolTip() const { return tooltip_; }
    void setToolTip(const std::string& New_ToolTip);
    bool visible() const { return visibleFlag_ != 0; }
    void setVisible(bool New_Visible);

    // The face's size in twips; the control always takes the size of its picture.
    static constexpr int kFaceTwips = 510;
    int width() const { return width_; }
    int height() const { return height_; }
    // The control was resized (by its host or by itself).
    void resized(int width, int height);

    // Off in a design environment, where the control never adds its icon.
    bool userMode = true;

    std::function<void()> MouseMove;
    std::function<void(int16_t& Button)> MouseDown;
    std::function<void(int16_t& Button)> MouseUp;
    std::function<void()> DblClick;

    const NotifyRecord& trayRecord() const { return trayRecord_; }
    uint32_t hWnd() const { return hWnd_; }

private:
    void onShellMessage(uint32_t message, uint32_t lParam);
    // The mouse-move handler of the control's own window; x in twips.
    void mouseMoved(float xTwips);

    ShellApi& shell_;
    DisplayApi& display_;
    Rnd& rnd_;
    uint32_t hWnd_ = 0;

    NotifyRecord trayRecord_;
    int16_t visibleFlag_ = 0;
    std::string tooltip_;
    Picture picture_;
    bool resizeGuard_ = false;
    int width_ = kFaceTwips;
    int height_ = kFaceTwips;
};

}  // namespace tolvane
