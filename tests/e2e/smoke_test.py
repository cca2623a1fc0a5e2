#!/usr/bin/env python3
"""A quick end-to-end run of the real velmoryn binary on the simulated desktop.

Usage: smoke_test.py VELMORYN VELMORYN_SIMTOOL [--skip-idle-check]

--skip-idle-check is for a program built with ThreadSanitizer, whose runtime
keeps a background thread of its own that wakes up regularly.

Seeds a user's own Dock settings, launches the program in fresh HOME and XDG
folders, toggles the Dock with a left click, asks for its state over the
control socket, quits through the menu and checks that the user's settings
are back, the process ended with status 0 and the socket is gone; while it
idles, none of its threads wakes up. A second run closes standard input,
which ends nothing, and ends through SIGTERM instead of the menu.
"""

import os
import signal
import sys
import tempfile
import time

import velmoryn_driver
from velmoryn_e2e import ask_socket

TIMEOUT = 20.0


class Program:
    """The running program, read line by line; an error line fails the run."""

    def __init__(self, binary, folders):
        self.run = folders.launch(binary, timeout=TIMEOUT)
        self.process = self.run.process
        self.stderr = self.run.stderr
        self.cursor = 0

    @property
    def seen(self):
        return self.run.lines[:self.cursor]

    def send(self, line):
        self.run.send(line)

    def expect(self, predicate, what):
        """Waits for a line that satisfies the predicate; returns it."""
        found = self.run.wait_for(lambda line: line.startswith("error:") or predicate(line),
                                  TIMEOUT, self.cursor)
        if found is None:
            fail(f"no line {what} within {TIMEOUT} s", self)
        self.cursor = found + 1
        line = self.run.lines[found]
        if not predicate(line):
            fail(f"unexpected error line while waiting for {what}: {line}", self)
        return line

    def expect_line(self, text):
        return self.expect(lambda line: line == text, repr(text))

    def wait_exit(self):
        status = self.run.wait_exit(TIMEOUT)
        if status is None:
            self.run.kill()
            fail("the program did not end", self)
        return status


def fail(message, program=None):
    print("FAIL: " + message, file=sys.stderr)
    if program is not None:
        print("--- standard output so far:\n" + "\n".join(program.seen), file=sys.stderr)
        print("--- standard error:\n" + "\n".join(program.stderr), file=sys.stderr)
        if program.process.poll() is None:
            program.process.kill()
    sys.exit(1)


def check(condition, message, program=None):
    if not condition:
        fail(message, program)


def voluntary_switches(pid):
    """Voluntary context switches of every thread of the process so far."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status", encoding="utf-8") as status:
            for line in status:
                if line.startswith("voluntary_ctxt_switches:"):
                    total += int(line.split()[1])
    return total


def main():
    args = [a for a in sys.argv[1:] if a != "--skip-idle-check"]
    idle_check = len(args) == len(sys.argv) - 1
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    binary, simtool = args

    with tempfile.TemporaryDirectory(prefix="velmoryn-e2e-") as folder:
        # Only HOME and XDG_RUNTIME_DIR: the program finds its folders under HOME.
        folders = velmoryn_driver.Folders(folder, xdg=False)
        root = folders.root
        socket_path = folders.socket_path

        def defaults(*args):
            return folders.defaults(*args, timeout=TIMEOUT)

        # The user's own Dock: shown, with a short delay of their own.
        os.makedirs(os.path.join(root, "usr", "bin"))
        os.symlink(os.path.abspath(simtool), os.path.join(root, "usr", "bin", "defaults"))
        check(defaults("write", "com.apple.dock", "autohide", "-bool", "false").returncode
              == 0, "could not seed autohide")
        check(defaults("write", "com.apple.dock", "autohide-delay", "-float", "0.5")
              .returncode == 0, "could not seed autohide-delay")
        original = defaults("read", "com.apple.dock").stdout

        # Quit through the menu.
        program = Program(binary, folders)
        program.expect_line("dock: autohide-delay 1000")
        program.expect_line("control: listening on " + socket_path)
        program.expect_line("ready")
        check(oct(os.stat(socket_path).st_mode & 0o777) == oct(0o600),
              "the socket is not private", program)

        # Idle, the program sleeps: no timer, no polling, no thread waking up.
        if idle_check:
            time.sleep(1.0)
            before = voluntary_switches(program.process.pid)
            time.sleep(3.0)
            woke = voluntary_switches(program.process.pid) - before
            check(woke == 0, f"the idle program woke up {woke} times in 3 seconds", program)

        program.send("click left")
        program.expect_line("dock: autohide on")
        program.expect_line("tooltip: Velmoryn / Dock非表示中")

        reply = ask_socket(socket_path, "show")
        shows = [line for line in reply if line.startswith("show:")]
        check(len(shows) == 1, f"no show line over the socket: {reply}", program)
        check("autohide=on" in shows[0] and "autohide-delay=1000" in shows[0]
              and "dock=hidden" in shows[0], f"unexpected state: {shows[0]}", program)

        program.send("click right")
        menu = program.expect(lambda line: line.startswith("menu: "), "menu")
        check(menu.startswith('menu: 1 "Dockを表示" | --- | 3 "ショートカット: ⌃⌥⌘D" (disabled)')
              and menu.endswith('| --- | 7 "Velmoryn を終了" ⌘Q'), f"unexpected menu: {menu}",
              program)
        program.send("choose 7")
        program.expect_line("menu: closed")
        status = program.wait_exit()
        check(status == 0, f"quit ended with status {status}", program)
        check(not os.path.exists(socket_path), "the socket outlived the program", program)
        after = defaults("read", "com.apple.dock").stdout
        check(after == original, f"the Dock's settings were not restored:\n{original}\n---\n{after}")

        # End through SIGTERM while the Dock is hidden.
        program = Program(binary, folders)
        program.expect_line("ready")
        program.send("click left")
        program.expect_line("tooltip: Velmoryn / Dock非表示中")
        # The end of standard input ends nothing: the socket still answers.
        program.process.stdin.close()
        reply = ask_socket(socket_path, "pointer 3 4")
        check("pointer: 3 4" in reply, f"no answer after the end of input: {reply}", program)
        program.process.send_signal(signal.SIGTERM)
        status = program.wait_exit()
        check(status == 0, f"SIGTERM ended with status {status}", program)
        check(not os.path.exists(socket_path), "the socket outlived SIGTERM", program)
        after = defaults("read", "com.apple.dock").stdout
        check(after == original, f"SIGTERM did not restore the Dock:\n{original}\n---\n{after}")

    print("e2e smoke: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
