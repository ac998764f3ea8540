// Every window of the program against its design, control by control, read from the
// window-system model: a control added to a window design is checked here without a new
// line of test. On the xcb platform with a window manager, with real input (XTest):
// - each control the design shows is where the design puts it, on the screen there, and
//   not covered by a sibling that the design puts beneath it;
// - a click on its designed centre reaches it, and the model sees the event its kind has
//   (a click, a toggle, a selection, the focus) and nothing else happens;
// - its one-line caption fits its designed width in the font the widget really uses, and a
//   drop-down's selected text is drawn whole;
// - Tab and Shift+Tab walk the designed tab order;
// - a screen reader (AT-SPI, read by tests/qt/atspi_reader.py) finds every control that takes
//   input with the role of its kind and the name the design gives it, the window with its
//   role, and hears a change of the status line and the warning's countdown as text events.
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
namespace {

QRect toRect(const PixelRect& r)
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

bool isWithin(const Control& control, const Control* container)
{
    for (const Control* c = control.container(); c; c = c->container())
        if (c == container) return true;
    return false;
}

// Labels are windowless where the windows were designed: drawn on their container, beneath
// every windowed sibling. Where a windowed control overlaps a label by design it lies above.
bool liesAbove(const Control& upper, const Control& lower)
{
    return lower.kind() == ControlKind::Label && upper.kind() != ControlKind::Label;
}

// The part of a control's designed place that its window can show: inside the client area
// and inside each container it lies in.
QRect shownRect(const Control& control, int dpi)
{
    const Window& window = control.window();
    QRect shown = toRect(pixelRect(control, dpi)) & QRect(0, 0, twipsToPixels(window.design().clientWidth, dpi),
                                                          twipsToPixels(window.design().clientHeight, dpi));
    for (const Control* c = control.container(); c; c = c->container()) shown &= toRect(pixelRect(*c, dpi));
    return shown;
}

// The controls the design shows: visible, with their centre where the window can show it.
std::vector<Control*> shownByDesign(const Window& window, int dpi)
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
bool ownsPoint(const Window& window, const Control& control, QPoint p, int dpi)
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
std::optional<QPoint> ownPoint(const Window& window, const Control& control, int dpi)
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

// What a screen reader reads of the test process, one JSON object a line (atspi_reader.py).
class ScreenReader {
public:
    ~ScreenReader()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // The whole tree of the program's windows, read while the program answers.
    std::vector<QJsonObject> tree()
    {
        start("tree");
        waitFor([&] { return process_.state() == QProcess::NotRunning; }, 90000);
        return lines();
    }
    // Listens to the program's events from now on.
    bool listen()
    {
        start("events");
        return waitFor(
            [&] {
                heard_ += process_.readAllStandardOutput();
                return heard_.contains("ready\n");
            },
            60000);
    }
    // The events heard so far; true once one matches.
    bool hears(const std::function<bool(const QJsonObject&)>& match, int timeoutMs = 10000)
    {
        return waitFor(
            [&] {
                const std::vector<QJsonObject> all = lines();
                return std::any_of(all.begin(), all.end(), match);
            },
            timeoutMs);
    }
    std::vector<QJsonObject> lines()
    {
        heard_ += process_.readAllStandardOutput();
        std::vector<QJsonObject> out;
        for (const QByteArray& line : heard_.split('\n'))
            if (line.startsWith('{')) out.push_back(QJsonDocument::fromJson(line).object());
        return out;
    }

private:
    void start(const QString& mode)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("AT_SPI_BUS_ADDRESS", QString::fromStdString(xSession().accessibilityBus()));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start("/usr/bin/python3", {TOLVANE_TEST_DIR "/atspi_reader.py", mode,
                                            QString::number(QCoreApplication::applicationPid())});
    }

    QProcess process_;
    QByteArray heard_;
};

