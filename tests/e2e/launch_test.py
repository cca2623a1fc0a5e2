#!/usr/bin/env python3
"""Launch: the program adopts the Dock's mode, makes the delay long once, and
does its one-time chores (position seed, login item) on the first launch."""

import os
import signal

from velmoryn_e2e import (HIDDEN_ICON, HIDDEN_TOOLTIP, SHOWN_ICON, SHOWN_TOOLTIP,
                          DesktopTestCase, dock_lines, main)


class LaunchTest(DesktopTestCase):

    def test_adopts_a_hidden_dock_without_changing_it(self):
        self.desktop.seed_dock({"autohide": True, "autohide-delay": 1000.0})
        program, launch = self.launch()

        self.assertEqual(dock_lines(launch), [], "a Dock already set up needs no change")
        self.assertIn(HIDDEN_ICON, launch)
        self.assertIn(HIDDEN_TOOLTIP, launch)
        self.assertEqual(self.desktop.restarts(), 0)
        state = program.show()
        self.assertEqual((state["icon"], state["autohide"], state["dock"]),
                         ("hidden", "on", "hidden"))
        # The adopted mode is what the first toggle flips.
        lines = program.command("click left", "click: left") + program.until(SHOWN_TOOLTIP)
        self.assertEqual(dock_lines(lines), ["dock: autohide off"])
        self.assertIs(self.desktop.dock()["autohide"], False)

    def test_adopts_a_shown_dock_and_does_the_first_launch_chores_once(self):
        self.desktop.seed_dock({"autohide": False, "autohide-delay": 2000.0})
        program, launch = self.launch()

        self.assertEqual(dock_lines(launch), [])
        self.assertIn(SHOWN_ICON, launch)
        self.assertIn(SHOWN_TOOLTIP, launch)
        self.assertEqual(program.show()["dock"], "visible")
        settings = self.desktop.settings()
        self.assertEqual(settings.get("NSStatusItem Preferred Position Velmoryn"), 300)
        self.assertIs(settings.get("menuBarBoot.loginRegistered"), True)
        entry = self.desktop.login_entry()
        self.assertIsNotNone(entry, "the first launch registers the login item")
        self.assertIn("velmoryn", entry)
        lines = program.command("click left", "click: left") + program.until(HIDDEN_TOOLTIP)
        self.assertEqual(dock_lines(lines), ["dock: autohide on"])
        self.assertEqual(program.quit_from_menu(), 0)

        # A user who removed the login item by hand keeps it removed.
        os.remove(self.desktop.autostart_entry)
        program, _ = self.launch()
        self.assertIsNone(self.desktop.login_entry(), "registration happens only once")
        self.assertEqual(self.desktop.settings().get("NSStatusItem Preferred Position Velmoryn"),
                         300)
        self.assertEqual(program.quit_from_menu(), 0)

    def test_raises_a_short_delay_once_and_not_again_on_a_relaunch(self):
        original = {"autohide": False, "autohide-delay": 0.5, "tilesize": 36}
        self.desktop.seed_dock(original)
        program, launch = self.launch()

        self.assertEqual(dock_lines(launch), ["dock: autohide-delay 1000", "dock: restarted"])
        self.assertEqual(self.desktop.restarts(), 1)
        self.assertEqual(self.desktop.dock()["autohide-delay"], 1000.0)
        settings = self.desktop.settings()
        self.assertIs(settings.get("originalDock.saved"), True)
        self.assertEqual(settings.get("originalDock.autohideDelay"), 0.5)
        self.assertIs(settings.get("originalDock.autohide"), False)

        # Ended without a restore: the long delay stays, and so does the record.
        program.signal(signal.SIGKILL)
        program.wait_exit()
        program, launch = self.launch()
        self.assertEqual(dock_lines(launch), [], "the delay is long already")
        self.assertEqual(self.desktop.restarts(), 1)
        self.assertEqual(self.desktop.settings().get("originalDock.autohideDelay"), 0.5)

        self.assertEqual(program.quit_from_menu(), 0)
        self.assertEqual(self.desktop.dock(), original)
        self.assertEqual(self.desktop.restarts(), 2)

    def test_a_missing_or_unreadable_delay_is_made_long_and_removed_on_quit(self):
        for delay in (None, "soon"):
            with self.subTest(delay=delay):
                self.new_desktop()
                seeded = {"autohide": True}
                if delay is not None:
                    seeded["autohide-delay"] = delay
                self.desktop.seed_dock(seeded)
                program, launch = self.launch()
                self.assertEqual(dock_lines(launch),
                                 ["dock: autohide-delay 1000", "dock: restarted"])
                self.assertEqual(program.quit_from_menu(), 0)
                # No delay of the user's own was on record: the key goes.
                self.assertEqual(self.desktop.dock(), {"autohide": True})


if __name__ == "__main__":
    main()
