#pragma once
// What the window checks read: where the design puts a control and what of it is the control's
// own, the texts a widget draws, and the events the model sees for a click.
#include <QAbstractItemView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "app/form2.h"
#include "hotkeys/hk.h"
#include "x_session.h"
#include "xcb_fixture.h"
namespace tolvane::test {

inline QRect toRect(const PixelRect& r)
{
    return {r.left, r.top, r.width, r.height};
}

// The texts a widget draws, each with where it lands and the clip it is drawn in, in the
// widget's pixels: what the style really does with a text, which its metrics need not tell.
struct DrawnText {
    QString text;
    QRectF place, clip;
};

class TextRecorder : public QPaintDevice, QPaintEngine {
public:
    explicit TextRecorder(QSize size) : QPaintEngine(AllFeatures), size_(size) {}
    std::vector<DrawnText> texts;

    QPaintEngine* paintEngine() const override { return const_cast<TextRecorder*>(this); }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& at, const QTextItem& item) override
    {
        const QTransform toDevice = painter()->deviceTransform();
        const QRectF place(at.x(), at.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        const QRectF clip = painter()->hasClipping() ? painter()->clipBoundingRect() : QRectF(QPointF(), size_);
        texts.push_back({item.text(), toDevice.mapRect(place), toDevice.mapRect(clip)});
    }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
            case PdmWidth:
                return size_.width();
            case PdmHeight:
                return size_.height();
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDepth:
                return 32;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
            default:
                return QPaintDevice::metric(metric);
        }
    }

private:
    QSize size_;
};

inline bool isWithin(const Control& control, const Control* container)
{
    for (const Control* c = control.container(); c; c = c->container())
        if (c == container) return true;
    return false;
}

// Labels are windowless where the windows were designed: drawn on their container, beneath
// every windowed sibling. Where a windowed control overlaps a label by design it lies above.
inline bool liesAbove(const Control& upper, const Control& lower)
{
    return lower.kind() == ControlKind::Label && upper.kind() != ControlKind::Label;
}

// The part of a control's designed place that its window can show: inside the client area
// and inside each container it lies in.
inline QRect shownRect(const Control& control, int dpi)
{
    const Window& window = control.window();
    QRect shown = toRect(pixelRect(control, dpi)) & QRect(0, 0, twipsToPixels(window.design().clientWidth, dpi),
                                                          twipsToPixels(window.design().clientHeight, dpi));
    for (const Control* c = control.container(); c; c = c->container()) shown &= toRect(pixelRect(*c, dpi));
    return shown;
}

// The controls the design shows: visible, with their centre where the window can show it.
inline std::vector<Control*> shownByDesign(const Window& window, int dpi)
{
    std::vector<Control*> shown;
    for (Control* c : window.controls()) {
        const QRect r = toRect(pixelRect(*c, dpi));
        if (c->visible() && shownRect(*c, dpi).contains(r.center())) shown.push_back(c);
    }
    return shown;
}

// Whether the design gives this point of the client area to the control: not to a control
// inside it (a frame's contents) nor to a sibling that lies above it.
inline bool ownsPoint(const Window& window, const Control& control, QPoint p, int dpi)
{
    if (!shownRect(control, dpi).contains(p)) return false;
    for (const Control* other : window.controls()) {
        if (other == &control || !toRect(pixelRect(*other, dpi)).contains(p)) continue;
        if (isWithin(*other, &control)) return false;
        if (other->container() == control.container() && liesAbove(*other, control)) return false;
    }
    return true;
}

// The point nearest the control's centre that the design gives to it alone.
inline std::optional<QPoint> ownPoint(const Window& window, const Control& control, int dpi)
{
    const QRect r = shownRect(control, dpi);
    const QPoint centre = toRect(pixelRect(control, dpi)).center();
    std::optional<QPoint> best;
    for (int y = r.top() + 2; y <= r.bottom() - 2; ++y) {
        for (int x = r.left() + 2; x <= r.right() - 2; ++x) {
            const QPoint p(x, y);
            if (best && (p - centre).manhattanLength() >= (*best - centre).manhattanLength()) continue;
            if (ownsPoint(window, control, p, dpi)) best = p;
        }
    }
    return best;
}

// What a click on each control told the model, and what changed in it meanwhile. The
// program's own handlers are set aside for the object's life, so that a click on "Hot Keys"
// or "Send To Tray" tells which control it reached and does nothing else.
class ModelEvents : public ModelObserver {
public:
    explicit ModelEvents(Window& window) : window_(window)
    {
        window_.system().addObserver(*this);
        for (Control* c : window_.controls()) {
            clickHandlers_[c] = std::exchange(c->onClick, [this, c] { clicks.push_back(c); });
            if (c->kind() != ControlKind::EditBox) continue;
            auto* box = static_cast<EditBox*>(c);
            keyHandlers_[c] = std::exchange(box->onKeyPress, [this, box](int code) {
                keys.emplace_back(box, code);
                return 0;
            });
        }
    }
    ~ModelEvents() override
    {
        window_.system().removeObserver(*this);
        for (auto& [c, handler] : clickHandlers_) c->onClick = std::move(handler);
        for (auto& [c, handler] : keyHandlers_) static_cast<EditBox*>(c)->onKeyPress = std::move(handler);
    }
    void propertyChanged(Window&, Control* control, Property property, const PropertyValue&) override
    {
        if (control) changes.emplace_back(control, std::string(propertyName(property)));
    }
    void clear()
    {
        clicks.clear();
        keys.clear();
        changes.clear();
    }

    std::vector<const Control*> clicks;
    std::vector<std::pair<const Control*, int>> keys;
    std::vector<std::pair<const Control*, std::string>> changes;

private:
    Window& window_;
    std::map<Control*, std::function<void()>> clickHandlers_;
    std::map<Control*, std::function<int(int)>> keyHandlers_;
};

}  // namespace tolvane::test
