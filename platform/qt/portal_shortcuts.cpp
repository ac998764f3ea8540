#include "platform/qt/portal_shortcuts.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QList>
#include <QTimer>
#include <algorithm>

#include "platform/model/win_codes.h"
#include "platform/qt/dbus_signal.h"
#include "power/actions.h"

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
// The desktops' portal backends, org.freedesktop.impl.portal.desktop.kde and the like (QtDBus
// watches a namespace for a name that ends in "*").
const QString kBackends = QStringLiteral("org.freedesktop.impl.portal.desktop*");

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

// The key a trigger's description names, folded for comparing: "Ctrl+Alt+S" and
// "CTRL+ALT+s" give "s"; "CTRL+ALT+KP_5", "Num+5" and "Ctrl+Alt+KP 5" give "kp5". What comes
// before the key is not read: modifiers have other names in other languages ("Strg").
QString describedKey(QString trigger)
{
    QStringList parts = trigger.toLower().remove(' ').remove('_').split('+');
    QString key = parts.takeLast();
    if (parts.contains("num") || parts.contains("kp") || parts.contains("keypad")) key.prepend("kp");
    return key;
}

// Whether a description of triggers (several are joined by commas) names this key; one that
// says nothing is taken at its word.
bool describesKey(const QString& description, const QString& key)
{
    if (description.trimmed().isEmpty()) return true;
    const QStringList triggers = description.split(',');
    return std::any_of(triggers.begin(), triggers.end(), [&](const QString& t) { return describedKey(t) == key; });
}

// The shortcuts a portal's answer lists (its "shortcuts" entry), none when it has no list.
QList<ShortcutEntry> entriesIn(const QVariantMap& results)
{
    const QVariant list = results.value("shortcuts");
    if (!list.canConvert<QDBusArgument>()) return {};
    return qdbus_cast<QList<ShortcutEntry>>(list.value<QDBusArgument>());
}

// The shortcuts as CreateSession's and BindShortcuts' a(sa{sv}).
QList<ShortcutEntry> entriesOf(const std::vector<PortalShortcut>& shortcuts)
{
    QList<ShortcutEntry> entries;
    for (const PortalShortcut& s : shortcuts)
        entries.push_back({s.id, {{"description", s.description}, {"preferred_trigger", s.trigger}}});
    return entries;
}

// A modifier as the shortcuts notation names it, "" for a key that is none.
QString modifierName(int virtualKey)
{
    switch (virtualKey) {
    case kVkControl:
        return "CTRL";
    case kVkMenu:
        return "ALT";
    default:
        return {};
    }
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
    if (virtualKey >= 'A' && virtualKey <= 'Z') return QString(QChar(virtualKey - 'A' + 'a'));
    if (virtualKey >= '0' && virtualKey <= '9') return QString(QChar(virtualKey));
    if (virtualKey >= kVkNumpad0 && virtualKey <= kVkNumpad9) return "KP_" + QString::number(virtualKey - kVkNumpad0);
    return {};
}

std::optional<PortalShortcut> portalShortcut(const WatchedKeys& keys, size_t row)
{
    if (row >= keys.rows.size() || row >= kActions.size() || !keys.rows[row].enabled) return std::nullopt;
    const int code = keys.rows[row].virtualKey;
    QString trigger;
    for (int modifier : keys.modifiers) {
        const QString name = modifierName(modifier);
        if (name.isEmpty()) return std::nullopt;
        trigger += name + "+";
    }
    const QString keysym = keysymName(code);
    if (keysym.isEmpty()) return std::nullopt;
    return PortalShortcut{kActions[row].word, kActions[row].description, trigger + keysym, code};
}

std::string shortcutName(const PortalShortcut& shortcut)
{
    QStringList parts = shortcut.trigger.split('+');
    QString key = parts.takeLast();
    if (key.size() == 1) key = key.toUpper();
    QString name;
    for (const QString& modifier : parts) name += modifier.left(1) + modifier.mid(1).toLower() + "+";
    return (name + key).toStdString() + " (" + shortcut.description.toStdString() + ")";
}

