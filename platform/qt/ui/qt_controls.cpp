// The widget of each kind of the model's controls, in one place: which Qt widget renders it,
// how the model's caption and value are shown in it, what its signals mean to the model, and
// what a screen reader reads of it. A new kind of control is one case in each switch here,
// and the compiler names every one of them.
//
// Every kind is its widget: QPushButton; QLabel (plain text, wrapped, never focused; blue
// with the hand pointer where the design makes it a link); QGroupBox; QCheckBox; QRadioButton
// without Qt's own grouping, which would fight the model's; QComboBox; QListWidget; QLineEdit,
// whose every change goes through the model (qt_edit_box.h); a QLabel that shows the picture
// of an Image; and the web panel (qt_web_view.h).
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>

#include "platform/model/accessibility.h"
#include "platform/model/control.h"
#include "platform/model/window.h"
#include "platform/qt/ui/designed_style.h"
#include "platform/qt/ui/pictures.h"
#include "platform/qt/ui/qt_accessible.h"
#include "platform/qt/ui/qt_edit_box.h"
#include "platform/qt/ui/qt_windows.h"

namespace tolvane {

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}
// Edit boxes hold UTF-8, as every text of the model.
QString editText(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

QStyle* QtWindows::designedStyle()
{
    if (!designedStyle_) {
        designedStyle_ = new DesignedStyle;
        designedStyle_->setParent(this);
    }
    return designedStyle_;
}

QWidget* QtWindows::createControl(Control& control, QWidget* parent)
{
    switch (control.kind()) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(parent);
            input_.watch(button);
            return button;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            label->setFocusPolicy(Qt::NoFocus);
            if (static_cast<Label&>(control).linkLooks) {
                QPalette palette = label->palette();
                palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
                label->setPalette(palette);
                label->setCursor(QtPictures::handCursor());
            }
            input_.watch(label);
            return label;
        }
        case ControlKind::Frame: {
            auto* frame = new QGroupBox(parent);
            frame->setFocusPolicy(Qt::NoFocus);
            return frame;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(parent);
        case ControlKind::OptionButton: {
            // The model keeps the groups (one per container); Qt's own grouping would fight it.
            auto* option = new QRadioButton(parent);
            option->setAutoExclusive(false);
            input_.watch(option);
            return option;
        }
        case ControlKind::DropDownList: {
            auto* list = new QComboBox(parent);
            markAccessible(list, *this);
            list->setEditable(false);
            list->setMaxVisibleItems(30);
            for (const std::string& item : static_cast<ListControl&>(control).items()) list->addItem(text(item));
            return list;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            for (const std::string& item : static_cast<ListControl&>(control).items()) list->addItem(text(item));
            return list;
        }
        case ControlKind::EditBox: {
            // The model's maximum length governs typing; the widget shows whatever text the
            // program puts there, a longer key read from the settings included.
            auto* edit = new QLineEdit(parent);
            // Every change goes through the model (qt_edit_box.h); no side door around it.
            new EditBoxInput(edit, [this, edit]() -> EditBox* { return static_cast<EditBox*>(controlOf(edit)); });
            return edit;
        }
        case ControlKind::Image: {
            auto* image = new QLabel(parent);
            image->setPixmap(QtPictures::pixmap(QtPictures::handle(static_cast<Image&>(control).picture())));
            image->setFocusPolicy(Qt::NoFocus);
            input_.watch(image);
            return image;
        }
        case ControlKind::WebView:
            return web_.create(parent);
    }
    return new QWidget(parent);
}

void QtWindows::connectUserActions(Control& control, QWidget* w)
{
    switch (control.kind()) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            // The widget has already changed its own state; the model decides what it really is.
            connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this, [this, &control] {
                control.userClick();
                if (controlOf_.count(widget(control))) syncControl(control);
            });
            break;
        case ControlKind::DropDownList:
            connect(static_cast<QComboBox*>(w), &QComboBox::activated, this, [this, &control](int index) {
                static_cast<ListControl&>(control).userSelectIndex(index);
                if (controlOf_.count(widget(control))) syncControl(control);
            });
            break;
        case ControlKind::ListBox:
            connect(static_cast<QListWidget*>(w), &QListWidget::currentRowChanged, this, [this, &control](int row) {
                static_cast<ListControl&>(control).userSelectIndex(row);
                if (controlOf_.count(widget(control))) syncControl(control);
            });
            break;
        case ControlKind::Label:  // the clicks of labels and pictures come by their event filter
        case ControlKind::Frame:
        case ControlKind::Image:
        case ControlKind::EditBox:  // typing comes by the edit box's own key handling
        case ControlKind::WebView:
            break;
    }
}

