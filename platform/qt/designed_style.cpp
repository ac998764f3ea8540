#include "platform/qt/designed_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QWidget>
#include <algorithm>

namespace tolvane {

// A base of its own, made like the application's, so that the application keeps its style.
DesignedStyle::DesignedStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

int DesignedStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const int size = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        return widget && widget->height() > 0 ? std::min(size, widget->height()) : size;
    default:
        return size;
    }
}

}  // namespace tolvane
