#pragma once
// The Qt Widgets rendering of the window-system model, put together from its parts, each in
// a file of its own:
//   qt_windows.cpp      the model's windows as top-level widgets: made and filled when a window
//                       loads, shown, hidden, titled and kept on top as the model says
//   qt_controls.cpp     the widget of each kind of control, its value shown, the user's changes
//                       told to the model, and the names a screen reader reads
//   qt_input.h          Enter, the arrow keys, the clicks of labels and pictures, the tab order
//   qt_message_box.h    message boxes
//   qt_web_view.h       the web panel and the HTTP fetch of its pages
// It offers the logic the display, the message boxes, the web panel and "let pending events
// run"; the rest of the backend finds the widget of a window or control here, and the model's
// window or control of a widget.
//
// Supported: every control kind of the model (push button, label, frame, check box,
// option button, drop-down list, list box, edit box, image, web view), fixed-size
// windows with the program's icon, geometry from twips at the screen's logical DPI,
// the tab order, the close box routed to the window's unload request, message boxes
// (title, text, OK, no icon), the topmost warning window, the embedded web view. Labels
// lie beneath the windowed controls that overlap them and tell one click for a double
// click, as the windowless labels of the design. Every change the user makes to an edit
// box goes through the model (qt_edit_box.h). Enter presses the focused push button; the
// arrow keys move among the option buttons of a group and choose, as on Windows. What a
// screen reader reads of every window and control is the model's (qt_accessible.h). A
// control the desktop's style cannot draw whole in its designed size is drawn by Fusion
// (designed_style.h).
//
// Not supported, on purpose:
// - The web view is a QTextBrowser: HTML and links, no scripts and no plug-ins. It
//   follows http(s) links inside itself and ignores every other scheme.
// - Where no notification area exists, hiding the main window would strand the user,
//   so the main window is minimised to the taskbar instead (see setTrayAvailable), and
//   the user's restoring it from there counts as showing it (see setShownByUser).
#include <QEvent>
#include <QFont>
#include <QObject>
#include <functional>
#include <map>
#include <string>

#include "platform/model/observer.h"
#include "platform/model/window_system.h"
#include "platform/qt/ui/qt_input.h"
#include "platform/qt/ui/qt_web_view.h"
#include "platform/services.h"

class QStyle;
class QWidget;

namespace tolvane {

class Control;
class Window;

class QtWindows : public QObject,
                  public ModelObserver,
                  public DisplayApi,
                  public DialogApi,
                  public WebApi,
                  public EventLoopApi {
public:
    explicit QtWindows(WindowSystem& windows);
    ~QtWindows() override;
    QtWindows(const QtWindows&) = delete;
    QtWindows& operator=(const QtWindows&) = delete;

    // ModelObserver
    void windowLoaded(Window& window) override;
    void windowUnloaded(Window& window) override;
    void propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value) override;
    void listCleared(Control& control) override;
    void itemAdded(Control& control, const std::string& item) override;

    // DisplayApi
    void InitCommonControls() override {}
    bool SetWindowPos(Window& window, int insertAfter, int x, int y, int cx, int cy, uint32_t flags) override;
    int twipsPerPixelX() override;
    uint32_t pictureHandle(const std::string& name) override;

    // DialogApi
    void MessageBox(const std::string& title, const std::string& text) override;

    // WebApi
    void Navigate(WebView& view, const std::string& url) override;

    // EventLoopApi
    void processPendingEvents() override;

    // Whether a notification area is there to come back from. The main window (the first
    // window loaded) is minimised instead of hidden while this says no.
    void setTrayAvailable(std::function<bool()> available) { trayAvailable_ = std::move(available); }
    // What the user's restoring the main window from the taskbar stands for (a press on its icon).
    void setShownByUser(std::function<void()> shown) { shownByUser_ = std::move(shown); }
    // The notification area came or went: a hidden main window goes where the user finds it.
    void trayAvailabilityChanged();
    // The screen's logical resolution, and pixels for a length in twips at it.
    int dotsPerInch();
    int pixels(int twips);
    QFont dialogFont(const Window& window);

    // The widgets that render a loaded window and its controls (null when there is none).
    QWidget* widget(const Window& window) const;
    QWidget* widget(const Control& control) const;
    // The model window or control a widget renders (null when it renders none, or no longer).
    Window* windowOf(const QObject* widget) const;
    Control* controlOf(const QObject* widget) const;

private:
    struct Rendered {
        QWidget* top = nullptr;
        std::map<const Control*, QWidget*> controls;
        bool shownOnce = false;
        bool onTaskbar = false;  // minimised in place of hiding
    };

    // qt_controls.cpp
    QWidget* createControl(Control& control, QWidget* parent);
    void connectUserActions(Control& control, QWidget* widget);
    void syncControl(Control& control);
    // The names and descriptions a screen reader reads, asked of the model again: a name
    // may follow another control's text (platform/model/accessibility.h).
    void syncAccessibleNames(const Window& window);
    // The style of the controls that the desktop's style cannot draw whole in their designed
    // size (designed_style.h), made on first use.
    QStyle* designedStyle();

    // qt_windows.cpp
    void showWindow(const Window& window, Rendered& rendered, bool visible);
    void mayHaveBeenRestored(const Window& window, QEvent::Type type);
    // The window's title; an empty one stays empty (x11_title.h).
    void setTitle(QWidget* top, const std::string& caption);

    WindowSystem& windows_;
    std::map<const Window*, Rendered> rendered_;
    std::map<const QObject*, Control*> controlOf_;
    std::map<const QObject*, Window*> windowOf_;
    const Window* mainWindow_ = nullptr;
    std::function<bool()> trayAvailable_;
    std::function<void()> shownByUser_;
    QtInput input_{*this};
    QtWebView web_;
    QStyle* designedStyle_ = nullptr;
};

}  // namespace tolvane
