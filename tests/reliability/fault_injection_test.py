#!/usr/bin/env python3
"""Fault injection on the real program: tools that hang, crash, babble or are
missing, an AppleScript that fails, settings that cannot be written or read.

Usage: fault_injection_test.py VELMORYN [unittest options]

For each fault the program keeps running, ends every tool run within the
(shortened) time limit, and loses nothing it had recorded: the user's Dock
comes back at the next orderly end that can write it. The stand-ins are made
to fail through <root>/faults/<tool> (see tools/sim/simtool_main.cc), the
in-process AppleScript through <root>/faults/applescript, and the tool time
limit is shortened with VELMORYN_TEST_TOOL_TIME_LIMIT.
"""

import errno
import os
import plistlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import soak  # the harness lives with the soak, in tools/ (on PYTHONPATH)

BINARY = None
LIMIT = 0.5  # seconds per tool run, instead of 10
LIMIT_ENV = {"VELMORYN_TEST_TOOL_TIME_LIMIT": str(LIMIT)}
# What a busy machine may add to a bounded wait.
SLACK = 5.0

USER = {"autohide-delay": 0.5, "autohide": False, "tilesize": 48, "mineffect": "genie",
        "persistent-apps": [{"tile-type": "file-tile"}]}
AUTOHIDE_LINE = 'tell application "System Events" to tell dock preferences to set autohide to '
RESTORE_FAILED = "Velmoryn: Dockの設定を元に戻せませんでした"
SWITCH_FAILED = "Velmoryn: Dockの切り替えに失敗しました"


class FaultTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="velmoryn-fault-")
        self.desktop = soak.Desktop(BINARY, self.folder)
        self.desktop.seed_dock(USER)
        self.programs = []

    def tearDown(self):
        for program in self.programs:
            if program.process.poll() is None:
                program.kill()
        self.desktop.wait_for_orphans(timeout=5)
        shutil.rmtree(self.folder, ignore_errors=True)

    # -- helpers --------------------------------------------------------------

    def launch(self, ready=True):
        program = self.desktop.launch(LIMIT_ENV)
        self.programs.append(program)
        if ready:
            self.assertIsNotNone(program.wait_line("ready"), program.transcript())
        return program

    def command(self, program, *lines, reply):
        """Sends lines and waits for a reply line starting with `reply`; returns seconds taken."""
        start = len(program.lines)
        began = time.monotonic()
        program.send(*lines)
        found = program.wait_for(lambda line: line.startswith(reply), start=start)
        self.assertIsNotNone(found, f"no {reply!r} line\n" + program.transcript())
        return time.monotonic() - began

    def quit(self, program):
        """Quits through the menu; returns the seconds from the choice to the exit."""
        self.command(program, "click right", reply="menu: 1 ")
        began = time.monotonic()
        program.send("choose 7")
        status = program.wait_exit()
        self.assertEqual(status, 0, program.transcript())
        return time.monotonic() - began

    def assert_user_dock(self, expected=None):
        expected = USER if expected is None else expected
        domain = self.desktop.dock()
        self.assertTrue(soak.same(expected, domain), soak.describe_difference(expected, domain))

    def assert_no_tool_left(self):
        self.assertEqual(self.desktop.running_tools(), [], "a stand-in outlived its time limit")

    def lines_with(self, program, text):
        return [line for line in program.stderr if text in line]

    def remove_tool(self, name):
        os.unlink(os.path.join(self.desktop.root, "usr", "bin", name))

    def relaunch_and_quit_restores(self):
        """The mend: the record left by a failed restore brings the user's Dock back."""
        for tool in ("defaults", "osascript", "killall"):
            self.desktop.clear_fault(tool)
        program = self.launch()
        self.quit(program)
        self.assert_user_dock()
        self.assertEqual(self.desktop.record(), {})
        self.assertEqual(self.lines_with(program, RESTORE_FAILED), [])


