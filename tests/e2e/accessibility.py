"""Drives the running player through AT-SPI as a screen reader would: finds its windows and
controls by role and name, presses them through their accessible actions and reads what they
say. Run by run_accessibility.sh inside a session with the accessibility bus; it starts the
program itself once it listens, as a screen reader runs before the programs it reads.
    accessibility.py PROGRAM LOG_FILE"""
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


def step(text):
    print("---", text, flush=True)


def fail(text):
    print("FAIL:", text, flush=True)
    print("last names announced:", announced[-10:], flush=True)
    print("last controls focused:", focused[-5:], flush=True)
    if program and program.poll() is None:
        program.kill()
    sys.exit(1)


# Names that the program announced changing, as a screen reader hears them without polling.
announced = []
program = None


def on_name_changed(event):
    announced.append(event.source.name if event.source else None)


# The roles and names of the controls that took the focus, read as the focus came.
focused = []


def on_focus(event):
    if event.detail1 and event.source:
        try:
            focused.append((event.source.getRole(), event.source.name))
        except Exception:  # the control went before its turn came
            focused.append((None, None))


def pump(seconds):
    """Lets the client's main loop deliver the program's events for a while."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_for(what, probe, timeout=15.0):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = probe()
        except Exception:  # the tree changes under us while windows come and go
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            fail(what)
        pump(0.2)


def descendants(node, predicate):
    return pyatspi.findAllDescendants(node, predicate)


def the_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "cd-tunewick32":
            return app
    return None


def window(app, pattern):
    for w in app:
        if w is not None and re.match(pattern, w.name or ""):
            return w
    return None


def role(node):
    return node.getRole()


def button(parent, name):
    found = descendants(parent, lambda n: role(n) in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON,
                                                       pyatspi.ROLE_CHECK_BOX) and n.name == name)
    return found[0] if found else None


def has(node, state):
    node.clear_cache()
    return node.getState().contains(state)


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for i, name in enumerate(names):
        if name.lower() in ("press", "click", "toggle"):
            action.doAction(i)
            return
    fail(f"{node.name!r} offers no press action: {names}")


def texts(parent):
    parent.clear_cache()  # read what the labels say now, not what the client last heard
    return [n.name for n in descendants(parent, lambda n: role(n) in (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC))]


def lcd_value(lcd, pattern):
    for text in texts(lcd):
        if re.fullmatch(pattern, (text or "").strip()):
            return text.strip()
    return None


def times_heard():
    return [t.strip() for t in announced if t and re.fullmatch(r"\d\d:\d\d", t.strip())]


def seconds(time_text):
    minutes, secs = time_text.split(":")
    return int(minutes) * 60 + int(secs)


step("the player is on the accessibility bus")
pyatspi.Registry.registerEventListener(on_name_changed, "object:property-change:accessible-name")
pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
pump(0.5)
with open(sys.argv[2], "w") as log:
    program = subprocess.Popen([sys.argv[1]], stdout=log, stderr=subprocess.STDOUT)
app = wait_for("no application named cd-tunewick32 on the bus", the_app, 30)

step("the registration question is an alert with its text; No answers it")
alert = wait_for("no registration question", lambda: window(the_app(), r"^情報$"))
if role(alert) != pyatspi.ROLE_ALERT:
    fail(f"the question's role is {alert.getRoleName()}")
if not any("このＣＤのデータはありません" in (t or "") for t in texts(alert)):
    fail(f"the question's texts: {texts(alert)}")
no = wait_for("no No button", lambda: next((b for b in descendants(alert, lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON)
                                           if b.name.startswith("いいえ")), None))
press(no)
wait_for("the question did not close", lambda: window(the_app(), r"^情報$") is None)

step("the main panel's buttons say their names and states")
panel = wait_for("no main panel window", lambda: window(the_app(), r"^CD-Tunewick32"))
power = wait_for("no POWER button", lambda: button(panel, "POWER"))
if not has(power, pyatspi.STATE_CHECKED):
    fail("POWER is not reported on")
display = wait_for("no DISPLAY button", lambda: button(panel, "DISPLAY"))
if has(display, pyatspi.STATE_CHECKED):
    fail("DISPLAY is reported on while the LCD is hidden")
if display.description != "ﾃﾞｨｽﾌﾟﾚｲ表示":
    fail(f"DISPLAY's description: {display.description!r}")

step("DISPLAY pressed through its action shows the LCD")
press(display)
lcd = wait_for("the LCD did not appear", lambda: window(the_app(), r"^DISPLAY$"))
wait_for("DISPLAY is not reported on", lambda: has(display, pyatspi.STATE_CHECKED))

step("Play pressed through the transport bar's action; the LCD's time advances")
play = wait_for("no Play button", lambda: button(panel, "再生"))
wait_for("Play is not enabled after the disc was loaded", lambda: has(play, pyatspi.STATE_ENABLED))
step_forward = button(panel, "コマ送り")
if step_forward is None or has(step_forward, pyatspi.STATE_ENABLED):
    fail("Step is missing or enabled")
announced.clear()
press(play)
wait_for("Play is still enabled while playing", lambda: not has(play, pyatspi.STATE_ENABLED))
first = wait_for("no time was announced after Play", lambda: (times_heard() or [None])[0])
later = wait_for("the announced time did not advance",
                 lambda: next((t for t in times_heard() if seconds(t) >= seconds(first) + 2), None))
now = lcd_value(lcd, r"\d\d:\d\d")
if now is None or seconds(now) < seconds(later):
    fail(f"the time label reads {now!r} after {later!r} was announced")
track = lcd_value(lcd, r"\d\d")
if track != "01":
    fail(f"the track label reads {track!r}")
print(f"time announced {first} -> {later}, read {now}")

step("each transport button and switch tells its key, as Orca reads it after the name")
for name, key in (("再生", "Space"), ("一時停止", "Space"), ("停止", "S"), ("次の曲", "N"), ("前の曲", "P"),
                  ("取り出し", "E"), ("REP", "L"), ("SHF", "R"), ("DISPLAY", "D")):
    told = button(panel, name).queryAction().getKeyBinding(0)
    if told != key:
        fail(f"{name} tells the key {told!r}, not {key!r}")

step("a grid cell pressed through its action plays its track")
grid = wait_for("no track grid", lambda: descendants(panel, lambda n: role(n) == pyatspi.ROLE_TABLE)[0])
table = grid.queryTable()
if table.nColumns != 10 or table.nRows < 1:
    fail(f"grid of {table.nColumns} columns and {table.nRows} rows")
cell = table.getAccessibleAt(0, 4)
if cell.name != "05":
    fail(f"cell at row 0, column 4 says {cell.name!r}")
press(cell)
wait_for("the LCD did not show track 05", lambda: lcd_value(lcd, r"05"))
wait_for("the panel's title does not name track 05", lambda: window(the_app(), r"^CD-Tunewick32 Track : 05$"))
wait_for("the pressed cell is not selected", lambda: has(table.getAccessibleAt(0, 4), pyatspi.STATE_SELECTED))

step("the switches are check boxes, off and on; REP switched through its action reads as checked")
rep = wait_for("no REP button", lambda: button(panel, "REP"))
for switch in (power, display, rep, button(panel, "SHF")):
    if switch is None or role(switch) != pyatspi.ROLE_CHECK_BOX:
        fail(f"a switch is no check box: {switch and switch.name!r} {switch and switch.getRoleName()!r}")
print("REP off reads:", rep.getRoleName(), sorted(pyatspi.stateToString(s) for s in rep.getState().getStates()))
if has(rep, pyatspi.STATE_CHECKED):
    fail("REP is on before it was pressed")
press(rep)
wait_for("REP is not reported on", lambda: has(rep, pyatspi.STATE_CHECKED))
print("REP on reads:", rep.getRoleName(), sorted(pyatspi.stateToString(s) for s in rep.getState().getStates()))

step("the shutter's editor button returns at once and the editor names its fields")
if grid.name != "トラック番号":
    fail(f"the main panel's grid is named {grid.name!r}")
press(wait_for("no shutter label", lambda: next(iter(descendants(panel, lambda n: n.name == "CD-Tunewick")), None)))
editor_button = wait_for("no editor button", lambda: button(panel, "ﾃﾞｰﾀﾍﾞｰｽ編集"))
started = time.monotonic()
press(editor_button)
returned = time.monotonic() - started
# The press returned while the editor is still open: its dialog runs outside the reader's call.
editor = wait_for("the editor did not open", lambda: window(the_app(), r"^CD_Database$"))
print(f"the editor button's action returned after {returned:.3f} s")
title = wait_for("no text field named TITLE",
                 lambda: next(iter(descendants(editor, lambda n: role(n) == pyatspi.ROLE_TEXT and n.name == "TITLE")), None))
tables = descendants(editor, lambda n: role(n) == pyatspi.ROLE_TABLE)
if [t.name for t in tables] != ["トラックのタイトル"]:
    fail(f"the editor's tables are named {[t.name for t in tables]}")
title.queryComponent().grabFocus()
wait_for("the title field did not take the focus", lambda: has(title, pyatspi.STATE_FOCUSED))
subprocess.run(["xdotool", "key", "Tab"], check=True)
# The grid lands on the playing track's title cell with its editor open; a reader meets the editor
# as the control that takes the focus.
cell_editor = wait_for("Tab opened no cell editor named after its track", lambda: next(
    (name for kind, name in focused if kind == pyatspi.ROLE_TEXT and re.fullmatch(r"トラック \d+ のタイトル", name or "")),
    None))
print("the cell editor is named", cell_editor)
press(wait_for("no close button", lambda: next(iter(descendants(
    editor, lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON and (n.name or "").startswith("閉じる"))), None)))
wait_for("the editor did not close", lambda: not has(editor, pyatspi.STATE_SHOWING))

step("POWER pressed through its action ends the program")
press(power)
wait_for("the program did not end", lambda: program.poll() is not None, 10)
print("accessibility e2e ok")
