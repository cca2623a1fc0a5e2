"""Launches velmoryn on its simulated desktop, in folders of its own.

The one way every script here starts the program: the end-to-end tests, the
crash soak, the guided demonstration and the measurements.

`Folders` is one user's fresh HOME and XDG folders below a base folder, with
the environment that points there and readers for what the program keeps
there: the simulated Dock's domain and restart counter, the settings, the
login item. `Program` is one running process: it sends lines to standard
input and collects every line of standard output and standard error, each
with the moment it arrived, for waits with a deadline.

Scripts in tools/ import it as their neighbour; the tests' runner puts
tools/ on PYTHONPATH.
"""

import os
import plistlib
import subprocess
import threading
import time


class Folders:
    """HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR below `base`."""

    def __init__(self, base, xdg=True):
        """With xdg=False only HOME and XDG_RUNTIME_DIR are set, so that the
        program falls back to its folders under HOME."""
        self.base = base
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        self.home = os.path.join(base, "home")
        self.runtime = os.path.join(base, "run")
        if xdg:
            self.config = os.path.join(base, "config")
            self.data = os.path.join(base, "data")
        else:
            self.config = os.path.join(self.home, ".config")
            self.data = os.path.join(self.home, ".local", "share")
        self.env["HOME"] = self.home
        self.env["XDG_RUNTIME_DIR"] = self.runtime
        if xdg:
            self.env.update(XDG_CONFIG_HOME=self.config, XDG_DATA_HOME=self.data)
        for path in (self.home, self.config, self.data):
            os.makedirs(path, exist_ok=True)
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)
        self.root = os.path.join(self.data, "velmoryn", "root")
        self.faults = os.path.join(self.root, "faults")
        self.domain_file = os.path.join(self.root, "Library", "Preferences",
                                        "com.apple.dock.plist")
        self.restarts_file = os.path.join(self.root, "Library", "Dock", "restarts")
        self.settings_file = os.path.join(self.config, "velmoryn", "preferences.plist")
        self.autostart_entry = os.path.join(self.config, "autostart", "velmoryn.desktop")
        self.socket_path = os.path.join(self.runtime, "velmoryn", "control.sock")

    def seed_dock(self, domain):
        """Gives the user a Dock domain of their own before the first launch."""
        os.makedirs(os.path.dirname(self.domain_file), exist_ok=True)
        with open(self.domain_file, "wb") as out:
            plistlib.dump(domain, out, fmt=plistlib.FMT_XML, sort_keys=False)

    def dock(self):
        """The Dock's preference domain, or None when there is none."""
        try:
            with open(self.domain_file, "rb") as source:
                return plistlib.load(source)
        except FileNotFoundError:
            return None

    def restarts(self):
        """How often the Dock was restarted (`killall Dock`)."""
        try:
            with open(self.restarts_file, encoding="utf-8") as source:
                return int(source.read().strip() or "0")
        except FileNotFoundError:
            return 0

    def settings(self):
        try:
            with open(self.settings_file, "rb") as source:
                return plistlib.load(source)
        except FileNotFoundError:
            return {}

    def login_entry(self):
        """The autostart entry's text, or None when there is none."""
        try:
            with open(self.autostart_entry, encoding="utf-8") as source:
                return source.read()
        except FileNotFoundError:
            return None

    def defaults(self, *args, timeout=None):
        """Runs the stand-in `defaults` tool, as another program would."""
        tool = os.path.join(self.root, "usr", "bin", "defaults")
        return subprocess.run([tool, *args], capture_output=True, text=True, env=self.env,
                              timeout=timeout, check=False)

    def launch(self, binary, *args, timeout, extra_env=None, cwd=None, new_session=False):
        """Starts the program here; `timeout` bounds each wait that names none."""
        env = dict(self.env)
        env.update(extra_env or {})
        return Program(binary, list(args), env, cwd if cwd is not None else self.base, timeout,
                       new_session)


class Program:
    """One run of velmoryn: its input, every line it prints, its end."""

    def __init__(self, binary, args, env, cwd, timeout, new_session=False):
        self.timeout = timeout
        self.started = time.perf_counter()
        self.process = subprocess.Popen(
            [binary, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, env=env, cwd=cwd, start_new_session=new_session)
        self.lines = []
        self.arrivals = []  # perf_counter() seconds from the start, one per line
        self.stderr = []
        self.changed = threading.Condition()
        self.readers = [
            threading.Thread(target=self._pump, args=(self.process.stdout, self.lines, True),
                             daemon=True),
            threading.Thread(target=self._pump, args=(self.process.stderr, self.stderr, False),
                             daemon=True),
        ]
        for reader in self.readers:
            reader.start()

    def _pump(self, stream, sink, timed):
        for raw in stream:
            with self.changed:
                sink.append(raw.decode("utf-8", "replace").rstrip("\n"))
                if timed:
                    self.arrivals.append(time.perf_counter() - self.started)
                self.changed.notify_all()
        with self.changed:
            self.changed.notify_all()

    def send(self, *lines):
        """Writes the lines in one go; false when the program no longer reads them."""
        try:
            self.process.stdin.write("".join(line + "\n" for line in lines).encode("utf-8"))
            self.process.stdin.flush()
            return True
        except (BrokenPipeError, ValueError):
            return False

    def output_ended(self):
        return not self.readers[0].is_alive()

    def wait_for(self, predicate, timeout=None, start=0):
        """The index of the first line from `start` on that satisfies the
        predicate; None when none came in time or the output ended without it."""
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        with self.changed:
            while True:
                for i in range(start, len(self.lines)):
                    if predicate(self.lines[i]):
                        return i
                start = max(start, len(self.lines))
                left = deadline - time.monotonic()
                if left <= 0 or self.output_ended():
                    return None
                self.changed.wait(min(left, 0.05))

    def wait_line(self, text, timeout=None, start=0):
        return self.wait_for(lambda line: line == text, timeout, start)

    def wait_exit(self, timeout=None):
        """The exit status once the process has ended and its output drained;
        None when it did not end in time."""
        try:
            status = self.process.wait(timeout=self.timeout if timeout is None else timeout)
        except subprocess.TimeoutExpired:
            return None
        self._close()
        return status

    def _close(self):
        for reader in self.readers:
            reader.join(timeout=5)
        for stream in (self.process.stdin, self.process.stdout, self.process.stderr):
            try:
                stream.close()
            except OSError:
                pass

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self._close()

    def transcript(self):
        with self.changed:
            return ("--- standard output:\n" + "\n".join(self.lines) +
                    "\n--- standard error:\n" + "\n".join(self.stderr))
