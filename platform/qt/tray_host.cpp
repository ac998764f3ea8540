#include "platform/qt/tray_host.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <string>

#include "platform/qt/dbus_signal.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>

namespace tolvane {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

QDBusMessage hostQuestion()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({kWatcher, QStringLiteral("IsStatusNotifierHostRegistered")});
    get.setAutoStartService(false);  // a watcher is not started for a question
    return get;
}

bool hostAnswer(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

}  // namespace

TrayHost::TrayHost(QDBusConnection bus) : bus_(std::move(bus))
{
    const QString platform = QGuiApplication::platformName();
    follows_ = platform == "xcb" || platform.startsWith("wayland");
    if (!follows_ || !bus_.isConnected()) return;
    watcher_ = std::make_unique<QDBusServiceWatcher>(kWatcher, bus_, QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged,
                     [this](const QString&, const QString&, const QString& owner) {
                         if (owner.isEmpty())
                             setHost(false);
                         else
                             askHost();
                     });
    for (auto [signal, subscription] : {std::pair{"StatusNotifierHostRegistered", &hostRegistered_},
                                        std::pair{"StatusNotifierHostUnregistered", &hostUnregistered_}})
        *subscription = DBusSignal::connect(bus_, kWatcher, kWatcherPath, kWatcher, QString::fromLatin1(signal),
                                            [this](const QDBusMessage&) { askHost(); });
    host_ = readHost();
}

TrayHost::~TrayHost() = default;

bool TrayHost::readHost()
{
    if (!bus_.isConnected()) return false;
    return hostAnswer(bus_.call(hostQuestion(), QDBus::Block, 1000));
}

void TrayHost::askHost()
{
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion(), 5000));
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending, [this](QDBusPendingCallWatcher* w) {
        setHost(hostAnswer(w->reply()));
        w->deleteLater();
    });
}

void TrayHost::setHost(bool host)
{
    if (host == host_) return;
    host_ = host;
    if (changed_) changed_();
}

bool TrayHost::xembedTray() const
{
    if (QGuiApplication::platformName() != "xcb") return false;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return false;
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != 0;
}

bool TrayHost::mayMakeIcons()
{
    return !follows_ || kind_ != Kind::Unsettled || host_ || xembedTray();
}

void TrayHost::iconsMade()
{
    if (!follows_ || kind_ != Kind::Unsettled) return;
    // Read afresh: Qt reads the watcher itself in a moment and keeps what it finds.
    host_ = readHost();
    kind_ = host_ ? Kind::StatusNotifier : Kind::XEmbed;
}

bool TrayHost::available()
{
    if (!follows_) return QSystemTrayIcon::isSystemTrayAvailable();
    switch (kind_) {
        case Kind::StatusNotifier:
            return host_;
        case Kind::XEmbed:
            return xembedTray();
        case Kind::Unsettled:
            break;
    }
    return host_ || xembedTray();
}

}  // namespace tolvane
