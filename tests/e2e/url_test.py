#!/usr/bin/env python3
"""Scripts drive the running program: --hide, --status, --toggle and the
control channel's url command change the Dock and the icon; --status reads the
Dock without a running program; the verbs start nothing when none runs."""

import time

from velmoryn_e2e import (HIDDEN_TOOLTIP, SHOWN_TOOLTIP, TIMEOUT, DesktopTestCase, dock_lines,
                          main)


class UrlTest(DesktopTestCase):

    def test_verbs_and_urls_switch_the_running_program(self):
        desktop = self.desktop
        self.assertEqual(desktop.run("--hide"), (1, "Velmorynは起動していません\n", ""))
        self.assertEqual(desktop.run("--status")[:2], (1, "Dock表示中\n"))
        program, _ = self.launch()

        self.assertEqual(desktop.run("--hide"), (0, "", ""))
        lines = program.until(HIDDEN_TOOLTIP)
        self.assertEqual(dock_lines(lines), ["dock: autohide on"])
        self.assertIn("icon: hidden (arrow)", lines)
        self.assertIs(desktop.dock()["autohide"], True)
        self.assertEqual(desktop.run("--status")[:2], (0, "Dock非表示中\n"))

        # Already hidden: nothing runs, so nothing is printed before the reply.
        self.assertEqual(desktop.run("--hide")[0], 0)
        self.assertEqual(program.command("show", "show: ")[:-1], ["url: velmoryn://hide"])

        self.assertEqual(desktop.run("--toggle")[0], 0)
        lines = program.until(SHOWN_TOOLTIP)
        self.assertEqual(dock_lines(lines), ["dock: autohide off"])
        self.assertIn("icon: shown (three squares)", lines)
        self.assertEqual(desktop.run("--status")[:2], (1, "Dock表示中\n"))

        lines = program.command("url velmoryn://hide/", "url: ") + program.until(HIDDEN_TOOLTIP)
        self.assertEqual(dock_lines(lines), ["dock: autohide on"])
        program.command("url velmoryn://hide?now", "url: ")
        self.assertEqual(program.show()["autohide"], "on")
        deadline = time.monotonic() + TIMEOUT
        while not any("不明なURLを無視しました: velmoryn://hide?now" in line
                      for line in program.stderr):
            self.assertLess(time.monotonic(), deadline, "no log line for the unknown URL")
            time.sleep(0.05)


if __name__ == "__main__":
    main()
