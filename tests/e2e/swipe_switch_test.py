#!/usr/bin/env python3
"""The edge-swipe switch (menu item 4): off, a swipe does nothing; on again, it
works; switched off during a reveal, the Dock goes back into hiding. The
choice is kept in the settings store across launches."""

from velmoryn_e2e import HIDDEN_TOOLTIP, DesktopTestCase, dock_lines, main

SWIPE_ITEM = 4
SWIPE_TITLE = "画面端のスワイプで一時表示"


class SwipeSwitchTest(DesktopTestCase):

    def setUp(self):
        super().setUp()
        self.program, _ = self.launch()
        self.program.command("click left", "click: left")
        self.program.until(HIDDEN_TOOLTIP)
        self.program.command("pointer 700 3", "pointer: 700 3")

    def switch(self, expect_checked_before):
        _, menu = self.program.menu()
        self.assertEqual(menu[SWIPE_ITEM], (SWIPE_TITLE, expect_checked_before, True))
        lines = self.program.choose(SWIPE_ITEM)
        return lines + self.program.sync()

    def swipe(self):
        return self.program.command("scroll line 1 0", "scroll: ")

    def test_off_a_swipe_does_nothing_and_on_again_it_lifts_the_dock(self):
        self.assertNotIn("swipeRevealEnabled", self.desktop.settings(), "on by default")
        self.switch(expect_checked_before=True)
        self.assertIs(self.desktop.settings()["swipeRevealEnabled"], False)

        self.assertEqual(dock_lines(self.swipe()), [])
        self.program.send("wait 0.3")
        lines = self.program.command("show", "show: ")
        self.assertEqual(dock_lines(lines), [])
        self.assertIn("dock=hidden", lines[-1])

        self.switch(expect_checked_before=False)
        self.assertIs(self.desktop.settings()["swipeRevealEnabled"], True)
        self.assertEqual(dock_lines(self.swipe()), ["dock: autohide off"])

    def test_switching_off_during_a_reveal_hides_the_dock_again(self):
        self.assertEqual(dock_lines(self.swipe()), ["dock: autohide off"])
        # The pointer stays on the Dock: only the switch can end this reveal.
        lines = self.switch(expect_checked_before=True)
        self.assertEqual(dock_lines(lines), ["dock: autohide on"])
        state = self.program.show()
        self.assertEqual((state["icon"], state["dock"]), ("hidden", "hidden"))
        # The reveal is over for good: no second hide comes from its timer.
        self.program.command("pointer 700 400", "pointer: 700 400")
        self.program.send("wait 1")
        self.assertEqual(dock_lines(self.program.command("show", "show: ")), [])

    def test_the_choice_outlives_the_program(self):
        self.switch(expect_checked_before=True)
        self.assertEqual(self.program.quit_from_menu(), 0)

        program, _ = self.launch()
        _, menu = program.menu()
        self.assertEqual(menu[SWIPE_ITEM], (SWIPE_TITLE, False, True))
        program.command("dismiss", "menu: closed")


if __name__ == "__main__":
    main()
