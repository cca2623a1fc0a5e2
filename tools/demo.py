#!/usr/bin/env python3
"""A guided demonstration of Velmoryn on the simulated desktop.

    demo.py VELMORYN [--out FOLDER]          the guided run (tools/demo.sh)
    demo.py VELMORYN --interactive [--fresh] the program, for you to drive

The guided run starts the real program in a fresh folder (HOME and the XDG
folders inside it, so your own folders are never touched), drives it through
its control channel, prints a short narration before each step and then the
program's own lines, and checks every line it expects: when the program does
not do what the narration says, the run stops with a non-zero exit status.
It leaves the status icon, drawn at scale 2, in FOLDER/icon-shown.png and
FOLDER/icon-hidden.png.
"""

import argparse
import os
import shutil
import struct
import sys
import time

import velmoryn_driver

TIMEOUT = 30.0

# The Dock as a typical user has it: shown, no autohide delay of their own.
TYPICAL_DOCK = {"autohide": False, "tilesize": 48, "mineffect": "genie"}

COLOUR = sys.stdout.isatty() and os.environ.get("NO_COLOR") is None


def paint(code, text):
    return f"\033[{code}m{text}\033[0m" if COLOUR else text


class DemoFailure(Exception):
    pass


class Program:
    """The running program: its input, and its output printed as it is read."""

    def __init__(self, binary, folders):
        self.run = folders.launch(binary, timeout=TIMEOUT)
        self.stderr = self.run.stderr
        self.cursor = 0

    def send(self, *commands):
        for command in commands:
            print(paint("36", f"    > {command}"))
        if not self.run.send(*commands):
            raise DemoFailure("the program has gone away")

    def next_line(self, deadline, waiting_for):
        found = self.run.wait_for(lambda line: True, max(deadline - time.monotonic(), 0.01),
                                  self.cursor)
        if found is None:
            if self.run.output_ended():
                raise DemoFailure(f"the program ended before it printed {waiting_for}")
            raise DemoFailure(f"the program did not print {waiting_for} within {TIMEOUT:g} s")
        self.cursor = found + 1
        line = self.run.lines[found]
        print(f"      {line}")
        return line

    def expect(self, *wanted, forbid=()):
        """Reads and prints lines until each wanted line (exact text, or a
        prefix when it ends in "...") has come, in order; fails on an error
        line or on a line starting with one of `forbid`. Returns the lines."""
        deadline = time.monotonic() + TIMEOUT
        seen = []
        for want in wanted:
            matches = ((lambda line, p=want[:-3]: line.startswith(p)) if want.endswith("...")
                       else (lambda line, w=want: line == w))
            while True:
                line = self.next_line(deadline, repr(want))
                seen.append(line)
                if matches(line):
                    break
                if line.startswith("error:"):
                    raise DemoFailure(f"the program reported {line!r} instead of {want!r}")
                if any(line.startswith(prefix) for prefix in forbid):
                    raise DemoFailure(f"{line!r} came, which should not have happened")
        return seen

    def wait_exit(self):
        status = self.run.wait_exit()
        if status is None:
            raise DemoFailure("the program did not end")
        for line in self.run.lines[self.cursor:]:
            print(f"      {line}")
        self.cursor = len(self.run.lines)
        return status

    def kill(self):
        self.run.kill()


def narrate(text):
    print()
    print(paint("1", "==> " + text))


def note(text):
    print(paint("32", "    " + text))


def check(condition, message):
    if not condition:
        raise DemoFailure(message)


def describe(domain):
    """The Dock's preference domain in the words of `defaults read`."""
    if domain is None:
        return "(no Dock preferences at all)"
    parts = []
    for key, value in domain.items():
        if isinstance(value, bool):
            value = int(value)
        parts.append(f"{key} = {value};")
    return "{ " + " ".join(parts) + " }"


def png_size(path):
    with open(path, "rb") as file:
        head = file.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


MARKER = ".velmoryn-demo"


def fresh_folder(path, default):
    """Empties a folder for a run; refuses one that this demo did not make."""
    if (os.path.isdir(path) and os.listdir(path) and path != default
            and not os.path.exists(os.path.join(path, MARKER))):
        raise DemoFailure(f"{path} is not empty and was not made by this demo: not touching it")
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    open(os.path.join(path, MARKER), "w", encoding="utf-8").close()


