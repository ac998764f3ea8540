#include "platform/qt/session/logind_power.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <unistd.h>

#include "platform/qt/session/logind_names.h"
#include "power/actions.h"

namespace tolvane {

std::string LogindRequest::callText(const std::string& sessionId) const
{
    if (argument == LogindArgument::SessionId) return method + "(" + sessionId + ")";
    return method + (interactive ? "(true)" : "(false)");
}

namespace {
// The action's logind method, interactive when the call is forced. Ending a session has no
// gentle form in logind: TerminateSession ends it either way.
LogindRequest requestFor(const DecodedCall& call)
{
    return {call.action.word, call.action.logindMethod, call.action.logindArgument, call.forced};
}
}  // namespace

LogindRequest requestForExitWindows(uint32_t flags)
{
    return requestFor(decodeExitWindowsEx(flags));
}

LogindRequest requestForPowerState(bool suspend, bool force)
{
    return requestFor(decodeSetSystemPowerState(suspend, force));
}

Unattended unattendedVerdict(const QString& canAnswer)
{
    if (canAnswer == "yes") return Unattended::Yes;
    if (canAnswer == "challenge") return Unattended::NeedsPassword;
    return Unattended::NotAllowed;
}

LogindPower::LogindPower(QDBusConnection bus, std::function<void(const std::string&)> errors)
    : bus_(bus), errors_(std::move(errors)), session_(std::move(bus), errors_)
{
}

void LogindPower::report(const std::string& text)
{
    if (errors_) errors_(text);
}

bool LogindPower::busUsable()
{
    if (bus_.isConnected()) return true;
    if (!noBusReported_) {
        noBusReported_ = true;
        report("no system bus (" + bus_.lastError().message().toStdString() + "): power actions are not available");
    }
    return false;
}

void LogindPower::tellRefused(const LogindRequest& request, const std::string& reason)
{
    if (refused) refused(static_cast<int16_t>(actionOfWord(request.action)), reason);
}

void LogindPower::call(const QString& method, const QList<QVariant>& arguments,
                       std::function<void(const QList<QVariant>&)> answered, std::function<void()> ended,
                       std::function<void(const std::string&)> failed)
{
    QDBusMessage message = QDBusMessage::createMethodCall(logind::kService, logind::kPath, logind::kManager, method);
    message.setArguments(arguments);
    // A polkit dialog can take as long as the user wants.
    message.setInteractiveAuthorizationAllowed(true);
    ++pending_;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, 3600 * 1000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [this, method, answered = std::move(answered), ended = std::move(ended),
                      failed = std::move(failed)](QDBusPendingCallWatcher* w) {
                         --pending_;
                         const QDBusMessage reply = w->reply();
                         if (reply.type() == QDBusMessage::ErrorMessage) {
                             report("logind " + method.toStdString() + " failed: " + reply.errorName().toStdString() +
                                    ": " + reply.errorMessage().toStdString());
                             if (failed)
                                 failed(reply.errorMessage().isEmpty() ? reply.errorName().toStdString()
                                                                       : reply.errorMessage().toStdString());
                         } else if (answered)
                             answered(reply.arguments());
                         if (ended) ended();
                         w->deleteLater();
                     });
}

void LogindPower::send(const LogindRequest& request)
{
    if (!busUsable()) {
        tellRefused(request, "there is no system bus to reach systemd-logind (" +
                                 bus_.lastError().message().toStdString() + ")");
        return;
    }
    const std::string key = request.callText("");
    if (!unanswered_.insert(key).second) return;  // the same request still waits for its answer
    const auto answered = [this, key] { unanswered_.erase(key); };
    const auto failed = [this, request](const std::string& reason) { tellRefused(request, reason); };
    const QString method = QString::fromStdString(request.method);
    if (request.argument == LogindArgument::Interactive) {
        call(method, {request.interactive}, nullptr, answered, failed);
        return;
    }
    // The session is looked up at start-up; a lookup that failed then is tried again here.
    if (session_.id()) {
        call(method, {*session_.id()}, nullptr, answered, failed);
        return;
    }
    session_.find([this, method, answered, failed](bool found) {
        if (found) {
            call(method, {*session_.id()}, nullptr, answered, failed);
            return;
        }
        answered();
        failed("the login session to end was not found");
    });
}

void LogindPower::askUnattended(int16_t action, UnattendedAnswer answer)
{
    const ActionRow* row = actionRow(action);
    if (!row || !row->logindCheck || !bus_.isConnected()) return;
    const QString method = row->logindCheck;
    call(method, {}, [method, answer = std::move(answer)](const QList<QVariant>& a) {
        const QString said = a.isEmpty() ? QString() : a.first().toString();
        answer(unattendedVerdict(said), "logind " + method.toStdString() + ": " + said.toStdString());
    });
}

bool LogindPower::ExitWindowsEx(uint32_t flags, uint32_t)
{
    send(requestForExitWindows(flags));
    return bus_.isConnected();
}

bool LogindPower::SetSystemPowerState(bool suspend, bool force)
{
    send(requestForPowerState(suspend, force));
    return bus_.isConnected();
}

uintptr_t LogindPower::GetCurrentProcess()
{
    return static_cast<uintptr_t>(getpid());
}

bool LogindPower::OpenProcessToken(uintptr_t process, uint32_t, uintptr_t& token)
{
    token = process;
    return true;
}

bool LogindPower::LookupPrivilegeValueA(const char*, const char* name, Luid& luid)
{
    // Only the one privilege the program asks for has a value here.
    if (std::string(name ? name : "") != "SeShutdownPrivilege") return false;
    luid = Luid{19, 0};
    return true;
}

// There are no privileges to enable on Linux; polkit decides per call. What this step can
// do is find out once what logind will not do, and say so where an administrator looks.
bool LogindPower::AdjustTokenPrivileges(uintptr_t, bool, const TokenPrivileges<1>&, uint32_t, TokenPrivileges<2>&,
                                        uint32_t& returnLength)
{
    returnLength = 0;
    if (availabilityAsked_) return true;
    availabilityAsked_ = true;
    if (!busUsable()) return false;
    for (const ActionRow& row : kActions) {
        if (!row.logindCheck) continue;
        const std::string method = row.logindCheck;
        const std::string action = QString(row.description).toLower().toStdString();
        call(QString::fromStdString(method), {}, [this, method, action](const QList<QVariant>& a) {
            const std::string answer = a.isEmpty() ? "" : a.first().toString().toStdString();
            if (answer == "yes") return;
            if (answer == "challenge")
                report(action + " will ask for authentication (logind " + method + ": challenge)");
            else
                report(action + " is not available (logind " + method + ": " + answer + ")");
        });
    }
    session_.find([](bool) {});
    return true;
}

}  // namespace tolvane
