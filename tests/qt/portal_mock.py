'''python3-dbusmock template: a desktop portal that offers only global shortcuts.

Used by the Linux program's tests on a private session bus. Sessions and requests are made
as xdg-desktop-portal makes them: CreateSession and BindShortcuts return the path of a
Request object built from the caller's bus name and its handle_token, and the outcome comes
a moment later as that Request's Response signal.

Parameters (JSON): "session_response" and "bind_response" (0 success, 1 cancelled, 2 other;
default 0), "unbound": ids that BindShortcuts leaves out of its result.

A session is refused (response 2) while one of the same handle is open, as the real portal
does. "triggers" (JSON: id -> text) is the trigger_description the desktop reports for a row;
by default "Press " and the preferred trigger.

Test controls, interface org.tolvane.PortalMock on the main object:
  Press(s id), Release(s id)  emit Activated / Deactivated for the newest open session
  Bound() -> as               "SESSION ID TRIGGER|DESCRIPTION" per shortcut bound, in order
  Sessions() -> as            "SESSION open" or "SESSION closed" per session created
  EndSession()                the desktop ends the newest open session (its Closed signal)
'''

import time

import dbus
import dbus.service
import dbusmock.mockobject
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SYSTEM_BUS = False
TEST_IFACE = 'org.tolvane.PortalMock'
REQUEST_IFACE = 'org.freedesktop.portal.Request'
SESSION_IFACE = 'org.freedesktop.portal.Session'


def load(mock, parameters):
    mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(1))
    mock.session_response = int(parameters.get('session_response', 0))
    mock.bind_response = int(parameters.get('bind_response', 0))
    mock.unbound = list(parameters.get('unbound', []))
    mock.triggers = dict(parameters.get('triggers', {}))
    mock.sessions = []  # [path, open]
    mock.bound = []


def _caller(sender):
    return sender[1:].replace('.', '_')


def _respond(mock, path, response, results):
    mock.EmitSignalDetailed(REQUEST_IFACE, 'Response', 'ua{sv}', [dbus.UInt32(response), results], {'path': path})
    return False


def _request(mock, sender, options, response, results):
    path = MAIN_OBJ + '/request/' + _caller(sender) + '/' + str(options.get('handle_token', 'request'))
    mock.AddObject(path, REQUEST_IFACE, {}, [('Close', '', '', '')])
    # The answer follows the call's reply, as the real portal's does.
    GLib.timeout_add(20, _respond, mock, path, response, dbus.Dictionary(results, signature='sv'))
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender):
    results = {}
    session = MAIN_OBJ + '/session/' + _caller(sender) + '/' + str(options.get('session_handle_token', 's'))
    response = 2 if [session, True] in self.sessions else self.session_response
    if response == 0:
        self.sessions.append([session, True])
        if session not in dbusmock.mockobject.objects:  # a session opened again under its handle
            self.AddObject(session, SESSION_IFACE, {'version': dbus.UInt32(1)}, [
                ('Close', '', '', 'for entry in objects["%s"].sessions:\n'
                                  '    if entry[0] == self.path:\n'
                                  '        entry[1] = False' % MAIN_OBJ)])
        results['session_handle'] = dbus.String(session)
    return _request(self, sender, options, response, results)


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o', sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, parent_window, options, sender):
    taken = []
    if self.bind_response == 0:
        for shortcut_id, properties in shortcuts:
            trigger = str(properties.get('preferred_trigger', ''))
            self.bound.append('%s %s %s|%s' % (session, shortcut_id, trigger, properties.get('description', '')))
            trigger = self.triggers.get(str(shortcut_id), 'Press ' + trigger)
            if str(shortcut_id) not in self.unbound:
                taken.append(dbus.Struct((shortcut_id, dbus.Dictionary({
                    'description': properties.get('description', ''),
                    'trigger_description': dbus.String(trigger)}, signature='sv')), signature='sa{sv}'))
    results = {'shortcuts': dbus.Array(taken, signature='(sa{sv})')} if self.bind_response == 0 else {}
    return _request(self, sender, options, self.bind_response, results)


def _newest_open(self):
    open_sessions = [path for path, is_open in self.sessions if is_open]
    return open_sessions[-1] if open_sessions else '/'


def _shortcut_signal(self, name, shortcut_id):
    self.EmitSignal(MAIN_IFACE, name, 'osta{sv}',
                    [dbus.ObjectPath(_newest_open(self)), shortcut_id, dbus.UInt64(int(time.time() * 1000)), {}])


@dbus.service.method(TEST_IFACE, in_signature='s', out_signature='')
def Press(self, shortcut_id):
    _shortcut_signal(self, 'Activated', shortcut_id)


@dbus.service.method(TEST_IFACE, in_signature='s', out_signature='')
def Release(self, shortcut_id):
    _shortcut_signal(self, 'Deactivated', shortcut_id)


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='as')
def Bound(self):
    return dbus.Array(self.bound, signature='s')


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='as')
def Sessions(self):
    return dbus.Array(['%s %s' % (path, 'open' if is_open else 'closed') for path, is_open in self.sessions],
                      signature='s')


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='')
def EndSession(self):
    path = _newest_open(self)
    for entry in self.sessions:
        if entry[0] == path:
            entry[1] = False
    self.EmitSignalDetailed(SESSION_IFACE, 'Closed', 'a{sv}', [dbus.Dictionary({}, signature='sv')], {'path': path})
