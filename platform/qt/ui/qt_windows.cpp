#include "platform/qt/ui/qt_windows.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <set>
#include <utility>

#include "platform/model/accessibility.h"
#include "platform/model/control.h"
#include "platform/model/control_order.h"
#include "platform/model/dialog_font.h"
#include "platform/model/twips.h"
#include "platform/model/win_codes.h"
#include "platform/model/window.h"
#include "platform/qt/ui/designed_style.h"
#include "platform/qt/ui/pictures.h"
#include "platform/qt/ui/qt_accessible.h"
#include "platform/qt/ui/qt_message_box.h"
#include "platform/qt/ui/x11_title.h"

namespace tolvane {

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

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

bool wayland()
{
    return QGuiApplication::platformName().startsWith("wayland");
}

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

int QtWindows::twipsPerPixelX()
{
    return twipsPerPixel(dotsPerInch());
}

int QtWindows::pixels(int twips)
{
    return twipsToPixels(twips, dotsPerInch());
}

uint32_t QtWindows::pictureHandle(const std::string& name)
{
    return QtPictures::handle(name);
}

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

    // Made in the design's layers from the bottom, frames (which hold others) first: Qt draws
    // a later sibling over an earlier one, so the labels, windowless where the windows were
    // designed, lie beneath every windowed control that overlaps them (Check1 reaches 15
    // twips into Label4's place on HK).
    for (Control* control : bottomLayerFirst(window.controls())) {
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
    input_.applyTabOrder(window);
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
        input_.focusFirst(window);
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
    const bool restored = top->isVisible() && (type == QEvent::ActivationChange ? top->isActiveWindow()
                                                                                : !wayland() && !top->isMinimized());
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
    showMessageBox(title, message);
}

void QtWindows::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtWindows::Navigate(WebView& view, const std::string& url)
{
    if (auto* browser = qobject_cast<QTextBrowser*>(widget(view))) web_.load(browser, QUrl(text(url)));
}

}  // namespace tolvane
