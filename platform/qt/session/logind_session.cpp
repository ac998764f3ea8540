#include "platform/qt/session/logind_session.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QObject>
#include <unistd.h>

#include <cstdlib>

#include "platform/qt/session/logind_names.h"

namespace tolvane {

namespace {
using namespace logind;

bool failed(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ErrorMessage;
}

std::string errorText(const QDBusMessage& reply)
{
    return reply.errorName().toStdString() + ": " + reply.errorMessage().toStdString();
}

// The value of a Properties.Get answer.
QVariant property(const QDBusMessage& reply)
{
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first().value<QDBusVariant>().variant();
}
}  // namespace

LogindSession::LogindSession(QDBusConnection bus, std::function<void(const std::string&)> errors)
    : bus_(std::move(bus)), errors_(std::move(errors)), guard_(std::make_unique<QObject>())
{
    if (const char* id = std::getenv("XDG_SESSION_ID"); id && *id) id_ = QString::fromLocal8Bit(id);
}

LogindSession::~LogindSession() = default;

void LogindSession::ask(const QString& path, const QString& interface, const QString& method,
                        const QList<QVariant>& arguments, Answer answered)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    ++pending_;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), guard_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, guard_.get(),
                     [this, answered = std::move(answered)](QDBusPendingCallWatcher* w) {
                         --pending_;
                         w->deleteLater();
                         answered(w->reply());
                     });
}

void LogindSession::find(std::function<void(bool)> then)
{
    if (!path_.isEmpty()) {
        then(true);
        return;
    }
    waiting_.push_back(std::move(then));
    if (waiting_.size() > 1) return;  // a search is under way
    if (!bus_.isConnected()) {
        finish(false);  // said where the bus is needed for a power call
        return;
    }
    if (!id_) {
        searchByPid();
        return;
    }
    ask(kPath, kManager, "GetSession", {*id_}, [this](const QDBusMessage& reply) {
        if (failed(reply)) {
            if (errors_) errors_("the session XDG_SESSION_ID names is not known to logind (" + errorText(reply) + ")");
            finish(false);
        } else {
            found(reply.arguments().first().value<QDBusObjectPath>().path(), "");
        }
    });
}

void LogindSession::searchByPid()
{
    ask(kPath, kManager, "GetSessionByPID", {QVariant::fromValue(static_cast<uint32_t>(getpid()))},
        [this](const QDBusMessage& reply) {
            if (failed(reply))
                searchGraphical();
            else
                found(reply.arguments().first().value<QDBusObjectPath>().path(), "");
        });
}

// logind's "auto" is the caller's session, or the user's graphical one where the caller is
// in none.
void LogindSession::searchGraphical()
{
    ask(kPath, kManager, "GetSession", {QStringLiteral("auto")}, [this](const QDBusMessage& reply) {
        if (failed(reply))
            searchDisplay();
        else
            found(reply.arguments().first().value<QDBusObjectPath>().path(), "graphical");
    });
}

void LogindSession::searchDisplay()
{
    const auto none = [this](const std::string& why) {
        if (errors_) errors_("no login session found: log off is not available (" + why + ")");
        finish(false);
    };
    ask(kPath, kManager, "GetUser", {QVariant::fromValue(static_cast<uint32_t>(getuid()))},
        [this, none](const QDBusMessage& user) {
            if (failed(user)) return none(errorText(user));
            const QString userPath = user.arguments().first().value<QDBusObjectPath>().path();
            ask(userPath, kProperties, "Get", {kUser, QStringLiteral("Display")},
                [this, none](const QDBusMessage& reply) {
                    if (failed(reply)) return none(errorText(reply));
                    QString id;
                    QDBusObjectPath path;
                    const QDBusArgument display = property(reply).value<QDBusArgument>();
                    display.beginStructure();
                    display >> id >> path;
                    display.endStructure();
                    if (id.isEmpty() || path.path() == "/") return none("the user has no graphical session");
                    id_ = id;
                    found(path.path(), "graphical");
                });
        });
}

void LogindSession::found(const QString& path, const std::string& chosen)
{
    // The path is kept only with the id: a find() that comes meanwhile waits for both.
    const auto tell = [this, path, chosen] {
        path_ = path;
        if (!chosen.empty() && errors_)
            errors_("in no login session: log off ends the user's " + chosen + " session " + id_->toStdString());
        finish(true);
    };
    if (id_) return tell();
    ask(path, kProperties, "Get", {kSession, QStringLiteral("Id")}, [this, tell](const QDBusMessage& reply) {
        const QString id = property(reply).toString();
        if (failed(reply) || id.isEmpty()) {
            if (errors_) errors_("the own session's id cannot be read: " + reply.errorMessage().toStdString());
            return finish(false);
        }
        id_ = id;
        tell();
    });
}

void LogindSession::finish(bool found)
{
    std::vector<std::function<void(bool)>> waiting;
    waiting.swap(waiting_);
    for (const auto& then : waiting) then(found);
}

}  // namespace tolvane
