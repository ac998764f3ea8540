#include "platform/qt/bus/dbus_signal.h"

namespace tolvane {

std::unique_ptr<DBusSignal> DBusSignal::connect(QDBusConnection bus, const QString& service, const QString& path,
                                                const QString& interface, const QString& name, Handler handler)
{
    std::unique_ptr<DBusSignal> receiver(new DBusSignal(std::move(handler)));
    if (!bus.connect(service, path, interface, name, receiver.get(), SLOT(receive(QDBusMessage)))) return nullptr;
    return receiver;
}

void DBusSignal::receive(const QDBusMessage& message)
{
    if (handler_) handler_(message);
}

}  // namespace tolvane
