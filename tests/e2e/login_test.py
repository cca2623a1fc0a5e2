#!/usr/bin/env python3
"""The login item on Linux (an XDG autostart entry) through the command line:
"--login on|off|status" with its Japanese texts, exit statuses and the marker
in the settings store; the two script options "--register-login" and
"--unregister-login"; and menu item 5."""

import os

import velmoryn_e2e
from velmoryn_e2e import DesktopTestCase, dock_lines, main

NOT_REGISTERED = "未登録（ログイン時に起動しません）\n"
ENABLED = "登録済み（ログイン時に起動します）\n"
NEEDS_APPROVAL = "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）\n"
USAGE = "使い方: --login on|off|status\n"
MARKER = "menuBarBoot.loginRegistered"


class LoginTest(DesktopTestCase):

    def login(self, *args):
        """Runs a command-line answer; checks it said nothing on standard error."""
        status, out, err = self.desktop.run(*args)
        self.assertEqual(err, "", f"{args}: standard error")
        return status, out

    def marker(self):
        return self.desktop.settings().get(MARKER, "absent")

    def test_login_option_reports_registers_and_removes_with_the_marker(self):
        self.assertEqual(self.login("--login", "status"), (1, NOT_REGISTERED))
        self.assertEqual(self.login("--login"), (1, NOT_REGISTERED), "no value means status")
        # Answered before anything else of the launch: no seed, no Dock change.
        self.assertEqual(self.desktop.settings(), {})
        self.assertNotIn("autohide-delay", self.desktop.dock() or {})
        self.assertEqual(self.desktop.restarts(), 0)

        self.assertEqual(self.login("--login", "on"), (0, ENABLED))
        self.assertIs(self.marker(), True)
        entry = self.desktop.login_entry()
        self.assertIn("Exec=" + velmoryn_e2e.BINARY + "\n", entry)
        self.assertEqual(self.login("--login", "status"), (0, ENABLED))

        self.assertEqual(self.login("--login", "off"), (0, NOT_REGISTERED))
        self.assertIs(self.marker(), False)
        self.assertIsNone(self.desktop.login_entry())

        status, out = self.login("--login", "off")
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith("解除に失敗しました: ") and out.count("\n") == 1, out)
        self.assertIs(self.marker(), False, "a failure leaves the marker alone")

        for args in (("--login", "ON"), ("--login", "--login", "on"), ("--login", "")):
            self.assertEqual(self.login(*args), (1, USAGE), args)
        self.assertIsNone(self.desktop.login_entry(), "a bad value registers nothing")

        # The marker says "the user chose": a normal launch no longer registers.
        program, _ = self.launch()
        self.assertEqual(program.quit_from_menu(), 0)
        self.assertIsNone(self.desktop.login_entry())
        self.assertIs(self.marker(), False)

    def test_an_entry_switched_off_by_the_user_needs_approval(self):
        self.assertEqual(self.login("--login", "on"), (0, ENABLED))
        entry = self.desktop.login_entry()
        with open(self.desktop.autostart_entry, "w", encoding="utf-8") as file:
            file.write(entry.replace("X-GNOME-Autostart-enabled=true",
                                     "X-GNOME-Autostart-enabled=false"))
        self.assertEqual(self.login("--login", "status"), (1, NEEDS_APPROVAL))
        self.assertEqual(self.login("--register-login"), (0, "status: 1 (1=enabled)\n"))

    def test_script_options_register_and_unregister_without_the_marker(self):
        self.assertEqual(self.login("--register-login"), (0, "status: 1 (1=enabled)\n"))
        self.assertIsNotNone(self.desktop.login_entry())
        self.assertEqual(self.login("--unregister-login"), (0, "status: 0 (1=enabled)\n"))
        self.assertIsNone(self.desktop.login_entry())
        # Nothing to remove: a failure, told apart from success by the status.
        status, out = self.login("--unregister-login")
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith("error: ") and out.count("\n") == 1, out)

        # Both given: only unregister runs. With "--login off": never looked at.
        self.assertEqual(self.login("--register-login", "--login", "off"),
                         (0, "status: 1 (1=enabled)\n"))
        self.assertEqual(self.login("--unregister-login", "--register-login"),
                         (0, "status: 0 (1=enabled)\n"))
        self.assertIsNone(self.desktop.login_entry())
        self.assertEqual(self.marker(), "absent")

        # Exact words only: these start the program, which answers "--login".
        for option in ("--Register-login", "--register-login=yes"):
            self.assertEqual(self.login(option, "--login", "status"), (1, NOT_REGISTERED))

    def test_menu_item_five_shows_and_switches_the_login_item(self):
        program, launch = self.launch()
        self.assertEqual(dock_lines(launch), ["dock: autohide-delay 1000", "dock: restarted"])
        _, menu = program.menu()
        self.assertEqual(menu[5], ("ログイン時に起動", True, True), "registered at first launch")
        program.choose(5)
        program.sync()
        self.assertIsNone(self.desktop.login_entry())
        _, menu = program.menu()
        self.assertEqual(menu[5], ("ログイン時に起動", False, True))
        program.choose(5)
        program.sync()
        self.assertIsNotNone(self.desktop.login_entry())
        self.assertIs(self.marker(), True, "the menu does not touch the marker")
        self.assertEqual(os.stat(self.desktop.autostart_entry).st_mode & 0o777, 0o644)
        self.assertEqual(program.quit_from_menu(), 0)


if __name__ == "__main__":
    main()
