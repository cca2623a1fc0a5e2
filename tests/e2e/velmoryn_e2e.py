"""Drives the real velmoryn binary on its simulated desktop for end-to-end tests.

A `Desktop` is one user's fresh set of folders (HOME and the XDG folders in a
temporary directory), with readers for the simulated Dock's preference domain,
the Dock's restart counter, the program's settings store and its login item.
`Desktop.start()` launches the program there and returns a `Program`, which
sends control commands on standard input (or the socket) and waits for the
lines the program prints, each wait bounded by a generous timeout so that the
tests hold under load and under the sanitizers.

Test files call `main()`: the first two arguments are the paths of velmoryn
and velmoryn-simtool, the rest go to unittest.
"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import velmoryn_driver

# Seconds a single wait may take. Sanitizer builds and a busy machine are slow;
# a wait ends as soon as its line comes, so a large bound costs nothing.
TIMEOUT = float(os.environ.get("VELMORYN_E2E_TIMEOUT", "40"))

BINARY = None
SIMTOOL = None

MENU_QUIT = 7
HIDDEN_TOOLTIP = "tooltip: Velmoryn / Dock非表示中"
SHOWN_TOOLTIP = "tooltip: Velmoryn / Dock表示中"
HIDDEN_ICON = "icon: hidden (arrow)"
SHOWN_ICON = "icon: shown (three squares)"

# The Dock domain a typical user has, as the simulated Mac seeds it.
TYPICAL_DOCK = {"autohide": False, "tilesize": 48, "mineffect": "genie"}


class E2EFailure(AssertionError):
    pass


class Program:
    """One running velmoryn process, read line by line from where the test is."""

    def __init__(self, desktop, args):
        self.desktop = desktop
        self.run = desktop.launch(BINARY, *args, timeout=TIMEOUT)
        self.process = self.run.process
        self.stderr = self.run.stderr
        self.cursor = 0  # the lines before it have been taken

    # Input.

    def send(self, *lines):
        """Writes the lines in one go, so they reach the program together."""
        if not self.run.send(*lines):
            self.fail(f"the program is gone; could not send {lines!r}")

    # Output.

    def next_line(self, deadline, what):
        found = self.run.wait_for(lambda line: True, max(0, deadline - time.monotonic()),
                                  self.cursor)
        if found is None:
            if self.run.output_ended():
                self.fail(f"the program ended its output before {what}")
            self.fail(f"no {what} within {TIMEOUT:g} s")
        self.cursor = found + 1
        return self.run.lines[found]

    def until(self, wanted, what=None, allow_errors=False):
        """Reads lines up to the first that equals `wanted` (or satisfies it,
        when it is a function); returns all of them, that one last. An
        `error:` line on the way fails the test unless errors are allowed."""
        matches = wanted if callable(wanted) else (lambda line: line == wanted)
        what = what or (repr(wanted) if not callable(wanted) else "the awaited line")
        deadline = time.monotonic() + TIMEOUT
        taken = []
        while True:
            line = self.next_line(deadline, what)
            taken.append(line)
            if line.startswith("error:") and not allow_errors and not matches(line):
                self.fail(f"unexpected {line!r} while waiting for {what}")
            if matches(line):
                return taken

    def expect(self, wanted, what=None, allow_errors=False):
        return self.until(wanted, what, allow_errors)[-1]

    def expect_prefix(self, prefix):
        return self.expect(lambda line: line.startswith(prefix), f"a line {prefix!r}...")

    def ready(self):
        """Waits for `ready`; returns the lines of the launch, `ready` last."""
        return self.until("ready")

    def command(self, line, reply_prefix):
        """Sends one command; returns the lines up to its reply, reply last."""
        self.send(line)
        return self.until(lambda seen: seen.startswith(reply_prefix),
                          f"the reply {reply_prefix!r}... to {line!r}")

    def show(self):
        """The desktop's state as a dictionary of the `show` line's fields."""
        line = self.command("show", "show: ")[-1]
        return parse_show(line)

    def menu(self, button="right"):
        """Opens the menu with a click; returns the `menu:` line's items."""
        lines = self.command(f"click {button}", "menu: ")
        return lines, parse_menu(lines[-1])

    def choose(self, item):
        """Chooses a menu item; returns the lines up to `menu: closed`."""
        self.send(f"choose {item}")
        return self.until("menu: closed")

    def sync(self):
        """Returns once the program has finished what it was doing: a chosen
        menu item's action runs after `menu: closed`, and before any later
        command of the same source."""
        return self.command("pointer", "pointer: ")

    def quit_from_menu(self):
        self.menu()
        self.choose(MENU_QUIT)
        return self.wait_exit()

    # The process.

    def signal(self, number):
        self.process.send_signal(number)

    def wait_exit(self):
        """Waits for the process to end and its output to drain; returns the
        exit status and leaves the remaining lines in `rest()`."""
        status = self.run.wait_exit()
        if status is None:
            self.fail("the program did not end")
        return status

    def rest(self):
        """Lines printed but not yet read; after wait_exit(), all of them."""
        with self.run.changed:
            lines = self.run.lines[self.cursor:]
            self.cursor += len(lines)
        return lines

    def kill(self):
        self.run.kill()

    def transcript(self):
        self.rest()
        return self.run.transcript()

    def fail(self, message):
        self.kill()
        raise E2EFailure(message + "\n" + self.transcript())


