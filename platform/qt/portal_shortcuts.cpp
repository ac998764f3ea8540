#include "platform/qt/portal_shortcuts.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QList>
#include <algorithm>

#include "hotkeys/values.h"
#include "platform/qt/dbus_signal.h"

namespace {

// One element of BindShortcuts' a(sa{sv}): the id and its properties.
struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};

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

}  // namespace

Q_DECLARE_METATYPE(ShortcutEntry)

namespace tolvane {

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

const char* const kIds[5] = {"shutdown", "restart", "logoff", "hibernate", "standby"};
const char* const kDescriptions[5] = {"Shutdown", "Restart", "Log off", "Hibernate", "Stand by"};

// A subscription may end from inside its own handler: it goes once that has returned.
void dropLater(std::unique_ptr<DBusSignal>& subscription)
{
    if (subscription) subscription.release()->deleteLater();
}

// An a{sv} as QtDBus hands it over: already a map, or still to be read.
QVariantMap mapOf(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

// The session handle is an object path sent as a string ("s"); either is taken.
QString pathOf(const QVariant& value)
{
    if (value.canConvert<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

// The errors that mean the desktop has no global shortcuts at all.
bool meansMissing(const QString& error)
{
    static const QStringList missing = {
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.UnknownMethod", "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.UnknownObject"};
    return missing.contains(error);
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

}  // namespace

QString keysymName(int virtualKey)
{
    constexpr int VK_NUMPAD0 = 96, VK_NUMPAD9 = 105;
    if (virtualKey >= 'A' && virtualKey <= 'Z') return QString(QChar(virtualKey - 'A' + 'a'));
    if (virtualKey >= '0' && virtualKey <= '9') return QString(QChar(virtualKey));
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9) return "KP_" + QString::number(virtualKey - VK_NUMPAD0);
    return {};
}

std::optional<PortalShortcut> portalShortcut(size_t row, const std::string& keyText, const std::string& flagText)
{
    if (row >= 5 || !hotkeyEnabled(flagText)) return std::nullopt;
    const std::optional<int> code = keyCode(keyText);
    if (!code) return std::nullopt;
    const QString keysym = keysymName(*code);
    if (keysym.isEmpty()) return std::nullopt;
    return PortalShortcut{kIds[row], kDescriptions[row], "CTRL+ALT+" + keysym, *code};
}

std::string shortcutName(const PortalShortcut& shortcut)
{
    QString key = shortcut.trigger.mid(shortcut.trigger.lastIndexOf('+') + 1);
    if (key.size() == 1) key = key.toUpper();
    return "Ctrl+Alt+" + key.toStdString() + " (" + shortcut.description.toStdString() + ")";
}

PortalShortcuts::PortalShortcuts(QDBusConnection bus, std::function<void(const Problem&)> problem)
    : bus_(std::move(bus)), problem_(std::move(problem))
{
    registerTypes();
    if (!bus_.isConnected()) return;
    activated_ = DBusSignal::connect(bus_, kPortal, kPortalPath, kShortcuts, "Activated",
                                     [this](const QDBusMessage& m) { shortcutSignal(m, true); });
    deactivated_ = DBusSignal::connect(bus_, kPortal, kPortalPath, kShortcuts, "Deactivated",
                                       [this](const QDBusMessage& m) { shortcutSignal(m, false); });
    // A portal that goes takes its sessions along; a new one is asked for the same rows.
    portalWatcher_ = std::make_unique<QDBusServiceWatcher>(kPortal, bus_, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(portalWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, [this] {
        active_.clear();
        activeChanged();
        if (state_ == State::Idle || state_ == State::Failed) return;
        session_.clear();
        dropLater(sessionClosed_);
        start();
    });
}

PortalShortcuts::~PortalShortcuts()
{
    closeSession();
}

void PortalShortcuts::bind(std::vector<PortalShortcut> shortcuts, bool retry)
{
    if (shortcuts == wanted_ && state_ != State::Idle && (state_ != State::Failed || !retry)) return;
    if (shortcuts.empty() && wanted_.empty()) return;
    wanted_ = std::move(shortcuts);
    start();
}

void PortalShortcuts::start()
{
    ++generation_;
    closeSession();
    active_.clear();
    activeChanged();
    triggers_.clear();
    if (wanted_.empty()) {
        state_ = State::Idle;
        return;
    }
    if (!bus_.isConnected()) {
        fail(Problem::Missing, "there is no session bus", bus_.lastError().message().toStdString());
        return;
    }
    state_ = State::CreatingSession;
    const QString token = nextToken();
    const QVariantMap options{{"handle_token", token},
                              {"session_handle_token", "tolvane_session" + QString::number(tokens_)}};
    request("CreateSession", {options}, token,
            [this](uint32_t response, const QVariantMap& results) { sessionCreated(response, results); });
}

void PortalShortcuts::closeSession()
{
    dropLater(sessionClosed_);
    if (session_.isEmpty()) return;
    bus_.asyncCall(QDBusMessage::createMethodCall(kPortal, session_, kSession, "Close"));
    session_.clear();
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
                              Answer answer)
{
    const int generation = generation_;
    auto listen = [this, generation, answer](const QString& path) {
        responses_[path] = DBusSignal::connect(
            bus_, kPortal, path, kRequest, "Response", [this, generation, answer, path](const QDBusMessage& m) {
                if (auto it = responses_.find(path); it != responses_.end()) {
                    dropLater(it->second);
                    responses_.erase(it);
                }
                const QList<QVariant> args = m.arguments();
                const uint32_t response = args.isEmpty() ? 2 : args[0].toUInt();
                const QVariantMap results = args.size() > 1 ? mapOf(args[1]) : QVariantMap();
                if (generation == generation_) {
                    answer(response, results);
                } else if (results.contains("session_handle")) {
                    // A session asked for rows that have changed since: not wanted any more.
                    bus_.asyncCall(
                        QDBusMessage::createMethodCall(kPortal, pathOf(results["session_handle"]), kSession, "Close"));
                }
            });
    };
    const QString expected = requestPath(token);
    listen(expected);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kShortcuts, method);
    call.setArguments(arguments);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(
        pending, &QDBusPendingCallWatcher::finished, pending,
        [this, generation, method, expected, listen](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusMessage reply = w->reply();
            if (reply.type() == QDBusMessage::ErrorMessage) {
                if (auto it = responses_.find(expected); it != responses_.end()) {
                    dropLater(it->second);
                    responses_.erase(it);
                }
                if (generation != generation_) return;
                const QString name = reply.errorName();
                if (meansMissing(name))
                    fail(Problem::Missing, "the desktop offers no global shortcuts",
                         name.toStdString() + ": " + reply.errorMessage().toStdString());
                else
                    fail(Problem::Refused, "the desktop's global shortcuts failed",
                         method.toStdString() + ": " + name.toStdString() + ": " + reply.errorMessage().toStdString());
                return;
            }
            // An older portal may choose its own path: the answer comes there then.
            const QString path = reply.arguments().isEmpty() ? expected : pathOf(reply.arguments().first());
            if (path != expected && !path.isEmpty() && !responses_.count(path)) {
                if (auto it = responses_.find(expected); it != responses_.end()) {
                    dropLater(it->second);
                    responses_.erase(it);
                }
                listen(path);
            }
        });
}

void PortalShortcuts::sessionCreated(uint32_t response, const QVariantMap& results)
{
    if (response != 0) {
        fail(Problem::Refused, response == 1 ? "they were not confirmed on the desktop" : "the desktop refused them",
             "CreateSession answered " + std::to_string(response));
        return;
    }
    session_ = pathOf(results.value("session_handle"));
    if (session_.isEmpty()) {
        fail(Problem::Refused, "the desktop's global shortcuts portal named no session");
        return;
    }
    sessionClosed_ = DBusSignal::connect(bus_, kPortal, session_, kSession, "Closed", [this](const QDBusMessage&) {
        if (session_.isEmpty()) return;
        session_.clear();
        active_.clear();
        activeChanged();
        dropLater(sessionClosed_);
        fail(Problem::Closed, "the desktop ended the global shortcuts session");
    });

    state_ = State::Binding;
    QList<ShortcutEntry> shortcuts;
    for (const PortalShortcut& s : wanted_)
        shortcuts.push_back({s.id, {{"description", s.description}, {"preferred_trigger", s.trigger}}});
    const QString token = nextToken();
    request("BindShortcuts",
            {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(),
             QVariantMap{{"handle_token", token}}},
            token, [this](uint32_t r, const QVariantMap& answer) { shortcutsBound(r, answer); });
}

void PortalShortcuts::shortcutsBound(uint32_t response, const QVariantMap& results)
{
    if (response != 0) {
        closeSession();
        fail(Problem::Refused, response == 1 ? "they were not confirmed on the desktop" : "the desktop refused them",
             "BindShortcuts answered " + std::to_string(response));
        return;
    }
    state_ = State::Bound;
    if (!results.contains("shortcuts")) return;  // a portal that does not say binds them all
    const QVariant list = results.value("shortcuts");
    QList<ShortcutEntry> bound;
    if (list.canConvert<QDBusArgument>()) bound = qdbus_cast<QList<ShortcutEntry>>(list.value<QDBusArgument>());
    for (const ShortcutEntry& entry : bound)
        triggers_[entry.id] = entry.properties.value("trigger_description").toString();
    std::string missing;
    for (const PortalShortcut& s : wanted_) {
        if (triggers_.count(s.id)) continue;
        missing += (missing.empty() ? "" : ", ") + shortcutName(s);
    }
    if (!missing.empty()) fail(Problem::Partial, "the desktop did not take " + missing);
}

void PortalShortcuts::fail(Problem::Kind kind, const std::string& reason, const std::string& detail)
{
    if (kind != Problem::Partial) state_ = State::Failed;
    if (problem_) problem_(Problem{kind, reason, detail});
}

void PortalShortcuts::shortcutSignal(const QDBusMessage& message, bool activated)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || session_.isEmpty() || pathOf(args[0]) != session_) return;
    const QString id = args[1].toString();
    if (!activated) {
        if (auto it = active_.find(id); it != active_.end()) {
            it->second.released = true;
            if (it->second.read) active_.erase(it);
        }
        activeChanged();
        return;
    }
    const auto shortcut =
        std::find_if(wanted_.begin(), wanted_.end(), [&](const PortalShortcut& s) { return s.id == id; });
    if (shortcut == wanted_.end()) return;
    active_[id] = Active{shortcut->virtualKey, false, false};
    activeChanged();
}

void PortalShortcuts::activeChanged()
{
    if (anyKeyDown() == toldActive_) return;
    toldActive_ = anyKeyDown();
    changed();
}

int16_t PortalShortcuts::GetAsyncKeyState(int virtualKey)
{
    constexpr int VK_CONTROL = 17, VK_MENU = 18;
    constexpr auto kDown = static_cast<int16_t>(0x8000);
    if (virtualKey == VK_CONTROL || virtualKey == VK_MENU) return active_.empty() ? 0 : kDown;
    bool down = false;
    for (auto it = active_.begin(); it != active_.end();) {
        if (it->second.virtualKey != virtualKey) {
            ++it;
            continue;
        }
        down = true;
        it->second.read = true;
        // A press that is over counts once it has been read.
        it = it->second.released ? active_.erase(it) : std::next(it);
    }
    activeChanged();
    return down ? kDown : 0;
}

}  // namespace tolvane