class ToolFaults(FaultTest):
    def test_a_hanging_read_is_stopped_at_the_limit_and_the_menu_opens(self):
        program = self.launch()
        self.desktop.set_fault("defaults", "hang when read")
        took = self.command(program, "click right", reply="menu: 1 ")
        self.assertGreaterEqual(took, LIMIT * 0.9)
        self.assertLess(took, LIMIT + SLACK)
        self.assert_no_tool_left()
        program.send("dismiss")
        self.desktop.clear_fault("defaults")
        self.quit(program)
        self.assert_user_dock()

    def test_a_launch_whose_every_tool_hangs_still_becomes_ready_within_the_limits(self):
        for tool in ("defaults", "killall"):
            self.desktop.set_fault(tool, "hang")
        began = time.monotonic()
        program = self.launch()
        # Two record reads, the delay read and write, the Dock restart, the
        # edge and the mode: seven tool runs, each cut at the limit.
        self.assertLess(time.monotonic() - began, 7 * LIMIT + SLACK)
        self.assert_no_tool_left()
        self.command(program, "click left", reply="click: left")
        self.command(program, "show", reply="show: ")

    def test_crashing_tools_leave_the_program_running_and_the_record_for_the_next_end(self):
        for fault in ("crash", "abort"):
            with self.subTest(fault=fault):
                self.desktop.seed_dock(USER)
                program = self.launch()
                self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
                self.desktop.set_fault("defaults", fault)
                self.command(program, "click right", reply="menu: 1 ")
                program.send("dismiss")
                self.command(program, "hotkey", reply="hotkey: pressed")
                restarts = self.desktop.restarts()
                self.quit(program)
                # The writes failed: the Dock was reloaded, the record kept, and a
                # person is told.
                self.assertEqual(self.desktop.restarts(), restarts + 1)
                self.assertEqual(self.desktop.record(), {"originalDock.saved": True,
                                                         "originalDock.autohideDelay": 0.5,
                                                         "originalDock.autohide": False})
                self.assertEqual(len(self.lines_with(program, RESTORE_FAILED)), 1,
                                 program.transcript())
                self.relaunch_and_quit_restores()

    def test_garbage_on_a_read_is_no_value_and_changes_nothing(self):
        program = self.launch()
        self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
        self.desktop.set_fault("defaults", "garbage when read")
        # The mode read gives bytes that are not text: the menu offers to hide.
        self.command(program, "click right", reply='menu: 1 "Dockを隠す"')
        program.send("dismiss")
        self.quit(program)
        self.assert_user_dock()

    def test_garbage_at_the_first_launch_is_read_as_no_value(self):
        self.desktop.set_fault("defaults", "garbage when read")
        program = self.launch()
        self.assertEqual(self.desktop.record(), {"originalDock.saved": True})
        self.desktop.clear_fault("defaults")
        self.command(program, "show", reply="show: ")
        self.quit(program)
        # Nothing readable was on record, so both keys go, and nothing else.
        expected = {k: v for k, v in USER.items() if k not in ("autohide", "autohide-delay")}
        self.assert_user_dock(expected)

    def test_a_tool_that_floods_both_streams_neither_blocks_nor_is_cut_short(self):
        program = self.launch()
        self.desktop.set_fault("defaults", "flood")
        took = self.command(program, "dock edge left", reply="screen 1:")
        self.assertLess(took, LIMIT + SLACK)
        self.command(program, "click right", reply="menu: 1 ")
        program.send("dismiss")
        restarts = self.desktop.restarts()
        self.quit(program)
        self.assertEqual(self.desktop.restarts(), restarts + 1)
        expected = dict(USER, orientation="left")
        self.assert_user_dock(expected)
        self.assertEqual(self.desktop.record(), {})

    def test_a_missing_defaults_fails_the_restore_which_the_next_end_completes(self):
        program = self.launch()
        self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
        self.remove_tool("defaults")
        self.command(program, "click right", reply="menu: 1 ")
        program.send("dismiss")
        restarts = self.desktop.restarts()
        self.quit(program)
        self.assertEqual(self.desktop.restarts(), restarts + 1)
        self.assertEqual(self.desktop.dock()["autohide"], True)
        self.assertEqual(self.desktop.record(), {"originalDock.saved": True,
                                                 "originalDock.autohideDelay": 0.5,
                                                 "originalDock.autohide": False})
        self.assertEqual(len(self.lines_with(program, RESTORE_FAILED)), 1, program.transcript())
        # The next launch puts the tool back and, with the record, restores.
        self.relaunch_and_quit_restores()

    def test_a_hanging_or_failing_restore_write_keeps_the_record_and_ends_in_bounded_time(self):
        for fault in ("hang when write", "fail when write", "fail when delete"):
            with self.subTest(fault=fault):
                user = dict(USER)
                if "delete" in fault:
                    del user["autohide-delay"]  # restored by deleting the program's delay
                self.desktop.seed_dock(user)
                program = self.launch()
                self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
                self.desktop.set_fault("defaults", fault)
                restarts = self.desktop.restarts()
                took = self.quit(program)
                self.assertLess(took, 4 * LIMIT + SLACK)
                self.assert_no_tool_left()
                self.assertEqual(self.desktop.restarts(), restarts + 1)
                self.assertTrue(self.desktop.record().get("originalDock.saved"))
                self.assertEqual(len(self.lines_with(program, RESTORE_FAILED)), 1,
                                 program.transcript())
                self.desktop.clear_fault("defaults")
                program = self.launch()
                self.quit(program)
                self.assert_user_dock(user)
                self.assertEqual(self.desktop.record(), {})

    def test_deleting_keys_the_user_never_had_counts_as_restored(self):
        user = {k: v for k, v in USER.items() if k not in ("autohide", "autohide-delay")}
        self.desktop.seed_dock(user)
        self.desktop.count_calls()
        program = self.launch()
        self.quit(program)
        self.assert_user_dock(user)
        self.assertEqual(self.desktop.record(), {})
        self.assertIn("defaults delete com.apple.dock autohide", self.desktop.calls())
        self.assertEqual(self.lines_with(program, RESTORE_FAILED), [])

    def test_a_missing_or_hanging_killall_does_not_stop_the_restore(self):
        for fault in ("missing", "hang"):
            with self.subTest(fault=fault):
                self.desktop.seed_dock(USER)
                program = self.launch()
                self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
                if fault == "missing":
                    self.remove_tool("killall")
                else:
                    self.desktop.set_fault("killall", "hang")
                restarts = self.desktop.restarts()
                took = self.quit(program)
                self.assertLess(took, LIMIT + SLACK)
                self.assert_no_tool_left()
                self.assertEqual(self.desktop.restarts(), restarts)
                self.assert_user_dock()
                self.assertEqual(self.desktop.record(), {})
                self.desktop.clear_fault("killall")