class Desktop(velmoryn_driver.Folders):
    """One user's fresh folders in a temporary directory, removed afterwards."""

    def __init__(self):
        super().__init__(tempfile.mkdtemp(prefix="velmoryn-e2e-"))
        self.folder = self.base
        self.programs = []

    def cleanup(self):
        for program in self.programs:
            program.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, *args):
        program = Program(self, list(args))
        self.programs.append(program)
        return program

    def run(self, *args):
        """Runs the program to its end (a command-line option); returns the
        exit status, standard output and standard error."""
        done = subprocess.run([BINARY, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              env=self.env, cwd=self.folder, timeout=TIMEOUT, check=False)
        return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")

    def defaults(self, *args):
        return super().defaults(*args, timeout=TIMEOUT)

    def ask_socket(self, *commands):
        """Sends commands over the control socket, shuts down the sending side
        and returns every line received until the program closes the
        connection."""
        return ask_socket(self.socket_path, *commands)


def ask_socket(path, *commands):
    """Sends commands over a control socket, shuts down the sending side and
    returns every line received until the program closes the connection."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        client.settimeout(TIMEOUT)
        client.connect(path)
        client.sendall("".join(c + "\n" for c in commands).encode("utf-8"))
        client.shutdown(socket.SHUT_WR)
        data = b""
        while True:
            chunk = client.recv(65536)
            if not chunk:
                break
            data += chunk
    return data.decode("utf-8").splitlines()


_SHOW_FIELD = re.compile(r'([a-z-]+)=("(?:[^"\\]|\\.)*"|\S+)')


def parse_show(line):
    if not line.startswith("show: "):
        raise E2EFailure(f"not a show line: {line!r}")
    fields = {}
    for key, value in _SHOW_FIELD.findall(line[len("show: "):]):
        fields[key] = value[1:-1] if value.startswith('"') else value
    return fields


_MENU_ITEM = re.compile(r'^(\d+) (\[x\] )?"([^"]*)"(?: (\(disabled\)))?(?: (\S+))?$')


def parse_menu(line):
    """The items of a `menu:` line: number -> (title, checked, enabled); None
    for separators."""
    if not line.startswith("menu: "):
        raise E2EFailure(f"not a menu line: {line!r}")
    items = {}
    for number, part in enumerate(line[len("menu: "):].split(" | "), start=1):
        if part == "---":
            items[number] = None
            continue
        match = _MENU_ITEM.match(part)
        if not match or int(match.group(1)) != number:
            raise E2EFailure(f"cannot read menu item {number} in {line!r}")
        items[number] = (match.group(3), match.group(2) is not None, match.group(4) is None)
    return items


def dock_lines(lines):
    return [line for line in lines if line.startswith("dock: ")]


class DesktopTestCase(unittest.TestCase):
    """A test case with a fresh desktop per test, cleaned up afterwards."""

    maxDiff = None

    def setUp(self):
        self.new_desktop()

    def new_desktop(self):
        """Starts over in fresh folders (for a loop of sub-tests)."""
        self.desktop = Desktop()
        self.addCleanup(self.desktop.cleanup)

    def launch(self, *args):
        """Starts the program and waits for `ready`; returns it and the launch
        lines."""
        program = self.desktop.start(*args)
        return program, program.ready()

    def check_exit(self, program, status=0):
        got = program.wait_exit()
        if got != status:
            raise E2EFailure(f"exit status {got}, wanted {status}\n" + program.transcript())
        return program.rest()


def main():
    global BINARY, SIMTOOL
    if len(sys.argv) < 3:
        print(f"usage: {sys.argv[0]} VELMORYN VELMORYN_SIMTOOL [unittest options]",
              file=sys.stderr)
        sys.exit(2)
    BINARY = os.path.abspath(sys.argv[1])
    SIMTOOL = os.path.abspath(sys.argv[2])
    # The program needs its stand-in tools beside it.
    if os.path.dirname(SIMTOOL) != os.path.dirname(BINARY):
        print("velmoryn-simtool must sit beside velmoryn", file=sys.stderr)
        sys.exit(2)
    unittest.main(module="__main__", argv=[sys.argv[0], *sys.argv[3:]], verbosity=2)


__all__ = ["Desktop", "DesktopTestCase", "Program", "E2EFailure", "main", "parse_show",
           "parse_menu", "dock_lines", "ask_socket", "TYPICAL_DOCK", "HIDDEN_TOOLTIP", "SHOWN_TOOLTIP",
           "HIDDEN_ICON", "SHOWN_ICON", "MENU_QUIT", "TIMEOUT"]
