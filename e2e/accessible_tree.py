"""Prints what a screen reader finds in the running Quillet, one object a line:
ROLE|NAME|selected-or-empty, for the page tabs with their buttons and the status bar's labels.
Run with the system python3 (python3-pyatspi) on the session bus Quillet runs on."""
import sys
import time

import pyatspi

WANTED = {"page tab list", "page tab", "push button", "status bar", "label"}


def quillet():
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and "quillet" in (app.name or "").lower():
                return app
        time.sleep(0.2)
    sys.exit("Quillet is not in the accessibility tree")


def walk(node, inside):
    role = node.getRoleName()
    inside = inside or role in ("page tab list", "status bar")
    if inside and role in WANTED:
        selected = node.getState().contains(pyatspi.STATE_SELECTED)
        print(f"{role}|{node.name}|{'selected' if selected else ''}")
    for child in node:
        if child is not None:
            walk(child, inside)


walk(quillet(), False)
