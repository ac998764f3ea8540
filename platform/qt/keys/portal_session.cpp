#include "platform/qt/keys/portal_shortcuts.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <algorithm>

#include "platform/qt/bus/dbus_signal.h"
#include "platform/qt/keys/portal_bus.h"

namespace tolvane {

using namespace portal;

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

}  // namespace tolvane