PortalShortcuts::PortalShortcuts(QDBusConnection bus, std::function<void(const Problem&)> problem)
    : bus_(std::move(bus)), problem_(std::move(problem)), guard_(std::make_unique<QObject>())
{
    registerTypes();
    clock_.start();
    unheard_ = std::make_unique<QTimer>();
    unheard_->setSingleShot(true);
    unheard_->setTimerType(Qt::PreciseTimer);
    QObject::connect(unheard_.get(), &QTimer::timeout, [this] { unheardTimeout(); });
    if (!bus_.isConnected()) return;
    activated_ = DBusSignal::connect(bus_, kPortal, kPortalPath, kShortcuts, "Activated",
                                     [this](const QDBusMessage& m) { shortcutSignal(m, true); });
    deactivated_ = DBusSignal::connect(bus_, kPortal, kPortalPath, kShortcuts, "Deactivated",
                                       [this](const QDBusMessage& m) { shortcutSignal(m, false); });
    portalWatcher_ = std::make_unique<QDBusServiceWatcher>(kPortal, bus_, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(portalWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, [this] { frontEndGone(); });
    backendWatcher_ = std::make_unique<QDBusServiceWatcher>(kBackends, bus_, QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(backendWatcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged,
                     [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                         backendChanged(!oldOwner.isEmpty(), !newOwner.isEmpty());
                     });
}

PortalShortcuts::~PortalShortcuts()
{
    closeSession();
}

void PortalShortcuts::watch(const WatchedKeys& keys)
{
    modifiers_ = keys.modifiers;
    std::vector<PortalShortcut> shortcuts;
    for (size_t row = 0; row < keys.rows.size(); ++row)
        if (auto shortcut = portalShortcut(keys, row)) shortcuts.push_back(*shortcut);
    bind(std::move(shortcuts), keys.saved);
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
    releaseAll();
    triggers_.clear();
    if (wanted_.empty()) {
        state_ = State::Idle;
        closeSession();
        return;
    }
    if (!bus_.isConnected()) {
        fail(Problem::Missing, "there is no session bus", bus_.lastError().message().toStdString());
        return;
    }
    state_ = State::CreatingSession;
    openSession();
}

void PortalShortcuts::openSession()
{
    if (state_ != State::CreatingSession || creating_ || closing_) return;
    if (!session_.isEmpty()) {
        closeSession();  // its answer comes back here
        return;
    }
    creating_ = true;
    const int generation = generation_;
    const QString token = nextToken();
    const QVariantMap options{{"handle_token", token},
                              {"session_handle_token", QString(kSessionToken)},
                              {"shortcuts", QVariant::fromValue(entriesOf(wanted_))}};
    request(
        "CreateSession", {options}, token,
        [this, generation](uint32_t response, const QVariantMap& results) {
            creating_ = false;
            if (response == 0) session_ = pathOf(results.value("session_handle"));
            if (generation == generation_) {
                sessionCreated(response, results);
            } else if (state_ == State::CreatingSession) {
                openSession();  // for rows that have changed since: closed, and opened again for the new ones
            } else {
                closeSession();
            }
        },
        [this, generation](const QDBusMessage& error) {
            creating_ = false;
            if (generation == generation_)
                callFailed("CreateSession", error);
            else
                openSession();
        });
}

void PortalShortcuts::closeSession()
{
    dropLater(sessionClosed_);
    if (session_.isEmpty()) return;
    closing_ = true;
    auto* pending = new QDBusPendingCallWatcher(
        bus_.asyncCall(QDBusMessage::createMethodCall(kPortal, session_, kSession, "Close")), guard_.get());
    session_.clear();
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        closing_ = false;
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

void PortalShortcuts::sessionCreated(uint32_t response, const QVariantMap& results)
{
    if (response != 0) {
        fail(Problem::Refused, response == 1 ? "they were not confirmed on the desktop" : "the desktop refused them",
             "CreateSession answered " + std::to_string(response));
        return;
    }
    if (session_.isEmpty()) {
        fail(Problem::Refused, "the desktop's global shortcuts portal named no session");
        return;
    }
    sessionClosed_ = DBusSignal::connect(bus_, kPortal, session_, kSession, "Closed", [this](const QDBusMessage&) {
        if (session_.isEmpty()) return;
        session_.clear();
        releaseAll();
        dropLater(sessionClosed_);
        fail(Problem::Closed, "the desktop ended the global shortcuts session");
    });

    // KDE's backend up to Plasma 6.1 binds the rows from CreateSession's options and lists them
    // in its answer; its BindShortcuts binds nothing more and only opens the desktop's shortcut
    // settings page, which would then come up at every start and every save. An answer that
    // already lists every row is the binding; any other portal is asked to bind them.
    const QList<ShortcutEntry> listed = entriesIn(results);
    const bool everyRowListed = std::all_of(wanted_.begin(), wanted_.end(), [&](const PortalShortcut& s) {
        return std::any_of(listed.begin(), listed.end(), [&](const ShortcutEntry& e) { return e.id == s.id; });
    });
    if (!listed.isEmpty() && everyRowListed) {
        shortcutsBound(0, results);
        return;
    }

    state_ = State::Binding;
    const int generation = generation_;
    const QString token = nextToken();
    request(
        "BindShortcuts",
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(entriesOf(wanted_)), QString(),
         QVariantMap{{"handle_token", token}}},
        token,
        [this, generation](uint32_t r, const QVariantMap& answer) {
            if (generation == generation_) shortcutsBound(r, answer);
        },
        [this, generation](const QDBusMessage& error) {
            if (generation == generation_) callFailed("BindShortcuts", error);
        });
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
    for (const ShortcutEntry& entry : entriesIn(results))
        triggers_[entry.id] = entry.properties.value("trigger_description").toString();
    if (const std::string missing = rowsNotTaken(); !missing.empty())
        fail(Problem::Partial, "the desktop did not take " + missing);
}

std::string PortalShortcuts::rowsNotTaken() const
{
    std::string missing;
    std::map<QString, int> keyOfTrigger;  // the first row's key for each trigger the desktop named
    for (const PortalShortcut& s : wanted_) {
        const auto described = triggers_.find(s.id);
        bool taken = described != triggers_.end() && describesKey(described->second, describedKey(s.trigger));
        if (described != triggers_.end() && !described->second.trimmed().isEmpty()) {
            const QString trigger = described->second.toLower().remove(' ');
            if (keyOfTrigger.emplace(trigger, s.virtualKey).first->second != s.virtualKey) taken = false;
        }
        if (!taken) missing += (missing.empty() ? "" : ", ") + shortcutName(s);
    }
    return missing;
}

void PortalShortcuts::fail(Problem::Kind kind, const std::string& reason, const std::string& detail)
{
    if (kind != Problem::Partial) state_ = State::Failed;
    if (problem_) problem_(Problem{kind, reason, detail});
}

// A portal that goes takes its sessions along and answers nothing more; a new one is asked
// for the same rows.
void PortalShortcuts::frontEndGone()
{
    releaseAll();
    creating_ = closing_ = false;
    session_.clear();
    dropLater(sessionClosed_);
    if (state_ == State::Idle || state_ == State::Failed) return;
    start();
}

void PortalShortcuts::backendChanged(bool went, bool came)
{
    if (went) {
        releaseAll();
        if (state_ == State::CreatingSession || state_ == State::Binding || state_ == State::Bound) {
            start();
            return;
        }
    }
    if (came && state_ == State::Failed) start();
}

void PortalShortcuts::shortcutSignal(const QDBusMessage& message, bool activated)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || session_.isEmpty() || pathOf(args[0]) != session_) return;
    const QString id = args[1].toString();
    if (!activated) {
        release(id);
        return;
    }
    const auto shortcut =
        std::find_if(wanted_.begin(), wanted_.end(), [&](const PortalShortcut& s) { return s.id == id; });
    if (shortcut == wanted_.end()) return;
    active_[id] = Active{shortcut->virtualKey, false, false, clock_.elapsed()};
    armUnheard();
    activeChanged();
}

