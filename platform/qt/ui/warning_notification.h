#pragma once
// The warning where the desktop cannot keep it above the other windows. A Wayland
// compositor keeps no client's window above the others (Qt's "stays on top" means nothing
// there), so one click elsewhere would cover the warning window and its countdown. On Qt's
// Wayland platform, while the warning window Form2 is open, its title (the countdown,
// "Shutdown After  29 Seconds") is therefore also a desktop notification of critical urgency
// (org.freedesktop.Notifications on the session bus), which desktops keep in sight until it
// is closed: updated with every new title, closed with the window. Under X11 (XWayland
// included: KWin and Mutter honour "above" for X11 windows) the window alone does it.
// Without a notification service the window is all there is; that is said once on standard
// error.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/model/observer.h"
#include "platform/model/window_system.h"

class QObject;

namespace tolvane {

// The notification service's Notify call for the program: critical urgency, the program's
// icon and desktop entry; replacesId 0 for a new notification.
QDBusMessage notifyCall(uint32_t replacesId, const QString& summary, const QString& body);

class WarningNotification : public ModelObserver {
public:
    // errors: where the missing service is said.
    WarningNotification(WindowSystem& windows, QDBusConnection bus, std::function<void(const std::string&)> errors);
    ~WarningNotification() override;
    WarningNotification(const WarningNotification&) = delete;
    WarningNotification& operator=(const WarningNotification&) = delete;

    void propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value) override;
    void windowUnloaded(Window& window) override;

private:
    void send();
    void close();

    WindowSystem& windows_;
    QDBusConnection bus_;
    std::function<void(const std::string&)> errors_;
    bool observing_ = false;
    uint32_t id_ = 0;                  // the notification shown, 0 for none
    bool waiting_ = false;             // for the answer that gives the id
    std::optional<std::string> next_;  // a title still to be shown
    bool closeWhenKnown_ = false;
    bool told_ = false;
    std::unique_ptr<QObject> guard_;  // answers go with this object
};

}  // namespace tolvane
