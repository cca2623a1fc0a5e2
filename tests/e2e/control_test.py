#!/usr/bin/env python3
"""The control channel under bad input: each bad command gets one `error:`
line and changes nothing, and the commands around it still run, on standard
input and on the socket alike."""

from velmoryn_e2e import HIDDEN_TOOLTIP, DesktopTestCase, dock_lines, main

BAD_COMMANDS = [
    ("jump", 'error: unknown command "jump" (try help)'),
    ("Click left", 'error: unknown command "Click" (try help)'),
    ("click middle", "error: usage: "),
    ("pointer six 3", 'error: "six" is not a number'),
    ("pointer nan 3", 'error: "nan" is not a number'),
    ("screen remove 3", "error: there is no screen 3"),
    ("screen set 1 0 0 0 900", "error: "),
    ("choose 1", "error: no menu is open"),
    ("dismiss", "error: no menu is open"),
    ("scroll line 1", "error: usage: "),
    ('pointer "700 3', "error: "),
    ("wait -1", "error: "),
    ("icon /nonexistent-folder/icon.png 2", "error: "),
    ("x" * 5000, "error: line too long"),
]


class ControlTest(DesktopTestCase):

    def setUp(self):
        super().setUp()
        self.program, _ = self.launch()

    def test_bad_commands_get_one_error_line_each_and_change_nothing(self):
        program = self.program
        before = program.show()
        for command, error in BAD_COMMANDS:
            with self.subTest(command=command[:40]):
                program.send(command)
                line = program.expect(lambda line: line.startswith("error: "),
                                      f"the error for {command[:40]!r}", allow_errors=True)
                self.assertTrue(line.startswith(error), line)
                # Exactly one line: the next reply follows it directly.
                self.assertEqual(program.sync(), ["pointer: 720 450"])
        self.assertEqual(program.show(), before)

    def test_commands_after_a_bad_one_in_the_same_write_still_run(self):
        program = self.program
        program.send("jump", "click left", "x" * 5000, "show")
        lines = program.until(lambda line: line.startswith("show: "), "show", allow_errors=True)
        self.assertEqual([line for line in lines if line.startswith("error: ")],
                         ['error: unknown command "jump" (try help)', "error: line too long"])
        self.assertIn(HIDDEN_TOOLTIP, lines)
        self.assertIn("dock=hidden", lines[-1])

    def test_a_menu_survives_a_bad_choice(self):
        program = self.program
        program.menu()
        for choice, error in (("choose 2", "error: item 2 is a separator"),
                              ("choose 3", "error: item 3 is disabled"),
                              ("choose 9", "error: the menu has no item 9"),
                              ("click left", "error: a menu is open: choose an item or dismiss it")):
            program.send(choice)
            self.assertEqual(program.expect(lambda line: line.startswith("error: "), choice,
                                            allow_errors=True), error)
        self.assertEqual(program.show()["menu"], "open")
        lines = program.choose(1) + program.until(HIDDEN_TOOLTIP)
        self.assertEqual(dock_lines(lines), ["dock: autohide on"])

    def test_the_socket_answers_after_a_bad_command_and_sees_every_line(self):
        reply = self.desktop.ask_socket("jump", "click left", "show")
        self.assertEqual(reply[0], 'error: unknown command "jump" (try help)')
        self.assertIn("click: left", reply)
        self.assertIn("dock: autohide on", reply)
        self.assertTrue(reply[-1].startswith("show: ") and "dock=hidden" in reply[-1], reply)
        # Standard input saw the socket's lines too, and still works.
        self.program.expect("dock: autohide on", allow_errors=True)
        self.assertEqual(self.program.show()["dock"], "hidden")


if __name__ == "__main__":
    main()
