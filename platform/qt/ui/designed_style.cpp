#include "platform/qt/ui/designed_style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QListWidget>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>

namespace tolvane {

namespace {

bool boxFits(const QWidget& control, QStyle::PixelMetric width, QStyle::PixelMetric height)
{
    const QStyle* style = control.style();
    return style->pixelMetric(width, nullptr, &control) <= control.width() &&
           style->pixelMetric(height, nullptr, &control) <= control.height();
}

// What the style asks for to show its longest item whole, as it would ask a layout.
bool dropDownFits(const QComboBox& list)
{
    QStyleOptionComboBox option;
    option.initFrom(&list);
    option.editable = false;
    option.frame = true;
    int widest = 0;
    for (int i = 0; i < list.count(); ++i)
        widest = std::max(widest, list.fontMetrics().horizontalAdvance(list.itemText(i)));
    const QSize needed =
        list.style()->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(widest, list.fontMetrics().height()), &list);
    return needed.width() <= list.width() && needed.height() <= list.height();
}

// Every line in sight, at the height the style gives a line: the hotkey window's list was
// designed to show its five lines, which a style that pads its lines pushes out of sight.
bool listLinesFit(const QListWidget& list)
{
    return list.count() == 0 || list.sizeHintForRow(0) * list.count() <= list.contentsRect().height();
}

// Whether anything of the frame is drawn, on a transparent ground (the frames of the windows
// have no title).
bool frameDrawn(QGroupBox& frame)
{
    QImage image(frame.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    frame.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qAlpha(pixel) != 0; })) return true;
    }
    return false;
}

}  // namespace

DesignedStyle::DesignedStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int DesignedStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const int size = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return widget && widget->height() > 0 && widget->width() > 0
                       ? std::min({size, widget->width(), widget->height()})
                       : size;
        default:
            return size;
    }
}

bool drawnWhole(QWidget& control)
{
    if (qobject_cast<QCheckBox*>(&control))
        return boxFits(control, QStyle::PM_IndicatorWidth, QStyle::PM_IndicatorHeight);
    if (qobject_cast<QRadioButton*>(&control))
        return boxFits(control, QStyle::PM_ExclusiveIndicatorWidth, QStyle::PM_ExclusiveIndicatorHeight);
    if (auto* list = qobject_cast<QComboBox*>(&control)) return dropDownFits(*list);
    if (auto* list = qobject_cast<QListWidget*>(&control)) return listLinesFit(*list);
    if (auto* frame = qobject_cast<QGroupBox*>(&control)) return frameDrawn(*frame);
    return true;
}

}  // namespace tolvane
