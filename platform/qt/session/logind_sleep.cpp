#include "platform/qt/session/logind_sleep.h"

#include "platform/qt/bus/dbus_signal.h"
#include "platform/qt/session/logind_names.h"

namespace tolvane {

LogindSleep::LogindSleep(QDBusConnection bus, std::function<void()> woke)
{
    if (!bus.isConnected()) return;
    signal_ = DBusSignal::connect(bus, logind::kService, logind::kPath, logind::kManager, "PrepareForSleep",
                                  [woke = std::move(woke)](const QDBusMessage& message) {
                                      const QList<QVariant> arguments = message.arguments();
                                      if (!arguments.isEmpty() && !arguments.first().toBool() && woke) woke();
                                  });
}

LogindSleep::~LogindSleep() = default;

}  // namespace tolvane