def guided(binary, out, default_out):
    started = time.monotonic()
    fresh_folder(out, default_out)
    folders = velmoryn_driver.Folders(out)
    dock = folders.dock

    print(paint("1", "Velmoryn, a guided tour") + " - the real program on a simulated Mac: one "
          "1440 x 900 screen,\nthe Dock at the bottom (70 points high), a menu bar with "
          "Velmoryn's icon.\nEverything it writes stays in " + os.path.relpath(out) + "/. "
          "Lines after '>' are what the tour types; the\nindented lines below them are what "
          "Velmoryn prints.")

    narrate("Your Dock, as a typical user has it: shown (autohide off), no autohide delay.")
    folders.seed_dock(TYPICAL_DOCK)
    before = dock()
    note("com.apple.dock: " + describe(before))

    narrate("Start Velmoryn. It notes your settings, raises the autohide delay to 1000 s (so "
            "that\n    an auto-hidden Dock cannot slide in by itself) and restarts the Dock once "
            "to apply it.\n    It leaves the Dock as it found it: shown, with the icon of three "
            "squares.")
    program = Program(binary, folders)
    try:
        launch = program.expect("control: ...", "dock: autohide-delay 1000", "dock: restarted",
                                "icon: shown (three squares)", "tooltip: Velmoryn / Dock表示中",
                                "ready")
        check(launch.count("dock: restarted") == 1, "the Dock was restarted more than once")
        check(not any(line.startswith("dock: autohide ") for line in launch),
              "the launch changed the Dock's autohide")
        program.send("icon icon-shown.png 2")
        program.expect("icon: wrote icon-shown.png at scale 2")

        narrate("Left-click the menu-bar icon: hidden mode. Autohide goes on and the icon becomes "
                "an arrow.")
        program.send("click left")
        program.expect("click: left", "dock: autohide on", "icon: hidden (arrow)",
                       "tooltip: Velmoryn / Dock非表示中")
        program.send("icon icon-hidden.png 2")
        program.expect("icon: wrote icon-hidden.png at scale 2")

        narrate("Rest the pointer on the bottom edge and swipe up on the trackpad (three small "
                "scroll\n    events of 4 points within half a second): the Dock lifts.")
        program.send("pointer 700 3", "scroll precise 4 0", "scroll precise 4 0",
                     "scroll precise 4 0")
        program.expect("pointer: 700 3", "scroll: precise 4 0, seen by 1 monitor",
                       "scroll: precise 4 0, seen by 1 monitor", forbid=("dock:",))
        program.expect("dock: autohide off", "scroll: precise 4 0, seen by 1 monitor")
        lifted = time.monotonic()

        narrate("Keep the pointer on the Dock for a second: it stays up.")
        program.send("pointer 700 60", "wait 1", "show")
        program.expect("pointer: 700 60", "show: ...", forbid=("dock:",))

        narrate("Move the pointer away, up the screen: the Dock hides again by itself once the "
                "pointer\n    is more than 12 points above it (real timers, every 0.12 s).")
        moved = time.monotonic()
        program.send("pointer 700 400")
        program.expect("pointer: 700 400", "dock: autohide on")
        note(f"down {time.monotonic() - moved:.2f} s after the pointer left "
             f"({time.monotonic() - lifted:.1f} s after the swipe; at least 0.5 s)")

        narrate("Press the hot key Control+Option+Command+D from anywhere: shown mode. Press it "
                "again:\n    hidden mode.")
        program.send("hotkey")
        program.expect("hotkey: pressed ⌃⌥⌘D", "dock: autohide off", "icon: shown (three squares)",
                       "tooltip: Velmoryn / Dock表示中")
        program.send("hotkey")
        program.expect("hotkey: pressed ⌃⌥⌘D", "dock: autohide on", "icon: hidden (arrow)",
                       "tooltip: Velmoryn / Dock非表示中")

        narrate("Right-click the icon: the menu. [x] marks what is on: the edge swipe (item 4) "
                "and\n    launch at login (item 6; Velmoryn registered itself on its first "
                "launch).\n    Choose item 4 to turn the edge swipe off.")
        program.send("click right")
        menu = program.expect("click: right", "menu: ...")[-1]
        check('1 "Dockを表示"' in menu, "the first item should offer to show the Dock")
        check('4 [x] "画面端のスワイプで一時表示"' in menu, "the edge swipe should be checked")
        check('6 [x] "ログイン時に起動"' in menu, "launch at login should be checked")
        program.send("choose 4")
        program.expect('menu: chose 4 "画面端のスワイプで一時表示"', "menu: closed")

        narrate("Open the menu again: item 4 has lost its check mark. Close it.")
        program.send("click right")
        menu = program.expect("click: right", "menu: ...")[-1]
        check('| 4 "画面端のスワイプで一時表示" |' in menu, "the edge swipe should be unchecked")
        program.send("dismiss")
        program.expect("menu: closed")

        narrate("Swipe at the edge again (a notched wheel this time: one line is 20 points): "
                "with the\n    swipe off nothing happens, the Dock stays hidden.")
        program.send("pointer 700 3", "scroll line 1 0", "wait 0.3", "show")
        state = program.expect("pointer: 700 3", "scroll: line 1 0, seen by 1 monitor", "show: ...",
                               forbid=("dock:",))[-1]
        check("dock=hidden" in state, "the Dock should still be hidden")

        narrate("Quit from the menu (item 8): Velmoryn writes your own settings back and "
                "restarts the\n    Dock once.")
        program.send("click right")
        program.expect("click: right", "menu: ...")
        program.send("choose 8")
        out_lines = program.expect('menu: chose 8 "Velmoryn を終了"', "menu: closed",
                                   "dock: autohide-delay removed", "dock: autohide off",
                                   "dock: restarted")
        status = program.wait_exit()
        check(status == 0, f"the program ended with status {status}")
        check(out_lines.count("dock: restarted") == 1, "the Dock was restarted more than once")
        note("Velmoryn ended with exit status 0.")
    except DemoFailure:
        program.kill()
        if program.stderr:
            print("--- what Velmoryn wrote to standard error:", file=sys.stderr)
            print("\n".join(line for line in program.stderr if line is not None),
                  file=sys.stderr)
        raise

    narrate("Your Dock now, compared with before Velmoryn started:")
    after = dock()
    note("before: " + describe(before))
    note("after:  " + describe(after))
    check(after == before, "the Dock's settings differ from before the start")
    note("The same, key for key: your settings are back in place.")

    narrate("The status icon, drawn by the program at scale 2:")
    for name in ("icon-shown.png", "icon-hidden.png"):
        path = os.path.join(out, name)
        width, height = png_size(path)
        check((width, height) == (48, 32), f"{name} is {width} x {height}, not 48 x 32")
        note(f"{os.path.relpath(path)}  ({width} x {height} pixels)")

    print()
    print(paint("1;32", f"Demo passed in {time.monotonic() - started:.1f} s.") +
          " Drive it yourself: tools/demo.sh --interactive")