// The AT-SPI role a control of each kind has, as a screen reader names it.
QString roleOfKind(ControlKind kind)
{
    switch (kind) {
        case ControlKind::PushButton:
            return "push button";
        case ControlKind::CheckBox:
            return "check box";
        case ControlKind::OptionButton:
            return "radio button";
        case ControlKind::DropDownList:
            return "combo box";
        case ControlKind::ListBox:
            return "list";
        case ControlKind::EditBox:
            return "text";
        case ControlKind::Label:
            return "label";
        case ControlKind::Frame:
            return "panel";
        case ControlKind::Image:
            return "image";
        case ControlKind::WebView:
            return {};  // the toolkit's own reading of a document
    }
    return {};
}

// What the design puts beside each control, as a screen reader is to read it: the role where
// it is not its kind's, and the name. A name follows the list of its row ("Shutdown after,
// hours" while the "after" list shows "Shutdown After").
struct Reading {
    QString role, name, action;
};
const std::map<std::string, std::map<std::string, Reading>> kReadings = {
    {"Form1",
     {{"", {"frame", "Tolvane 3.0 - Quenmoor", {}}},
      {"Label3", {"status bar", "Currently no action scheduled", {}}},
      {"Option1", {{}, "Shutdown After", {}}},
      {"Combo1", {{}, "Action after a delay", {}}},
      {"Combo3", {{}, "Shutdown after, hours", {}}},
      {"Combo4", {{}, "Shutdown after, minutes", {}}},
      {"Option2", {{}, "Shutdown At", {}}},
      {"Combo2", {{}, "Action at a time of day", {}}},
      {"Combo6", {{}, "Shutdown at, hour", {}}},
      {"Combo5", {{}, "Shutdown at, minute", {}}},
      {"Label9", {{}, " Warn 30 seconds before the action", "Toggle"}},
      {"Check6", {{}, " Warn 30 seconds before the action", {}}},
      {"Command1", {{}, "SET", {}}},
      {"Command2", {{}, "Hot Keys", {}}},
      {"Command3", {{}, "Send To Tray", {}}},
      {"Command4", {{}, "Home Page", {}}},
      {"WebBrowser1", {{}, "Information", {}}}}},
    {"HK",
     {{"", {"dialog", "Setup Hot Keys", {}}},
      {"Check1", {{}, "Shutdown on Ctrl + Alt +", {}}},
      {"Text1", {{}, "Shutdown on Ctrl + Alt +", {}}},
      {"Check2", {{}, "Restart on Ctrl + Alt +", {}}},
      {"Text2", {{}, "Restart on Ctrl + Alt +", {}}},
      {"Check3", {{}, "Log off on Ctrl + Alt +", {}}},
      {"Text3", {{}, "Log off on Ctrl + Alt +", {}}},
      {"Check4", {{}, "Hibernate on Ctrl + Alt +", {}}},
      {"Text4", {{}, "Hibernate on Ctrl + Alt +", {}}},
      {"Check5", {{}, "Stand by on Ctrl + Alt +", {}}},
      {"Text5", {{}, "Stand by on Ctrl + Alt +", {}}},
      {"combo1", {{}, " Current Settings", {}}},
      {"Command1", {{}, "SET", {}}}}},
    {"Form2", {{"", {"alert", {}, {}}}, {"Command1", {{}, "OK", {}}}}},
};

