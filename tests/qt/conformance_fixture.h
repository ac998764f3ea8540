#pragma once
// The windows against their design on the xcb platform with a window manager, read from the
// window-system model and driven by real input (XTest): the fixture whose checks every
// control of a window goes through.
#include "conformance_helpers.h"

namespace tolvane::test {

class Conformance : public XcbDesktopTest {
protected:
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

}  // namespace tolvane::test
