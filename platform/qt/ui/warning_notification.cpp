#include "platform/qt/ui/warning_notification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QObject>
#include <QVariantMap>

#include "platform/model/window.h"

namespace tolvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr uchar kCritical = 2;

bool isWarning(const Window& window)
{
    return window.name() == "Form2";
}

}  // namespace

QDBusMessage notifyCall(uint32_t replacesId, const QString& summary, const QString& body)
{
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // The desktop file names the program's id (see program_main.cpp).
    QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(kCritical)}};
    if (const QString entry = QGuiApplication::desktopFileName(); !entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    notify.setArguments(
        {QStringLiteral("Tolvane"), replacesId, QStringLiteral("tolvane"), summary, body, QStringList(), hints, 0});
    return notify;
}

WarningNotification::WarningNotification(WindowSystem& windows, QDBusConnection bus,
                                         std::function<void(const std::string&)> errors)
    : windows_(windows), bus_(std::move(bus)), errors_(std::move(errors)), guard_(std::make_unique<QObject>())
{
    observing_ = QGuiApplication::platformName().startsWith("wayland");
    if (observing_) windows_.addObserver(*this);
}

WarningNotification::~WarningNotification()
{
    if (observing_) windows_.removeObserver(*this);
    close();
}

void WarningNotification::propertyChanged(Window& window, Control* control, Property property, const PropertyValue&)
{
    if (control || property != Property::Caption || !isWarning(window) || window.caption().empty()) return;
    next_ = window.caption();
    closeWhenKnown_ = false;
    if (!waiting_) send();
}

void WarningNotification::windowUnloaded(Window& window)
{
    if (!isWarning(window)) return;
    next_.reset();
    if (waiting_)
        closeWhenKnown_ = true;
    else
        close();
}

void WarningNotification::send()
{
    if (!next_ || !bus_.isConnected()) return;
    const QDBusMessage notify = notifyCall(id_, QString::fromStdString(*next_), QString());
    next_.reset();
    waiting_ = true;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(notify, 5000), guard_.get());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, guard_.get(), [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        waiting_ = false;
        const QDBusPendingReply<uint32_t> reply = *w;
        if (reply.isError()) {
            if (!told_ && errors_)
                errors_("the warning is not shown as a desktop notification: " + reply.error().message().toStdString());
            told_ = true;
        } else {
            id_ = reply.value();
        }
        if (closeWhenKnown_) {
            closeWhenKnown_ = false;
            close();
        } else {
            send();
        }
    });
}

void WarningNotification::close()
{
    if (!id_ || !bus_.isConnected()) return;
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("CloseNotification"));
    message.setArguments({id_});
    bus_.send(message);
    id_ = 0;
}

}  // namespace tolvane
