#include "platform/qt/session/session_lock.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include "platform/qt/bus/dbus_signal.h"
#include "platform/qt/session/logind_names.h"
#include "platform/qt/session/logind_session.h"

namespace tolvane {

namespace {
const QString& kLogind = logind::kService;
using logind::kProperties;
using logind::kSession;
const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

// Sends `message` and hands a successful answer's first argument to `answered`.
void ask(QDBusConnection bus, const QDBusMessage& message, QObject* guard,
         std::function<void(const QVariant&)> answered)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), guard);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, guard,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusMessage reply = w->reply();
                         if (reply.type() != QDBusMessage::ErrorMessage && !reply.arguments().isEmpty())
                             answered(reply.arguments().first());
                     });
}
}  // namespace

SessionLock::SessionLock(LogindSession& session, QDBusConnection sessionBus,
                         std::function<void(const std::string&)> notes)
    : session_(session),
      sessionBus_(std::move(sessionBus)),
      notes_(std::move(notes)),
      guard_(std::make_unique<QObject>())
{
    session_.find([this, alive = QPointer<QObject>(guard_.get())](bool found) {
        if (alive && found) followLockedHint();
    });
    if (!sessionBus_.isConnected()) return;
    activeChanged_ = DBusSignal::connect(sessionBus_, kScreenSaver, kScreenSaverPath, kScreenSaver, "ActiveChanged",
                                         [this](const QDBusMessage& message) {
                                             if (message.arguments().isEmpty()) return;
                                             ++screenSaverVersion_;
                                             set(screenSaverActive_, message.arguments().first().toBool());
                                         });
    screenSaverWatcher_ = std::make_unique<QDBusServiceWatcher>(kScreenSaver, sessionBus_);
    QObject::connect(screenSaverWatcher_.get(), &QDBusServiceWatcher::serviceRegistered, guard_.get(),
                     [this] { askScreenSaver(); });
    QObject::connect(screenSaverWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, guard_.get(), [this] {
        ++screenSaverVersion_;
        set(screenSaverActive_, false);
    });
    askScreenSaver();
}

SessionLock::~SessionLock() = default;

// The signal is subscribed to before the value is read, so that no change falls between.
void SessionLock::followLockedHint()
{
    lockedHintChanged_ = DBusSignal::connect(session_.bus(), kLogind, session_.path(), kProperties, "PropertiesChanged",
                                             [this](const QDBusMessage& message) {
                                                 const QList<QVariant> arguments = message.arguments();
                                                 if (arguments.size() < 3 || arguments[0].toString() != kSession)
                                                     return;
                                                 const QVariantMap changed = qdbus_cast<QVariantMap>(arguments[1]);
                                                 if (changed.contains("LockedHint")) {
                                                     ++lockedHintVersion_;
                                                     set(lockedHint_, changed.value("LockedHint").toBool());
                                                 } else if (arguments[2].toStringList().contains("LockedHint"))
                                                     readLockedHint();  // told that it changed, not to what
                                             });
    readLockedHint();
}

void SessionLock::readLockedHint()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kLogind, session_.path(), kProperties, "Get");
    get.setArguments({kSession, QStringLiteral("LockedHint")});
    const unsigned asked = ++lockedHintVersion_;
    ask(session_.bus(), get, guard_.get(), [this, asked](const QVariant& value) {
        if (asked == lockedHintVersion_) set(lockedHint_, value.value<QDBusVariant>().variant().toBool());
    });
}

void SessionLock::askScreenSaver()
{
    QDBusMessage message = QDBusMessage::createMethodCall(kScreenSaver, kScreenSaverPath, kScreenSaver, "GetActive");
    message.setAutoStartService(false);
    const unsigned asked = ++screenSaverVersion_;
    ask(sessionBus_, message, guard_.get(), [this, asked](const QVariant& value) {
        if (asked == screenSaverVersion_) set(screenSaverActive_, value.toBool());
    });
}

void SessionLock::set(bool& source, bool value)
{
    const bool was = locked();
    source = value;
    if (locked() == was || !notes_) return;
    notes_(locked() ? "the session is locked: the Ctrl+Alt hotkeys do nothing until it is unlocked"
                    : "the session is unlocked: the Ctrl+Alt hotkeys work again");
}

}  // namespace tolvane
