#pragma once
// Whether a notification area is there for the program's icon, as Qt 6 can show it.
//
// Qt shows a QSystemTrayIcon through a StatusNotifierItem host (KDE, GNOME with an
// AppIndicator extension, the Wayland panels): org.kde.StatusNotifierWatcher on the session
// bus with a host registered with it. Under X11 it can instead dock the icon into an XEmbed
// tray (the owner of the _NET_SYSTEM_TRAY_Sn selection: trayer, stalonetray, xembedsniproxy).
// Which of the two Qt uses is settled for the whole run by its first tray question: Qt 6.4
// reads the watcher once, when it first makes a tray icon or is first asked, and keeps that
// answer; asked while no host runs, it never uses a host that comes up later. So on the
// desktop platforms (xcb, wayland) QtTray makes its icons only once a notification area of
// either kind is there, and from then on the icons can be seen while one of the kind Qt
// settled on is there.
//
// Both kinds are followed while the program runs, and every change is told: the watcher's
// coming and going and the hosts that register with it, and under X11 the XEmbed tray of the
// default screen (a new one announces itself to the root window, the one there goes with
// its selection window). On other platforms (offscreen, say) Qt has no notification area of
// its own choosing, and its own answer is passed on.
#include <QDBusConnection>
#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace tolvane {

class DBusSignal;

class TrayHost {
public:
    // bus: the session bus. Asks the watcher once, synchronously: the main window's first
    // hiding needs the answer.
    explicit TrayHost(QDBusConnection bus);
    ~TrayHost();
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    // Whether QtTray may make its icons now.
    bool mayMakeIcons();
    // QtTray calls this right before it makes its first icon, when Qt settles its kind.
    void iconsMade();
    // Whether a notification area shows the program's icons now (made or still to be made).
    bool available();

    // Called after a notification area of either kind came or went.
    void setChanged(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    enum class Kind { Unsettled, StatusNotifier, XEmbed };
    class XEmbedTray;

    void followXEmbedTray();
    bool readHost();
    void askHost();
    void setHost(bool host);
    bool xembedTray() const;

    QDBusConnection bus_;
    bool follows_ = false;
    bool host_ = false;
    Kind kind_ = Kind::Unsettled;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
    std::unique_ptr<DBusSignal> hostRegistered_, hostUnregistered_;
    std::unique_ptr<XEmbedTray> xembed_;
    std::function<void()> changed_;
};

}  // namespace tolvane
