#include "platform/qt/qt_windows.h"

#include <QAccessible>
#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBrowser>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "platform/model/accessibility.h"
#include "platform/model/control.h"
#include "platform/model/dialog_font.h"
#include "platform/model/option_group.h"
#include "platform/model/twips.h"
#include "platform/model/win_codes.h"
#include "platform/model/window.h"
#include "platform/qt/designed_style.h"
#include "platform/qt/qt_accessible.h"
#include "platform/qt/pictures.h"
#include "platform/qt/qt_edit_box.h"
#include "platform/qt/x11_title.h"

namespace tolvane {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }
// Edit boxes hold UTF-8, as every text of the model.
QString editText(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Set on a label between the second press of a double click and its release.
constexpr const char* kInDoubleClick = "tolvaneInDoubleClick";

// A top-level window of the program. The close box is a request to the model, which
// may refuse it; the widget itself never closes on its own.
class ModelWindowWidget : public QWidget {
public:
    std::function<void()> closeRequested;
    // Told when the window's state (minimised or not) or its activation changes.
    std::function<void(QEvent::Type)> stateChanged;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        // The end of the session is no user's request: the program goes with it.
        if (qApp->isSavingSession()) {
            event->accept();
            return;
        }
        event->ignore();
        if (closeRequested) closeRequested();
    }
    void changeEvent(QEvent* event) override
    {
        QWidget::changeEvent(event);
        const QEvent::Type type = event->type();
        if ((type == QEvent::WindowStateChange || type == QEvent::ActivationChange) && stateChanged) stateChanged(type);
    }
};

bool wayland() { return QGuiApplication::platformName().startsWith("wayland"); }

}  // namespace

QtWindows::QtWindows(WindowSystem& windows) : windows_(windows)
{
    windows_.addObserver(*this);
    installAccessibleFactory();
}

QtWindows::~QtWindows()
{
    windows_.removeObserver(*this);
    // The model may be gone already: what the widgets tell as they go asks nothing of it.
    controlOf_.clear();
    windowOf_.clear();
    for (auto& [window, rendered] : rendered_) delete rendered.top;
}

int QtWindows::dotsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return wholeDotsPerInch(screen ? screen->logicalDotsPerInchX() : 96.0);
}

int QtWindows::twipsPerPixelX() { return twipsPerPixel(dotsPerInch()); }

int QtWindows::pixels(int twips) { return twipsToPixels(twips, dotsPerInch()); }

QStyle* QtWindows::designedStyle()
{
    if (!designedStyle_) {
        designedStyle_ = new DesignedStyle;
        designedStyle_->setParent(this);
    }
    return designedStyle_;
}

uint32_t QtWindows::pictureHandle(const std::string& name) { return QtPictures::handle(name); }

QWidget* QtWindows::widget(const Window& window) const
{
    auto it = rendered_.find(&window);
    return it == rendered_.end() ? nullptr : it->second.top;
}

Window* QtWindows::windowOf(const QObject* widget) const
{
    auto it = windowOf_.find(widget);
    return it == windowOf_.end() ? nullptr : it->second;
}

Control* QtWindows::controlOf(const QObject* widget) const
{
    auto it = controlOf_.find(widget);
    return it == controlOf_.end() ? nullptr : it->second;
}

QWidget* QtWindows::widget(const Control& control) const
{
    auto it = rendered_.find(&control.window());
    if (it == rendered_.end()) return nullptr;
    auto c = it->second.controls.find(&control);
    return c == it->second.controls.end() ? nullptr : c->second;
}

// The desktop's own font family, at the size dialog_font.h picks for the window.
QFont QtWindows::dialogFont(const Window& window)
{
    QFont font = QApplication::font();
    const int tenths = dialogFontTenths(window, dotsPerInch(), [&font](const std::string& caption, int size) {
        font.setPointSizeF(size / 10.0);
        return QFontMetrics(font).horizontalAdvance(text(caption));
    });
    font.setPointSizeF(tenths / 10.0);
    return font;
}