void QtWindows::syncControl(Control& control)
{
    QWidget* w = widget(control);
    if (!w) return;
    const QSignalBlocker blocker(w);
    switch (control.kind()) {
        case ControlKind::PushButton:
            static_cast<QPushButton*>(w)->setText(text(control.caption()));
            break;
        case ControlKind::Label:
            static_cast<QLabel*>(w)->setText(text(control.caption()));
            break;
        case ControlKind::Frame:
            static_cast<QGroupBox*>(w)->setTitle(text(control.caption()));
            break;
        case ControlKind::CheckBox: {
            auto* box = static_cast<QCheckBox*>(w);
            box->setText(text(control.caption()));
            box->setChecked(static_cast<CheckBox&>(control).value() == 1);
            break;
        }
        case ControlKind::OptionButton: {
            auto* option = static_cast<QRadioButton*>(w);
            option->setText(text(control.caption()));
            option->setChecked(static_cast<OptionButton&>(control).value());
            break;
        }
        case ControlKind::DropDownList:
            static_cast<QComboBox*>(w)->setCurrentIndex(static_cast<ListControl&>(control).listIndex());
            break;
        case ControlKind::ListBox:
            static_cast<QListWidget*>(w)->setCurrentRow(static_cast<ListControl&>(control).listIndex());
            break;
        case ControlKind::EditBox: {
            auto* edit = static_cast<QLineEdit*>(w);
            const QString value = editText(static_cast<EditBox&>(control).text());
            if (edit->text() != value) edit->setText(value);
            break;
        }
        case ControlKind::Image:
        case ControlKind::WebView:
            break;
    }
}

void QtWindows::syncAccessibleNames(const Window& window)
{
    auto it = rendered_.find(&window);
    if (it == rendered_.end()) return;
    // Set only when changed: every setting tells the reader of a new name. A button or label
    // named by its own text is left to Qt, which reads that text and tells its changes itself.
    const auto apply = [](QWidget* w, const Accessible& facts) {
        const QString description = text(facts.description);
        QString name = text(facts.name);
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->text() == name) name.clear();
        if (auto* label = qobject_cast<QLabel*>(w); label && label->text() == name) name.clear();
        if (w->accessibleName() != name) w->setAccessibleName(name);
        if (w->accessibleDescription() != description) w->setAccessibleDescription(description);
    };
    for (const auto& [control, w] : it->second.controls) apply(w, accessibleOf(*control));
    // A window's name is its title, which Qt reads itself.
    it->second.top->setAccessibleDescription(text(accessibleOf(window).description));
}

void QtWindows::listCleared(Control& control)
{
    QWidget* w = widget(control);
    if (!w) return;
    const QSignalBlocker blocker(w);
    if (control.kind() == ControlKind::DropDownList) static_cast<QComboBox*>(w)->clear();
    if (control.kind() == ControlKind::ListBox) static_cast<QListWidget*>(w)->clear();
}

void QtWindows::itemAdded(Control& control, const std::string& item)
{
    QWidget* w = widget(control);
    if (!w) return;
    {
        const QSignalBlocker blocker(w);
        if (control.kind() == ControlKind::DropDownList) static_cast<QComboBox*>(w)->addItem(text(item));
        if (control.kind() == ControlKind::ListBox) static_cast<QListWidget*>(w)->addItem(text(item));
    }
    // A list is filled after its window is loaded: whether its lines all show is known as they come.
    if (control.kind() == ControlKind::ListBox && !drawnWhole(*w)) w->setStyle(designedStyle());
    // A combo box selects the first item added to it by itself; the model's selection rules.
    syncControl(control);
}

}  // namespace tolvane
