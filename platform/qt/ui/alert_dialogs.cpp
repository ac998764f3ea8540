#include "platform/qt/ui/alert_dialogs.h"

#include <QDBusPendingCallWatcher>
#include <QObject>

#include "platform/qt/ui/warning_notification.h"

namespace tolvane {

AlertDialogs::AlertDialogs(DialogApi& boxes, bool notify, QDBusConnection bus,
                           std::function<void(const std::string&)> errors)
    : boxes_(boxes),
      notify_(notify),
      bus_(std::move(bus)),
      errors_(std::move(errors)),
      guard_(std::make_unique<QObject>())
{
}

AlertDialogs::~AlertDialogs() = default;

void AlertDialogs::alert(const std::string& title, const std::string& text)
{
    if (notify_ && bus_.isConnected()) {
        auto* pending = new QDBusPendingCallWatcher(
            bus_.asyncCall(notifyCall(0, QString::fromStdString(title), QString::fromStdString(text)), 5000),
            guard_.get());
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, guard_.get(), [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (!w->isError() || told_) return;
            told_ = true;
            if (errors_)
                errors_("the alert is not shown as a desktop notification: " + w->error().message().toStdString());
        });
    }
    boxes_.MessageBox(title, text);
}

}  // namespace tolvane
