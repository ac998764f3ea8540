#pragma once
// The login session that is the program's own for logind: the one log off ends and whose
// lock the hotkeys follow. It is found once and kept:
//   1. XDG_SESSION_ID names it (its object path is asked with GetSession);
//   2. else GetSessionByPID(own pid) finds the session the process belongs to;
//   3. else the program is in no session, which is the rule where a desktop starts programs
//      in units of the user's service manager (GNOME's app-*.scope): then the user's
//      graphical session serves, logind's "auto" session, or where that name is not known
//      (logind before systemd 240) the user's Display session. That choice is written on
//      standard error, since log off then ends a session the program was not started in.
// A search that finds nothing is written too, and the next request searches again.
#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace tolvane {

class LogindSession {
public:
    // errors: where failures and the choice of a session not the program's own are written.
    LogindSession(QDBusConnection bus, std::function<void(const std::string&)> errors);
    ~LogindSession();
    LogindSession(const LogindSession&) = delete;
    LogindSession& operator=(const LogindSession&) = delete;

    // Calls `then` once the session's id and object path are known (at once when they
    // are), with false when no session was found. Calls that come during a search wait
    // for it.
    void find(std::function<void(bool found)> then);

    QDBusConnection bus() const { return bus_; }
    // The session's id, once known (at once from XDG_SESSION_ID).
    const std::optional<QString>& id() const { return id_; }
    // The session's object path, once known.
    const QString& path() const { return path_; }
    // Calls sent and not yet answered.
    int pending() const { return pending_; }

private:
    using Answer = std::function<void(const QDBusMessage&)>;
    void ask(const QString& path, const QString& interface, const QString& method, const QList<QVariant>& arguments,
             Answer answered);
    void searchByPid();
    void searchGraphical();
    void searchDisplay();
    // The session at `path` is the one; its id is read when not known. chosen: the reason
    // to write, when it is not the program's own session.
    void found(const QString& path, const std::string& chosen);
    void finish(bool found);

    QDBusConnection bus_;
    std::function<void(const std::string&)> errors_;
    std::optional<QString> id_;
    QString path_;
    std::vector<std::function<void(bool)>> waiting_;
    int pending_ = 0;
    std::unique_ptr<QObject> guard_;  // answers that come after this object are dropped
};

}  // namespace tolvane
