#pragma once
// Whether the user's session is locked. The hotkeys do nothing while it is: the keys typed
// at a locked screen belong to the locker, and on Windows a locked workstation's keys never
// reach the program. The X11 key state sees keys through every other client's grab (for
// open menus and virtual machines' windows), a locker's grab among them, so the lock has to
// be asked for.
//
// Two sources, either of which says locked:
// - logind's LockedHint of the own session (LogindSession), which the lockers of GNOME and
//   KDE set, followed through PropertiesChanged;
// - org.freedesktop.ScreenSaver on the session bus where a desktop offers it (KDE, Xfce's
//   screensaver): GetActive, followed through ActiveChanged and through the name's coming
//   and going. It is never started by D-Bus activation.
// A source that is missing counts as unlocked. Each change of the answer is written on
// standard error, so that hotkeys that did nothing have their reason where it is looked for.
// A value read is taken only when no change was heard since it was asked for: QtDBus may hand
// over the answer to a read after a change signal that the service sent later, and the older
// value would then undo the newer one.
#include <QDBusConnection>
#include <functional>
#include <memory>
#include <string>

class QDBusServiceWatcher;
class QObject;

namespace tolvane {

class DBusSignal;
class LogindSession;

class SessionLock {
public:
    // notes: where each change of the answer is written (standard error in the program).
    SessionLock(LogindSession& session, QDBusConnection sessionBus, std::function<void(const std::string&)> notes);
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    bool locked() const { return lockedHint_ || screenSaverActive_; }

private:
    void followLockedHint();
    void readLockedHint();
    void askScreenSaver();
    void set(bool& source, bool value);

    LogindSession& session_;
    QDBusConnection sessionBus_;
    std::function<void(const std::string&)> notes_;
    bool lockedHint_ = false;
    bool screenSaverActive_ = false;
    // Moved on by each change heard and each read asked, per source.
    unsigned lockedHintVersion_ = 0;
    unsigned screenSaverVersion_ = 0;
    std::unique_ptr<QObject> guard_;  // answers that come after this object are dropped
    std::unique_ptr<DBusSignal> lockedHintChanged_;
    std::unique_ptr<DBusSignal> activeChanged_;
    std::unique_ptr<QDBusServiceWatcher> screenSaverWatcher_;
};

}  // namespace tolvane
