#pragma once
// What the files of PortalShortcuts share: the portal's names on the session bus, the
// a(sa{sv}) its shortcuts travel as, and the readings of its answers.
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <vector>

namespace tolvane {

class DBusSignal;
struct PortalShortcut;

namespace portal {

// One element of BindShortcuts' a(sa{sv}): the id and its properties.
struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const ShortcutEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& argument, ShortcutEntry& entry);

}  // namespace portal
}  // namespace tolvane

Q_DECLARE_METATYPE(tolvane::portal::ShortcutEntry)

namespace tolvane::portal {

inline const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
inline const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
inline const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
inline const QString kRegistry = QStringLiteral("org.freedesktop.host.portal.Registry");
// KDE's portal backend, asked which interface version it speaks.
inline const QString kKdeBackend = QStringLiteral("org.freedesktop.impl.portal.desktop.kde");
inline const QString kImplShortcuts = QStringLiteral("org.freedesktop.impl.portal.GlobalShortcuts");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// The desktops' portal backends, org.freedesktop.impl.portal.desktop.kde and the like (QtDBus
// watches a namespace for a name that ends in "*").
inline const QString kBackends = QStringLiteral("org.freedesktop.impl.portal.desktop*");

// A subscription may end from inside its own handler: it goes once that has returned.
void dropLater(std::unique_ptr<DBusSignal>& subscription);
// An a{sv} as QtDBus hands it over: already a map, or still to be read.
QVariantMap mapOf(const QVariant& value);
// The session handle is an object path sent as a string ("s"); either is taken.
QString pathOf(const QVariant& value);
// The errors that mean the desktop has no global shortcuts at all.
bool meansMissing(const QString& error);
// The errors of a call to an interface the portal does not have (the Registry, before 1.19).
bool meansNoInterface(const QString& error);
// Whether this process is in a sandbox, whose id is the one the portal gives it.
bool sandboxed();
// The app id the portal reads for this process from the systemd unit it runs in (its
// cgroup), "" where no launcher named it.
QString launcherAppId();
// The shortcuts a portal's answer lists (its "shortcuts" entry), none when it has no list.
QList<ShortcutEntry> entriesIn(const QVariantMap& results);
// The shortcuts as CreateSession's and BindShortcuts' a(sa{sv}).
QList<ShortcutEntry> entriesOf(const std::vector<PortalShortcut>& shortcuts);
// Tells QtDBus how to write and read a ShortcutEntry and a list of them.
void registerTypes();

}  // namespace tolvane::portal
