#!/usr/bin/env python3
"""Switching modes: a left click, menu item 1 and the hot key all toggle the
Dock; a right click or Control-click opens the menu instead; opening the menu
picks up a change made to the Dock outside the program."""

from velmoryn_e2e import (HIDDEN_ICON, HIDDEN_TOOLTIP, SHOWN_ICON, SHOWN_TOOLTIP,
                          DesktopTestCase, dock_lines, main)


class ToggleTest(DesktopTestCase):

    def setUp(self):
        super().setUp()
        self.program, _ = self.launch()

    def assert_mode(self, lines, hidden):
        """The lines of one toggle: the Dock's change, then icon and tooltip."""
        self.assertEqual(dock_lines(lines), ["dock: autohide on" if hidden else
                                             "dock: autohide off"])
        self.assertEqual([line for line in lines if line.startswith(("icon:", "tooltip:"))],
                         [HIDDEN_ICON, HIDDEN_TOOLTIP] if hidden else [SHOWN_ICON, SHOWN_TOOLTIP])
        self.assertIs(self.desktop.dock()["autohide"], hidden)
        state = self.program.show()
        self.assertEqual((state["icon"], state["dock"]),
                         ("hidden", "hidden") if hidden else ("shown", "visible"))

    def test_click_menu_item_and_hot_key_each_switch_the_mode(self):
        program = self.program
        tooltip = {True: HIDDEN_TOOLTIP, False: SHOWN_TOOLTIP}

        lines = program.command("click left", "click: left") + program.until(tooltip[True])
        self.assert_mode(lines, hidden=True)

        _, menu = program.menu()
        self.assertEqual(menu[1], ("Dockを表示", False, True))
        lines = program.choose(1) + program.until(tooltip[False])
        self.assert_mode(lines, hidden=False)

        _, menu = program.menu()
        self.assertEqual(menu[1], ("Dockを隠す", False, True))
        program.command("dismiss", "menu: closed")

        # The hot key hands its press to the main queue: the effects follow
        # the reply.
        lines = program.command("hotkey", "hotkey: pressed ⌃⌥⌘D") + program.until(tooltip[True])
        self.assert_mode(lines, hidden=True)
        lines = program.command("hotkey", "hotkey: pressed ⌃⌥⌘D") + program.until(tooltip[False])
        self.assert_mode(lines, hidden=False)

    def test_right_click_and_control_click_open_the_menu_without_toggling(self):
        program = self.program
        for button in ("right", "control"):
            lines, menu = program.menu(button)
            self.assertEqual(dock_lines(lines), [])
            self.assertEqual(menu[3], ("ショートカット: ⌃⌥⌘D", False, False))
            self.assertEqual(menu[7][0], "Velmoryn を終了")
            self.assertEqual(program.show()["menu"], "open")
            lines = program.command("dismiss", "menu: closed")
            self.assertEqual(dock_lines(lines), [])
        self.assertIs(self.desktop.dock()["autohide"], False)
        self.assertEqual(program.show()["menu"], "closed")

    def test_opening_the_menu_adopts_a_change_made_outside(self):
        program = self.program
        program.command("click left", "click: left")
        program.until(HIDDEN_TOOLTIP)
        # The user turns autohide off in the system settings.
        self.assertEqual(self.desktop.defaults("write", "com.apple.dock", "autohide", "-bool",
                                               "false").returncode, 0)
        lines, menu = program.menu()
        self.assertIn(SHOWN_ICON, lines)
        self.assertIn(SHOWN_TOOLTIP, lines)
        self.assertEqual(menu[1][0], "Dockを隠す")
        program.command("dismiss", "menu: closed")
        # The next toggle starts from the adopted mode: it hides.
        lines = program.command("click left", "click: left") + program.until(HIDDEN_TOOLTIP)
        self.assert_mode(lines, hidden=True)


if __name__ == "__main__":
    main()
