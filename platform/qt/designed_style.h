#pragma once
// The style of the program's check boxes and option buttons: the application's own style,
// with the box no larger than the control's designed height. The windows were designed for
// 13-pixel boxes; a style whose box runs larger would cut it at the bottom of a control
// designed 13 pixels high (Form1's Check6).
#include <QProxyStyle>

namespace tolvane {

class DesignedStyle : public QProxyStyle {
public:
    DesignedStyle();
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
};

}  // namespace tolvane
