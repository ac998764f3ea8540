#pragma once
// Waking from sleep, as systemd-logind tells it: its PrepareForSleep signal on the system bus
// comes with true before the computer sleeps (or hibernates) and with false once it is awake
// again; the false one is handed on at once. Nothing is inhibited: the program does not delay
// a sleep, it only catches up when the computer is back. Without a system bus or logind the
// program does not hear of waking: its timers then catch up at their next tick only.
#include <QDBusConnection>
#include <functional>
#include <memory>

namespace tolvane {

class DBusSignal;

class LogindSleep {
public:
    LogindSleep(QDBusConnection bus, std::function<void()> woke);
    ~LogindSleep();
    LogindSleep(const LogindSleep&) = delete;
    LogindSleep& operator=(const LogindSleep&) = delete;

private:
    std::unique_ptr<DBusSignal> signal_;
};

}  // namespace tolvane
