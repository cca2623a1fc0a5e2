"""The tests' view of the real velmoryn: a fresh simulated desktop per test
(tools/soak.py's Desktop, on the shared launcher) and a reader that takes the
program's lines in order. Every wait ends as soon as its line comes and is
bounded generously, so the tests hold on a busy machine and under sanitizers.

Test files call `main()` with the path of velmoryn first, then unittest's.
"""

import os
import shutil
import socket
import sys
import tempfile
import unittest

import soak

BINARY = None
TIMEOUT = soak.TIMEOUT
HIDDEN = "tooltip: Velmoryn / Dock非表示中"
SHOWN = "tooltip: Velmoryn / Dock表示中"
# A user's own Dock: shown, a short delay, and keys the program must not touch.
USER = {"autohide": False, "autohide-delay": 0.5, "tilesize": 48, "mineffect": "genie",
        "persistent-apps": [{"tile-type": "file-tile"}]}


class Run:
    """One running program, read from where the test has got to."""

    def __init__(self, test, program):
        self.test, self.program, self.cursor = test, program, 0

    def until(self, prefix, errors=False):
        """The lines up to the first that starts with `prefix`, that one last.
        An `error:` line on the way fails the test unless errors are expected."""
        lines = self.program.lines
        found = self.program.wait_for(
            lambda line: line.startswith(prefix) or (not errors and line.startswith("error:")),
            TIMEOUT, self.cursor)
        if found is None or not lines[found].startswith(prefix):
            self.program.kill()
            self.test.fail(f"waiting for {prefix!r}\n" + self.program.transcript())
        taken, self.cursor = lines[self.cursor:found + 1], found + 1
        return taken

    def ask(self, command, reply, errors=False):
        self.program.send(command)
        return self.until(reply, errors)

    def show(self):
        line = self.ask("show", "show: ")[-1]
        return dict(field.split("=", 1) for field in line.split()[1:] if "=" in field)

    def quit(self):
        self.ask("click right", "menu: 1 ")
        self.program.send("choose 7")
        return self.end()

    def end(self):
        """Waits for the exit; returns the status and the lines not yet taken."""
        status = self.program.wait_exit()
        rest, self.cursor = self.program.lines[self.cursor:], len(self.program.lines)
        return status, rest


def dock_lines(lines):
    return [line for line in lines if line.startswith("dock: ")]


def ask_socket(path, *commands):
    """Sends the commands, ends the sending side, returns every line until the close."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        client.settimeout(TIMEOUT)
        client.connect(path)
        client.sendall("".join(c + "\n" for c in commands).encode())
        client.shutdown(socket.SHUT_WR)
        data = b"".join(iter(lambda: client.recv(65536), b""))
    return data.decode().splitlines()


class DesktopTest(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        self.desktop = self.fresh()

    def fresh(self, dock=USER):
        """A new user's folders, their Dock seeded, removed after the test."""
        folder = tempfile.mkdtemp(prefix="velmoryn-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        desktop = soak.Desktop(BINARY, folder)
        self.addCleanup(desktop.wait_for_orphans, 5)
        if dock is not None:
            desktop.seed_dock(dock)
        return desktop

    def launch(self, desktop=None, env=None):
        """Starts the program; returns it with its launch lines read up to `ready`."""
        program = (desktop or self.desktop).launch(env)
        self.addCleanup(program.kill)
        run = Run(self, program)
        run.launched = run.until("ready")
        return run

    def assert_dock(self, expected, desktop=None):
        domain = (desktop or self.desktop).dock()
        self.assertTrue(soak.same(expected, domain), soak.describe_difference(expected, domain))


def main():
    global BINARY
    if len(sys.argv) < 2:
        sys.exit(f"usage: {sys.argv[0]} VELMORYN [unittest options]")
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(module="__main__", verbosity=2)
