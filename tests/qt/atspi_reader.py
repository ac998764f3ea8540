#!/usr/bin/env python3
"""What a screen reader reads of one program, through AT-SPI (pyatspi) on the bus that
AT_SPI_BUS_ADDRESS names.

  atspi_reader.py tree PID     prints the program's windows and everything in them, one JSON
                               object a line: depth, role, name, description, actions, states,
                               the names of the objects it is labelled by, its text (null
                               without a text interface) and its place on the screen (x, y,
                               width, height)
  atspi_reader.py events PID   prints "ready" once it listens, then one JSON object a line for
                               each text, name, showing or window event of the program
"""
import json
import sys
import time

import pyatspi

EVENTS = [
    "object:text-changed",
    "object:property-change:accessible-name",
    "object:state-changed:showing",
    "window:activate",
    "window:create",
]


def application(pid, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    return None


def facts(obj):
    try:
        action = obj.queryAction()
        actions = [action.getName(i) for i in range(action.nActions)]
    except NotImplementedError:
        actions = []
    states = obj.getState()
    labels = []
    for relation in obj.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            labels += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    try:
        text = obj.queryText().getText(0, -1)
    except NotImplementedError:
        text = None
    try:
        box = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        place = [box.x, box.y, box.width, box.height]
    except NotImplementedError:
        place = []
    return {
        "role": obj.getRoleName(),
        "name": obj.name,
        "description": obj.description,
        "actions": actions,
        "checked": states.contains(pyatspi.STATE_CHECKED),
        "showing": states.contains(pyatspi.STATE_SHOWING),
        "labelledBy": labels,
        "text": text,
        "place": place,
    }


def walk(obj, depth):
    line = facts(obj)
    line["depth"] = depth
    print(json.dumps(line), flush=True)
    for child in obj:
        if child is not None:
            walk(child, depth + 1)


def tree(pid):
    app = application(pid)
    if app is None:
        print(json.dumps({"error": "the program is not on the accessibility bus"}), flush=True)
        return 1
    for window in app:
        if window is not None:
            walk(window, 0)
    return 0


def events(pid):
    if application(pid) is None:
        print(json.dumps({"error": "the program is not on the accessibility bus"}), flush=True)
        return 1

    def heard(event):
        try:
            if event.host_application.get_process_id() != pid:
                return
            source = event.source
            data = event.any_data
            print(json.dumps({
                "type": event.type,
                "role": source.getRoleName(),
                "name": source.name,
                "detail1": event.detail1,
                "data": data if isinstance(data, str) else "",
            }), flush=True)
        except Exception as error:  # an object gone meanwhile
            print(json.dumps({"type": "unreadable", "error": str(error)}), flush=True)

    for name in EVENTS:
        pyatspi.Registry.registerEventListener(heard, name)
    print("ready", flush=True)
    pyatspi.Registry.start()
    return 0


if __name__ == "__main__":
    mode, pid = sys.argv[1], int(sys.argv[2])
    sys.exit(tree(pid) if mode == "tree" else events(pid))
