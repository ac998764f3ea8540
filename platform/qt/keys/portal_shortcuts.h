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
// How it binds, and why (the portal is xdg-desktop-portal, the desktop's part its backend):
// - The program names itself first: before any other call on its connection it registers its
//   id (PortalApp::id, the name of its installed desktop file) with
//   org.freedesktop.host.portal.Registry.Register. The portal takes an id only where
//   `<id>.desktop` is installed and the program its Exec names is found; portals from 1.21 on
//   refuse a session to a program without an id, and GNOME refuses shortcuts to an id without
//   dots. The registration is skipped in a sandbox (Flatpak, Snap: the sandbox names the
//   program) and where the launcher already named the program with this id (the systemd unit
//   of its process, app-gnome-ID-1234.scope and the like). A portal older than 1.19 has no
//   Registry: then the program goes on without an id, as before. The connection is one of its
//   own (see DesktopHotkeys): Qt asks the portal for settings on the shared one, and a
//   connection that has made any portal call can no longer register.
// - After CreateSession it asks ListShortcuts, and sends BindShortcuts only when a row is
//   missing from the list, the list holds a row not wanted (a disabled row keeps its keys
//   until it is bound away), or a row's description changed. BindShortcuts always carries
//   every wanted row: KDE forgets the rows it is not given. So at a start where the desktop
//   already knows the rows, no dialog or settings page comes up: Plasma 6.3 opens its
//   settings page at every BindShortcuts, Plasma 6.7 asks with its "Global Shortcuts
//   Requested" dialog for rows it does not know. GNOME starts every session empty and lists
//   nothing, so it is always asked; it shows its "Add Keyboard Shortcuts" dialog only for
//   rows it has not stored.
// - KDE 5.27 with xdg-desktop-portal 1.16.0 (Debian 12) registers the rows only from
//   CreateSession's options ("shortcuts", the same a(sa{sv}) as BindShortcuts takes), lists
//   them in its answer, and its BindShortcuts only opens the settings page. So where the
//   portal has no Registry (older than 1.19) the rows also go into CreateSession's options,
//   and a list in CreateSession's answer is taken as the list (no ListShortcuts). Portals from
//   1.16.1 on drop that option unread, and newer ones get no such list.
// - The desktop's answer names the trigger it put on each row. GNOME writes "Press
//   <Control><Alt>s" or "Press X or Y" (the word translated, the keys not), KDE "Ctrl+Alt+S"
//   (the modifiers translated, several joined by commas, the keypad as "Num+"). A row is
//   bound as asked when one of its triggers is Ctrl+Alt and its key; where KDE's modifier
//   names are not English only the key is compared. A row with an empty (or no)
//   trigger_description is not bound (Plasma 6.7 files refused rows with no key and lists
//   them so later). A row listed on other keys works on those keys (the row's key is what
//   reads as down, whatever keys set it off), and a row that shares its trigger with an
//   earlier row of another key does not work (that one has the keys). What is not bound as
//   asked is handed to `problem` once per binding, with where the desktop's settings set the
//   keys (PortalShortcuts::Problem::hint).
// - Answers: 1 is "not confirmed" (Plasma 6.7's refused dialog), 2 is "refused" (GNOME's
//   refused dialog, an id GNOME does not take). An answer other than 0 that still lists the
//   shortcuts is taken as bound: GNOME 48.0 answers 2 after binding them (mended in 49), and
//   closing the session would release them.
// - Every session has the same handle token, kSessionToken: KDE files the user's keys under
//   it where the program has no id (the group "tolvane" on 5.27, "token_tolvane" on 6), under
//   the id where it has one. A session binds once, so a change of the rows closes the session
//   and opens it again under that token; the new one is asked for only once the old one's
//   Close has been answered, because the portal refuses a second session under a handle that
//   is still open and may handle a caller's Close and CreateSession at the same time.
// - A desktop's portal backend (a name org.freedesktop.impl.portal.desktop.*) that goes takes
//   its shortcuts along without a word to the front end's sessions: the rows are bound again at
//   once (which lets the bus start it again), and again when one comes while binding had failed.
//   A front end that goes forgets the registration: the program registers again.
// - A shortcut counts as held until its Deactivated, or until kHeldWithoutActivated passes
//   without a new Activated: the desktop repeats Activated while the keys are held (at the
//   keyboard's repeat rate), but one that never sends Deactivated (kglobalaccel's own "invoke
//   shortcut", a release lost in a suspend) would otherwise hold the keys down for good.
//
// Every call is asynchronous, with the portal's Request/Response pattern. What is not
// supported: the configuration dialog (ConfigureShortcuts), and the desktop's own changes of
// a trigger later on (ShortcutsChanged): the row's key is what reads as down, whichever keys
// the desktop has put on the shortcut, and a session kept open with rows the desktop left
// without keys works as soon as the user gives them keys in the desktop's settings. Failures
// (no portal, a refused session or binding, a row not bound as asked, the session closed by
// the desktop) are handed to `problem`.
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

#include "platform/qt/keys/key_source.h"

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

// Who the program is to the desktop: the id it registers (its installed desktop file is
// `<id>.desktop`) and the name the desktop's settings list its shortcuts under.
struct PortalApp {
    QString id;
    std::string name;
};

