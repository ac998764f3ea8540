#include "platform/qt/ui/qt_accessible.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QWidget>
#include <optional>

#include "platform/model/accessibility.h"
#include "platform/model/control.h"
#include "platform/model/window.h"
#include "platform/qt/ui/qt_windows.h"

namespace tolvane {

namespace {

constexpr const char* kBackend = "tolvaneAccessibleBackend";

QtWindows* backendOf(const QWidget* widget)
{
    return static_cast<QtWindows*>(widget->property(kBackend).value<QObject*>());
}

QAccessible::Role qtRole(AccessibleRole role)
{
    switch (role) {
        case AccessibleRole::Frame:
            return QAccessible::Window;
        case AccessibleRole::Dialog:
            return QAccessible::Dialog;
        case AccessibleRole::Alert:
            return QAccessible::AlertMessage;
        case AccessibleRole::PushButton:
            return QAccessible::PushButton;
        case AccessibleRole::CheckBox:
            return QAccessible::CheckBox;
        case AccessibleRole::RadioButton:
            return QAccessible::RadioButton;
        case AccessibleRole::ComboBox:
            return QAccessible::ComboBox;
        case AccessibleRole::List:
            return QAccessible::List;
        case AccessibleRole::EditableText:
            return QAccessible::EditableText;
        case AccessibleRole::Label:
            return QAccessible::StaticText;
        case AccessibleRole::StatusLine:
            return QAccessible::StatusBar;
        case AccessibleRole::Link:
            return QAccessible::Link;
        case AccessibleRole::Grouping:
            return QAccessible::Grouping;
        case AccessibleRole::Document:
            return QAccessible::Document;
        case AccessibleRole::Image:
            return QAccessible::Graphic;
    }
    return QAccessible::Client;
}

// A window, an option button, a label or a drop-down list of the model. Everything is asked
// of the model at each question: a name follows the list of its row as the user picks.
class ModelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    ModelAccessible(QWidget* widget, QtWindows& windows) : QAccessibleWidget(widget), windows_(&windows) {}

    QAccessible::Role role() const override
    {
        const std::optional<Accessible> f = facts();
        return f ? qtRole(f->role) : QAccessibleWidget::role();
    }

    QString text(QAccessible::Text t) const override
    {
        const std::optional<Accessible> f = facts();
        if (!f) return QAccessibleWidget::text(t);
        switch (t) {
            case QAccessible::Name:
                return QString::fromStdString(f->name);
            case QAccessible::Description:
                return QString::fromStdString(f->description);
            case QAccessible::Value:
                if (auto* list = qobject_cast<QComboBox*>(widget())) return list->currentText();
                return {};
            default:
                return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const Control* c = control();
        if (c && c->kind() == ControlKind::OptionButton) {
            s.checkable = true;
            s.checked = static_cast<const OptionButton*>(c)->value();
        }
        if (qobject_cast<QComboBox*>(widget())) s.expandable = true;
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (const std::optional<Accessible> f = facts()) {
            if (f->action == AccessibleAction::Press || f->role == AccessibleRole::RadioButton) names << pressAction();
            if (f->action == AccessibleAction::Toggle) names << toggleAction();
            if (f->role == AccessibleRole::ComboBox) names << showMenuAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        Control* c = control();
        if (c && c->kind() == ControlKind::Label && (name == pressAction() || name == toggleAction())) {
            c->userClick();
        } else if (auto* option = qobject_cast<QRadioButton*>(widget()); option && name == pressAction()) {
            option->click();
        } else if (auto* list = qobject_cast<QComboBox*>(widget()); list && name == showMenuAction()) {
            list->showPopup();
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

    // A drop-down list's one child is its list of items, as with Qt's own combo box.
    int childCount() const override { return list() ? 1 : QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (QComboBox* l = list()) return index == 0 ? QAccessible::queryAccessibleInterface(l->view()) : nullptr;
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (QComboBox* l = list()) return child && child->object() == l->view() ? 0 : -1;
        return QAccessibleWidget::indexOfChild(child);
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface && readsText()) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // The text a reader reads as the content: a label's or a window's name, a drop-down list's
    // selected item (what Orca reads as a combo box's value when the list has no selection
    // interface, as with Qt 6.4). No selection, no caret: it is read, never edited.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return content().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(content().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    // The backend may go before the widget (the interface lives as long as the widget).
    QtWindows* windows() const { return static_cast<QtWindows*>(windows_.data()); }
    Control* control() const { return windows() ? windows()->controlOf(widget()) : nullptr; }
    std::optional<Accessible> facts() const
    {
        if (const Window* w = windows() ? windows()->windowOf(widget()) : nullptr) return accessibleOf(*w);
        if (const Control* c = control()) return accessibleOf(*c);
        return std::nullopt;
    }
    QComboBox* list() const { return qobject_cast<QComboBox*>(widget()); }
    QString content() const { return list() ? list()->currentText() : text(QAccessible::Name); }
    bool readsText() const
    {
        const std::optional<Accessible> f = facts();
        return f && (announced(f->role) || f->role == AccessibleRole::Label || f->role == AccessibleRole::Link ||
                     f->role == AccessibleRole::ComboBox);
    }

    QPointer<QObject> windows_;
};

QAccessibleInterface* modelFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    QtWindows* windows = widget ? backendOf(widget) : nullptr;
    if (!windows) return nullptr;
    if (widget->isWindow() || qobject_cast<QRadioButton*>(widget) || qobject_cast<QLabel*>(widget) ||
        qobject_cast<QComboBox*>(widget))
        return new ModelAccessible(widget, *windows);
    return nullptr;
}

}  // namespace

void markAccessible(QWidget* widget, QtWindows& windows)
{
    widget->setProperty(kBackend, QVariant::fromValue<QObject*>(&windows));
}

void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(modelFactory);
        return true;
    }();
    (void)installed;
}

void announceTextChange(QWidget* widget, const QString& before, const QString& after)
{
    if (before == after) return;
    QAccessibleTextUpdateEvent event(widget, 0, before, after);
    QAccessible::updateAccessibility(&event);
}

}  // namespace tolvane
