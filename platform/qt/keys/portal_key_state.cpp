#include "platform/qt/keys/portal_shortcuts.h"

#include <QDBusMessage>
#include <QTimer>
#include <algorithm>
#include <map>

#include "platform/model/win_codes.h"
#include "platform/qt/keys/portal_bus.h"

namespace tolvane {

using namespace portal;

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
