#!/usr/bin/env python3
"""Whole journeys of the real program on the simulated desktop, one per area,
and the faults only a real process shows: signals, exit statuses, real files,
hung tools. Each wait ends at its line, or fails after soak.TIMEOUT."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import soak

BINARY = VERSION = None
HIDDEN, SHOWN = "tooltip: Velmoryn / Dock非表示中", "tooltip: Velmoryn / Dock表示中"
# A user's own Dock: shown, with a short delay.
USER = {"autohide": False, "autohide-delay": 0.5}
RECORD = {"originalDock.saved": True, "originalDock.autohideDelay": 0.5,
          "originalDock.autohide": False}
RESTORE = ["dock: autohide-delay 0.5", "dock: autohide off", "dock: restarted"]
ALREADY_RUNNING = "Velmoryn: すでに起動しています。この起動は何も変更せずに終了します"
NO_ANSWER = "Velmorynが1秒以内に応答しませんでした。この操作はあとで実行されることがあります\n"


def dock_lines(lines):
    return [line for line in lines if line.startswith("dock: ")]


def files_below(folder):
    """Every entry below the folder and when it last changed: a write, a new mode or a
    rename each move that time on."""
    found = {}
    for root, folders, names in os.walk(folder):
        for path in (os.path.join(root, name) for name in folders + names):
            found[path] = os.lstat(path).st_ctime_ns
    return found


class Run:
    """One running program, read from where the test has got to."""

    def __init__(self, test, program):
        self.test, self.program, self.cursor = test, program, 0

    def ask(self, *commands, reply):
        """The lines up to the first that starts with `reply`; an error line fails."""
        self.program.send(*commands)
        lines = self.program.lines
        found = self.program.wait_for(lambda line: line.startswith((reply, "error:")),
                                      start=self.cursor)
        if found is None or not lines[found].startswith(reply):
            self.program.kill()
            self.test.fail(f"waiting for {reply!r}\n" + self.program.transcript())
        taken, self.cursor = lines[self.cursor:found + 1], found + 1
        return taken

    def end(self, *signals):
        """Quits through the menu, then sends the signals; returns the exit
        status and the lines not yet read."""
        self.ask("click right", reply="menu: 1 ")
        self.program.send("choose 8")
        for number in signals:
            self.program.process.send_signal(number)
        return self.program.wait_exit(), self.program.lines[self.cursor:]


class JourneyTest(unittest.TestCase):

    def setUp(self):
        folder = tempfile.mkdtemp(prefix="velmoryn-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        self.desktop = soak.Desktop(BINARY, folder)
        self.addCleanup(self.desktop.wait_for_orphans, 5)
        self.desktop.seed_dock(USER)

    def launch(self, env=None, until="ready"):
        run = Run(self, self.desktop.launch(env))
        self.addCleanup(run.program.kill)
        run.ask(reply=until)
        return run

    def script(self, *args, env=None):
        done = subprocess.run([BINARY, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              encoding="utf-8", env=env or self.desktop.env,
                              timeout=soak.TIMEOUT, check=False)
        return done.returncode, done.stdout, done.stderr

    def test_launch_switches_and_quit_bring_the_users_dock_back(self):
        self.assertEqual(self.script("--hide"), (1, "Velmorynは起動していません\n", ""))
        run = self.launch()
        self.assertIn(f"Exec={BINARY}\n", self.desktop.login_entry())
        for switch in (dict(by=["click left"], autohide="on", tip=HIDDEN),
                       dict(by=["click right", "choose 1"], autohide="off", tip=SHOWN),
                       dict(by=["hotkey"], autohide="on", tip=HIDDEN)):
            lines = run.ask(*switch["by"], reply=switch["tip"])
            self.assertEqual(dock_lines(lines), ["dock: autohide " + switch["autohide"]], switch)
        self.assertEqual(self.script("--status"), (0, "Dock非表示中\n", ""))
        # An edge scroll lifts the hidden Dock until the pointer leaves.
        lifted = run.ask("pointer 700 3", "scroll line 1 0", reply="scroll: ")
        self.assertEqual(dock_lines(lifted), ["dock: autohide off"])
        run.ask("pointer 700 400", reply="dock: autohide on")
        run.program.kill()
        # The next launch adopts the hidden Dock and records nothing again: its quit puts
        # back the first record with one restart. The soak checks the domain and record after.
        run = self.launch()
        status, rest = run.end()
        self.assertEqual((status, dock_lines(rest), self.desktop.restarts()), (0, RESTORE, 2))

    def test_beside_a_copy_still_launching_a_launch_ends_and_a_verb_waits_for_it(self):
        self.desktop.set_fault("defaults", "hang when read once")
        run = self.launch(until="control: listening")
        deadline = time.monotonic() + soak.TIMEOUT
        while os.path.exists(os.path.join(self.desktop.faults, "defaults")):  # until it hangs
            self.assertLess(time.monotonic(), deadline, run.program.transcript())
            time.sleep(0.01)
        # Left by a writer long gone: what a launch's settings store sweeps away.
        folder = os.path.dirname(self.desktop.settings_file)
        stale = os.path.join(folder, ".preferences.plist.tmp-0")
        open(stale, "wb").close()
        os.utime(stale, (0, 0))
        before = files_below(self.desktop.base)
        code, out, err = self.script()
        self.assertEqual((code, out, err.count("\n")), (0, "", 1))
        self.assertTrue(err.endswith(ALREADY_RUNNING + "\n"), err)
        # The one-shot runs build only what they use: no settings store sweeps the folder.
        self.assertEqual(self.script("--login", "on", "--version"), (0, f"Velmoryn {VERSION}\n", ""))
        self.assertEqual(self.script("--status"), (1, "Dock表示中\n", ""))
        self.assertEqual(self.script("--hide"), (1, NO_ANSWER, ""))
        self.assertEqual(files_below(self.desktop.base), before)
        for pid in self.desktop.running_tools():
            os.kill(pid, signal.SIGKILL)
        launched = run.ask(reply=HIDDEN)  # the read is tried again; the verb comes after
        self.assertEqual(dock_lines(launched), ["dock: autohide-delay 1000", "dock: restarted",
                                                "dock: autohide on"])

    def test_a_hung_restore_is_cut_at_the_limit_and_the_next_orderly_end_finishes_it(self):
        run = self.launch(env={"VELMORYN_TEST_TOOL_TIME_LIMIT": "0.5"})
        run.ask("click left", reply=HIDDEN)
        self.desktop.set_fault("defaults", "hang when write")
        # A signal during the quit's restore changes neither its status nor its one log line.
        status, _ = run.end(signal.SIGTERM)
        self.assertEqual((status, self.desktop.record()), (0, RECORD))
        not_restored = [line for line in run.program.stderr if "Dockの設定を元に戻せませんでした" in line]
        self.assertEqual(len(not_restored), 1, run.program.stderr)
        self.desktop.clear_fault("defaults")
        # What it wrote back is the soak's to check: a record kept after a kill ends the same way.
        status, _ = self.launch().end()
        self.assertEqual((status, self.desktop.record()), (0, {}))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(f"usage: {sys.argv[0]} VELMORYN VERSION [unittest options]")
    BINARY = os.path.abspath(sys.argv.pop(1))
    VERSION = sys.argv.pop(1)
    unittest.main(verbosity=2)
