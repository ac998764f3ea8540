#pragma once
// Key state on Wayland, from the desktop portal's global shortcuts
// (org.freedesktop.portal.GlobalShortcuts of org.freedesktop.portal.Desktop, session bus).
//
// A Wayland desktop tells no program which keys are down; it can only bind shortcuts for a
// program and tell it when one is pressed and released. So the enabled rows of the watched
// keys are bound as shortcuts with the preferred trigger of their modifiers and key
// (CTRL+ALT+<key>), the keys named as the shortcuts notation names keysyms ("a".."z",
// "0".."9", "KP_0".."KP_9"), each with its action's word as id and its description, and the
// portal's Activated and Deactivated signals keep a key-state mirror: while a shortcut is
// active, the modifiers and its row's key read as down. A press that is over before a poll
// read its key still reads as down once, because the portal tells presses as events and a
// short tap would otherwise fall between two polls.
//
// How desktops really do it:
// - The shortcuts go both into CreateSession's options ("shortcuts", the same a(sa{sv}) as
//   BindShortcuts takes) and into BindShortcuts: KDE's backend up to Plasma 6.1 registers
//   them only from the former and ignores the latter, the standard reading is the latter.
//   Where CreateSession's answer already lists every row (KDE's does), that is the binding and
//   BindShortcuts is not sent: on those versions its only work is to open the desktop's
//   shortcut settings page, which would come up at every start.
// - Every session has the same handle token, kSessionToken: KDE files the user's choices of
//   keys under it, so they last from one run and one binding to the next. A session binds once,
//   so a change of the rows closes the session and opens it again under that token; the new one
//   is asked for only once the old one's Close has been answered, because the portal refuses a
//   second session under a handle that is still open and may handle a caller's Close and
//   CreateSession at the same time.
// - A desktop's portal backend (a name org.freedesktop.impl.portal.desktop.*) that goes takes
//   its shortcuts along without a word to the front end's sessions: the rows are bound again at
//   once (which lets the bus start it again), and again when one comes while binding had failed.
// - A shortcut counts as held until its Deactivated, or until kHeldWithoutActivated passes
//   without a new Activated: the desktop repeats Activated while the keys are held (at the
//   keyboard's repeat rate), but one that never sends Deactivated (kglobalaccel's own "invoke
//   shortcut", a release lost in a suspend) would otherwise hold the keys down for good.
// - The desktop's answer to BindShortcuts names the trigger it put on each row. A row it left
//   out, a row whose trigger names another key than asked (KDE 5.27 puts KP_5 on the main
//   block's 5), and a row that shares its trigger with an earlier row of another key (that one
//   has the keys) are handed to `problem` as not taken. Rows asked with the same key may share
//   a trigger: the key reads as down for each of them, as on X11.
//
// Every call is asynchronous, with the portal's Request/Response pattern. What is not
// supported: listing the shortcuts, the configuration dialog, and the desktop's own changes of
// a trigger later on (ShortcutsChanged): the row's key is what reads as down, whichever keys
// the desktop has put on the shortcut. Failures (no portal, a refused session or binding, a
// row not taken, the session closed by the desktop) are handed to `problem`.
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/key_source.h"

class QDBusMessage;
class QDBusServiceWatcher;
class QObject;
class QTimer;

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
// The shortcut of a row of the watched keys (0 shutdown to 4 stand by); none when the row is
// disabled, or its key or a modifier has no name in the shortcuts notation.
std::optional<PortalShortcut> portalShortcut(const WatchedKeys& keys, size_t row);
// How a row is named to the user: "Ctrl+Alt+S (Shutdown)".
std::string shortcutName(const PortalShortcut& shortcut);

class PortalShortcuts : public KeySource {
public:
    struct Problem {
        enum Kind { Missing, Refused, Partial, Closed } kind;
        std::string reason;  // a phrase for the user: "the desktop refused them"
        std::string detail;  // what the portal said, for standard error ("" for nothing more)
    };
    enum class State { Idle, CreatingSession, Binding, Bound, Failed };

    // The handle token of every session: the last part of its object path, and what KDE files
    // the user's choices of keys under.
    static constexpr const char* kSessionToken = "tolvane";
    // How long an active shortcut counts as held without a new Activated. Held keys repeat
    // Activated only after the keyboard's repeat delay (600 ms on KDE, 660 ms in X servers),
    // so a held press reads as down for this long, then not until the first repeat comes. A
    // press never released gives the hotkey monitor three to five ticks with the keys down.
    static constexpr int kHeldWithoutActivated = 400;

    PortalShortcuts(QDBusConnection bus, std::function<void(const Problem&)> problem);
    ~PortalShortcuts() override;
    PortalShortcuts(const PortalShortcuts&) = delete;
    PortalShortcuts& operator=(const PortalShortcuts&) = delete;

    int16_t GetAsyncKeyState(int virtualKey) override;
    // Binds the rows that can be shortcuts (a save tries a failed binding again); the
    // modifiers read as down while any shortcut is active.
    void watch(const WatchedKeys& keys) override;

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
        qint64 heardAt = 0;  // the last Activated, on clock_
    };
    using Answer = std::function<void(uint32_t response, const QVariantMap& results)>;
    using Failure = std::function<void(const QDBusMessage& error)>;

    void start();
    void openSession();
    void closeSession();
    // Calls a method that answers through a Request object; whatever comes is handed on, also
    // for calls made for rows that have changed since.
    void request(const QString& method, const QList<QVariant>& arguments, const QString& token, Answer answer,
                 Failure failure);
    void callFailed(const QString& method, const QDBusMessage& error);
    void sessionCreated(uint32_t response, const QVariantMap& results);
    void shortcutsBound(uint32_t response, const QVariantMap& results);
    // The rows the desktop's answer shows not working on their own Ctrl+Alt key.
    std::string rowsNotTaken() const;
    void fail(Problem::Kind kind, const std::string& reason, const std::string& detail = "");
    void frontEndGone();
    void backendChanged(bool went, bool came);
    void shortcutSignal(const QDBusMessage& message, bool activated);
    void release(const QString& id);
    void releaseAll();
    // Sets unheard_ for the held shortcut that will first have gone unheard for too long.
    void armUnheard();
    void unheardTimeout();
    // Tells the listener when the mirror went from no active shortcut to some, or back.
    void activeChanged();
    QString requestPath(const QString& token) const;
    QString nextToken();

    QDBusConnection bus_;
    std::function<void(const Problem&)> problem_;
    std::vector<int> modifiers_;
    std::vector<PortalShortcut> wanted_;
    State state_ = State::Idle;
    int generation_ = 0;
    int tokens_ = 0;
    QString session_;
    bool creating_ = false;  // a CreateSession is not answered yet
    bool closing_ = false;   // a session's Close is not answered yet
    std::map<QString, Active> active_;
    bool toldActive_ = false;
    QElapsedTimer clock_;
    std::unique_ptr<QTimer> unheard_;
    std::map<QString, QString> triggers_;
    std::map<QString, std::unique_ptr<DBusSignal>> responses_;  // by request path
    std::unique_ptr<DBusSignal> activated_, deactivated_, sessionClosed_;
    std::unique_ptr<QDBusServiceWatcher> portalWatcher_, backendWatcher_;
    std::unique_ptr<QObject> guard_;  // the calls' watchers go with this object
};

}  // namespace tolvane
