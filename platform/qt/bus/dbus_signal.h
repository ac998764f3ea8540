#pragma once
// One D-Bus signal handed to a function. QtDBus delivers signals only to slots, so each
// subscription is a small object with one slot that takes the whole message; the
// subscription ends when the object goes (QtDBus drops the match with its receiver).
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <functional>
#include <memory>

namespace tolvane {

class DBusSignal : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QDBusMessage&)>;

    // Subscribes to the signal `name` of `interface` sent from `path` by `service` (a
    // well-known name: QtDBus follows its owner). Returns null when the bus refuses the match.
    static std::unique_ptr<DBusSignal> connect(QDBusConnection bus, const QString& service, const QString& path,
                                               const QString& interface, const QString& name, Handler handler);

public Q_SLOTS:
    void receive(const QDBusMessage& message);

private:
    explicit DBusSignal(Handler handler) : handler_(std::move(handler)) {}
    Handler handler_;
};

}  // namespace tolvane