void QtWindows::windowLoaded(Window& window)
{
    if (!mainWindow_) mainWindow_ = &window;
    Rendered& rendered = rendered_[&window];
    auto* top = new ModelWindowWidget;
    markAccessible(top, *this);
    rendered.top = top;
    windowOf_[top] = &window;
    top->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setTitle(top, window.caption());
    top->setWindowIcon(QtPictures::icon(window.design().icon));
    top->setFixedSize(pixels(window.design().clientWidth), pixels(window.design().clientHeight));
    top->setFont(dialogFont(window));
    top->closeRequested = [&window] { window.userClose(); };
    top->stateChanged = [this, &window](QEvent::Type type) { mayHaveBeenRestored(window, type); };

    // Containers first, so that every control finds its parent widget.
    std::vector<Control*> order = window.controls();
    std::stable_partition(order.begin(), order.end(), [](Control* c) { return c->kind() == ControlKind::Frame; });
    for (Control* control : order) {
        QWidget* parent = top;
        if (Control* container = control->container()) {
            auto it = rendered.controls.find(container);
            if (it != rendered.controls.end()) parent = it->second;
        }
        QWidget* w = createControl(*control, parent);
        markAccessible(w, *this);
        const Twips& g = control->geometry();
        w->setGeometry(pixels(g.left), pixels(g.top), pixels(g.width), pixels(g.height));
        w->setHidden(!control->visible());
        w->setEnabled(control->enabled());
        rendered.controls[control] = w;
        controlOf_[w] = control;
        connectUserActions(*control, w);
        syncControl(*control);
    }
    // A kind of control that the desktop's style cannot draw whole in its designed size
    // somewhere in the window is drawn by Fusion throughout the window, so that like controls
    // look alike (the hour and the minute lists side by side).
    std::set<ControlKind> unfit;
    for (const auto& [control, w] : rendered.controls)
        if (!drawnWhole(*w)) unfit.insert(control->kind());
    for (const auto& [control, w] : rendered.controls)
        if (unfit.count(control->kind())) w->setStyle(designedStyle());
    // Labels are windowless where the windows were designed: drawn on their container,
    // beneath every windowed control that overlaps them (Check1 reaches 15 twips into
    // Label4's place on HK). Lowered last first, they keep their own order among themselves.
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if ((*it)->kind() == ControlKind::Label) rendered.controls[*it]->lower();
    applyTabOrder(window, rendered);
    syncAccessibleNames(window);
    // A main window that starts hidden must still be within the user's reach.
    showWindow(window, rendered, window.visible());
}

void QtWindows::windowUnloaded(Window& window)
{
    auto it = rendered_.find(&window);
    if (it == rendered_.end()) return;
    Rendered rendered = std::move(it->second);
    rendered_.erase(it);
    for (auto& [control, w] : rendered.controls) controlOf_.erase(w);
    windowOf_.erase(rendered.top);
    if (mainWindow_ == &window) mainWindow_ = nullptr;
    // The unload may come from inside one of the window's own handlers: the widgets go
    // once that handler has returned, and tell nothing more to the model meanwhile.
    rendered.top->hide();
    rendered.top->blockSignals(true);
    for (QObject* child : rendered.top->findChildren<QObject*>()) child->blockSignals(true);
    auto* top = static_cast<ModelWindowWidget*>(rendered.top);
    top->closeRequested = nullptr;
    top->stateChanged = nullptr;
    top->deleteLater();
}

QWidget* QtWindows::createControl(Control& control, QWidget* parent)
{
    switch (control.kind()) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(parent);
        button->installEventFilter(this);
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
        label->installEventFilter(this);
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
        option->installEventFilter(this);
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
        new EditBoxInput(edit, [this, edit]() -> EditBox* {
            auto found = controlOf_.find(edit);
            return found == controlOf_.end() ? nullptr : static_cast<EditBox*>(found->second);
        });
        return edit;
    }
    case ControlKind::Image: {
        auto* image = new QLabel(parent);
        image->setPixmap(QtPictures::pixmap(QtPictures::handle(static_cast<Image&>(control).picture())));
        image->setFocusPolicy(Qt::NoFocus);
        image->installEventFilter(this);
        return image;
    }
    case ControlKind::WebView: {
        auto* view = new QTextBrowser(parent);
        view->setOpenLinks(false);
        view->setOpenExternalLinks(false);
        view->setFrameShape(QFrame::NoFrame);
        connect(view, &QTextBrowser::anchorClicked, this, [this, view](const QUrl& link) {
            if (link.isRelative() && link.hasFragment() && link.path().isEmpty()) {
                view->scrollToAnchor(link.fragment());
                return;
            }
            load(view, view->document()->baseUrl().resolved(link));
        });
        return view;
    }
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

