#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Starts Vardel on an X display with an accessibility bus of its own and
# checks what a screen reader sees through at-spi: the drive selector named
# "Drive", the tree "Folders", every control reachable by Tab named, the
# status and date panels' texts readable, and a change of the status text
# announced. Needs python3-pyatspi, at-spi2-core, dbus-daemon and xdotool;
# not part of the test suite, which must not depend on a desktop.
#   scripts/check-accessibility.sh [PROGRAM]     (DISPLAY must be set)
set -euo pipefail
program=$(realpath "${1:-build/src/vardel}")
[ -n "${DISPLAY:-}" ] || { echo "check-accessibility: DISPLAY is not set" >&2; exit 2; }
work=$(mktemp -d /tmp/vardel-a11y.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/home/watched" "$work/runtime"
chmod 700 "$work/runtime"
echo text > "$work/home/watched/a.txt"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 --address="unix:path=$work/bus")
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
pids+=("${bus##*$'\n'}")
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/a11y.log" 2>&1 &
pids+=("$!")
sleep 1

cd "$work/home/watched"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/vardel.log" 2>&1 &
pids+=("$!")
for _ in $(seq 50); do
    xdotool search --sync --onlyvisible --pid "${pids[-1]}" --name '^Vardel$' >/dev/null 2>&1 && break
    sleep 0.2
done

/usr/bin/python3 - "$work/home/watched" "${pids[-1]}" <<'PYTHON'
import sys, threading, subprocess, time
import pyatspi
from gi.repository import GLib

watched = sys.argv[1]
failures = []
def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)

app = None
for _ in range(50):
    desktop = pyatspi.Registry.getDesktop(0)
    app = next((a for a in desktop if a and a.name in ("vardel", "Vardel")), None)
    if app and app.childCount:
        break
    time.sleep(0.2)
check(app is not None, "the program is on the accessibility bus")
if app is None:
    sys.exit(1)

def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child:
            yield from walk(child)

def text_of(node):
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return None

main = next(w for w in app if w.name == "Vardel")
nodes = list(walk(main))
by_name = {n.name: n for n in nodes}
role = lambda n: n.getRoleName()
combo = [n for n in nodes if n.getRole() == pyatspi.ROLE_COMBO_BOX]
check([n.name for n in combo] == ["Drive"], "the drive selector is named Drive: %s" % [n.name for n in combo])
check(any(n.name == "Folders" and n.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE) for n in nodes), "the tree is named Folders")
check(by_name.get("Status") is not None and text_of(by_name["Status"]) == "Sleeping...",
      "the status panel reads %r" % (text_of(by_name["Status"]) if "Status" in by_name else None))
date = text_of(by_name["Date"]) if "Date" in by_name else ""
check(bool(date), "the date panel reads %r" % date)
focusable = [n for n in nodes if n.getState().contains(pyatspi.STATE_FOCUSABLE) and n.getState().contains(pyatspi.STATE_SHOWING)
             and n.getRole() not in (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_COLUMN_HEADER,
                                     pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU)]
unnamed = ["%s" % role(n) for n in focusable if not n.name]
check(not unnamed, "every focusable control is named: %s" % sorted("%s %r" % (role(n), n.name) for n in focusable))

# A change of the status text reaches a screen reader: the watched folder
# goes away and File > Scan Network lists it.
heard = []
def listener(event):
    if event.source and event.source.name == "Status":
        heard.append(event.any_data)
pyatspi.Registry.registerEventListener(listener, "object:text-changed:insert")
def act():
    time.sleep(0.5)
    subprocess.run(["rm", "-rf", watched])
    subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", sys.argv[2], "--name", "^Vardel$", "windowactivate",
                    "--sync"], stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", "--clearmodifiers", "alt+f"])
    # The menu's item is pressed once the menu shows.
    for _ in range(50):
        if any(n.name == "Scan Network" and n.getState().contains(pyatspi.STATE_SHOWING) for n in walk(app)):
            break
        time.sleep(0.2)
    subprocess.run(["xdotool", "key", "s"])
    for _ in range(150):
        if "Folder not available: " + watched in heard:
            break
        time.sleep(0.1)
    GLib.idle_add(pyatspi.Registry.stop)
threading.Thread(target=act, daemon=True).start()
pyatspi.Registry.start()
expected = "Folder not available: " + watched
check(expected in heard, "the status change was announced: %s" % heard)
check(text_of(by_name["Status"]) == expected, "the status panel then reads %r" % text_of(by_name["Status"]))
sys.exit(1 if failures else 0)
PYTHON
