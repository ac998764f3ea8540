#include "platform/qt/portal_shortcuts.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
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
const QString kRegistry = QStringLiteral("org.freedesktop.host.portal.Registry");
// KDE's portal backend, asked which interface version it speaks.
const QString kKdeBackend = QStringLiteral("org.freedesktop.impl.portal.desktop.kde");
const QString kImplShortcuts = QStringLiteral("org.freedesktop.impl.portal.GlobalShortcuts");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
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

// The errors of a call to an interface the portal does not have (the Registry, before 1.19).
bool meansNoInterface(const QString& error)
{
    return error == "org.freedesktop.DBus.Error.UnknownMethod" ||
           error == "org.freedesktop.DBus.Error.UnknownInterface" ||
           error == "org.freedesktop.DBus.Error.UnknownObject";
}

// One trigger of a description, read: its modifiers folded ("ctrl", "alt", "shift", "super",
// "meta") and its key folded ("s", "5", "kp5": the keypad's digits, "KP_5" or "Num+5").
// `known` is false where a modifier's name could not be read (KDE translates them: "Strg").
struct ReadTrigger {
    QStringList modifiers;
    QString key;
    bool known = true;
};

// A modifier's name folded, "" for a name not known here.
QString foldedModifier(const QString& name)
{
    static const std::map<QString, QString> names = {
        {"ctrl", "ctrl"},   {"control", "ctrl"}, {"primary", "ctrl"}, {"alt", "alt"},    {"mod1", "alt"},
        {"shift", "shift"}, {"super", "super"},  {"logo", "super"},   {"mod4", "super"}, {"meta", "meta"},
        {"hyper", "hyper"}, {"num", "num"},      {"mod2", "num"},     {"keypad", "num"}};
    const auto found = names.find(name.trimmed().toLower());
    return found == names.end() ? QString() : found->second;
}

ReadTrigger folded(ReadTrigger trigger)
{
    trigger.key = trigger.key.toLower().remove(' ').remove('_');
    if (trigger.modifiers.removeAll("num") > 0 && !trigger.key.startsWith("kp")) trigger.key.prepend("kp");
    trigger.modifiers.sort();
    trigger.modifiers.removeDuplicates();
    return trigger;
}

// GNOME names triggers as GTK accelerators inside a translated sentence ("Press
// <Control><Alt>s", "Press <Control><Alt>s or <Super>x"); KDE as Qt does, joined by commas
// ("Ctrl+Alt+S, Meta+X"), and so does the portal's own notation ("CTRL+ALT+s").
std::vector<ReadTrigger> readTriggers(const QString& description)
{
    std::vector<ReadTrigger> triggers;
    if (description.contains('<')) {
        static const QRegularExpression accelerator(R"(((?:<[^<>\s]+>)+)([^\s<>,]+))");
        static const QRegularExpression modifier("<([^<>]+)>");
        for (auto matches = accelerator.globalMatch(description); matches.hasNext();) {
            const QRegularExpressionMatch match = matches.next();
            ReadTrigger trigger{{}, match.captured(2)};
            for (auto names = modifier.globalMatch(match.captured(1)); names.hasNext();) {
                const QString name = names.next().captured(1);
                const QString modifierName = foldedModifier(name);
                trigger.modifiers << (modifierName.isEmpty() ? name.toLower() : modifierName);
            }
            triggers.push_back(folded(trigger));
        }
        return triggers;
    }
    for (const QString& text : description.split(',', Qt::SkipEmptyParts)) {
        QStringList parts = text.split('+');
        ReadTrigger trigger{{}, parts.takeLast().trimmed()};
        if (trigger.key.isEmpty()) continue;
        for (const QString& part : parts) {
            const QString name = foldedModifier(part);
            if (name.isEmpty())
                trigger.known = false;
            else
                trigger.modifiers << name;
        }
        triggers.push_back(folded(trigger));
    }
    return triggers;
}

