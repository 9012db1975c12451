"""The interface language of the real program, read through AT-SPI as a screen reader reads it:
the look-up and registration questions, the main panel's hint and transport button names.
The program is started three times: under LANG=en_US.UTF-8 it speaks English; under
LANG=ja_JP.UTF-8 and with no locale at all it speaks the Japanese of the design, exactly.
Run by run_accessibility.sh inside a session with the accessibility bus.
    language.py PROGRAM LOG_FILE"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

JAPANESE = {
    "consent": "タイトルの検索",
    "question": "情報",
    "text": "このＣＤのデータはありません。\nデータベースに登録しますか？",
    "buttons": ["はい(Y)", "いいえ(N)"],
    "display hint": "ﾃﾞｨｽﾌﾟﾚｲ表示",
    "play": "再生",
}
ENGLISH = {
    "consent": "Title look-up",
    "question": "Information",
    "text": "There are no titles for this CD.\nAdd it to the database?",
    "buttons": ["Yes", "No"],
    "display hint": "Show the display",
    "play": "Play",
}
LOCALE_VARIABLES = ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")
program = None


def fail(text):
    print("FAIL:", text, flush=True)
    if program and program.poll() is None:
        program.kill()
    sys.exit(1)


def pump(seconds):
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


def the_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "cd-tunewick32":
            return app
    return None


def window(name):
    return next((w for w in the_app() if w is not None and w.name == name), None)


def named(parent, roles):
    parent.clear_cache()
    return pyatspi.findAllDescendants(parent, lambda n: n.getRole() in roles)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() in ("press", "click", "toggle"):
            return action.doAction(i)
    fail(f"{node.name!r} offers no press action")


def check(label, locale, expected, log):
    global program
    print(f"--- {label}: the program speaks {'English' if expected is ENGLISH else 'Japanese'}", flush=True)
    env = {k: v for k, v in os.environ.items() if k not in LOCALE_VARIABLES}
    env.update(locale)
    program = subprocess.Popen([sys.argv[1]], stdout=log, stderr=subprocess.STDOUT, env=env)
    wait_for("no application named cd-tunewick32 on the bus", the_app, 30)

    # Where the online look-up is built in, the first disc asks whether titles may be looked up
    # (answered No) before it asks to register the disc.
    first = wait_for(f"no question named {expected['question']!r} or {expected['consent']!r}",
                     lambda: window(expected["consent"]) or window(expected["question"]))
    if first.name == expected["consent"]:
        press(named(first, (pyatspi.ROLE_PUSH_BUTTON,))[1])
    question = wait_for(f"no registration question named {expected['question']!r}", lambda: window(expected["question"]))
    texts = [n.name for n in named(question, (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC))]
    if expected["text"] not in texts:
        fail(f"the question says {texts}")
    buttons = [b.name for b in named(question, (pyatspi.ROLE_PUSH_BUTTON,))]
    if buttons != expected["buttons"]:
        fail(f"the question's buttons: {buttons}")
    press(named(question, (pyatspi.ROLE_PUSH_BUTTON,))[1])
    wait_for("the question did not close", lambda: window(expected["question"]) is None)

    panel = wait_for("no main panel", lambda: next((w for w in the_app() if (w.name or "").startswith("CD-Tunewick32")), None))
    display = wait_for("no DISPLAY button", lambda: next(b for b in named(panel, (pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX)) if b.name == "DISPLAY"))
    if display.description != expected["display hint"]:
        fail(f"DISPLAY's hint: {display.description!r}")
    buttons = [b.name for b in named(panel, (pyatspi.ROLE_PUSH_BUTTON,))]
    if expected["play"] not in buttons:
        fail(f"no transport button named {expected['play']!r} among {buttons}")

    power = next(b for b in named(panel, (pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX)) if b.name == "POWER")
    press(power)
    wait_for("the program did not end", lambda: program.poll() is not None, 10)
    program = None


with open(sys.argv[2], "w") as log:
    pump(0.5)
    check("LANG=en_US.UTF-8", {"LANG": "en_US.UTF-8"}, ENGLISH, log)
    check("LANG=ja_JP.UTF-8", {"LANG": "ja_JP.UTF-8"}, JAPANESE, log)
    check("no locale", {}, JAPANESE, log)
print("language e2e ok")