class AppleScriptFaults(FaultTest):
    def osascript_calls(self):
        return [c for c in self.desktop.calls() if c.startswith("osascript ")]

    def test_each_switch_runs_the_osascript_fallback_exactly_once(self):
        program = self.launch()
        self.desktop.fail_applescript()
        self.desktop.count_calls()
        self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
        self.assertEqual(self.osascript_calls(), ["osascript -e " + AUTOHIDE_LINE + "true"])
        self.assertEqual(self.desktop.dock()["autohide"], True)
        self.command(program, "hotkey", reply="tooltip: Velmoryn / Dock表示中")
        self.command(program, "click right", reply="menu: 1 ")
        self.command(program, "choose 1", reply="tooltip: Velmoryn / Dock非表示中")
        self.assertEqual(self.osascript_calls(), [
            "osascript -e " + AUTOHIDE_LINE + "true",
            "osascript -e " + AUTOHIDE_LINE + "false",
            "osascript -e " + AUTOHIDE_LINE + "true",
        ])
        # An edge scroll in hidden mode lifts the Dock through the fallback too.
        self.command(program, "pointer 700 1", reply="pointer:")
        self.command(program, "scroll line 3 0", reply="scroll:")
        self.assertEqual(self.osascript_calls()[3:], ["osascript -e " + AUTOHIDE_LINE + "false"])
        self.quit(program)
        self.assert_user_dock()

    def test_a_failing_fallback_is_not_retried_and_changes_nothing(self):
        for fault in ("fail", "crash", "hang"):
            with self.subTest(fault=fault):
                self.desktop.seed_dock(USER)
                program = self.launch()
                self.desktop.fail_applescript()
                self.desktop.set_fault("osascript", fault)
                self.desktop.count_calls()
                took = self.command(program, "click left", "show", reply="show: ")
                self.assertLess(took, LIMIT + SLACK)
                self.assertEqual(len(self.osascript_calls()), 1)
                self.assertEqual(self.desktop.dock()["autohide"], False)
                # The icon claims no switch the Dock did not make; the log says why.
                self.assertNotIn("tooltip: Velmoryn / Dock非表示中", program.lines)
                deadline = time.monotonic() + SLACK
                while not self.lines_with(program, SWITCH_FAILED) and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertEqual(len(self.lines_with(program, SWITCH_FAILED)), 1,
                                 program.transcript())
                self.assert_no_tool_left()
                self.desktop.fail_applescript(False)
                self.desktop.clear_fault("osascript")
                self.quit(program)
                self.assert_user_dock()


