'''python3-dbusmock template: a StatusNotifierWatcher, the registry of a notification area
whose icons are StatusNotifierItems (KDE, the AppIndicator extensions, Wayland panels).

Parameters (JSON): "host" (default true): whether a host (the panel that shows the icons)
is registered.

Test control, interface org.tolvane.WatcherMock: SetHost(b) registers or unregisters the
host, with the watcher's own signal. The items that registered are the property
RegisteredStatusNotifierItems, "SERVICE/PATH" each, as the watcher keeps them.
'''

import dbus
import dbus.service

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False
TEST_IFACE = 'org.tolvane.WatcherMock'


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': dbus.Boolean(bool(parameters.get('host', True))),
        'ProtocolVersion': dbus.Int32(0),
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    })


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='', sender_keyword='sender')
def RegisterStatusNotifierItem(self, service, sender):
    # A bus name alone names the item at its usual path.
    item = service + '/StatusNotifierItem' if not service.startswith('/') else sender + service
    items = list(self.Get(MAIN_IFACE, 'RegisteredStatusNotifierItems')) + [item]
    self.Set(MAIN_IFACE, 'RegisteredStatusNotifierItems', dbus.Array(items, signature='s'))
    self.EmitSignal(MAIN_IFACE, 'StatusNotifierItemRegistered', 's', [item])


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='')
def RegisterStatusNotifierHost(self, service):
    pass


@dbus.service.method(TEST_IFACE, in_signature='b', out_signature='')
def SetHost(self, host):
    self.Set(MAIN_IFACE, 'IsStatusNotifierHostRegistered', dbus.Boolean(host))
    self.EmitSignal(MAIN_IFACE, 'StatusNotifierHostRegistered' if host else 'StatusNotifierHostUnregistered', '', [])
