#!/usr/bin/env python3
"""Crash soak: the user's Dock settings come back whatever ends the program.

Each trial starts the real velmoryn on a fresh simulated desktop whose Dock
domain holds a known set of user settings, drives a random sequence of
actions through the control channel and ends the program at a random instant:

  kill     SIGKILL, one to three times (at launch, after an action that runs
           tools or writes settings, or in the middle of the quit), then a
           relaunch and an orderly quit through the menu;
  signal   SIGTERM, SIGINT or SIGHUP (at launch, after an action, while the
           menu is open, twice in a row, or racing the menu's quit; some to
           the whole process group, as Ctrl-C in a terminal sends it).

After the orderly end the Dock's domain must equal the user's original
exactly (key by key, with types; unrelated keys included), the program's
record of the original must be gone, and for signals the exit status must be
0 and the Dock restarted exactly once on the way out. A delay of 1000 seconds
found at the first launch is the program's own and is not put back, so for
that starting point the expected domain lacks "autohide-delay".

Some trials slow the stand-in tools down by a few milliseconds, or make the
in-process AppleScript fail so that every switch runs osascript, so that
kills and signals land during tool runs more often.

  tools/soak.py --binary build/debug/velmoryn --trials 200
  tools/soak.py --trials 20 --kinds signal --seed 7 -v

The exit status is 0 when every trial passed. The last line reads
"N passed, N failed".
"""

import argparse
import copy
import datetime
import os
import random
import shutil
import signal
import sys
import tempfile
import time

import velmoryn_driver

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

# Generous: a debug or sanitizer build on a busy two-core machine.
TIMEOUT = 30.0
APP_DELAY = 1000.0

# Keys the program must never touch, of every type a domain can hold.
UNRELATED = {
    "tilesize": 48,
    "largesize": 64.5,
    "mineffect": "genie",
    "show-recents": False,
    "wvous-br-corner": 14,
    "persistent-apps": [
        {"tile-data": {"file-label": "端末", "bundle-identifier": "com.example.term"},
         "tile-type": "file-tile"},
        {"tile-data": {"file-label": "Mail"}, "tile-type": "file-tile"},
    ],
    "trash-full": True,
    "blob": b"\x00\x01\xfe\xff data",
    "mod-count": 1234567,
    "last-seen": datetime.datetime(2024, 5, 1, 12, 30, 15),
}

# The user's own Dock, as the program finds it at its first launch.
STARTING_POINTS = {
    "delay 0.5, autohide off": {"autohide-delay": 0.5, "autohide": False},
    "both keys missing": {},
    "autohide on, delay 2": {"autohide": True, "autohide-delay": 2.0},
    "delay 1000 left behind": {"autohide-delay": 1000.0, "autohide": False},
    "delay 1000 left behind, autohide on": {"autohide-delay": 1000.0, "autohide": True},
}

# Set by --relaunch-at-once: relaunch while tools orphaned by a kill still run.
RELAUNCH_AT_ONCE = False

RECORD_KEYS = ("originalDock.saved", "originalDock.autohideDelay", "originalDock.autohide")


def expected_after_restore(original):
    """The domain after an orderly end: the program's own delay is not put back."""
    expected = copy.deepcopy(original)
    if expected.get("autohide-delay") == APP_DELAY:
        del expected["autohide-delay"]
    return expected


def launch_restarts_dock(original):
    """Whether the first launch writes the delay and restarts the Dock."""
    delay = original.get("autohide-delay")
    return not isinstance(delay, float) or delay < 100.0


def same(a, b):
    """Equal values of equal types, all the way down (True is not 1, 2 is not 2.0)."""
    if type(a) is not type(b):
        return False
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return a == b