class SettingsFaults(FaultTest):
    def settings_folder(self):
        return os.path.dirname(self.desktop.settings_file)

    def test_a_settings_folder_that_cannot_be_written_keeps_the_record_in_memory(self):
        # A file where the folder should be: refused even to root.
        os.makedirs(os.path.dirname(self.settings_folder()), exist_ok=True)
        with open(self.settings_folder(), "w", encoding="utf-8") as blocker:
            blocker.write("not a folder\n")
        program = self.launch()
        self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
        self.command(program, "click right", reply="menu: 1 ")
        self.command(program, "choose 4", reply="menu: closed")
        self.command(program, "show", reply="show: ")
        self.quit(program)
        self.assert_user_dock()
        # One line says the settings stay in memory only, however often they change.
        failures = self.lines_with(program, self.desktop.settings_file)
        self.assertEqual(len(failures), 1, program.transcript())
        self.assertIn("メモリ上", failures[0])

    def check_unreadable_file_is_kept_aside(self, contents, reason):
        os.makedirs(self.settings_folder(), exist_ok=True)
        with open(self.desktop.settings_file, "wb") as out:
            out.write(contents)
        program = self.launch()
        self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
        self.quit(program)
        self.assert_user_dock()
        moved = self.lines_with(program, "を読み込めないため")
        self.assertEqual(len(moved), 1, program.transcript())
        self.assertIn(reason, moved[0])
        aside = [n for n in os.listdir(self.settings_folder()) if ".unreadable-" in n]
        self.assertEqual(len(aside), 1)
        with open(os.path.join(self.settings_folder(), aside[0]), "rb") as kept:
            self.assertEqual(kept.read(), contents)
        self.assertIn("menuBarBoot.loginRegistered", self.desktop.settings())

    def test_a_truncated_settings_file_is_kept_aside_and_the_program_goes_on(self):
        whole = plistlib.dumps({"originalDock.saved": True, "originalDock.autohideDelay": 0.5,
                                "swipeRevealEnabled": False}, fmt=plistlib.FMT_XML)
        self.check_unreadable_file_is_kept_aside(whole[: len(whole) // 2],
                                                 "プロパティリストとして読めません")

    def test_an_empty_settings_file_is_kept_aside_and_the_program_goes_on(self):
        self.check_unreadable_file_is_kept_aside(b"", "空のファイルです")

    def test_a_settings_file_of_binary_garbage_is_kept_aside_and_the_program_goes_on(self):
        self.check_unreadable_file_is_kept_aside(bytes(range(256)) * 16,
                                                 "プロパティリストとして読めません")

    def test_record_entries_of_the_wrong_types_are_not_taken_for_a_record(self):
        os.makedirs(self.settings_folder(), exist_ok=True)
        with open(self.desktop.settings_file, "wb") as out:
            plistlib.dump({"originalDock.saved": "yes", "originalDock.autohideDelay": "7",
                           "originalDock.autohide": 1, "someone.else": ["kept"]}, out,
                          fmt=plistlib.FMT_XML)
        program = self.launch()
        # The marker was not a Boolean: a fresh record of the Dock as it is.
        self.assertEqual(self.desktop.record(), {"originalDock.saved": True,
                                                 "originalDock.autohideDelay": 0.5,
                                                 "originalDock.autohide": False})
        self.command(program, "click left", reply="tooltip: Velmoryn / Dock非表示中")
        self.quit(program)
        self.assert_user_dock()
        self.assertEqual(self.desktop.settings()["someone.else"], ["kept"])

    def test_a_record_of_the_wrong_types_restores_by_deleting_the_keys(self):
        os.makedirs(self.settings_folder(), exist_ok=True)
        with open(self.desktop.settings_file, "wb") as out:
            plistlib.dump({"originalDock.saved": True, "originalDock.autohideDelay": "0.5",
                           "originalDock.autohide": 1}, out, fmt=plistlib.FMT_XML)
        program = self.launch()
        self.quit(program)
        expected = {k: v for k, v in USER.items() if k not in ("autohide", "autohide-delay")}
        self.assert_user_dock(expected)
        self.assertEqual(self.desktop.record(), {})


class OutputFaults(FaultTest):
    def test_a_terminal_that_went_away_does_not_stop_the_restore_on_sighup(self):
        read_end, write_end = os.pipe()
        env = dict(self.desktop.env, **LIMIT_ENV)
        process = subprocess.Popen([BINARY], stdin=subprocess.PIPE, stdout=write_end,
                                   stderr=subprocess.DEVNULL, env=env)
        os.close(write_end)
        try:
            seen = b""
            deadline = time.monotonic() + soak.TIMEOUT
            while b"\nready\n" not in seen and time.monotonic() < deadline:
                chunk = os.read(read_end, 4096)
                if not chunk:
                    break
                seen += chunk
            self.assertIn(b"\nready\n", seen)
            # The terminal closes: nobody reads the program's output any more.
            os.close(read_end)
            read_end = None
            process.stdin.write(b"click left\nshow\nclick right\ndismiss\n")
            process.stdin.flush()
            deadline = time.monotonic() + soak.TIMEOUT
            while self.desktop.dock().get("autohide") is not True:
                self.assertLess(time.monotonic(), deadline, "the switch did not happen")
                time.sleep(0.01)
            process.send_signal(signal.SIGHUP)
            self.assertEqual(process.wait(timeout=soak.TIMEOUT), 0)
        finally:
            if read_end is not None:
                os.close(read_end)
            if process.poll() is None:
                process.kill()
                process.wait()
            process.stdin.close()
        self.assert_user_dock()
        self.assertEqual(self.desktop.record(), {})


class DiskFaults(unittest.TestCase):
    """The whole desktop on a small file system of its own, filled up on purpose."""

    def setUp(self):
        self.mount = tempfile.mkdtemp(prefix="velmoryn-disk-")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", self.mount],
                                 capture_output=True, check=False)
        if mounted.returncode != 0:
            os.rmdir(self.mount)
            self.skipTest("cannot mount a small file system here (needs root)")
        self.desktop = soak.Desktop(BINARY, os.path.join(self.mount, "desktop"))
        self.desktop.seed_dock(USER)
        self.filler = os.path.join(self.mount, "filler")
        self.programs = []

    def tearDown(self):
        for program in self.programs:
            if program.process.poll() is None:
                program.kill()
        self.desktop.wait_for_orphans(timeout=5)
        subprocess.run(["umount", self.mount], check=False)
        os.rmdir(self.mount)

    def fill_disk(self):
        with open(self.filler, "wb", buffering=0) as out:
            try:
                while True:
                    out.write(b"\0" * 65536)
                    out.flush()
            except OSError as error:
                self.assertEqual(error.errno, errno.ENOSPC)

    def launch(self):
        program = self.desktop.launch(LIMIT_ENV)
        self.programs.append(program)
        self.assertIsNotNone(program.wait_line("ready"), program.transcript())
        return program

    def test_a_disk_that_fills_up_keeps_the_record_until_an_end_that_can_write(self):
        program = self.launch()
        program.send("click left")
        self.assertIsNotNone(program.wait_line("tooltip: Velmoryn / Dock非表示中"))
        self.fill_disk()
        program.send("click right")
        self.assertIsNotNone(program.wait_for(lambda line: line.startswith("menu: 1 ")))
        program.send("choose 7")
        self.assertEqual(program.wait_exit(), 0, program.transcript())
        # Nothing could be written back: the Dock is as the program left it,
        # the record is still on file, and a person is told.
        self.assertEqual(self.desktop.dock()["autohide"], True)
        self.assertTrue(self.desktop.record().get("originalDock.saved"))
        told = [line for line in program.stderr if RESTORE_FAILED in line]
        self.assertEqual(len(told), 1, program.transcript())

        os.unlink(self.filler)
        program = self.launch()
        program.send("click right")
        self.assertIsNotNone(program.wait_for(lambda line: line.startswith("menu: 1 ")))
        program.send("choose 7")
        self.assertEqual(program.wait_exit(), 0, program.transcript())
        domain = self.desktop.dock()
        self.assertTrue(soak.same(USER, domain), soak.describe_difference(USER, domain))
        self.assertEqual(self.desktop.record(), {})

    def test_a_full_disk_at_the_first_launch_changes_nothing_and_loses_nothing(self):
        self.desktop.record()  # the folders exist before the disk is full
        self.fill_disk()
        program = self.launch()
        program.send("click left")
        self.assertIsNotNone(program.wait_for(lambda line: line.startswith("click: ")))
        program.send("click right")
        self.assertIsNotNone(program.wait_for(lambda line: line.startswith("menu: 1 ")))
        program.send("choose 7")
        self.assertEqual(program.wait_exit(), 0, program.transcript())
        domain = self.desktop.dock()
        self.assertTrue(soak.same(USER, domain), soak.describe_difference(USER, domain))
        self.assertEqual(len([l for l in program.stderr if "保存できません" in l]), 1,
                         program.transcript())


def main():
    global BINARY
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    BINARY = os.path.abspath(sys.argv.pop(1))
    result = unittest.main(exit=False, verbosity=2).result
    passed = result.testsRun - len(result.failures) - len(result.errors)
    print(f"{passed} passed, {len(result.failures) + len(result.errors)} failed")
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