CHEAT_SHEET = """\
Velmoryn is starting on a simulated Mac: one 1440 x 900 screen, the Dock at the bottom
(70 points high). The simulated Dock and Velmoryn's settings are {where}.
Files you name in commands land in {cwd}/. Type one command per line:
`click left` switches the Dock between shown and hidden, `hotkey` presses ⌃⌥⌘D, which does
the same, `click right` opens the menu and `choose N` picks item N (`dismiss` closes it);
in hidden mode `pointer 700 3` rests the pointer on the Dock's edge, `scroll line 1 0` (or
`scroll precise 4 0` a few times) swipes toward it and lifts the Dock, `pointer 700 400`
moves away and it hides again; `show` prints the state, `icon icon.png 2` saves the icon,
`help` lists every command. Quit with `click right` then `choose 8`, or Ctrl-C: both put
your Dock settings back. The end of input does not quit: Velmoryn is a menu-bar program."""


def interactive(binary, fresh, out):
    if fresh:
        os.makedirs(out, exist_ok=True)
        fresh_folder(fresh, os.path.join(out, "interactive"))
        env = velmoryn_driver.Folders(fresh).env
        where = f"kept in {os.path.relpath(fresh)}/"
    else:
        env = dict(os.environ)
        where = ("kept in your own per-user folders (XDG_DATA_HOME/velmoryn or "
                 "~/.local/share/velmoryn;\nthe first launch also registers a login item in "
                 "~/.config/autostart, removed by `velmoryn --login off`)")
    os.makedirs(out, exist_ok=True)
    os.chdir(out)
    print(CHEAT_SHEET.format(where=where, cwd=os.path.relpath(out, os.environ.get("PWD", "."))))
    print()
    sys.stdout.flush()
    os.execve(binary, [binary], env)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary")
    parser.add_argument("--out", help="folder of the guided run (default: demo-out/)")
    parser.add_argument("--interactive", action="store_true",
                        help="start the program for you to drive")
    parser.add_argument("--fresh", action="store_true",
                        help="with --interactive: in a fresh folder, not your own folders")
    options = parser.parse_args()
    binary = os.path.abspath(options.binary)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    default_out = os.path.join(root, "demo-out")
    out = os.path.abspath(options.out or default_out)

    try:
        if options.interactive:
            interactive(binary, os.path.join(out, "interactive") if options.fresh else None, out)
            return 0
        if options.fresh:
            parser.error("--fresh goes with --interactive")
        guided(binary, out, default_out)
    except DemoFailure as failure:
        print(file=sys.stderr)
        print(paint("1;31", f"DEMO FAILED: {failure}"), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