class Conformance : public XcbDesktopTest {
protected:
    // One walk of the window's accessible tree: the window, and each control that takes input
    // or has a reading of its own, found by its place on the screen.
    void checkAccessible(const Window& window)
    {
        if (!accessibilityProblem().empty()) GTEST_SKIP() << accessibilityProblem();
        SCOPED_TRACE(window.name() + ", as a screen reader reads it");
        const auto readings = kReadings.at(window.name());
        const auto placeOf = [](const QJsonObject& o) {
            const QJsonArray p = o["place"].toArray();
            return p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()) : QRect();
        };
        const auto screenRect = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
        const std::vector<QJsonObject> tree = ScreenReader().tree();
        ASSERT_FALSE(tree.empty()) << "nothing read";
        ASSERT_FALSE(tree.front().contains("error")) << tree.front()["error"].toString().toStdString();
        // The window's own objects: from its line at depth 0 to the next window's.
        auto top = std::find_if(tree.begin(), tree.end(), [&](const QJsonObject& o) {
            return o["depth"].toInt() == 0 && placeOf(o) == screenRect(widget(window));
        });
        ASSERT_NE(top, tree.end()) << "the window is not in the tree";
        const auto end =
            std::find_if(top + 1, tree.end(), [](const QJsonObject& o) { return o["depth"].toInt() == 0; });
        const Reading& own = readings.at("");
        EXPECT_EQ((*top)["role"].toString(), own.role);
        if (!own.name.isEmpty()) {
            EXPECT_EQ((*top)["name"].toString(), own.name);
        }
        for (const Control* c : window.controls()) {
            const auto reading = readings.find(c->name());
            if (!c->takesFocus() && reading == readings.end()) continue;
            SCOPED_TRACE(c->name());
            const QString role = reading != readings.end() && !reading->second.role.isEmpty() ? reading->second.role
                                                                                              : roleOfKind(c->kind());
            // The object of that role nearest to the control's place (a check box's object is
            // where a click ticks it, its box and caption, not its whole widget).
            const QRect place = screenRect(widget(*c));
            const auto distance = [&](const QJsonObject& o) {
                return (placeOf(o).center() - place.center()).manhattanLength();
            };
            auto found = end;
            for (auto o = top + 1; o != end; ++o) {
                const bool fits = role.isEmpty() ? (*o)["role"] != "filler" : (*o)["role"].toString() == role;
                if (fits && place.contains(placeOf(*o).center()) && (found == end || distance(*o) < distance(*found)))
                    found = o;
            }
            ASSERT_NE(found, end) << "no " << (role.isEmpty() ? "object" : role.toStdString()) << " at its place";
            const QString name = (*found)["name"].toString();
            EXPECT_FALSE(name.trimmed().isEmpty()) << "no name";
            EXPECT_NE(name.toStdString(), c->name()) << "named by its design name";
            // A list's selected item is its text: what a reader says after its name.
            if (c->kind() == ControlKind::DropDownList) {
                EXPECT_EQ((*found)["text"].toString().toStdString(), static_cast<const ListControl*>(c)->text());
            }
            if (reading == readings.end()) continue;
            EXPECT_EQ(name, reading->second.name);
            if (!reading->second.action.isEmpty()) {
                EXPECT_TRUE((*found)["actions"].toArray().contains(reading->second.action)) << "no action";
            }
        }
    }

    // The control whose widget this is, or the nearest control around it.
    const Control* controlOf(const Window& window, const QWidget* w)
    {
        for (; w; w = w->parentWidget())
            for (const Control* c : window.controls())
                if (windows().widget(*c) == w) return c;
        return nullptr;
    }

    void checkWindow(Window& window)
    {
        QWidget* top = widget(window);
        ASSERT_NE(top, nullptr);
        ASSERT_TRUE(waitPlaced(window));
        EXPECT_EQ(top->size(), QSize(twipsToPixels(window.design().clientWidth, dpi()),
                                     twipsToPixels(window.design().clientHeight, dpi())));
        const std::vector<Control*> shown = shownByDesign(window, dpi());
        ASSERT_FALSE(shown.empty());
        ModelEvents events(window);
        // What the screen shows of the client area, before anything is clicked.
        const QPoint origin = screenPoint(window, QPoint(0, 0));
        screen_ = top->screen()->grabWindow(0, origin.x(), origin.y(), top->width(), top->height()).toImage();
        for (Control* control : shown) {
            SCOPED_TRACE(window.name() + "." + control->name());
            checkPlace(window, *control);
            checkDrawn(window, *control);
            checkCaption(window, *control);
            ASSERT_TRUE(waitActive(window)) << "the window lost the focus";
            events.clear();
            checkClick(window, *control, events);
            // A list left open by a failed check would take the next click.
            while (QWidget* popup = QApplication::activePopupWidget()) {
                popup->close();
                settle(50);
            }
        }
        for (const Control* c : window.controls())
            if (std::find(shown.begin(), shown.end(), c) == shown.end())
                std::printf("%s.%s: not shown by design (hidden, or outside the client area), not checked\n",
                            window.name().c_str(), c->name().c_str());
        events.clear();
        checkTabOrder(window);
        EXPECT_TRUE(events.clicks.empty()) << "Tab clicked something";
    }

    // Where the design puts it, drawn, and no sibling covers what the design gives to it.
    void checkPlace(const Window& window, const Control& control)
    {
        QWidget* top = widget(window);
        QWidget* w = widget(control);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(QRect(w->mapTo(top, QPoint(0, 0)), w->size()), toRect(pixelRect(control, dpi())));
        const QRect r = shownRect(control, dpi());
        int foreign = 0;
        QString first;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (!ownsPoint(window, control, {x, y}, dpi())) continue;
                const Control* there = controlOf(window, top->childAt(x, y));
                if (there == &control) continue;
                if (foreign++ == 0)
                    first = QString("(%1, %2): %3").arg(x).arg(y).arg(there ? there->name().c_str() : "no control");
            }
        }
        EXPECT_EQ(foreign, 0) << foreign << " of its own pixels show something else, first at " << first.toStdString();
        const std::optional<QPoint> own = ownPoint(window, control, dpi());
        ASSERT_TRUE(own.has_value()) << "the design leaves it no point of its own";
        EXPECT_EQ(controlOf(window, QApplication::widgetAt(screenPoint(window, *own))), &control)
            << "the screen shows another window there";
    }

    // Something of the control is on the screen where the design gives it room: pixels of
    // its own that are not the window's background.
    void checkDrawn(const Window& window, const Control& control)
    {
        const QRgb background = widget(window)->palette().color(QPalette::Window).rgb();
        const QRect r = shownRect(control, dpi());
        int own = 0, drawn = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (!ownsPoint(window, control, {x, y}, dpi())) continue;
                ++own;
                if (screen_.pixel(x, y) != background) ++drawn;
            }
        }
        EXPECT_GT(drawn, 0) << "nothing of it on the screen (" << own << " pixels of its own)";
    }

    // The width the design leaves a label's caption: up to the first windowed sibling that
    // lies over its line.
    int captionRoom(const Window& window, const Control& label)
    {
        const QRect r = toRect(pixelRect(label, dpi()));
        int right = shownRect(label, dpi()).right() + 1;
        for (const Control* other : window.controls()) {
            if (other == &label || other->container() != label.container() || !liesAbove(*other, label)) continue;
            const QRect o = toRect(pixelRect(*other, dpi()));
            if (o.intersects(r) && o.left() > r.left()) right = std::min(right, o.left());
        }
        return right - r.left();
    }

    void checkCaption(const Window& window, const Control& control)
    {
        QWidget* w = widget(control);
        const QFontMetrics metrics = w->fontMetrics();
        QStyle* style = w->style();
        const auto fits = [&](const QString& text, const QRect& room, const char* what) {
            EXPECT_LE(metrics.horizontalAdvance(text), room.width())
                << what << " \"" << text.toStdString() << "\" is cut: " << metrics.horizontalAdvance(text)
                << " pixels in " << room.width() << " (" << w->font().toString().toStdString() << ")";
            EXPECT_LE(metrics.height(), room.height()) << what << " \"" << text.toStdString() << "\" is cut below";
        };
        switch (control.kind()) {
            case ControlKind::Label: {
                auto* label = qobject_cast<QLabel*>(w);
                ASSERT_NE(label, nullptr);
                // One line by design: the designed height holds less than two lines.
                if (label->height() >= 2 * metrics.lineSpacing()) break;
                QRect room = label->contentsRect();
                room.setWidth(std::min(room.width(), captionRoom(window, control)));
                fits(label->text(), room, "caption");
                EXPECT_EQ(label->text(), QString::fromStdString(control.caption()));
                break;
            }
            case ControlKind::PushButton: {
                auto* button = qobject_cast<QPushButton*>(w);
                ASSERT_NE(button, nullptr);
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                fits(button->text(), style->subElementRect(QStyle::SE_PushButtonContents, &option, button), "caption");
                EXPECT_EQ(button->text(), QString::fromStdString(control.caption()));
                break;
            }
            case ControlKind::CheckBox:
            case ControlKind::OptionButton: {
                auto* button = qobject_cast<QAbstractButton*>(w);
                ASSERT_NE(button, nullptr);
                const bool check = control.kind() == ControlKind::CheckBox;
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const QRect box = style->subElementRect(
                    check ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option, button);
                EXPECT_TRUE(button->rect().contains(box))
                    << "the box itself is cut: " << box.width() << "x" << box.height() << " at " << box.x() << ","
                    << box.y() << " in " << button->width() << "x" << button->height();
                if (button->text().isEmpty()) break;
                const QRect text = style->subElementRect(
                    check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, button);
                // Designed only as wide as its box: the caption is never seen, not even in part.
                const int room = button->width() - text.left();
                if (room < metrics.averageCharWidth()) {
                    EXPECT_GE(text.left(), button->width()) << "a piece of the unseen caption shows";
                    break;
                }
                fits(button->text(), text & button->rect(), "caption");
                break;
            }
            case ControlKind::DropDownList: {
                auto* list = qobject_cast<QComboBox*>(w);
                ASSERT_NE(list, nullptr);
                QStyleOptionComboBox option;
                option.initFrom(list);
                option.editable = list->isEditable();
                option.frame = list->hasFrame();
                const QRect field =
                    style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
                for (int i = 0; i < list->count(); ++i) fits(list->itemText(i), field, "item");
                // The selected item as the style draws it: whole, inside its clip and the box.
                TextRecorder drawn(list->size());
                list->render(&drawn);
                ASSERT_EQ(drawn.texts.size(), 1u) << "the selected text is not drawn in one piece";
                const DrawnText& shown = drawn.texts.front();
                EXPECT_EQ(shown.text, list->currentText());
                EXPECT_TRUE(shown.clip.contains(shown.place) && QRectF(list->rect()).contains(shown.place))
                    << "\"" << shown.text.toStdString() << "\" is cut: drawn at " << shown.place.x() << ".."
                    << shown.place.right() << ", seen " << shown.clip.x() << ".." << shown.clip.right();
                break;
            }
            case ControlKind::ListBox: {
                auto* list = qobject_cast<QListWidget*>(w);
                ASSERT_NE(list, nullptr);
                const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
                QRect line = list->viewport()->rect().adjusted(margin, 0, -margin, 0);
                for (int i = 0; i < list->count(); ++i) {
                    line.setHeight(list->visualItemRect(list->item(i)).height());
                    fits(list->item(i)->text(), line, "line");
                    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(i))))
                        << "line " << i << " is out of sight";
                }
                break;
            }
            default:
                break;
        }
    }

    // A click on the control's own point and the event the model sees for its kind.
    void checkClick(Window& window, Control& control, ModelEvents& events)
    {
        const std::optional<QPoint> own = ownPoint(window, control, dpi());
        ASSERT_TRUE(own.has_value());
        const QPoint at = screenPoint(window, *own);
        QWidget* w = widget(control);
        const auto focused = [&] { return QApplication::focusWidget() == w; };
        std::vector<const Control*> expectedClicks;
        switch (control.kind()) {
            case ControlKind::PushButton:
            case ControlKind::Label:
            case ControlKind::Image: {
                x_.click(at);
                EXPECT_TRUE(waitFor([&] { return !events.clicks.empty(); }, 5000)) << "the click did not reach it";
                expectedClicks = {&control};
                break;
            }
            case ControlKind::CheckBox: {
                auto& box = static_cast<CheckBox&>(control);
                const int before = box.value();
                x_.click(at);
                EXPECT_TRUE(waitFor([&] { return !events.clicks.empty(); }, 5000)) << "the click did not reach it";
                EXPECT_NE(box.value(), before) << "not toggled";
                EXPECT_EQ(qobject_cast<QCheckBox*>(w)->isChecked(), box.value() == 1);
                expectedClicks = {&control};
                break;
            }
            case ControlKind::OptionButton: {
                x_.click(at);
                EXPECT_TRUE(waitFor([&] { return !events.clicks.empty(); }, 5000)) << "the click did not reach it";
                EXPECT_TRUE(static_cast<OptionButton&>(control).value()) << "not selected";
                EXPECT_TRUE(qobject_cast<QRadioButton*>(w)->isChecked());
                expectedClicks = {&control};
                break;
            }
            case ControlKind::DropDownList: {
                auto& list = static_cast<ListControl&>(control);
                auto* combo = qobject_cast<QComboBox*>(w);
                ASSERT_NE(combo, nullptr);
                ASSERT_GT(combo->count(), 1);
                x_.click(at);
                QAbstractItemView* view = combo->view();
                ASSERT_TRUE(waitFor([&] { return view->isVisible(); }, 5000)) << "the click did not open the list";
                // A user's pace: the list ignores a release that comes within a double-click time.
                settle(QApplication::doubleClickInterval() + 100);
                const int target = (list.listIndex() + 1) % combo->count();
                const QRect item = view->visualRect(view->model()->index(target, combo->modelColumn()));
                const QPoint middle(view->viewport()->width() / 2, item.center().y());
                ASSERT_TRUE(view->viewport()->rect().contains(middle)) << "item " << target << " is not in sight";
                x_.click(view->viewport()->mapToGlobal(middle));
                EXPECT_TRUE(waitFor([&] { return list.listIndex() == target && !view->isVisible(); }, 5000))
                    << "picking item " << target << " did not select it (selected: " << list.listIndex() << ")";
                break;
            }
            case ControlKind::ListBox: {
                auto& list = static_cast<ListControl&>(control);
                auto* view = qobject_cast<QListWidget*>(w);
                ASSERT_NE(view, nullptr);
                const int row = view->indexAt(view->viewport()->mapFromGlobal(at)).row();
                ASSERT_GE(row, 0) << "no line under the designed centre";
                x_.click(at);
                EXPECT_TRUE(waitFor([&] { return list.listIndex() == row; }, 5000))
                    << "line " << row << " not selected";
                break;
            }
            case ControlKind::EditBox: {
                x_.click(at);
                EXPECT_TRUE(waitFor(focused, 5000)) << "the click did not give it the focus";
                // The typing goes to this box's key handler, once.
                ASSERT_TRUE(x_.key("x"));
                EXPECT_TRUE(waitFor([&] { return !events.keys.empty(); }, 5000)) << "a typed key did not reach it";
                break;
            }
            case ControlKind::WebView: {
                x_.click(at);
                EXPECT_TRUE(waitFor(focused, 5000)) << "the click did not give it the focus";
                break;
            }
            case ControlKind::Frame:
                // A frame has no event: a click on it changes nothing.
                x_.click(at);
                break;
        }
        settle();
        EXPECT_EQ(events.clicks, expectedClicks) << clicksText(events.clicks);
        if (control.kind() == ControlKind::EditBox) {
            EXPECT_EQ(events.keys, (std::vector<std::pair<const Control*, int>>{{&control, 'x'}}));
        } else {
            EXPECT_TRUE(events.keys.empty()) << "a key handler was asked";
        }
        for (const auto& [changed, property] : events.changes) {
            const bool sameGroup = control.kind() == ControlKind::OptionButton &&
                                   changed->kind() == ControlKind::OptionButton &&
                                   changed->container() == control.container();
            EXPECT_TRUE(changed == &control || sameGroup) << changed->name() << "." << property << " changed";
        }
    }

    QImage screen_;

    static std::string clicksText(const std::vector<const Control*>& clicks)
    {
        std::string text = "clicks:";
        for (const Control* c : clicks) text += " " + c->name();
        return text;
    }

    void checkTabOrder(const Window& window)
    {
        std::vector<const Control*> order;
        for (const Control* c : window.controls())
            if (c->takesFocus() && c->visible() && c->enabled()) order.push_back(c);
        std::stable_sort(order.begin(), order.end(),
                         [](const Control* a, const Control* b) { return a->tabIndex() < b->tabIndex(); });
        ASSERT_FALSE(order.empty());
        ASSERT_TRUE(waitActive(window));
        const auto focusOn = [&](const Control* c) {
            return waitFor([&] { return QApplication::focusWidget() == widget(*c); }, 3000);
        };
        const auto focusName = [&] {
            const Control* c = controlOf(window, QApplication::focusWidget());
            return c ? c->name() : std::string("nothing of the window");
        };
        // To the first control of the order by Tab from wherever the focus is.
        for (size_t i = 0; i <= order.size() && QApplication::focusWidget() != widget(*order.front()); ++i) {
            ASSERT_TRUE(x_.key("Tab"));
            settle(60);
        }
        ASSERT_TRUE(focusOn(order.front())) << "Tab never reaches " << order.front()->name();
        for (size_t i = 1; i <= order.size(); ++i) {
            ASSERT_TRUE(x_.key("Tab"));
            const Control* next = order[i % order.size()];
            EXPECT_TRUE(focusOn(next)) << "Tab after " << order[i - 1]->name() << " went to " << focusName() << ", not "
                                       << next->name();
        }
        for (size_t i = order.size(); i > 0; --i) {
            ASSERT_TRUE(x_.key("Tab", {"Shift_L"}));
            const Control* previous = order[i - 1];
            EXPECT_TRUE(focusOn(previous)) << "Shift+Tab went to " << focusName() << ", not " << previous->name();
        }
    }
};

