#pragma once
// The program's message boxes, and its alerts (an action that did not happen) where a
// message box may stay out of sight: a Wayland compositor may open the box behind other
// windows, and the program cannot raise it, so there the alert is also a desktop notification
// of critical urgency (org.freedesktop.Notifications). Under X11 the box alone does it. A
// missing notification service is said once on standard error; the box still comes.
#include <QDBusConnection>
#include <functional>
#include <memory>
#include <string>

#include "platform/services.h"

class QObject;

namespace tolvane {

class AlertDialogs : public DialogApi {
public:
    // boxes: where the message boxes are shown; notify: whether alerts are also notifications
    // (on Wayland); errors: where a missing service is said.
    AlertDialogs(DialogApi& boxes, bool notify, QDBusConnection bus, std::function<void(const std::string&)> errors);
    ~AlertDialogs() override;
    AlertDialogs(const AlertDialogs&) = delete;
    AlertDialogs& operator=(const AlertDialogs&) = delete;

    void MessageBox(const std::string& title, const std::string& text) override { boxes_.MessageBox(title, text); }
    void alert(const std::string& title, const std::string& text) override;

private:
    DialogApi& boxes_;
    bool notify_;
    QDBusConnection bus_;
    std::function<void(const std::string&)> errors_;
    bool told_ = false;
    std::unique_ptr<QObject> guard_;  // answers go with this object
};

}  // namespace tolvane