// A GTK accelerator as the user reads it: "<Control><Alt>s" -> "Ctrl+Alt+S".
QString shownAccelerator(const QString& accelerator)
{
    static const std::map<QString, QString> names = {{"control", "Ctrl"}, {"primary", "Ctrl"}, {"ctrl", "Ctrl"},
                                                     {"alt", "Alt"},      {"mod1", "Alt"},     {"shift", "Shift"},
                                                     {"super", "Super"},  {"mod4", "Super"},   {"meta", "Meta"},
                                                     {"mod2", "Num"},     {"hyper", "Hyper"}};
    static const QRegularExpression modifier("<([^<>]+)>");
    QString shown;
    qsizetype end = 0;
    for (auto matches = modifier.globalMatch(accelerator); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const auto name = names.find(match.captured(1).toLower());
        shown += (name == names.end() ? match.captured(1) : name->second) + "+";
        end = match.capturedEnd();
    }
    QString key = accelerator.mid(end);
    return shown + (key.size() == 1 ? key.toUpper() : key);
}

// Whether this process is in a sandbox, whose id is the one the portal gives it.
bool sandboxed()
{
    return QFileInfo::exists("/.flatpak-info") || qEnvironmentVariableIsSet("SNAP");
}

// The app id the portal reads for this process from the systemd unit it runs in (its
// cgroup), "" where no launcher named it.
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

std::string triggerName(const PortalShortcut& shortcut)
{
    QStringList parts = shortcut.trigger.split('+');
    QString key = parts.takeLast();
    if (key.size() == 1) key = key.toUpper();
    QString name;
    for (const QString& modifier : parts) name += modifier.left(1) + modifier.mid(1).toLower() + "+";
    return (name + key).toStdString();
}

std::string shortcutName(const PortalShortcut& shortcut)
{
    return triggerName(shortcut) + " (" + shortcut.description.toStdString() + ")";
}

DesktopKind currentDesktop()
{
    // A list of names, "ubuntu:GNOME" or "KDE".
    const QStringList names = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper().split(':');
    if (names.contains("KDE")) return DesktopKind::Kde;
    if (names.contains("GNOME")) return DesktopKind::Gnome;
    return DesktopKind::Other;
}

bool describesTrigger(const QString& description, const QString& trigger)
{
    const std::vector<ReadTrigger> asked = readTriggers(trigger);
    if (asked.size() != 1) return false;
    const std::vector<ReadTrigger> described = readTriggers(description);
    return std::any_of(described.begin(), described.end(), [&](const ReadTrigger& t) {
        return t.key == asked.front().key && (!t.known || t.modifiers == asked.front().modifiers);
    });
}

QString shownTrigger(const QString& description)
{
    if (!description.contains('<')) return description.trimmed();
    static const QRegularExpression accelerator(R"((?:<[^<>\s]+>)+[^\s<>,]+)");
    QStringList shown;
    for (auto matches = accelerator.globalMatch(description); matches.hasNext();)
        shown << shownAccelerator(matches.next().captured(0));
    return shown.join(" or ");
}

QString unitAppId(const QString& unit)
{
    // As the portal reads them (systemd's names for the units of desktop launchers):
    // app[-LAUNCHER]-ID-RANDOM.scope or .slice, app[-LAUNCHER]-ID[@RANDOM].service, and
    // app[-LAUNCHER]-ID-autostart.service of systemd before 248.
    static const QRegularExpression scope(R"(^app-(?:[[:alnum:]]+\-)?(.+?)(?:\-[[:alnum:]]*)(?:\.scope|\.slice)$)");
    static const QRegularExpression service(R"(^app-(?:[[:alnum:]]+\-)?(.+?)(?:@[[:alnum:]]*|\-autostart)?\.service$)");
    QRegularExpressionMatch match = scope.match(unit);
    if (!match.hasMatch()) match = service.match(unit);
    if (!match.hasMatch()) return {};
    // systemd writes some characters as \xNN (a dash as \x2d).
    QString id = match.captured(1);
    static const QRegularExpression escaped(R"(\\x([0-9a-fA-F]{2}))");
    for (QRegularExpressionMatch e = escaped.match(id); e.hasMatch(); e = escaped.match(id, e.capturedStart() + 1))
        id.replace(e.capturedStart(), e.capturedLength(), QChar(e.captured(1).toInt(nullptr, 16)));
    return id;
}