TEST_F(Conformance, TheMainWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    checkWindow(form1());
}

// The windows as a screen reader reads them, which no style changes: run once, beside the
// other window tests.
class ScreenReading : public Conformance {};

// Read before anything is clicked: the names follow what the lists show.
TEST_F(ScreenReading, TheMainWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(checkAccessible(form1()));
    // SET writes the status line: a reader hears the new text, wherever the focus is.
    ScreenReader reader;
    ASSERT_TRUE(reader.listen()) << "the reader does not listen";
    clickDesigned(form1().Command1);
    ASSERT_EQ(form1().Label3.caption(), "Shutdown After 00:01    Warning Disabled");
    EXPECT_TRUE(reader.hears([](const QJsonObject& e) {
        return e["type"] == "object:text-changed:insert" && e["role"] == "status bar" &&
               e["data"] == "Shutdown After 00:01    Warning Disabled";
    })) << "SET raised no text event on the status line";
    clickDesigned(form1().Command1);  // RESET
}

TEST_F(Conformance, TheHotkeyWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
    checkWindow(*desktop_->program().existingHK());
}

TEST_F(Conformance, TheWarningWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    // The warning wanted, SET with the start-up schedule (one minute), and thirty seconds on.
    clickDesigned(form1().Label9);
    clickDesigned(form1().Command1);
    ASSERT_EQ(form1().Check6.value(), 1);
    ASSERT_TRUE(form1().Timer4.enabled()) << "the one-minute schedule arms the warning at SET";
    form1().Timer4.fire();
    Form2* warning = desktop_->program().existingForm2();
    ASSERT_NE(warning, nullptr);
    checkWindow(*warning);
}

