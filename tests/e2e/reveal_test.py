#!/usr/bin/env python3
"""The edge reveal on real timers: a scroll toward the Dock with the pointer on
its edge lifts the hidden Dock, which stays up while the pointer is on it and
goes down once the pointer has left.

The starting desktop has one 1440 x 900 screen and a Dock at the bottom that
reserves 70 points, so the edge zone is y <= 5 and the reveal holds while
y <= 70 + 12 = 82."""

from velmoryn_e2e import (HIDDEN_TOOLTIP, SHOWN_TOOLTIP, DesktopTestCase, dock_lines, main)

LIFTED = "dock: autohide off"
LOWERED = "dock: autohide on"


class RevealTest(DesktopTestCase):

    def setUp(self):
        super().setUp()
        self.program, _ = self.launch()

    def hide(self):
        self.program.command("click left", "click: left")
        self.program.until(HIDDEN_TOOLTIP)

    def scrolls(self, *commands):
        """Sends the commands at once; returns the lines of each scroll, up to
        and including its reply (a `wait` has no reply)."""
        self.program.send(*commands)
        return [self.program.until(lambda line: line.startswith("scroll: "), "a scroll reply")
                for command in commands if command.startswith("scroll ")]

    def test_precise_scrolling_adds_up_within_half_a_second(self):
        self.hide()
        self.program.command("pointer 700 3", "pointer: 700 3")
        first, second, third = self.scrolls("scroll precise 4 0", "scroll precise 4 0",
                                            "scroll precise 4 0")
        self.assertEqual(first[-1], "scroll: precise 4 0, seen by 1 monitor")
        self.assertEqual(dock_lines(first + second), [], "8 points do not lift the Dock")
        self.assertEqual(dock_lines(third), [LIFTED], "12 points do")
        self.assertEqual(self.program.show()["dock"], "visible")

        self.program.command("pointer 700 400", "pointer: 700 400")
        self.program.expect(LOWERED)
        self.assertIs(self.desktop.dock()["autohide"], True)

    def test_a_pause_longer_than_half_a_second_starts_the_sum_again(self):
        self.hide()
        self.program.command("pointer 700 3", "pointer: 700 3")
        lines = self.scrolls("scroll precise 4 0", "scroll precise 4 0", "wait 0.7",
                             "scroll precise 4 0")
        self.assertEqual([dock_lines(reply) for reply in lines], [[], [], []])
        # 4 after the pause, then 4 and 4 more reach 12.
        lines = self.scrolls("scroll precise 4 0", "scroll precise 4 0")
        self.assertEqual([dock_lines(reply) for reply in lines], [[], [LIFTED]])

    def test_line_scrolling_lifts_the_dock_until_the_pointer_leaves_its_band(self):
        self.hide()
        self.program.command("pointer 700 5", "pointer: 700 5")
        (lines,) = self.scrolls("scroll line 1 0")
        self.assertEqual(dock_lines(lines), [LIFTED], "one line is 20 points")

        # On the Dock, at the band's limit: the Dock stays up over many ticks.
        self.program.command("pointer 700 82", "pointer: 700 82")
        self.program.send("wait 1.5")
        lines = self.program.command("show", "show: ")
        self.assertEqual(dock_lines(lines), [])
        self.assertIn("dock=visible", lines[-1])

        self.program.command("pointer 700 83", "pointer: 700 83")
        self.program.expect(LOWERED)
        self.assertEqual(self.program.show()["dock"], "hidden")

        # The gesture works again after a reveal, with natural scrolling too.
        self.program.command("pointer 10 0", "pointer: 10 0")
        (lines,) = self.scrolls("scroll line -1 0 inverted")
        self.assertEqual(dock_lines(lines), [LIFTED])
        self.program.command("pointer 700 400", "pointer: 700 400")
        self.program.expect(LOWERED)

    def test_scrolling_does_nothing_off_the_edge_the_wrong_way_or_in_shown_mode(self):
        # Shown mode: the Dock is up already, nothing to lift.
        self.program.command("pointer 700 3", "pointer: 700 3")
        (lines,) = self.scrolls("scroll line 1 0")
        self.assertEqual(dock_lines(lines), [])

        self.hide()
        for pointer, scroll in (("700 6", "scroll line 1 0"),  # above the edge zone
                                ("700 3", "scroll line -1 0"),  # away from the Dock
                                ("700 3", "scroll line 0 1"),  # sideways
                                ("2000 3", "scroll line 1 0")):  # on no screen
            self.program.command(f"pointer {pointer}", "pointer: ")
            (lines,) = self.scrolls(scroll)
            self.assertEqual(dock_lines(lines), [], f"{scroll} at {pointer}")
        self.assertEqual(self.program.show()["dock"], "hidden")

    def test_a_toggle_during_a_reveal_keeps_the_dock_up_in_shown_mode(self):
        self.hide()
        self.program.command("pointer 700 3", "pointer: 700 3")
        self.scrolls("scroll line 1 0")
        lines = self.program.command("click left", "click: left")
        lines += self.program.until(SHOWN_TOOLTIP)
        self.assertNotIn(LOWERED, lines)
        # The reveal is over: leaving the edge no longer hides the Dock.
        self.program.command("pointer 700 400", "pointer: 700 400")
        self.program.send("wait 1")
        lines = self.program.command("show", "show: ")
        self.assertEqual(dock_lines(lines), [])
        self.assertIn("icon=shown", lines[-1])
        self.assertIn("dock=visible", lines[-1])


if __name__ == "__main__":
    main()
