#!/usr/bin/env python3
"""Whole journeys through the real program on the simulated desktop, one per
area: the launch and its record, switching modes, the edge reveal, the login
command line, the orderly ends, the control channel and the scripting verbs."""

import os
import signal
import subprocess
import time

import velmoryn_driver
import velmoryn_e2e as e2e
from velmoryn_e2e import HIDDEN, SHOWN, USER, DesktopTest, ask_socket, dock_lines, main

RECORD = {"originalDock.saved": True, "originalDock.autohideDelay": 0.5,
          "originalDock.autohide": False}
NOT_REGISTERED = "未登録（ログイン時に起動しません）\n"
ENABLED = "登録済み（ログイン時に起動します）\n"


def voluntary_switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status", encoding="utf-8") as status:
            total += sum(int(line.split()[1]) for line in status
                         if line.startswith("voluntary_ctxt_switches:"))
    return total


class JourneyTest(DesktopTest):

    def test_the_first_launch_records_the_users_dock_which_survives_a_kill(self):
        run = self.launch()
        self.assertEqual(dock_lines(run.launched), ["dock: autohide-delay 1000", "dock: restarted"])
        self.assertEqual(self.desktop.record(), RECORD)
        self.assertIs(self.desktop.settings()["menuBarBoot.loginRegistered"], True)
        self.assertIn(f"Exec={e2e.BINARY}\n", self.desktop.login_entry())
        self.assertEqual(os.stat(self.desktop.autostart_entry).st_mode & 0o777, 0o644)
        run.ask("click left", HIDDEN)
        run.program.kill()

        # The next launch adopts the hidden Dock and records nothing again, so
        # its quit brings back the settings from before the first launch.
        run = self.launch()
        self.assertEqual(dock_lines(run.launched), [])
        self.assertIn(HIDDEN, run.launched)
        status, rest = run.quit()
        self.assertEqual((status, dock_lines(rest)), (0, ["dock: autohide-delay 0.5",
                                                          "dock: autohide off", "dock: restarted"]))
        self.assert_dock(USER)
        self.assertEqual((self.desktop.record(), self.desktop.restarts()), ({}, 2))

    def test_a_click_the_first_menu_item_and_the_hot_key_each_switch_the_mode(self):
        run = self.launch()
        for hidden, commands in ((True, ["click left"]), (False, ["click right", "choose 1"]),
                                 (True, ["hotkey"]), (False, ["hotkey"])):
            with self.subTest(commands=commands, hidden=hidden):
                run.program.send(*commands)
                lines = run.until(HIDDEN if hidden else SHOWN)
                self.assertEqual(dock_lines(lines),
                                 ["dock: autohide " + ("on" if hidden else "off")])
                self.assertIn("icon: hidden (arrow)" if hidden else "icon: shown (three squares)",
                              lines)
                state = run.show()
                self.assertEqual((state["icon"], state["autohide"], state["dock"]),
                                 ("hidden", "on", "hidden") if hidden else
                                 ("shown", "off", "visible"))

    def test_an_edge_scroll_lifts_the_hidden_dock_until_the_pointer_leaves(self):
        run = self.launch()
        run.ask("click left", HIDDEN)
        run.ask("pointer 700 3", "pointer: ")
        self.assertEqual(dock_lines(run.ask("scroll line 1 0", "scroll: ")), ["dock: autohide off"])
        self.assertEqual(run.show()["dock"], "visible")
        run.ask("pointer 700 400", "pointer: ")
        run.until("dock: autohide on")
        # Once the Dock is down again the program sleeps: no timer is left running.
        if not os.environ.get("VELMORYN_E2E_NO_IDLE_CHECK"):
            time.sleep(1.0)
            before = voluntary_switches(run.program.process.pid)
            time.sleep(2.0)
            self.assertEqual(voluntary_switches(run.program.process.pid) - before, 0)

        # Switched off from the menu, the swipe lifts nothing; the choice is kept.
        run.program.send("click right", "choose 4")
        run.until("menu: closed")
        run.ask("pointer 700 3", "pointer: ")
        self.assertEqual(dock_lines(run.ask("scroll line 1 0", "scroll: ")), [])
        self.assertIs(self.desktop.settings()["swipeRevealEnabled"], False)

    def test_the_login_command_line_answers_before_the_launch(self):
        # Only HOME is set: the settings and the autostart entry go under ~/.config.
        desktop = velmoryn_driver.Folders(os.path.join(self.desktop.base, "home-only"), xdg=False)
        desktop.seed_dock(USER)
        for argv, status, output, registered in (
                (["--login", "status"], 1, NOT_REGISTERED, False),
                (["--login"], 1, NOT_REGISTERED, False),
                (["--login", "ON"], 1, "使い方: --login on|off|status\n", False),
                (["--login", "on"], 0, ENABLED, True),
                (["--login", "status"], 0, ENABLED, True),
                (["--login", "off"], 0, NOT_REGISTERED, False),
                (["--login", "off"], 1, "解除に失敗しました: ", False),
                (["--register-login"], 0, "status: 1 (1=enabled)\n", True),
                (["--register-login", "--login", "off"], 0, "status: 1 (1=enabled)\n", True),
                (["--unregister-login", "--register-login"], 0, "status: 0 (1=enabled)\n", False),
                (["--unregister-login"], 1, "error: ", False),
                (["--register-login=yes", "--login", "status"], 1, NOT_REGISTERED, False)):
            with self.subTest(argv=argv):
                done = subprocess.run([e2e.BINARY, *argv], stdin=subprocess.DEVNULL,
                                      capture_output=True, encoding="utf-8", env=desktop.env,
                                      timeout=e2e.TIMEOUT, check=False)
                self.assertEqual((done.returncode, done.stderr), (status, ""))
                self.assertTrue(done.stdout.startswith(output) and done.stdout.count("\n") == 1,
                                done.stdout)
                self.assertEqual(desktop.login_entry() is not None, registered)
        # Only "--login on|off" set the user's choice; nothing else was done.
        self.assertEqual(desktop.settings(), {"menuBarBoot.loginRegistered": False})
        self.assert_dock(USER, desktop)
        self.assertEqual(desktop.restarts(), 0)

    def test_each_orderly_end_puts_the_users_dock_back_once(self):
        # No signal: the menu's quit.
        for signals, revealing in (([signal.SIGTERM], False), ([signal.SIGINT], False),
                                   ([signal.SIGHUP], True),
                                   ([signal.SIGTERM, signal.SIGHUP], False), ([], False)):
            with self.subTest(signals=signals, revealing=revealing):
                desktop = self.fresh()
                run = self.launch(desktop)
                run.ask("click left", HIDDEN)
                if revealing:
                    run.ask("pointer 700 3", "pointer: ")
                    run.ask("scroll line 1 0", "scroll: ")
                restarts = desktop.restarts()
                for number in signals:
                    run.program.process.send_signal(number)
                status, rest = run.end() if signals else run.quit()
                # During a reveal the Dock's autohide is off already.
                self.assertEqual((status, dock_lines(rest)),
                                 (0, ["dock: autohide-delay 0.5"] +
                                  ([] if revealing else ["dock: autohide off"]) +
                                  ["dock: restarted"]))
                self.assertEqual((desktop.restarts(), desktop.record()), (restarts + 1, {}))
                self.assert_dock(USER, desktop)
                self.assertFalse(os.path.exists(desktop.socket_path), "the socket outlived the end")

    def test_the_control_channel_goes_on_after_bad_lines_on_both_sources(self):
        run = self.launch()
        self.assertEqual(os.stat(self.desktop.socket_path).st_mode & 0o777, 0o600)
        run.program.send("jump", "click left", "x" * 5000, "show")
        lines = run.until("show: ", errors=True)
        self.assertEqual([line for line in lines if line.startswith("error: ")],
                         ['error: unknown command "jump" (try help)', "error: line too long"])
        self.assertIn(HIDDEN, lines)
        self.assertIn("dock=hidden", lines[-1])

        # The end of standard input ends nothing; a client hears every line,
        # and standard output hears the client's.
        run.program.process.stdin.close()
        reply = ask_socket(self.desktop.socket_path, "jump", "click left", "show")
        self.assertEqual(reply[0], 'error: unknown command "jump" (try help)')
        self.assertIn(SHOWN, reply)
        self.assertIn("dock=visible", reply[-1])
        self.assertEqual(run.until("show: ", errors=True)[-1], reply[-1])


    def test_scripts_switch_the_running_program_and_read_the_dock(self):
        def script(verb):
            done = subprocess.run([e2e.BINARY, verb], stdin=subprocess.DEVNULL,
                                  capture_output=True, encoding="utf-8", env=self.desktop.env,
                                  timeout=e2e.TIMEOUT, check=False)
            return done.returncode, done.stdout

        self.assertEqual(script("--hide"), (1, "Velmorynは起動していません\n"))
        self.assertEqual(script("--status"), (1, "Dock表示中\n"))
        run = self.launch()
        self.assertEqual(script("--hide"), (0, ""))
        lines = run.until(HIDDEN)
        self.assertEqual(dock_lines(lines), ["dock: autohide on"])
        self.assertIn("icon: hidden (arrow)", lines)
        self.assertEqual(script("--status"), (0, "Dock非表示中\n"))
        # Already hidden: nothing runs before the reply.
        self.assertEqual(script("--hide")[0], 0)
        self.assertEqual(run.ask("show", "show: ")[:-1], ["url: velmoryn://hide"])
        self.assertEqual(script("--toggle")[0], 0)
        self.assertEqual(dock_lines(run.until(SHOWN)), ["dock: autohide off"])
        self.assertEqual(script("--status"), (1, "Dock表示中\n"))
        run.ask("url velmoryn://hide/", "url: ")
        self.assertEqual(dock_lines(run.until(HIDDEN)), ["dock: autohide on"])
        run.ask("url velmoryn://hide?now", "url: ")
        self.assertEqual(run.show()["autohide"], "on")
        deadline = time.monotonic() + e2e.TIMEOUT
        while not any("不明なURLを無視しました: velmoryn://hide?now" in line
                      for line in run.program.stderr):
            self.assertLess(time.monotonic(), deadline, "no log line for the unknown URL")
            time.sleep(0.05)

if __name__ == "__main__":
    main()