void PortalShortcuts::release(const QString& id)
{
    if (auto it = active_.find(id); it != active_.end()) {
        it->second.released = true;
        if (it->second.read) active_.erase(it);
    }
    armUnheard();
    activeChanged();
}

void PortalShortcuts::releaseAll()
{
    active_.clear();
    unheard_->stop();
    activeChanged();
}

void PortalShortcuts::armUnheard()
{
    qint64 first = -1;
    for (const auto& [id, active] : active_)
        if (!active.released && (first < 0 || active.heardAt < first)) first = active.heardAt;
    if (first < 0) {
        unheard_->stop();
        return;
    }
    unheard_->start(static_cast<int>(std::max<qint64>(0, first + kHeldWithoutActivated - clock_.elapsed())));
}

void PortalShortcuts::unheardTimeout()
{
    std::vector<QString> unheard;
    for (const auto& [id, active] : active_)
        if (!active.released && clock_.elapsed() - active.heardAt >= kHeldWithoutActivated) unheard.push_back(id);
    for (const QString& id : unheard) release(id);
    armUnheard();
}

void PortalShortcuts::activeChanged()
{
    if (anyKeyDown() == toldActive_) return;
    toldActive_ = anyKeyDown();
    changed();
}

int16_t PortalShortcuts::GetAsyncKeyState(int virtualKey)
{
    // A press that is over counts for one tick once a row has read it: every row of that key
    // reads it in that tick, and the next tick, which begins by asking for the first modifier
    // (Ctrl), no longer does.
    if (!modifiers_.empty() && virtualKey == modifiers_.front())
        std::erase_if(active_, [](const auto& entry) { return entry.second.released && entry.second.read; });
    activeChanged();
    if (std::find(modifiers_.begin(), modifiers_.end(), virtualKey) != modifiers_.end())
        return active_.empty() ? 0 : kKeyDown;
    bool down = false;
    for (auto& [id, active] : active_) {
        if (active.virtualKey != virtualKey) continue;
        down = true;
        active.read = true;
    }
    return down ? kKeyDown : 0;
}

}  // namespace tolvane
