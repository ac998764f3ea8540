#include "platform/qt/ui/tray_host.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <string>

#include "platform/qt/bus/dbus_signal.h"

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

// The XEmbed tray of the default screen, followed on an X connection of its own (so that its
// event masks on the root window stay apart from Qt's): a new tray sends the MANAGER client
// message to the root window once it owns the selection _NET_SYSTEM_TRAY_S<screen>, and the
// tray there goes with the window that owns the selection.
class TrayHost::XEmbedTray {
public:
    XEmbedTray(const char* display, std::function<void()> changed) : changed_(std::move(changed))
    {
        display_ = XOpenDisplay(display);
        if (!display_) return;
        const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display_));
        selection_ = XInternAtom(display_, selection.c_str(), False);
        manager_ = XInternAtom(display_, "MANAGER", False);
        XSelectInput(display_, DefaultRootWindow(display_), StructureNotifyMask);
        findOwner();
        notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    }
    ~XEmbedTray()
    {
        notifier_.reset();
        if (display_) XCloseDisplay(display_);
    }
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;

    bool present() const { return owner_ != 0; }

private:
    // The selection's owner, watched for its end. A tray may end before the watch is set up:
    // the error that brings is not fatal, and the owner is asked again.
    void findOwner()
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            owner_ = XGetSelectionOwner(display_, selection_);
            if (!owner_) return;
            const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
            XSelectInput(display_, owner_, StructureNotifyMask);
            XSync(display_, False);
            XSetErrorHandler(previous);
            if (XGetSelectionOwner(display_, selection_) == owner_) return;
        }
    }
    void readEvents()
    {
        // XSync may leave events in the queue without anything more to read on the socket.
        do {
            bool look = false;
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == ClientMessage && event.xclient.message_type == manager_ &&
                    static_cast<Atom>(event.xclient.data.l[1]) == selection_)
                    look = true;
                if (event.type == DestroyNotify && event.xdestroywindow.window == owner_) look = true;
            }
            if (!look) return;
            const ::Window was = owner_;
            findOwner();
            if (owner_ != was && changed_) changed_();
        } while (XEventsQueued(display_, QueuedAlready) > 0);
    }

    Display* display_ = nullptr;
    Atom selection_ = 0, manager_ = 0;
    ::Window owner_ = 0;
    std::function<void()> changed_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

TrayHost::TrayHost(QDBusConnection bus) : bus_(std::move(bus))
{
    const QString platform = QGuiApplication::platformName();
    follows_ = platform == "xcb" || platform.startsWith("wayland");
    if (platform == "xcb") followXEmbedTray();
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

void TrayHost::followXEmbedTray()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return;
    xembed_ = std::make_unique<XEmbedTray>(DisplayString(x11->display()), [this] {
        if (changed_) changed_();
    });
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
    return xembed_ && xembed_->present();
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
