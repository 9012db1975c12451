"""The interface language of the real program, read through AT-SPI as a screen reader reads it:
the look-up and registration questions, the main panel's hint and transport button names, and
the help page that the shutter's help button shows.
The program is started four times: under LANG=en_US.UTF-8 it speaks English; under
LANG=ja_JP.UTF-8, with LANGUAGE=fr:ja (no French, so Japanese) and with no locale at all it
speaks the Japanese of the design, exactly. The desktop cannot show help here (its opener fails,
or there is none), so the page comes up in the program's own viewer, titled in its language.
Run by run_accessibility.sh inside a session with the accessibility bus.
    language.py PROGRAM LOG_FILE"""
import atexit
import os
import shutil
import stat
import subprocess
import sys
import tempfile
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
    "help button": "ヘルプを表示",
    "help": "CD-Tunewick32 ヘルプ",
    "page": "ROTOR.html",
}
ENGLISH = {
    "consent": "Title look-up",
    "question": "Information",
    "text": "There are no titles for this CD.\nAdd it to the database?",
    "buttons": ["Yes", "No"],
    "display hint": "Show the display",
    "play": "Play",
    "help button": "Show the help",
    "help": "CD-Tunewick32 Help",
    "page": "ROTOR.en.html",
}
LOCALE_VARIABLES = ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")
program = None
scratch = tempfile.mkdtemp()
atexit.register(shutil.rmtree, scratch, True)


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


def failing_opener():
    """A folder for PATH whose xdg-open records the page asked for and fails, as xdg-open does
    on a desktop without a browser."""
    folder = tempfile.mkdtemp(dir=scratch)
    opener = os.path.join(folder, "xdg-open")
    with open(opener, "w") as script:
        script.write(f'#!/bin/sh\necho "$1" >>{folder}/asked\nexit 4\n')
    os.chmod(opener, stat.S_IRWXU)
    return folder


def check(label, locale, expected, log, opener=None):
    global program
    print(f"--- {label}: the program speaks {'English' if expected is ENGLISH else 'Japanese'}", flush=True)
    env = {k: v for k, v in os.environ.items() if k not in LOCALE_VARIABLES + ("BROWSER", "DEFAULT_BROWSER")}
    env.update(locale)
    # Without an opener of the test's own, no opener at all.
    env["PATH"] = opener or tempfile.mkdtemp(dir=scratch)
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

    press(wait_for("no shutter label", lambda: pyatspi.findAllDescendants(panel, lambda n: n.name == "CD-Tunewick")[0]))
    press(wait_for(f"no help button named {expected['help button']!r}", lambda: next(
        b for b in named(panel, (pyatspi.ROLE_PUSH_BUTTON,)) if b.name == expected["help button"])))
    wait_for(f"no help window named {expected['help']!r}", lambda: window(expected["help"]))
    if opener:
        with open(os.path.join(opener, "asked")) as asked:
            page = asked.read().strip()
        if not page.endswith("/" + expected["page"] + "#context-1000"):
            fail(f"the desktop was asked to open {page!r}")

    power = next(b for b in named(panel, (pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX)) if b.name == "POWER")
    press(power)
    wait_for("the program did not end", lambda: program.poll() is not None, 10)
    program = None


with open(sys.argv[2], "w") as log:
    pump(0.5)
    check("LANG=en_US.UTF-8", {"LANG": "en_US.UTF-8"}, ENGLISH, log, failing_opener())
    check("LANG=ja_JP.UTF-8", {"LANG": "ja_JP.UTF-8"}, JAPANESE, log, failing_opener())
    check("LANGUAGE=fr:ja", {"LANGUAGE": "fr:ja", "LANG": "ja_JP.UTF-8"}, JAPANESE, log)
    check("no locale", {}, JAPANESE, log)
print("language e2e ok")
