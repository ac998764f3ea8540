#pragma once
// Key state on Wayland, from the desktop portal's global shortcuts
// (org.freedesktop.portal.GlobalShortcuts of org.freedesktop.portal.Desktop, session bus).
//
// A Wayland desktop tells no program which keys are down; it can only bind shortcuts for a
// program and tell it when one is pressed and released. So the rows are bound as shortcuts
// (CreateSession, then BindShortcuts with the preferred trigger CTRL+ALT+<key>, the keys
// named as the shortcuts notation names keysyms: "a".."z", "0".."9", "KP_0".."KP_9"), and
// the portal's Activated and Deactivated signals keep a key-state mirror: while a shortcut
// is active, Ctrl, Alt and its row's key read as down. A press that is over before a poll
// read its key still reads as down once, because the portal tells presses as events and a
// short tap would otherwise fall between two polls.
//
// A session binds once, so every change of the rows closes the session and binds the new
// rows in a new one. Every call is asynchronous, with the portal's Request/Response pattern.
// What is not supported: listing the shortcuts, the configuration dialog, and the desktop's
// own changes of a trigger (ShortcutsChanged): the row's key is what reads as down, whichever
// keys the desktop has put on the shortcut. Failures (no portal, a refused session or
// binding, a row left unbound, the session closed by the desktop) are handed to `problem`.
#include <QDBusConnection>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/key_interest.h"
#include "platform/services.h"

class QDBusServiceWatcher;

namespace tolvane {

class DBusSignal;

// One row as a shortcut.
struct PortalShortcut {
    QString id;           // stable across runs: the desktop keeps the user's choices by it
    QString description;  // what the desktop shows
    QString trigger;      // the preferred trigger, "CTRL+ALT+s"
    int virtualKey = 0;   // the key code the hotkey monitor polls for the row
    bool operator==(const PortalShortcut&) const = default;
};

// The keysym name of a key code the monitor polls ('A' -> "a", '5' -> "5", 101 -> "KP_5"),
// "" for a code that names no key here.
QString keysymName(int virtualKey);
// The shortcut of row 0..4 with these cached texts; none when the row is disabled or its key
// names no key.
std::optional<PortalShortcut> portalShortcut(size_t row, const std::string& keyText, const std::string& flagText);
// How a row is named to the user: "Ctrl+Alt+S (Shutdown)".
std::string shortcutName(const PortalShortcut& shortcut);

class PortalShortcuts : public KeyboardApi, public KeyInterest {
public:
    struct Problem {
        enum Kind { Missing, Refused, Partial, Closed } kind;
        std::string reason;  // a phrase for the user: "the desktop refused them"
        std::string detail;  // what the portal said, for standard error ("" for nothing more)
    };
    enum class State { Idle, CreatingSession, Binding, Bound, Failed };

    PortalShortcuts(QDBusConnection bus, std::function<void(const Problem&)> problem);
    ~PortalShortcuts() override;
    PortalShortcuts(const PortalShortcuts&) = delete;
    PortalShortcuts& operator=(const PortalShortcuts&) = delete;

    int16_t GetAsyncKeyState(int virtualKey) override;

    // Binds exactly these shortcuts in a new session, closing the one before. Nothing happens
    // when they are bound or being bound already, nor, unless `retry`, when binding these
    // very shortcuts failed last time. No shortcuts: the session is closed and none opened.
    void bind(std::vector<PortalShortcut> shortcuts, bool retry = false);

    State state() const { return state_; }
    const QString& sessionHandle() const { return session_; }
    // Whether a shortcut is active (or a press is still to be read).
    bool anyKeyDown() const { return !active_.empty(); }
    // The mirror hears of every press as the desktop reports it, so while no shortcut is
    // active no key of the hotkeys can be down.
    bool mayBeDown() const override { return anyKeyDown(); }
    // The triggers the desktop reported for the bound shortcuts, by id.
    const std::map<QString, QString>& triggers() const { return triggers_; }

private:
    struct Active {
        int virtualKey = 0;
        bool released = false;
        bool read = false;
    };
    using Answer = std::function<void(uint32_t response, const QVariantMap& results)>;

    void start();
    void closeSession();
    void request(const QString& method, const QList<QVariant>& arguments, const QString& token, Answer answer);
    void sessionCreated(uint32_t response, const QVariantMap& results);
    void shortcutsBound(uint32_t response, const QVariantMap& results);
    void fail(Problem::Kind kind, const std::string& reason, const std::string& detail = "");
    void shortcutSignal(const QDBusMessage& message, bool activated);
    // Tells the listener when the mirror went from no active shortcut to some, or back.
    void activeChanged();
    QString requestPath(const QString& token) const;
    QString nextToken();

    QDBusConnection bus_;
    std::function<void(const Problem&)> problem_;
    std::vector<PortalShortcut> wanted_;
    State state_ = State::Idle;
    int generation_ = 0;
    int tokens_ = 0;
    QString session_;
    std::map<QString, Active> active_;
    bool toldActive_ = false;
    std::map<QString, QString> triggers_;
    std::map<QString, std::unique_ptr<DBusSignal>> responses_;  // by request path
    std::unique_ptr<DBusSignal> activated_, deactivated_, sessionClosed_;
    std::unique_ptr<QDBusServiceWatcher> portalWatcher_;
};

}  // namespace tolvane
