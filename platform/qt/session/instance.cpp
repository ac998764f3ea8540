#include "platform/qt/session/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/qt/bus/program_service.h"
#include "platform/qt/session/desktop_services.h"

namespace tolvane {

namespace {

// How long a second start waits for the running instance to answer: it may be in the middle
// of its start-up on a loaded machine.
constexpr int kAnswerMs = 20000;

void complain(const ProgramIdentity& identity, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", identity.command, text.c_str());
    std::fflush(stderr);
}

}  // namespace

Instance::Instance(const ProgramIdentity& identity) : identity_(identity)
{
    // Another process owns the name: this start hands over to it.
    if (!takeName()) return;
    ours_ = takeLock(XdgEnvironment().windowsDirectory());
}

Instance::~Instance()
{
    if (lockFd_ >= 0) ::close(lockFd_);
}

// The object is on the bus before the name, so that no call to the name finds no object.
// Returns false only when another process owns the name.
bool Instance::takeName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return true;
    onBus_ = true;
    service_ = std::make_unique<ProgramService>(bus, identity_);
    const QString path = identity_.objectPath;
    bus.registerVirtualObject(path, service_.get());
    const auto reply = bus.interface()->registerService(identity_.busName, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) return true;
    bus.unregisterObject(path);
    service_.reset();
    if (reply.isValid()) return false;
    // The bus refused the name for another reason (its policy, say): the lock alone guards
    // the settings then.
    onBus_ = false;
    return true;
}

bool Instance::takeLock(const std::string& folder)
{
    const std::string path = folder + "/" + identity_.command + ".lock";
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A folder where no lock can be made cannot hold the settings either; the settings
    // store reports that at start-up, so the start goes on.
    if (lockFd_ < 0) return true;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        char pid[32] = {};
        const ssize_t got = ::pread(lockFd_, pid, sizeof pid - 1, 0);
        std::string who = got > 0 ? std::string(pid, static_cast<size_t>(got)) : std::string("?");
        while (!who.empty() && (who.back() == '\n' || who.back() == ' ')) who.pop_back();
        held_ = "another " + std::string(identity_.command) + " (process " + who + ") runs on the settings in " +
                folder + ", and ";
        held_ += onBus_ ? "not on this session bus (another session's), so its window cannot be shown from here"
                        : "without a session bus its window cannot be shown from here";
        ::close(lockFd_);
        lockFd_ = -1;
        return false;
    }
    // The process id is only for the message of a start that finds the lock held.
    const std::string pid = std::to_string(::getpid()) + "\n";
    [[maybe_unused]] const bool written =
        ::ftruncate(lockFd_, 0) == 0 &&
        ::pwrite(lockFd_, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    return true;
}

int Instance::handOver()
{
    if (!held_.empty()) {
        complain(identity_, held_);
        return 1;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(identity_.busName, identity_.objectPath, kApplicationInterface, "Activate");
    call << QVariantMap();
    const QDBusMessage answer = QDBusConnection::sessionBus().call(call, QDBus::Block, kAnswerMs);
    if (answer.type() == QDBusMessage::ReplyMessage) return 0;
    complain(identity_, "the running " + std::string(identity_.command) +
                            " did not show its window: " + answer.errorMessage().toStdString());
    return 1;
}

void Instance::serve(Program& program)
{
    if (service_) service_->serve(program);
}

}  // namespace tolvane
