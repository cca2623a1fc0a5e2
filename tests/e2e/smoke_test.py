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
import queue
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

TIMEOUT = 20.0


class Program:
    """The running program, its standard input and every line it prints."""

    def __init__(self, binary, env):
        self.process = subprocess.Popen(
            [binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, env=env)
        self.lines = queue.Queue()
        self.seen = []
        self.stderr = []
        threading.Thread(target=self._pump, args=(self.process.stdout, self.lines.put),
                         daemon=True).start()
        threading.Thread(target=self._pump, args=(self.process.stderr, self.stderr.append),
                         daemon=True).start()

    @staticmethod
    def _pump(stream, sink):
        for raw in stream:
            sink(raw.decode("utf-8").rstrip("\n"))

    def send(self, line):
        self.process.stdin.write((line + "\n").encode("utf-8"))
        self.process.stdin.flush()

    def expect(self, predicate, what):
        """Waits for a line that satisfies the predicate; returns it."""
        deadline = time.monotonic() + TIMEOUT
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                fail(f"no line {what} within {TIMEOUT} s", self)
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                continue
            self.seen.append(line)
            if line.startswith("error:"):
                fail(f"unexpected error line while waiting for {what}: {line}", self)
            if predicate(line):
                return line

    def expect_line(self, text):
        return self.expect(lambda line: line == text, repr(text))

    def wait_exit(self):
        try:
            return self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            fail("the program did not end", self)


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


def defaults(root, *args):
    return subprocess.run([os.path.join(root, "usr", "bin", "defaults"), *args],
                          capture_output=True, text=True, check=False)


def voluntary_switches(pid):
    """Voluntary context switches of every thread of the process so far."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status", encoding="utf-8") as status:
            for line in status:
                if line.startswith("voluntary_ctxt_switches:"):
                    total += int(line.split()[1])
    return total


def ask_over_socket(path, command):
    """Sends one command and returns the reply lines until the server closes."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        client.settimeout(TIMEOUT)
        client.connect(path)
        client.sendall((command + "\n").encode("utf-8"))
        client.shutdown(socket.SHUT_WR)
        data = b""
        while True:
            chunk = client.recv(4096)
            if not chunk:
                break
            data += chunk
    return data.decode("utf-8").splitlines()


def main():
    args = [a for a in sys.argv[1:] if a != "--skip-idle-check"]
    idle_check = len(args) == len(sys.argv) - 1
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    binary, simtool = args

    with tempfile.TemporaryDirectory(prefix="velmoryn-e2e-") as folder:
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env["HOME"] = os.path.join(folder, "home")
        env["XDG_RUNTIME_DIR"] = os.path.join(folder, "run")
        os.makedirs(env["HOME"])
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        root = os.path.join(env["HOME"], ".local", "share", "velmoryn", "root")
        socket_path = os.path.join(env["XDG_RUNTIME_DIR"], "velmoryn", "control.sock")

        # The user's own Dock: shown, with a short delay of their own.
        os.makedirs(os.path.join(root, "usr", "bin"))
        os.symlink(os.path.abspath(simtool), os.path.join(root, "usr", "bin", "defaults"))
        check(defaults(root, "write", "com.apple.dock", "autohide", "-bool", "false").returncode
              == 0, "could not seed autohide")
        check(defaults(root, "write", "com.apple.dock", "autohide-delay", "-float", "0.5")
              .returncode == 0, "could not seed autohide-delay")
        original = defaults(root, "read", "com.apple.dock").stdout

        # Quit through the menu.
        program = Program(binary, env)
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

        reply = ask_over_socket(socket_path, "show")
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
        after = defaults(root, "read", "com.apple.dock").stdout
        check(after == original, f"the Dock's settings were not restored:\n{original}\n---\n{after}")

        # End through SIGTERM while the Dock is hidden.
        program = Program(binary, env)
        program.expect_line("ready")
        program.send("click left")
        program.expect_line("tooltip: Velmoryn / Dock非表示中")
        # The end of standard input ends nothing: the socket still answers.
        program.process.stdin.close()
        reply = ask_over_socket(socket_path, "pointer 3 4")
        check("pointer: 3 4" in reply, f"no answer after the end of input: {reply}", program)
        program.process.send_signal(signal.SIGTERM)
        status = program.wait_exit()
        check(status == 0, f"SIGTERM ended with status {status}", program)
        check(not os.path.exists(socket_path), "the socket outlived SIGTERM", program)
        after = defaults(root, "read", "com.apple.dock").stdout
        check(after == original, f"SIGTERM did not restore the Dock:\n{original}\n---\n{after}")

    print("e2e smoke: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
