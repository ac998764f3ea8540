'''python3-dbusmock template: a desktop portal that offers only global shortcuts, as the
portals of the desktops were seen to answer.

Used by the Linux program's tests on a private session bus. Sessions and requests are made
as xdg-desktop-portal makes them: CreateSession, ListShortcuts and BindShortcuts return the
path of a Request object built from the caller's bus name and its handle_token, and the
outcome comes a moment later as that Request's Response signal. A session is refused
(response 2) while one of the same handle is open, as the real portal does.

Parameters (JSON):
  "stack"   the portal and desktop answered as (default "gnome50"):
            "kde5"      xdg-desktop-portal 1.16.0, KDE 5.27 (Debian 12): no Registry; the
                        backend binds what CreateSession's options list and lists it in its
                        answer; BindShortcuts only opens the settings page
            "plasma63"  portal 1.20, KDE 6.3 (Debian 13): CreateSession loads what the desktop
                        has filed; BindShortcuts binds and opens the settings page every time
            "plasma67"  portal 1.22, KDE 6.7: an app id is required; BindShortcuts asks in the
                        "Global Shortcuts Requested" dialog for rows it does not know; refused,
                        it files them without keys and answers 1
            "gnome48"   portal 1.20, GNOME 48.0 (Debian 13): sessions start empty; the "Add
                        Keyboard Shortcuts" dialog for rows not stored; an app id without dots
                        is refused (2); answers 2 after binding
            "gnome50"   portal 1.22, GNOME 50: as GNOME 48, an app id required, answers 0
  "dialog"  the user's answer to a dialog: "accept" (default) or "refuse"
  "apps"    the ids whose desktop files are installed (default: the program's and the dry run's)
  "stored"  keys the desktop has filed before, id -> [triggers in the portal's notation]
  "session_response", "bind_response"  answer CreateSession or BindShortcuts with this
            instead (BindShortcuts then without a list)
  "unbound" ids that BindShortcuts leaves out of its result
  "triggers" id -> the trigger_description to report instead of the desktop's own

Triggers are described as each desktop does: KDE "Ctrl+Alt+S" (keypad digits lose the keypad:
KP_5 becomes 5), several joined by ", "; GNOME "Press <Control><Alt>s", "Press X or Y".

Test controls, interface org.tolvane.PortalMock on the main object:
  Press(s id), Release(s id)  emit Activated / Deactivated for the newest open session, if the
                              desktop's keys activate that row there
  Bound() -> as               "SESSION ID TRIGGER|DESCRIPTION" per shortcut given to BindShortcuts
  Sessions() -> as            "SESSION open" or "SESSION closed" per session created
  Calls() -> as               the calls made, in order: "Register ID", "CreateSession" (with
                              " shortcuts" when its options list them), "ListShortcuts",
                              "BindShortcuts ID,ID"
  Opened() -> as              what came up on the desktop: "systemsettings://kcm_keys/COMPONENT",
                              "Global Shortcuts Requested", "Add Keyboard Shortcuts"
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
REGISTRY_IFACE = 'org.freedesktop.host.portal.Registry'
REQUEST_IFACE = 'org.freedesktop.portal.Request'
SESSION_IFACE = 'org.freedesktop.portal.Session'
IMPL_IFACE = 'org.freedesktop.impl.portal.GlobalShortcuts'
KDE_BACKEND = 'org.freedesktop.impl.portal.desktop.kde'

# What each stack's front end does: a Registry (1.19 on), an app id required (1.21 on), the
# CreateSession options and answer's shortcuts handed on (1.16.0 only).
FRONT_ENDS = {
    'kde5': {'registry': False, 'needs_id': False, 'hands_on': True},
    'plasma63': {'registry': True, 'needs_id': False, 'hands_on': False},
    'plasma67': {'registry': True, 'needs_id': True, 'hands_on': False},
    'gnome48': {'registry': True, 'needs_id': False, 'hands_on': False},
    'gnome50': {'registry': True, 'needs_id': True, 'hands_on': False},
}

# The descriptions the program gives its rows, for the keys "stored" says it filed before.
PROGRAM_DESCRIPTIONS = {'shutdown': 'Shutdown', 'restart': 'Restart', 'logoff': 'Log off', 'hibernate': 'Hibernate',
                        'standby': 'Stand by'}


def load(mock, parameters):
    mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(1))
    mock.stack = str(parameters.get('stack', 'gnome50'))
    mock.front = FRONT_ENDS[mock.stack]
    mock.dialog = str(parameters.get('dialog', 'accept'))
    mock.apps = list(parameters.get('apps', ['example.quenmoor.Tolvane', 'example.quenmoor.Tolvane.DryRun']))
    mock.stored = {str(k): list(v) for k, v in parameters.get('stored', {}).items()}
    mock.session_response = parameters.get('session_response')
    mock.bind_response = parameters.get('bind_response')
    mock.unbound = list(parameters.get('unbound', []))
    mock.triggers = dict(parameters.get('triggers', {}))
    mock.app_ids = {}  # sender -> the id it registered
    mock.callers = set()  # senders that made a portal call: too late to register
    mock.sessions = []  # [path, open]
    mock.actions = {}  # session path -> {id: description}: what the session lists
    mock.descriptions = {s: PROGRAM_DESCRIPTIONS.get(s, s) for s in mock.stored}  # as the desktop filed them
    mock.bound_sessions = set()
    mock.bound = []
    mock.calls = []
    mock.opened = []
    mock.activated = set()  # sessions whose rows the desktop's keys activate
    if _kde(mock):
        # KDE's backend on the bus, to be asked its interface version: 1 up to Plasma 6.4.
        mock.AddProperty(IMPL_IFACE, 'version', dbus.UInt32(2 if mock.stack == 'plasma67' else 1))
        mock.backend_name = dbus.service.BusName(KDE_BACKEND, mock.bus_name.get_bus())


def _kde(self):
    return self.stack in ('kde5', 'plasma63', 'plasma67')


def _caller(sender):
    return sender[1:].replace('.', '_')


def _respond(mock, path, response, results):
    mock.EmitSignalDetailed(REQUEST_IFACE, 'Response', 'ua{sv}', [dbus.UInt32(response), results], {'path': path})
    return False


def _request(mock, sender, options, response, results):
    path = MAIN_OBJ + '/request/' + _caller(sender) + '/' + str(options.get('handle_token', 'request'))
    if path not in dbusmock.mockobject.objects:
        mock.AddObject(path, REQUEST_IFACE, {}, [('Close', '', '', '')])
    # The answer follows the call's reply, as the real portal's does.
    GLib.timeout_add(20, _respond, mock, path, response, dbus.Dictionary(results, signature='sv'))
    return dbus.ObjectPath(path)


def _desktop_keys(self, trigger):
    '''The keys a desktop files for a preferred trigger: KDE reads a keypad digit as the digit.'''
    if _kde(self):
        modifiers, _, key = str(trigger).rpartition('+')
        if key.startswith('KP_') and key[3:].isdigit():
            key = key[3:]
        return [(modifiers + '+' if modifiers else '') + key]
    return [str(trigger)]


def _description(self, keys):
    '''A trigger_description as the desktop writes it.'''
    if _kde(self):
        names = {'CTRL': 'Ctrl', 'ALT': 'Alt', 'SHIFT': 'Shift', 'LOGO': 'Meta', 'NUM': 'Num'}
        shown = []
        for trigger in keys:
            parts = trigger.split('+')
            key = parts[-1].upper() if len(parts[-1]) == 1 else parts[-1]
            shown.append('+'.join([names.get(p, p) for p in parts[:-1]] + [key]))
        return ', '.join(shown)
    names = {'CTRL': '<Control>', 'ALT': '<Alt>', 'SHIFT': '<Shift>', 'LOGO': '<Super>', 'NUM': '<Mod2>'}
    accelerators = [''.join(names.get(p, p) for p in t.split('+')[:-1]) + t.split('+')[-1] for t in keys]
    if len(accelerators) == 1:
        return 'Press ' + accelerators[0]
    if len(accelerators) == 2:
        return 'Press %s or %s' % tuple(accelerators)
    return None  # GNOME says nothing of no keys, or of more than two


def _listing(self, session):
    listed = []
    for shortcut_id, description in self.actions.get(session, {}).items():
        properties = {'description': dbus.String(description)}
        text = self.triggers.get(shortcut_id, _description(self, self.stored.get(shortcut_id, [])))
        if text is not None:
            properties['trigger_description'] = dbus.String(text)
        if shortcut_id not in self.unbound:
            listed.append(dbus.Struct((shortcut_id, dbus.Dictionary(properties, signature='sv')), signature='sa{sv}'))
    return dbus.Array(listed, signature='(sa{sv})')


def _component(self, sender, token):
    app_id = self.app_ids.get(sender, '')
    if self.stack == 'kde5':
        return app_id + token
    return app_id or 'token_' + token


def _file(self, session, shortcuts, keys_of_new):
    '''The desktop files these shortcuts for the session's program: rows it knew keep their
    keys, new ones get keys_of_new(trigger); KDE forgets the rows it is not given.'''
    given = {}
    for shortcut_id, properties in shortcuts:
        shortcut_id = str(shortcut_id)
        if shortcut_id not in self.stored:
            self.stored[shortcut_id] = keys_of_new(properties.get('preferred_trigger', ''))
        self.descriptions[shortcut_id] = str(properties.get('description', ''))
        given[shortcut_id] = self.descriptions[shortcut_id]
    if _kde(self):
        for shortcut_id in [s for s in self.stored if s not in given]:
            del self.stored[shortcut_id]
    self.actions[session] = given
    self.activated.add(session)


@dbus.service.method(REGISTRY_IFACE, in_signature='sa{sv}', out_signature='', sender_keyword='sender')
def Register(self, app_id, options, sender):
    if not self.front['registry']:
        raise dbus.exceptions.DBusException(
            'No such interface “%s” on object at path %s' % (REGISTRY_IFACE, MAIN_OBJ),
            name='org.freedesktop.DBus.Error.UnknownMethod')
    self.calls.append('Register ' + app_id)
    if sender in self.callers or sender in self.app_ids:
        raise dbus.exceptions.DBusException(
            'Could not register app ID: Connection already associated with an application ID',
            name='org.freedesktop.portal.Error.Failed')
    if app_id not in self.apps:
        raise dbus.exceptions.DBusException("Could not register app ID: App info not found for '%s'" % app_id,
                                            name='org.freedesktop.portal.Error.Failed')
    self.app_ids[sender] = str(app_id)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender):
    self.calls.append('CreateSession' + (' shortcuts' if 'shortcuts' in options else ''))
    self.callers.add(sender)
    if self.front['needs_id'] and not self.app_ids.get(sender):
        raise dbus.exceptions.DBusException('An app id is required', name='org.freedesktop.portal.Error.NotAllowed')
    results = {}
    token = str(options.get('session_handle_token', 's'))
    session = MAIN_OBJ + '/session/' + _caller(sender) + '/' + token
    response = 2 if [session, True] in self.sessions else self.session_response or 0
    if response == 0:
        self.sessions.append([session, True])
        self.bound_sessions.discard(session)
        if session not in dbusmock.mockobject.objects:  # a session opened again under its handle
            self.AddObject(session, SESSION_IFACE, {'version': dbus.UInt32(1)}, [
                ('Close', '', '', 'for entry in objects["%s"].sessions:\n'
                                  '    if entry[0] == self.path:\n'
                                  '        entry[1] = False' % MAIN_OBJ)])
        results['session_handle'] = dbus.String(session)
        if self.stack == 'kde5':
            # KDE 5.27 binds what the options list, and 1.16.0 hands on its list.
            _file(self, session, options.get('shortcuts', []), lambda t: _desktop_keys(self, t))
            results['shortcuts'] = _listing(self, session)
        elif _kde(self):
            # Plasma 6 starts a session with what it has filed for the program; up to 6.4 its
            # keys work from there, from 6.7.4 only once the session binds them.
            self.actions[session] = {s: self.descriptions.get(s, s) for s in self.stored}
        else:
            self.actions[session] = {}  # GNOME starts every session empty
        if self.stack in ('kde5', 'plasma63'):
            self.activated.add(session)
    return _request(self, sender, options, response, results)


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o', sender_keyword='sender')
def ListShortcuts(self, session, options, sender):
    self.calls.append('ListShortcuts')
    self.callers.add(sender)
    return _request(self, sender, options, 0, {'shortcuts': _listing(self, str(session))})


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o', sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, parent_window, options, sender):
    session = str(session)
    self.calls.append('BindShortcuts ' + ','.join(str(s) for s, _ in shortcuts))
    self.callers.add(sender)
    for shortcut_id, properties in shortcuts:
        self.bound.append('%s %s %s|%s' % (session, shortcut_id, properties.get('preferred_trigger', ''),
                                           properties.get('description', '')))
    if self.bind_response is not None:
        return _request(self, sender, options, int(self.bind_response), {})
    response = 0
    app_id = self.app_ids.get(sender, '')
    new = [(s, p) for s, p in shortcuts if str(s) not in self.actions.get(session, {})]
    if self.stack == 'kde5':
        self.opened.append('systemsettings://kcm_keys/' + _component(self, sender, session.rsplit('/', 1)[1]))
    elif self.stack == 'plasma63':
        _file(self, session, shortcuts, lambda t: _desktop_keys(self, t))
        self.opened.append('systemsettings://kcm_keys/' + _component(self, sender, session.rsplit('/', 1)[1]))
    elif self.stack == 'plasma67':
        if new:
            self.opened.append('Global Shortcuts Requested')
        refused = new and self.dialog == 'refuse'
        _file(self, session, shortcuts, lambda t: [] if refused else _desktop_keys(self, t))
        if refused and len(new) == len(shortcuts):
            return _request(self, sender, options, 1, {})
    else:
        # GNOME Settings takes only an id of two or more elements ("invalid app_id"), and a
        # session binds once.
        if '.' not in app_id or session in self.bound_sessions:
            return _request(self, sender, options, 2, {})
        if any(str(s) not in self.stored for s, _ in shortcuts):
            self.opened.append('Add Keyboard Shortcuts')
            if self.dialog == 'refuse':
                return _request(self, sender, options, 2, {})
        _file(self, session, shortcuts, lambda t: _desktop_keys(self, t))
        self.bound_sessions.add(session)
        response = 2 if self.stack == 'gnome48' else 0
    return _request(self, sender, options, response, {'shortcuts': _listing(self, session)})


def _newest_open(self):
    open_sessions = [path for path, is_open in self.sessions if is_open]
    return open_sessions[-1] if open_sessions else '/'


def _shortcut_signal(self, name, shortcut_id):
    session = _newest_open(self)
    if session not in self.activated or shortcut_id not in self.actions.get(session, {}) or not self.stored.get(shortcut_id):
        return  # the desktop has no key for it in this session
    self.EmitSignal(MAIN_IFACE, name, 'osta{sv}',
                    [dbus.ObjectPath(session), shortcut_id, dbus.UInt64(int(time.time() * 1000)), {}])


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


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='as')
def Calls(self):
    return dbus.Array(self.calls, signature='s')


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='as')
def Opened(self):
    return dbus.Array(self.opened, signature='s')


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='')
def EndSession(self):
    path = _newest_open(self)
    for entry in self.sessions:
        if entry[0] == path:
            entry[1] = False
    self.EmitSignalDetailed(SESSION_IFACE, 'Closed', 'a{sv}', [dbus.Dictionary({}, signature='sv')], {'path': path})