// The desktops whose shortcut settings the user can be pointed to, from XDG_CURRENT_DESKTOP.
enum class DesktopKind { Other, Gnome, Kde };
DesktopKind currentDesktop();

// The keysym name of a key code the monitor polls ('A' -> "a", '5' -> "5", 101 -> "KP_5"),
// "" for a code that names no key here.
QString keysymName(int virtualKey);
// The shortcut of a row of the watched keys (0 shutdown to 4 stand by); none when the row is
// disabled, or its key or a modifier has no name in the shortcuts notation.
std::optional<PortalShortcut> portalShortcut(const WatchedKeys& keys, size_t row);
// How a row's keys are named to the user: "Ctrl+Alt+S", "Ctrl+Alt+KP_5".
std::string triggerName(const PortalShortcut& shortcut);
// How a row is named to the user: "Ctrl+Alt+S (Shutdown)".
std::string shortcutName(const PortalShortcut& shortcut);
// Whether a desktop's trigger description (GNOME's, KDE's or the portal's own notation) names
// the preferred trigger `trigger` ("CTRL+ALT+s") among its triggers. An empty one names none.
bool describesTrigger(const QString& description, const QString& trigger);
// A trigger description as the user reads it: GNOME's "Press <Control><Alt>s or <Super>x"
// becomes "Ctrl+Alt+S or Super+X"; KDE's "Meta+S, Ctrl+Alt+X" stays as it is.
QString shownTrigger(const QString& description);
// The app id the portal reads from the name of the systemd unit a launcher started a program
// in ("app-gnome-example.quenmoor.Tolvane-1234.scope" -> "example.quenmoor.Tolvane"); "" for a
// unit no launcher made.
QString unitAppId(const QString& unit);

class PortalShortcuts : public KeySource {
public:
    struct Problem {
        // Partial: some rows work, on their keys or others. Unbound: no row has a key; the
        // session stays open, so keys given in the desktop's settings work at once. Note: for
        // standard error only.
        enum Kind { Missing, Refused, Partial, Unbound, Closed, Note } kind;
        std::string reason;  // a phrase for the user: "the desktop refused them"
        std::string detail;  // what the portal said, for standard error ("" for nothing more)
        std::string hint;    // a sentence on what the user can do about it ("" for none)
    };
    enum class State { Idle, CreatingSession, Listing, Binding, Bound, Failed };

    // The handle token of every session: the last part of its object path, and what KDE files
    // the user's choices of keys under where the program has no id.
    static constexpr const char* kSessionToken = "tolvane";
    // How long an active shortcut counts as held without a new Activated. Held keys repeat
    // Activated only after the keyboard's repeat delay (600 ms on KDE, 660 ms in X servers),
    // so a held press reads as down for this long, then not until the first repeat comes. A
    // press never released gives the hotkey monitor three to five ticks with the keys down.
    static constexpr int kHeldWithoutActivated = 400;

    // bus: a connection of its own to the session bus (see above). desktop: whose settings
    // the hints name.
    PortalShortcuts(QDBusConnection bus, PortalApp app, std::function<void(const Problem&)> problem,
                    DesktopKind desktop = currentDesktop());
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
    // The triggers the desktop reported for the listed or bound shortcuts, by id.
    const std::map<QString, QString>& triggers() const { return triggers_; }
    // Whether the portal knows the program by its id (registered, or named so by the
    // launcher or the sandbox).
    bool named() const { return named_; }

private:
    struct Active {
        int virtualKey = 0;
        bool released = false;
        bool read = false;
        qint64 heardAt = 0;  // the last Activated, on clock_
    };
    using Answer = std::function<void(uint32_t response, const QVariantMap& results)>;
    using Failure = std::function<void(const QDBusMessage& error)>;

    enum class Registration { Unasked, Asking, Done };

    void start();
    // Registers the program's id where that is needed, then opens the session.
    void registerApp();
    void openSession();
    void closeSession();
    // Calls a method that answers through a Request object; whatever comes is handed on, also
    // for calls made for rows that have changed since.
    void request(const QString& method, const QList<QVariant>& arguments, const QString& token, Answer answer,
                 Failure failure);
    void callFailed(const QString& method, const QDBusMessage& error);
    void sessionCreated(uint32_t response, const QVariantMap& results);
    // The desktop's list of the session's shortcuts: binds them where it lacks a wanted row
    // or holds another one, else takes the list as the binding.
    void shortcutsListed(const QVariantMap& results);
    void bindShortcuts();
    void shortcutsBound(uint32_t response, const QVariantMap& results);
    // Keeps the triggers a list names (none where it has no list).
    void keepTriggers(const QVariantMap& results);
    // Tells the rows the desktop's list shows not working on their own Ctrl+Alt key.
    void tellRowsNotBound();
    // What the user can do about a problem of this kind on this desktop.
    std::string hint(Problem::Kind kind) const;
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
    PortalApp app_;
    std::function<void(const Problem&)> problem_;
    DesktopKind desktop_;
    Registration registration_ = Registration::Unasked;
    int registrations_ = 0;      // counts the Register calls, to know a stale answer
    bool named_ = false;         // the portal knows the program's id
    bool withRegistry_ = false;  // the portal has the Registry (1.19 or later)
    bool nameRefused_ = false;   // the portal refused the id
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
