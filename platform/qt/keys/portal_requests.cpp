#include "platform/qt/keys/portal_shortcuts.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QFileInfo>

#include "platform/qt/bus/dbus_signal.h"
#include "platform/qt/keys/portal_bus.h"

namespace tolvane {

namespace portal {

QDBusArgument& operator<<(QDBusArgument& argument, const ShortcutEntry& entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ShortcutEntry& entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

void dropLater(std::unique_ptr<DBusSignal>& subscription)
{
    if (subscription) subscription.release()->deleteLater();
}

QVariantMap mapOf(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QString pathOf(const QVariant& value)
{
    if (value.canConvert<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

bool meansMissing(const QString& error)
{
    static const QStringList missing = {
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.UnknownMethod", "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.UnknownObject"};
    return missing.contains(error);
}

bool meansNoInterface(const QString& error)
{
    return error == "org.freedesktop.DBus.Error.UnknownMethod" ||
           error == "org.freedesktop.DBus.Error.UnknownInterface" ||
           error == "org.freedesktop.DBus.Error.UnknownObject";
}

bool sandboxed()
{
    return QFileInfo::exists("/.flatpak-info") || qEnvironmentVariableIsSet("SNAP");
}

QString launcherAppId()
{
    QFile cgroup("/proc/self/cgroup");
    if (!cgroup.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : cgroup.readAll().split('\n')) {
        if (!line.startsWith("0::")) continue;
        QStringList parts = QString::fromUtf8(line.mid(3)).split('/', Qt::SkipEmptyParts);
        while (!parts.isEmpty()) {
            const QString unit = parts.takeLast();
            if (unit.endsWith(".scope") || unit.endsWith(".service")) return unitAppId(unit);
        }
    }
    return {};
}

QList<ShortcutEntry> entriesIn(const QVariantMap& results)
{
    const QVariant list = results.value("shortcuts");
    if (!list.canConvert<QDBusArgument>()) return {};
    return qdbus_cast<QList<ShortcutEntry>>(list.value<QDBusArgument>());
}

QList<ShortcutEntry> entriesOf(const std::vector<PortalShortcut>& shortcuts)
{
    QList<ShortcutEntry> entries;
    for (const PortalShortcut& s : shortcuts)
        entries.push_back({s.id, {{"description", s.description}, {"preferred_trigger", s.trigger}}});
    return entries;
}

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<ShortcutEntry>();
        qDBusRegisterMetaType<QList<ShortcutEntry>>();
        return true;
    }();
    (void)registered;
}

}  // namespace portal

using namespace portal;

void PortalShortcuts::registerApp()
{
    registration_ = Registration::Done;
    if (app_.id.isEmpty()) return openSession();
    if (sandboxed() || launcherAppId() == app_.id) {
        named_ = true;
        return openSession();
    }
    registration_ = Registration::Asking;
    const int round = ++registrations_;
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kRegistry, "Register");
    call << app_.id << QVariantMap();
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), guard_.get());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending, [this, round](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (round != registrations_) return;  // asked of a portal that has gone since
        registration_ = Registration::Done;
        const QDBusMessage reply = w->reply();
        const QString error = reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString();
        if (error.isEmpty()) {
            named_ = withRegistry_ = true;
        } else if (!meansNoInterface(error) && !meansMissing(error)) {
            // The portal has the Registry but not the id: no installed desktop file of that
            // name, or none whose program the portal finds. The session is asked for all the
            // same; where the desktop refuses it then, the user is told why.
            withRegistry_ = nameRefused_ = true;
            fail(Problem::Note, "the desktop portal did not take the id " + app_.id.toStdString(),
                 error.toStdString() + ": " + reply.errorMessage().toStdString());
        }
        // A portal older than 1.19 has no Registry, and no portal at all is what CreateSession
        // will find: either way the program goes on without an id.
        openSession();
    });
}

QString PortalShortcuts::nextToken()
{
    return "tolvane" + QString::number(++tokens_);
}

QString PortalShortcuts::requestPath(const QString& token) const
{
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    return kPortalPath + "/request/" + sender + "/" + token;
}

// The portal answers a call with the path of a Request object at once and sends the outcome
// later as that object's Response signal. The path is known before the call (it is made of
// the caller's bus name and the token), so the answer is listened for before asking.
void PortalShortcuts::request(const QString& method, const QList<QVariant>& arguments, const QString& token,
                              Answer answer, Failure failure)
{
    auto listen = [this, answer](const QString& path) {
        responses_[path] =
            DBusSignal::connect(bus_, kPortal, path, kRequest, "Response", [this, answer, path](const QDBusMessage& m) {
                if (auto it = responses_.find(path); it != responses_.end()) {
                    dropLater(it->second);
                    responses_.erase(it);
                }
                const QList<QVariant> args = m.arguments();
                answer(args.isEmpty() ? 2 : args[0].toUInt(), args.size() > 1 ? mapOf(args[1]) : QVariantMap());
            });
    };
    const QString expected = requestPath(token);
    listen(expected);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kShortcuts, method);
    call.setArguments(arguments);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), guard_.get());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending,
                     [this, expected, listen, failure](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusMessage reply = w->reply();
                         auto forgetExpected = [&] {
                             if (auto it = responses_.find(expected); it != responses_.end()) {
                                 dropLater(it->second);
                                 responses_.erase(it);
                             }
                         };
                         if (reply.type() == QDBusMessage::ErrorMessage) {
                             forgetExpected();
                             failure(reply);
                             return;
                         }
                         // An older portal may choose its own path: the answer comes there then.
                         const QString path =
                             reply.arguments().isEmpty() ? expected : pathOf(reply.arguments().first());
                         if (path != expected && !path.isEmpty() && !responses_.count(path)) {
                             forgetExpected();
                             listen(path);
                         }
                     });
}

void PortalShortcuts::callFailed(const QString& method, const QDBusMessage& error)
{
    const QString name = error.errorName();
    if (meansMissing(name))
        fail(Problem::Missing, "the desktop offers no global shortcuts",
             name.toStdString() + ": " + error.errorMessage().toStdString());
    else
        fail(Problem::Refused, "the desktop's global shortcuts failed",
             method.toStdString() + ": " + name.toStdString() + ": " + error.errorMessage().toStdString());
}

}  // namespace tolvane