// The warning comes as an alert, and its countdown is heard as it goes.
TEST_F(ScreenReading, TheWarningWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    if (!accessibilityProblem().empty()) GTEST_SKIP() << accessibilityProblem();
    ScreenReader reader;
    ASSERT_TRUE(reader.listen()) << "the reader does not listen";
    clickDesigned(form1().Label9);
    clickDesigned(form1().Command1);
    ASSERT_TRUE(form1().Timer4.enabled());
    form1().Timer4.fire();
    Form2* warning = desktop_->program().existingForm2();
    ASSERT_NE(warning, nullptr);
    ASSERT_TRUE(waitPlaced(*warning));
    EXPECT_TRUE(reader.hears([](const QJsonObject& e) {
        return e["type"] == "window:activate" && e["role"] == "alert";
    })) << "the warning did not come as an alert";
    EXPECT_TRUE(reader.hears([](const QJsonObject& e) {
        return e["type"] == "object:text-changed:insert" && e["role"] == "alert" &&
               e["data"] == "Shutdown After  29 Seconds";
    })) << "the countdown raised no text event";
    checkAccessible(*warning);
}

TEST_F(ScreenReading, TheHotkeyWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
    checkAccessible(*desktop_->program().existingHK());
}

}  // namespace
}  // namespace tolvane::test