def describe_difference(expected, actual):
    if not isinstance(expected, dict) or not isinstance(actual, dict):
        return f"expected {expected!r}, found {actual!r}"
    parts = []
    for key in sorted(set(expected) | set(actual)):
        if key not in actual:
            parts.append(f"{key} missing (expected {expected[key]!r})")
        elif key not in expected:
            parts.append(f"{key}={actual[key]!r} should not be there")
        elif not same(expected[key], actual[key]):
            parts.append(f"{key}={actual[key]!r} (expected {expected[key]!r})")
    return "; ".join(parts)


class Desktop(velmoryn_driver.Folders):
    """A simulated desktop in a folder of its own, with faults to inject and checks."""

    def __init__(self, binary, folder):
        super().__init__(folder)
        self.binary = binary

    def record(self):
        """The program's record of the user's Dock, as it stands in the settings file."""
        return {k: v for k, v in self.settings().items() if k in RECORD_KEYS}

    def set_fault(self, tool, text):
        os.makedirs(self.faults, exist_ok=True)
        with open(os.path.join(self.faults, tool), "w", encoding="utf-8") as out:
            out.write(text + "\n")

    def clear_fault(self, tool):
        try:
            os.unlink(os.path.join(self.faults, tool))
        except FileNotFoundError:
            pass

    def fail_applescript(self, failing=True):
        """While on, the in-process AppleScript reports an error, so osascript runs."""
        path = os.path.join(self.faults, "applescript")
        if failing:
            os.makedirs(self.faults, exist_ok=True)
            open(path, "w", encoding="utf-8").close()
        elif os.path.exists(path):
            os.unlink(path)

    def count_calls(self):
        """From now on the stand-ins note each run in calls.log."""
        os.makedirs(self.faults, exist_ok=True)
        open(os.path.join(self.faults, "calls.log"), "w", encoding="utf-8").close()

    def calls(self):
        try:
            with open(os.path.join(self.faults, "calls.log"), encoding="utf-8") as source:
                return source.read().splitlines()
        except FileNotFoundError:
            return []

    def launch(self, extra_env=None):
        return super().launch(self.binary, timeout=TIMEOUT, extra_env=extra_env,
                              new_session=True)

    def temporary_files(self):
        """Half-written files a killed writer left beside the settings or the domain."""
        found = 0
        for path in (self.settings_file, self.domain_file):
            folder, name = os.path.split(path)
            try:
                found += sum(1 for entry in os.listdir(folder)
                             if entry.startswith("." + name + ".") and not entry.endswith(".lock"))
            except FileNotFoundError:
                pass
        return found

    def running_tools(self):
        """Stand-in tools of this desktop that are still running (orphans of a kill)."""
        prefix = os.path.join(self.root, "usr", "bin") + "/"
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as source:
                    argv0 = source.read().split(b"\0", 1)[0].decode("utf-8", "replace")
            except OSError:
                continue
            if argv0.startswith(prefix):
                pids.append(int(entry))
        return pids

    def wait_for_orphans(self, timeout=TIMEOUT):
        """Waits until no stand-in of this desktop runs; returns how many were seen."""
        seen = set(self.running_tools())
        deadline = time.monotonic() + timeout
        while True:
            left = self.running_tools()
            seen.update(left)
            if not left or time.monotonic() > deadline:
                return len(seen)
            time.sleep(0.002)


def quit_through_menu(program):
    """Opens the menu and chooses its quit item; returns the exit status or an error."""
    if program.wait_line("ready") is None:
        return None, "no ready line"
    start = len(program.lines)
    program.send("click right")
    if program.wait_for(lambda line: line.startswith("menu: 1 "), start=start) is None:
        return None, "the menu did not open"
    program.send("choose 8")
    status = program.wait_exit()
    if status is None:
        program.kill()
        return None, "the program did not end after choosing quit"
    return status, None


