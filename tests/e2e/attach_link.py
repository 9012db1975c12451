"""The editor's link for adding an unknown disc to MusicBrainz, as a screen-reader and keyboard
user meets it: a new disc that the stand-in service does not know, the editor opened from the
registration question, the link announced as a button that Tab reaches right after the title
field, and its action opening the service's page in the browser (here a stand-in xdg-open that
writes down the address). Run by run_accessibility.sh:
    run_accessibility.sh PROGRAM tests/e2e/attach_link.py"""
import os
import re
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.argv = [sys.argv[0], sys.argv[1], sys.argv[2]]
# The helpers of the main accessibility client, without running its scenario.
source = open(os.path.join(here, "accessibility.py"), encoding="utf-8").read()
exec(source.split('step("the player is on the accessibility bus")')[0])

LINK = "MusicBrainz に登録..."
work = tempfile.mkdtemp(prefix="attach-link-")
opened = os.path.join(work, "opened")
browser = os.path.join(work, "bin")
os.makedirs(browser)
with open(os.path.join(browser, "xdg-open"), "w") as f:
    f.write(f'#!/bin/sh\nprintf "%s" "$1" > "{opened}"\n')
os.chmod(os.path.join(browser, "xdg-open"), 0o755)

step("a stand-in service that knows no release of the disc")
port_file = os.path.join(work, "port")
service = subprocess.Popen(["/usr/bin/python3", os.path.join(here, "musicbrainz_server.py"), port_file,
                            os.path.join(work, "requests.log"), "12", "0", "0"])
wait_for("the stand-in service did not start", lambda: os.path.exists(port_file), 10)
base = "http://127.0.0.1:" + open(port_file).read()
env = dict(os.environ, TUNEWICK_MUSICBRAINZ_URL=base, TUNEWICK_COVERART_URL=base,
           PATH=browser + ":" + os.environ["PATH"], BROWSER=os.path.join(browser, "xdg-open"))
settings = os.path.join(os.environ["XDG_CONFIG_HOME"], "cd-tunewick32", "ROTOR.INI")
with open(settings, "w", newline="") as f:
    f.write("[Online]\r\nMusicBrainz=1\r\n")

pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
pump(0.5)
try:
    with open(sys.argv[2], "w") as log:
        program = subprocess.Popen([sys.argv[1]], stdout=log, stderr=subprocess.STDOUT, env=env)
    wait_for("no application named cd-tunewick32 on the bus", the_app, 30)

    step("Yes to the registration question opens the editor")
    alert = wait_for("no registration question", lambda: window(the_app(), r"^情報$"))
    press(wait_for("no Yes button", lambda: next((b for b in descendants(alert, lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON)
                                                 if b.name.startswith("はい")), None)))
    editor = wait_for("the editor did not open", lambda: window(the_app(), r"^CD_Database$"))

    step("the link is announced as a button of its own, focusable")
    link = wait_for(f"no button named {LINK!r} in the editor", lambda: next(iter(descendants(
        editor, lambda n: role(n) in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_LINK) and n.name == LINK)), None))
    wait_for("the link is not showing", lambda: has(link, pyatspi.STATE_SHOWING))
    if not has(link, pyatspi.STATE_FOCUSABLE):
        fail("the link cannot take the focus")
    nameless = descendants(editor, lambda n: role(n) == pyatspi.ROLE_LABEL and not n.name
                           and has(n, pyatspi.STATE_FOCUSABLE))
    if nameless:
        fail(f"{len(nameless)} nameless focusable labels in the editor")

    step("Tab from the title field reaches the link")
    title = wait_for("no text field named TITLE", lambda: next(iter(descendants(
        editor, lambda n: role(n) == pyatspi.ROLE_TEXT and n.name == "TITLE")), None))
    title.queryComponent().grabFocus()
    wait_for("the title field did not take the focus", lambda: has(title, pyatspi.STATE_FOCUSED))
    subprocess.run(["xdotool", "key", "Tab"], check=True)
    wait_for("Tab did not bring the focus to the link", lambda: has(link, pyatspi.STATE_FOCUSED))

    step("the link's action opens the page for adding the disc")
    press(link)
    address = wait_for("the link's action opened nothing",
                       lambda: os.path.exists(opened) and open(opened).read(), 10)
    if not re.match(r"https://musicbrainz\.org/cdtoc/attach\?id=[A-Za-z0-9._-]{28}&tracks=12&toc=1", address):
        fail(f"the link opened {address!r}")
    print("opened", address)

    press(wait_for("no close button", lambda: next(iter(descendants(
        editor, lambda n: role(n) == pyatspi.ROLE_PUSH_BUTTON and (n.name or "").startswith("閉じる"))), None)))
    wait_for("the editor did not close", lambda: not has(editor, pyatspi.STATE_SHOWING))
    press(wait_for("no POWER button", lambda: button(window(the_app(), r"^CD-Tunewick32"), "POWER")))
    wait_for("the program did not end", lambda: program.poll() is not None, 10)
    print("attach link e2e ok")
finally:
    service.kill()
