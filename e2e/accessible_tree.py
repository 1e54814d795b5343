"""Prints what a screen reader finds in the running Quillet, one object a line:
ROLE|NAME|selected-or-empty, for the page tabs with their buttons, the status bar's labels and
the preview's document with its headings and paragraphs (a paragraph by its text).
Run with the system python3 (python3-pyatspi) on the session bus Quillet runs on."""
import sys
import time

import pyatspi

WANTED = {"page tab list", "page tab", "push button", "status bar", "label", "document frame",
          "heading", "paragraph"}
REGIONS = ("page tab list", "status bar", "document frame")


def quillet():
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and "quillet" in (app.name or "").lower():
                return app
        time.sleep(0.2)
    sys.exit("Quillet is not in the accessibility tree")


def text_of(node):
    try:
        return node.queryText().getText(0, -1)
    except NotImplementedError:
        return ""


def walk(node, inside):
    role = node.getRoleName()
    inside = inside or role in REGIONS
    if inside and role in WANTED:
        selected = node.getState().contains(pyatspi.STATE_SELECTED)
        name = text_of(node) if role == "paragraph" else node.name
        print(f"{role}|{name}|{'selected' if selected else ''}")
    for child in node:
        if child is not None:
            walk(child, inside)


walk(quillet(), False)