# Actions a person takes, each one or more control lines. `tools` marks the
# ones that run a tool or write a file, where a kill or signal lands best.
ACTIONS = [
    (["click left"], True),
    (["hotkey"], True),
    (["click right", "choose 1"], True),
    (["click right", "choose 4"], True),
    (["click right", "choose 5"], True),
    (["click right", "choose 6"], True),
    (["click right", "dismiss"], True),
    (["click control", "dismiss"], True),
    (["pointer 700 2", "scroll precise 40 0"], True),
    (["pointer 700 1", "scroll line 2 0", "wait 0.05", "pointer 700 400"], True),
    (["pointer 700 400", "wait 0.05"], False),
    (["show"], False),
    (["scroll precise 5 0"], False),
]


def random_actions(rng, count):
    return [rng.choice(ACTIONS) for _ in range(count)]


def pause(rng, longest):
    """A random pause up to `longest` seconds; sub-millisecond ones are spun."""
    seconds = rng.uniform(0, longest)
    if seconds < 0.002:
        end = time.perf_counter() + seconds
        while time.perf_counter() < end:
            pass
    else:
        time.sleep(seconds)


def drive(program, actions):
    """Sends the actions, each after the previous one's lines have come."""
    for lines, _ in actions:
        start = len(program.lines)
        program.send(*lines, "show")
        if program.wait_for(lambda line: line.startswith("show: "), start=start) is None:
            return False
    return True


class Trial:
    def __init__(self, number, rng, desktop, start_name):
        self.number = number
        self.rng = rng
        self.desktop = desktop
        self.start_name = start_name
        self.original = dict(UNRELATED)
        self.original.update(STARTING_POINTS[start_name])
        keys = list(self.original.items())
        rng.shuffle(keys)
        self.original = dict(keys)
        self.expected = expected_after_restore(self.original)
        self.notes = []
        self.programs = []

    def setup_faults(self):
        rng = self.rng
        choice = rng.random()
        if choice < 0.25:
            ms = rng.choice([1, 2, 5, 10])
            for tool in ("defaults", "osascript", "killall"):
                self.desktop.set_fault(tool, f"slow {ms}")
            self.notes.append(f"stand-ins slowed by {ms} ms")
        if rng.random() < 0.2:
            self.desktop.fail_applescript()
            self.notes.append("in-process AppleScript failing (osascript fallback)")

    def launch(self):
        program = self.desktop.launch()
        self.programs.append(program)
        return program

    def failure(self, message, program=None):
        detail = f"trial {self.number} [{self.start_name}; {', '.join(self.notes)}]: {message}"
        if program is not None:
            detail += "\n" + program.transcript()
        return detail

    def check_restored(self, program):
        """After an orderly end: the user's domain and no record left."""
        domain = self.desktop.dock()
        if not same(self.expected, domain):
            return self.failure("the Dock's domain is not the user's: " +
                                describe_difference(self.expected, domain), program)
        record = self.desktop.record()
        if record:
            return self.failure(f"the record outlived the restore: {record}", program)
        if os.path.exists(self.desktop.socket_path):
            return self.failure("the control socket outlived the program", program)
        return None