PortalShortcuts::PortalShortcuts(QDBusConnection bus, PortalApp app, std::function<void(const Problem&)> problem,
                                 DesktopKind desktop)
    : bus_(std::move(bus)),
      app_(std::move(app)),
      problem_(std::move(problem)),
      desktop_(desktop),
      guard_(std::make_unique<QObject>())
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

void PortalShortcuts::openSession()
{
    if (state_ != State::CreatingSession || creating_ || closing_ || registration_ == Registration::Asking) return;
    if (!session_.isEmpty()) {
        closeSession();  // its answer comes back here
        return;
    }
    if (registration_ == Registration::Unasked) return registerApp();
    creating_ = true;
    const int generation = generation_;
    const QString token = nextToken();
    QVariantMap options{{"handle_token", token}, {"session_handle_token", QString(kSessionToken)}};
    // Only xdg-desktop-portal 1.16.0 hands this on, to KDE 5.27, which binds from it alone;
    // later portals drop it unread. A portal with the Registry is newer than those.
    if (!withRegistry_) options.insert("shortcuts", QVariant::fromValue(entriesOf(wanted_)));
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

    // xdg-desktop-portal 1.16.0 hands on the list of its backend's answer: KDE 5.27 lists
    // there what it bound from the options.
    if (results.contains("shortcuts")) {
        shortcutsListed(results);
        return;
    }
    state_ = State::Listing;
    const int generation = generation_;
    const QString token = nextToken();
    request(
        "ListShortcuts", {QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap{{"handle_token", token}}}, token,
        [this, generation](uint32_t r, const QVariantMap& answer) {
            if (generation == generation_) shortcutsListed(r == 0 ? answer : QVariantMap());
        },
        // A portal that cannot list is asked to bind.
        [this, generation](const QDBusMessage&) {
            if (generation == generation_) shortcutsListed({});
        });
}

void PortalShortcuts::shortcutsListed(const QVariantMap& results)
{
    const QList<ShortcutEntry> listed = entriesIn(results);
    const bool same = results.contains("shortcuts") && static_cast<size_t>(listed.size()) == wanted_.size() &&
                      std::all_of(wanted_.begin(), wanted_.end(), [&](const PortalShortcut& s) {
                          return std::any_of(listed.begin(), listed.end(), [&](const ShortcutEntry& e) {
                              return e.id == s.id && e.properties.value("description").toString() == s.description;
                          });
                      });
    if (!same) {
        bindShortcuts();
        return;
    }
    // A desktop activates a row only once the session has bound it, even one it lists (Plasma
    // from 6.7.4; GNOME starts every session empty), and asks nothing for rows it knows. Plasma
    // up to 6.4 (its backend's interface version 1) is the exception: it activates what it has
    // filed when the session starts, and opens its settings page at every BindShortcuts.
    const int generation = generation_;
    QDBusMessage call = QDBusMessage::createMethodCall(kKdeBackend, kPortalPath, kProperties, "Get");
    call << kImplShortcuts << QStringLiteral("version");
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), guard_.get());
    QObject::connect(
        pending, &QDBusPendingCallWatcher::finished, pending, [this, generation, results](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (generation != generation_) return;
            const QDBusMessage reply = w->reply();
            const bool activatesFiled = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                                        reply.arguments().first().value<QDBusVariant>().variant().toUInt() == 1;
            if (!activatesFiled) {
                bindShortcuts();
                return;
            }
            state_ = State::Bound;
            keepTriggers(results);
            tellRowsNotBound();
        });
}

