#!/usr/bin/env python3
"""Faults only a real process can show: stand-in tools that hang or are
missing (made to misbehave through <root>/faults, see tools/sim), a failing
AppleScript, settings that cannot be written or read, a terminal that went
away. The program keeps running, ends every tool run at the (shortened) time
limit, and the user's Dock comes back at the next orderly end that can write."""

import os
import plistlib
import signal
import subprocess
import time

import velmoryn_e2e as e2e
from velmoryn_e2e import HIDDEN, USER, DesktopTest, ask_socket, dock_lines, main

LIMIT = 0.5  # seconds per tool run, instead of 10
SHORT_LIMIT = {"VELMORYN_TEST_TOOL_TIME_LIMIT": str(LIMIT)}
SLACK = 5.0  # what a busy machine may add to a bounded wait
RECORD = {"originalDock.saved": True, "originalDock.autohideDelay": 0.5,
          "originalDock.autohide": False}
FALLBACK = ('osascript -e tell application "System Events" to tell dock preferences'
            " to set autohide to ")


class FaultTest(DesktopTest):

    def launch(self, desktop=None, env=None):
        return super().launch(desktop, SHORT_LIMIT)

    def logged(self, run, text):
        return [line for line in run.program.stderr if text in line]

    def test_a_hung_tool_is_killed_at_the_time_limit(self):
        run = self.launch()
        self.desktop.set_fault("defaults", "hang when read")
        began = time.monotonic()
        run.ask("click right", "menu: 1 ")  # opening the menu reads the mode
        self.assertGreaterEqual(time.monotonic() - began, LIMIT * 0.9)
        self.assertLess(time.monotonic() - began, LIMIT + SLACK)
        self.assertEqual(self.desktop.running_tools(), [])

    def test_a_restore_that_cannot_finish_keeps_the_record_for_the_next_orderly_end(self):
        for tool, fault in (("defaults", "hang when write"), ("defaults", "missing"),
                            ("killall", "hang"), ("killall", "missing")):
            with self.subTest(tool=tool, fault=fault):
                desktop = self.fresh()
                run = self.launch(desktop)
                run.ask("click left", HIDDEN)
                if fault == "missing":
                    os.unlink(os.path.join(desktop.root, "usr", "bin", tool))
                else:
                    desktop.set_fault(tool, fault)
                restarts = desktop.restarts()
                began = time.monotonic()
                self.assertEqual(run.quit()[0], 0)
                self.assertLess(time.monotonic() - began, LIMIT + SLACK)
                self.assertEqual(desktop.running_tools(), [])
                if tool == "killall":  # the Dock could not restart, its settings came back
                    self.assertEqual((desktop.restarts(), desktop.record()), (restarts, {}))
                    self.assert_dock(USER, desktop)
                    continue
                self.assertEqual((desktop.restarts(), desktop.record()), (restarts + 1, RECORD))
                self.assertEqual(len(self.logged(run, "Dockの設定を元に戻せませんでした")), 1)
                desktop.clear_fault(tool)  # and a launch links a missing tool again
                self.assertEqual(self.launch(desktop).quit()[0], 0)
                self.assertEqual(desktop.record(), {})
                self.assert_dock(USER, desktop)

    def test_a_dock_that_cannot_be_read_at_launch_is_left_exactly_as_it_was(self):
        self.desktop.set_fault("defaults", "crash when read")
        run = self.launch()
        self.assertEqual(dock_lines(run.launched), [])
        self.desktop.clear_fault("defaults")
        status, rest = run.quit()
        self.assertEqual((status, dock_lines(rest), self.desktop.restarts()), (0, [], 0))
        self.assert_dock(USER)
        self.assertEqual(self.desktop.record(), {})
        logged = self.logged(run, "Dockの設定")
        self.assertEqual(len(logged), 1, run.program.transcript())
        self.assertTrue(logged[0].endswith("Dockの設定を読み取れなかったため、何も変更しませんでした。"
                                           "次回の起動時にもう一度記録します"), logged[0])

    def test_a_failing_applescript_runs_the_osascript_fallback_once_per_switch(self):
        run = self.launch()
        self.desktop.fail_applescript()
        self.desktop.count_calls()
        run.ask("click left", HIDDEN)
        self.assertIs(self.desktop.dock()["autohide"], True)
        # A fallback that fails too is not tried again and changes nothing.
        self.desktop.set_fault("osascript", "fail")
        run.program.send("click left", "show")
        lines = run.until("show: ")
        self.assertEqual((dock_lines(lines), lines[-1].count("icon=hidden")), ([], 1))
        self.assertEqual([call for call in self.desktop.calls() if call.startswith("osascript")],
                         [FALLBACK + "true", FALLBACK + "false"])
        self.desktop.fail_applescript(False)
        self.desktop.clear_fault("osascript")
        self.assertEqual(run.quit()[0], 0)
        self.assertEqual(len(self.logged(run, "Dockの切り替えに失敗しました")), 1)
        self.assert_dock(USER)

    def test_settings_that_cannot_be_written_stay_in_memory_with_one_log_line(self):
        folder = os.path.dirname(self.desktop.settings_file)
        with open(folder, "w", encoding="utf-8") as blocker:  # a file where the folder goes
            blocker.write("not a folder\n")
        run = self.launch()
        run.ask("click left", HIDDEN)
        run.program.send("click right", "choose 4")
        run.until("menu: closed")
        self.assertEqual(run.quit()[0], 0)
        self.assert_dock(USER)
        failures = self.logged(run, self.desktop.settings_file)
        self.assertEqual(len(failures), 1, run.program.transcript())
        self.assertIn("メモリ上", failures[0])

    def test_an_unreadable_settings_file_is_moved_aside_and_the_program_goes_on(self):
        torn = plistlib.dumps(dict(RECORD, swipeRevealEnabled=False))[:150]
        folder = os.path.dirname(self.desktop.settings_file)
        os.makedirs(folder)
        with open(self.desktop.settings_file, "wb") as out:
            out.write(torn)
        run = self.launch()
        run.ask("click left", HIDDEN)
        self.assertEqual(run.quit()[0], 0)
        self.assert_dock(USER)
        self.assertEqual(len(self.logged(run, "を読み込めないため")), 1, run.program.transcript())
        aside = [name for name in os.listdir(folder) if ".unreadable-" in name]
        with open(os.path.join(folder, *aside), "rb") as kept:
            self.assertEqual(kept.read(), torn)

    def test_a_terminal_gone_before_sighup_does_not_stop_the_restore(self):
        read_end, write_end = os.pipe()
        process = subprocess.Popen([e2e.BINARY], stdin=subprocess.PIPE, stdout=write_end,
                                   stderr=subprocess.DEVNULL,
                                   env=dict(self.desktop.env, **SHORT_LIMIT))
        self.addCleanup(process.stdin.close)
        self.addCleanup(process.kill)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as output:
            self.assertIn(b"ready\n", iter(output.readline, b""))
        # Nobody reads standard output any more; the socket still answers.
        reply = ask_socket(self.desktop.socket_path, "click left", "show")
        self.assertIn("autohide=on", reply[-1])
        process.send_signal(signal.SIGHUP)
        self.assertEqual(process.wait(timeout=e2e.TIMEOUT), 0)
        self.assert_dock(USER)
        self.assertEqual(self.desktop.record(), {})


if __name__ == "__main__":
    main()