def kill_trial(trial, stats):
    rng = trial.rng
    desktop = trial.desktop
    trial.setup_faults()
    temporary_before = 0
    for _ in range(rng.choice([1, 1, 1, 2, 3])):
        program = trial.launch()
        where = rng.choice(["launch", "action", "action", "write", "quit"])
        if where == "launch":
            # Anywhere in the launch, which takes a few hundred milliseconds.
            pause(rng, rng.choice([0.05, 0.4, 0.8]))
        else:
            if program.wait_line("ready") is None:
                program.kill()
                return trial.failure("no ready line", program)
            actions = random_actions(rng, rng.randint(0, 5))
            if not drive(program, actions):
                program.kill()
                return trial.failure("an action did not finish", program)
            if where == "action":
                lines, _ = rng.choice([a for a in ACTIONS if a[1]])
                program.send(*lines)
                pause(rng, rng.choice([0.001, 0.005, 0.02]))
            elif where == "write":
                # The swipe switch writes the settings file; a switch writes the domain.
                program.send(*rng.choice([["click right", "choose 4"], ["click left"]]))
                pause(rng, rng.choice([0.0005, 0.001, 0.002]))
            else:
                program.send("click right", "choose 8")
                pause(rng, rng.choice([0.001, 0.01, 0.03]))
        program.kill()
        stats["kills"] += 1
        stats["kills at " + where] += 1
        if not same(desktop.dock(), trial.original):
            stats["kills with the Dock changed"] += 1
        if desktop.record():
            stats["kills with a record on file"] += 1
        temporary = desktop.temporary_files()
        if temporary > temporary_before:
            stats["kills during a file write"] += 1
        temporary_before = temporary
        # A tool the kill orphaned finishes its work, as on macOS; a person
        # cannot relaunch faster than that.
        if (desktop.running_tools() if RELAUNCH_AT_ONCE else desktop.wait_for_orphans()):
            stats["kills during a tool run"] += 1

    program = trial.launch()
    status, error = quit_through_menu(program)
    if error:
        return trial.failure(error, program)
    if status != 0:
        return trial.failure(f"the quit ended with status {status}", program)
    return trial.check_restored(program)


SIGNALS = [signal.SIGTERM, signal.SIGINT, signal.SIGHUP]


def signal_trial(trial, stats):
    rng = trial.rng
    desktop = trial.desktop
    trial.setup_faults()
    sig = rng.choice(SIGNALS)
    restarts_before = desktop.restarts()
    program = trial.launch()
    where = rng.choice(["launch", "action", "action", "menu", "twice", "quit race"])
    trial.notes.append(f"{sig.name} at {where}")
    if where == "launch":
        pause(rng, rng.choice([0.05, 0.4, 0.8]))
    else:
        if program.wait_line("ready") is None:
            program.kill()
            return trial.failure("no ready line", program)
        if not drive(program, random_actions(rng, rng.randint(0, 5))):
            program.kill()
            return trial.failure("an action did not finish", program)
        if where == "action":
            lines, _ = rng.choice([a for a in ACTIONS if a[1]])
            program.send(*lines)
            pause(rng, rng.choice([0.001, 0.005, 0.02]))
        elif where in ("menu", "quit race"):
            start = len(program.lines)
            program.send(rng.choice(["click right", "click control"]))
            if program.wait_for(lambda line: line.startswith("menu: 1 "), start=start) is None:
                program.kill()
                return trial.failure("the menu did not open", program)
            if where == "quit race":
                program.send("choose 8")
                pause(rng, 0.002)
        else:
            pause(rng, 0.02)
    ready = program.wait_line("ready", timeout=0) is not None
    # Ctrl-C in a terminal reaches the whole process group: a tool running
    # at that instant is interrupted too.
    to_group = where in ("action", "menu") and rng.random() < 0.4
    restarts_at_signal = desktop.restarts()
    if to_group:
        trial.notes.append("to the process group")
        stats["signals to the process group"] += 1
        os.killpg(program.process.pid, sig)
    else:
        program.process.send_signal(sig)
    if desktop.running_tools():
        stats["signals during a tool run"] += 1
    if where == "twice":
        pause(rng, 0.002)
        try:
            program.process.send_signal(rng.choice(SIGNALS))
        except ProcessLookupError:
            pass
    status = program.wait_exit()
    stats["signals"] += 1
    stats[f"{sig.name} at {where}"] += 1
    if status is None:
        program.kill()
        return trial.failure(f"the program did not end within {TIMEOUT} s of {sig.name}",
                             program)
    if status == -sig and where == "launch":
        # Before its handlers exist the signal ends the program at once; it
        # has changed nothing yet, and the next orderly end still restores.
        stats["signals before the handlers"] += 1
        if not same(desktop.dock(), trial.original) or desktop.restarts() != restarts_before:
            return trial.failure(f"{sig.name} ended the launch after the Dock was changed",
                                 program)
        program = trial.launch()
        status, error = quit_through_menu(program)
        if error:
            return trial.failure(error, program)
        if status != 0:
            return trial.failure(f"the quit ended with status {status}", program)
        return trial.check_restored(program)
    if status != 0:
        return trial.failure(f"{sig.name} ended the program with status {status}", program)
    if not ready:
        stats["signals in the launch after the handlers"] += 1
    restarts = desktop.restarts() - restarts_before
    expected_restarts = (1 if launch_restarts_dock(trial.original) else 0) + 1
    if to_group:
        # Only the way out counts: the signal reached the tools of this instant too.
        restarts = desktop.restarts() - restarts_at_signal
        expected_restarts = 1
    if restarts != expected_restarts:
        return trial.failure(f"the Dock was restarted {restarts} times, expected "
                             f"{expected_restarts} (launch and one restore)", program)
    return trial.check_restored(program)