void PortalShortcuts::bindShortcuts()
{
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
    const bool listed = !entriesIn(results).isEmpty();
    if (response != 0 && !listed) {
        closeSession();
        fail(Problem::Refused, response == 1 ? "they were not confirmed on the desktop" : "the desktop refused them",
             "BindShortcuts answered " + std::to_string(response));
        return;
    }
    if (response != 0)
        fail(Problem::Note, "the desktop listed the shortcuts as bound",
             "BindShortcuts answered " + std::to_string(response));
    state_ = State::Bound;
    triggers_.clear();
    if (!results.contains("shortcuts")) return;  // a portal that does not say binds them all
    keepTriggers(results);
    tellRowsNotBound();
}

void PortalShortcuts::keepTriggers(const QVariantMap& results)
{
    triggers_.clear();
    for (const ShortcutEntry& entry : entriesIn(results))
        triggers_[entry.id] = entry.properties.value("trigger_description").toString();
}

void PortalShortcuts::tellRowsNotBound()
{
    std::string notTaken, elsewhere;
    bool anyWorks = false;
    std::map<QString, int> keyOfTrigger;  // the first row's key for each trigger the desktop named
    auto add = [](std::string& list, const std::string& item) { list += (list.empty() ? "" : ", ") + item; };
    for (const PortalShortcut& s : wanted_) {
        const auto found = triggers_.find(s.id);
        const QString described = found == triggers_.end() ? QString() : found->second.trimmed();
        if (described.isEmpty() ||
            keyOfTrigger.emplace(described.toLower().remove(' '), s.virtualKey).first->second != s.virtualKey) {
            add(notTaken, shortcutName(s));
            continue;
        }
        anyWorks = true;
        if (!describesTrigger(described, s.trigger))
            add(elsewhere, s.description.toStdString() + " on " + shownTrigger(described).toStdString() +
                               " instead of " + triggerName(s));
    }
    if (notTaken.empty() && elsewhere.empty()) return;
    std::string reason = notTaken.empty() ? "" : "the desktop did not take " + notTaken;
    if (!elsewhere.empty()) reason += (reason.empty() ? "the desktop has " : ", and has ") + elsewhere;
    fail(anyWorks ? Problem::Partial : Problem::Unbound, reason);
}

std::string PortalShortcuts::hint(Problem::Kind kind) const
{
    if (kind == Problem::Missing || kind == Problem::Closed || kind == Problem::Note) return {};
    const std::string id = app_.id.toStdString();
    if (nameRefused_)
        return "The desktop portal did not take the program's id " + id + ": " + id +
               ".desktop must be installed where the desktop finds it.";
    const std::string under = named_ ? ", under " + app_.name : "";
    switch (desktop_) {
        case DesktopKind::Kde:
            // Plasma files refused rows with no keys, and a second request asks nothing.
            return "Set the keys in System Settings > Shortcuts" + under + ".";
        case DesktopKind::Gnome:
            // GNOME stores nothing that was refused: it asks again.
            if (kind == Problem::Refused) return "Press SET under Hot Keys to be asked again.";
            return "Set the keys in Settings > Keyboard > View and Customize Shortcuts" + under + ".";
        case DesktopKind::Other:
            if (kind == Problem::Refused) return "Press SET under Hot Keys to be asked again.";
            return {};
    }
    return {};
}

void PortalShortcuts::fail(Problem::Kind kind, const std::string& reason, const std::string& detail)
{
    if (kind == Problem::Missing || kind == Problem::Refused || kind == Problem::Closed) state_ = State::Failed;
    if (problem_) problem_(Problem{kind, reason, detail, hint(kind)});
}

// A portal that goes takes its sessions and what it knew of the program along and answers
// nothing more; a new one is asked for the same rows, and told the id again.
void PortalShortcuts::frontEndGone()
{
    releaseAll();
    creating_ = closing_ = false;
    session_.clear();
    dropLater(sessionClosed_);
    registration_ = Registration::Unasked;
    ++registrations_;
    named_ = withRegistry_ = nameRefused_ = false;
    if (state_ == State::Idle || state_ == State::Failed) return;
    start();
}

void PortalShortcuts::backendChanged(bool went, bool came)
{
    if (went) {
        releaseAll();
        if (state_ == State::CreatingSession || state_ == State::Listing || state_ == State::Binding ||
            state_ == State::Bound) {
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
