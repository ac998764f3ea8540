#pragma once
// The style each control of the windows is drawn with. The windows were designed for the
// controls of Windows, and many desktop styles draw larger ones: Adwaita's boxes are 22
// pixels where an option button is 17 wide, its drop-downs keep a margin that leaves room
// for one digit of "00", its list lines are padded so that the hotkey window shows four of
// its five, and it draws no frame without a title. A control that the desktop's style cannot
// draw whole at its designed size is drawn by Fusion (DesignedStyle) in the desktop's colours;
// every other control keeps the desktop's style.
#include <QProxyStyle>

class QWidget;

namespace tolvane {

// Fusion, with the box of a check box or option button no larger than the control (Form1's
// Check6 is 13 pixels high, Fusion's box 14); Fusion draws its boxes at any size.
class DesignedStyle : public QProxyStyle {
public:
    DesignedStyle();
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
};

// Whether the control's own style draws it whole at its present size, font and items: as the
// style itself tells the size it needs (boxes, drop-downs, the lines of a list), and for a
// frame whether it draws one at all.
bool drawnWhole(QWidget& control);

}  // namespace tolvane