def run_trials(kind, count, binary, seed, verbose, keep):
    from collections import Counter
    stats = Counter()
    failures = []
    names = list(STARTING_POINTS)
    started = time.monotonic()
    for number in range(1, count + 1):
        rng = random.Random(f"{seed}-{kind}-{number}")
        folder = tempfile.mkdtemp(prefix=f"velmoryn-soak-{kind}-")
        desktop = Desktop(binary, folder)
        trial = Trial(number, rng, desktop, names[(number - 1) % len(names)])
        desktop.seed_dock(trial.original)
        error = None
        try:
            error = (kill_trial if kind == "kill" else signal_trial)(trial, stats)
        finally:
            for program in trial.programs:
                if program.process.poll() is None:
                    program.kill()
            desktop.wait_for_orphans(timeout=5)
        if error:
            failures.append(error)
            print("FAIL " + error.splitlines()[0], flush=True)
            if verbose:
                print(error, flush=True)
        elif verbose:
            print(f"ok   {kind} trial {number} [{trial.start_name}; {', '.join(trial.notes)}]",
                  flush=True)
        if error and keep:
            print(f"     kept {folder}", flush=True)
        else:
            shutil.rmtree(folder, ignore_errors=True)
    elapsed = time.monotonic() - started
    print(f"{kind}: {count - len(failures)} of {count} trials restored the user's Dock "
          f"exactly ({elapsed:.1f} s)")
    for key in sorted(stats):
        print(f"  {key}: {stats[key]}")
    for failure in failures:
        print(failure, file=sys.stderr)
    return count - len(failures), len(failures)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=os.path.join(REPO, "build", "debug", "velmoryn"),
                        help="the velmoryn program (velmoryn-simtool must lie beside it)")
    parser.add_argument("--trials", type=int, default=20, help="trials of each kind")
    parser.add_argument("--kinds", default="kill,signal", help="kill, signal or both")
    parser.add_argument("--seed", default="velmoryn", help="makes a run repeatable")
    parser.add_argument("-v", "--verbose", action="store_true", help="one line per trial")
    parser.add_argument("--keep", action="store_true", help="keep the folders of failed trials")
    parser.add_argument("--relaunch-at-once", action="store_true",
                        help="relaunch without waiting for tools a kill left running")
    args = parser.parse_args()
    global RELAUNCH_AT_ONCE
    RELAUNCH_AT_ONCE = args.relaunch_at_once

    binary = os.path.abspath(args.binary)
    if not os.access(binary, os.X_OK):
        print(f"no program at {binary}", file=sys.stderr)
        return 2
    if not os.access(os.path.join(os.path.dirname(binary), "velmoryn-simtool"), os.X_OK):
        print("velmoryn-simtool is not beside the program", file=sys.stderr)
        return 2

    passed = failed = 0
    for kind in args.kinds.split(","):
        if kind not in ("kill", "signal"):
            print(f"unknown kind {kind!r}", file=sys.stderr)
            return 2
        p, f = run_trials(kind, args.trials, binary, args.seed, args.verbose, args.keep)
        passed += p
        failed += f
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