void QtWindows::applyTabOrder(Window& window, Rendered& rendered)
{
    std::vector<Control*> focusable;
    for (Control* c : window.controls())
        if (c->takesFocus()) focusable.push_back(c);
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](Control* a, Control* b) { return a->tabIndex() < b->tabIndex(); });
    for (size_t i = 0; i < focusable.size(); ++i) {
        QWidget* w = rendered.controls[focusable[i]];
        w->setFocusPolicy(Qt::StrongFocus);
        if (i > 0) QWidget::setTabOrder(rendered.controls[focusable[i - 1]], w);
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

void QtWindows::propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value)
{
    auto it = rendered_.find(&window);
    if (it == rendered_.end()) return;
    Rendered& rendered = it->second;
    if (!control) {
        if (property == Property::Caption) {
            const QString before = rendered.top->windowTitle();
            setTitle(rendered.top, window.caption());
            // Qt tells no change of a window's title; a reader keeps its name up to date by it.
            QAccessibleEvent named(rendered.top, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&named);
            if (announced(accessibleOf(window).role)) announceTextChange(rendered.top, before, text(window.caption()));
        }
        if (property == Property::Visible) showWindow(window, rendered, window.visible());
        return;
    }
    QWidget* w = widget(*control);
    if (!w) return;
    switch (property) {
    case Property::Visible:
        w->setVisible(std::get<bool>(value));
        return;
    case Property::Enabled:
        w->setEnabled(std::get<bool>(value));
        return;
    case Property::FontUnderline: {
        QFont font = w->font();
        font.setUnderline(std::get<bool>(value));
        w->setFont(font);
        return;
    }
    case Property::Caption:
    case Property::Value:
    case Property::Text:
    case Property::Interval: {  // a timer's; no control is told of it
        auto* label = qobject_cast<QLabel*>(w);
        const QString before = label ? label->text() : QString();
        syncControl(*control);
        syncAccessibleNames(window);
        if (label && announced(accessibleOf(*control).role)) announceTextChange(w, before, label->text());
        return;
    }
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

void QtWindows::showWindow(const Window& window, Rendered& rendered, bool visible)
{
    QWidget* top = rendered.top;
    if (!visible) {
        // Without a notification area the hidden main window waits on the taskbar instead.
        rendered.onTaskbar = &window == mainWindow_ && trayAvailable_ && !trayAvailable_();
        if (rendered.onTaskbar)
            top->showMinimized();
        else
            top->hide();
        return;
    }
    if (!rendered.shownOnce) {
        rendered.shownOnce = true;
        // The first control in the tab order has the focus when the window first shows.
        std::vector<Control*> focusable;
        for (Control* c : window.controls())
            if (c->takesFocus() && c->visible() && c->enabled()) focusable.push_back(c);
        auto first = std::min_element(focusable.begin(), focusable.end(),
                                      [](Control* a, Control* b) { return a->tabIndex() < b->tabIndex(); });
        if (first != focusable.end()) rendered.controls[*first]->setFocus(Qt::OtherFocusReason);
    }
    // An empty title must be empty before the window manager first reads it.
    if (window.caption().empty()) {
        top->winId();
        clearX11Title(top);
    }
    // A Wayland client cannot take its window back from the taskbar (the compositor tells it
    // nothing of minimising); it shows the window anew instead.
    if (rendered.onTaskbar && wayland()) top->hide();
    rendered.onTaskbar = false;
    if (top->isMinimized())
        top->showNormal();
    else
        top->show();
    // Shown as a window is shown: on top and active.
    top->raise();
    top->activateWindow();
}

void QtWindows::setTitle(QWidget* top, const std::string& caption)
{
    top->setWindowTitle(text(caption));
    if (caption.empty()) clearX11Title(top);
    // On Wayland Qt draws the title bar itself, and draws it again only with the window.
    if (wayland() && top->isVisible()) top->update();
}

// A main window that waits on the taskbar and is brought back from there by the user counts
// as shown, as a press on its icon would show it: on X11 as soon as it is no longer
// minimised; on Wayland, where the compositor tells a client nothing of minimising and the
// window's state cannot be trusted, once it is active.
void QtWindows::mayHaveBeenRestored(const Window& window, QEvent::Type type)
{
    auto it = rendered_.find(&window);
    if (&window != mainWindow_ || it == rendered_.end() || !it->second.onTaskbar || window.visible()) return;
    QWidget* top = it->second.top;
    const bool restored =
        top->isVisible() && (type == QEvent::ActivationChange ? top->isActiveWindow() : !wayland() && !top->isMinimized());
    if (!restored) return;
    it->second.onTaskbar = false;
    if (shownByUser_) shownByUser_();
}

void QtWindows::trayAvailabilityChanged()
{
    if (!mainWindow_ || mainWindow_->visible()) return;
    if (auto it = rendered_.find(mainWindow_); it != rendered_.end()) showWindow(*mainWindow_, it->second, false);
}

bool QtWindows::SetWindowPos(Window& window, int insertAfter, int, int, int, int, uint32_t flags)
{
    QWidget* top = widget(window);
    if (!top || (insertAfter != kHwndTopmost && insertAfter != kHwndNoTopmost)) return false;
    Qt::WindowFlags windowFlags = top->windowFlags();
    windowFlags.setFlag(Qt::WindowStaysOnTopHint, insertAfter == kHwndTopmost);
    if (QWindow* handle = top->windowHandle()) {
        // Told to the window system as it is: QWidget::setWindowFlags would take the window
        // off the screen and put it up again, moved and activated. Only the stacking changes.
        top->overrideWindowFlags(windowFlags);
        handle->setFlags(windowFlags);
    } else {
        // Not made yet: the flag is there when it is first shown.
        top->setWindowFlags(windowFlags);
    }
    if (!top->isVisible()) return true;
    if (insertAfter == kHwndTopmost) top->raise();
    if (!(flags & kSwpNoActivate)) top->activateWindow();
    return true;
}

void QtWindows::MessageBox(const std::string& title, const std::string& message)
{
    QMessageBox box;
    box.setWindowTitle(text(title));
    box.setText(text(message));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowIcon(QtPictures::icon("tolvane"));
    box.exec();
}

void QtWindows::processPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtWindows::Navigate(WebView& view, const std::string& url)
{
    if (auto* browser = qobject_cast<QTextBrowser*>(widget(view))) load(browser, QUrl(text(url)));
}

void QtWindows::load(QTextBrowser* view, const QUrl& url)
{
    if (url.scheme() != "http" && url.scheme() != "https") return;
    if (!network_) network_ = new QNetworkAccessManager(this);
    // A newer navigation replaces one still under way.
    if (auto* previous = view->property("tolvaneReply").value<QNetworkReply*>()) previous->abort();
    QNetworkRequest request(url);
    request.setTransferTimeout(15000);
    QNetworkReply* reply = network_->get(request);
    view->setProperty("tolvaneReply", QVariant::fromValue(reply));
    QPointer<QTextBrowser> target(view);
    connect(reply, &QNetworkReply::finished, this, [reply, target, url] {
        reply->deleteLater();
        if (!target) return;
        if (target->property("tolvaneReply").value<QNetworkReply*>() == reply)
            target->setProperty("tolvaneReply", QVariant());
        if (reply->error() == QNetworkReply::OperationCanceledError) return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        target->document()->setBaseUrl(reply->url());
        if (reply->error() != QNetworkReply::NoError || status >= 400) {
            target->setHtml(QStringLiteral("<p><b>The page cannot be shown.</b></p><p>%1</p><p>%2</p>")
                                .arg(url.toString().toHtmlEscaped(), reply->errorString().toHtmlEscaped()));
            return;
        }
        target->setHtml(QString::fromUtf8(reply->readAll()));
    });
}

bool QtWindows::eventFilter(QObject* watched, QEvent* event)
{
    auto it = controlOf_.find(watched);
    if (it == controlOf_.end()) return false;
    Control& control = *it->second;
    auto* w = static_cast<QWidget*>(watched);
    if (control.kind() == ControlKind::OptionButton && event->type() == QEvent::KeyPress)
        return arrowKey(control, *static_cast<QKeyEvent*>(event));
    if (control.kind() == ControlKind::PushButton && event->type() == QEvent::KeyPress) {
        // Enter presses the button that has the focus, as Windows' dialog keys do; once for
        // one press, however long the key is held.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier)) return false;
        if (!key->isAutoRepeat()) static_cast<QPushButton*>(w)->click();
        return true;
    }
    if (control.kind() == ControlKind::Label || control.kind() == ControlKind::Image) {
        // A static control tells a click, then a double click: the second press of a
        // double click (Qt's MouseButtonDblClick) and its release are no second click.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton)
            w->setProperty(kInDoubleClick, true);
        if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            const bool second = w->property(kInDoubleClick).toBool();
            w->setProperty(kInDoubleClick, QVariant());
            if (!second && w->rect().contains(mouse->position().toPoint())) control.userClick();
        }
    }
    return false;
}

bool QtWindows::arrowKey(Control& control, const QKeyEvent& key)
{
    if (key.modifiers() & ~Qt::KeypadModifier) return false;
    bool forward = true;
    switch (key.key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        break;
    case Qt::Key_Up:
    case Qt::Key_Left:
        forward = false;
        break;
    default:
        return false;
    }
    OptionButton* next = nextInGroup(static_cast<OptionButton&>(control), forward);
    QWidget* target = next ? widget(*next) : nullptr;
    if (!target) return false;
    target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    next->userClick();
    return true;
}

}  // namespace tolvane
