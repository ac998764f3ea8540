'''python3-dbusmock template: the accessibility bus's launcher as a desktop session has it
(org.a11y.Bus on the session bus), which tells the programs where the accessibility bus is and
that assistive technology is on. The bus itself is a dbus-daemon of the tests' own.

Parameters (JSON): "address": the accessibility bus's address.
'''

import dbus

BUS_NAME = 'org.a11y.Bus'
MAIN_OBJ = '/org/a11y/bus'
MAIN_IFACE = 'org.a11y.Bus'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddMethod(MAIN_IFACE, 'GetAddress', '', 's', 'ret = %r' % parameters['address'])
    mock.AddProperties('org.a11y.Status', {
        'IsEnabled': dbus.Boolean(True),
        'ScreenReaderEnabled': dbus.Boolean(True),
    })
