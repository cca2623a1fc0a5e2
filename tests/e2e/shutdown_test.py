#!/usr/bin/env python3
"""The way out: quitting from the menu and each of SIGTERM, SIGINT and SIGHUP
put the user's own Dock settings back exactly once and end with status 0; a
forced kill leaves the record, so the next orderly end brings back the
settings from before the first run."""

import os
import signal

from velmoryn_e2e import HIDDEN_TOOLTIP, MENU_QUIT, DesktopTestCase, dock_lines, main

# A user's own Dock: shown, with a short delay of their own.
ORIGINAL = {"autohide": False, "autohide-delay": 0.5, "tilesize": 48, "mineffect": "genie"}
RECORD_KEYS = ("originalDock.saved", "originalDock.autohideDelay", "originalDock.autohide")


class ShutdownTest(DesktopTestCase):

    def start_hidden(self):
        """Launches on the user's Dock and hides it; returns the program."""
        self.desktop.seed_dock(ORIGINAL)
        program, launch = self.launch()
        self.assertEqual(dock_lines(launch), ["dock: autohide-delay 1000", "dock: restarted"])
        program.command("click left", "click: left")
        program.until(HIDDEN_TOOLTIP)
        self.assertEqual(self.desktop.dock()["autohide"], True)
        return program

    def assert_restored_once(self, lines, restarts_before, revealing=False):
        # During a reveal the Dock's autohide is off already.
        expected = ["dock: autohide-delay 0.5"]
        if not revealing:
            expected.append("dock: autohide off")
        expected.append("dock: restarted")
        self.assertEqual(dock_lines(lines), expected)
        self.assertEqual(self.desktop.restarts(), restarts_before + 1)
        self.assertEqual(self.desktop.dock(), ORIGINAL)
        settings = self.desktop.settings()
        self.assertEqual([key for key in RECORD_KEYS if key in settings], [])
        self.assertFalse(os.path.exists(self.desktop.socket_path), "the socket outlived the end")

    def test_quit_from_the_menu_restores_once(self):
        program = self.start_hidden()
        before = self.desktop.restarts()
        _, menu = program.menu()
        self.assertEqual(menu[MENU_QUIT][0], "Velmoryn を終了")
        lines = program.choose(MENU_QUIT)
        lines += self.check_exit(program, 0)
        self.assert_restored_once(lines, before)

    def test_each_termination_signal_restores_once_and_exits_with_zero(self):
        # SIGHUP also during a reveal, when the Dock is lifted.
        for number, revealing in ((signal.SIGTERM, False), (signal.SIGINT, False),
                                  (signal.SIGHUP, False), (signal.SIGHUP, True)):
            with self.subTest(signal=number.name, revealing=revealing):
                self.new_desktop()
                program = self.start_hidden()
                if revealing:
                    program.command("pointer 700 3", "pointer: ")
                    lines = program.command("scroll line 1 0", "scroll: ")
                    self.assertEqual(dock_lines(lines), ["dock: autohide off"])
                program.sync()
                before = self.desktop.restarts()
                program.signal(number)
                lines = self.check_exit(program, 0)
                self.assert_restored_once(lines, before, revealing)

    def test_two_signals_in_a_row_restore_once(self):
        program = self.start_hidden()
        before = self.desktop.restarts()
        program.signal(signal.SIGTERM)
        program.signal(signal.SIGHUP)
        lines = self.check_exit(program, 0)
        self.assert_restored_once(lines, before)

    def test_a_dock_that_cannot_be_read_at_launch_is_left_exactly_as_it_was(self):
        # Every `defaults read` crashes while the program starts: it records
        # nothing, so it changes nothing and, once the tool works again, its
        # quit has nothing to put back and deletes nothing.
        self.desktop.seed_dock(ORIGINAL)
        faults = os.path.join(self.desktop.root, "faults")
        os.makedirs(faults)
        with open(os.path.join(faults, "defaults"), "w", encoding="utf-8") as fault:
            fault.write("crash when read\n")
        program, launch = self.launch()
        self.assertEqual(dock_lines(launch), [])
        os.unlink(os.path.join(faults, "defaults"))
        program.menu()
        lines = program.choose(MENU_QUIT) + self.check_exit(program, 0)
        self.assertEqual(dock_lines(lines), [])
        self.assertEqual(self.desktop.dock(), ORIGINAL)
        self.assertEqual(self.desktop.restarts(), 0)
        self.assertEqual([key for key in RECORD_KEYS if key in self.desktop.settings()], [])
        logged = [line for line in program.stderr if "Dockの設定" in line]
        self.assertEqual(len(logged), 1, program.transcript())
        self.assertTrue(logged[0].endswith("Velmoryn: Dockの設定を読み取れなかったため、"
                                           "何も変更しませんでした。次回の起動時にもう一度記録します"))

    def test_after_a_forced_kill_the_next_orderly_end_brings_back_the_first_settings(self):
        program = self.start_hidden()
        program.signal(signal.SIGKILL)
        self.assertEqual(program.wait_exit(), -signal.SIGKILL)
        self.assertEqual(self.desktop.dock()["autohide"], True, "left as the program set it")
        self.assertEqual(self.desktop.dock()["autohide-delay"], 1000.0)

        # Killed a second time, after showing the Dock again.
        program, launch = self.launch()
        self.assertIn(HIDDEN_TOOLTIP, launch, "adopts the hidden Dock it finds")
        self.assertTrue(any(line.startswith("control: listening on") for line in launch),
                        "the stale socket is replaced")
        program.command("click left", "click: left")
        program.until("dock: autohide off")
        program.signal(signal.SIGKILL)
        program.wait_exit()
        self.assertEqual(self.desktop.settings().get("originalDock.autohideDelay"), 0.5)

        program, _ = self.launch()
        before = self.desktop.restarts()
        program.menu()
        lines = program.choose(MENU_QUIT) + self.check_exit(program, 0)
        self.assertEqual(dock_lines(lines), ["dock: autohide-delay 0.5", "dock: restarted"])
        self.assertEqual(self.desktop.restarts(), before + 1)
        self.assertEqual(self.desktop.dock(), ORIGINAL)


if __name__ == "__main__":
    main()
