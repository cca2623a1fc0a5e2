#!/usr/bin/env python3
"""Writes the seed corpus under fuzz/corpus/<target>/.

The text targets get real inputs: property lists as the store writes them,
control lines. The target that reads its input through FuzzedDataProvider
(command_line) gets inputs encoded for it, each one a scenario named by its
file: the provider takes numbers and choices from the end of the data and
strings from the front.
"""
import os
import plistlib
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


class Provider:
    """Builds input for FuzzedDataProvider from the choices in the order the
    target makes them."""

    def __init__(self):
        self.front = b""
        self.tail = []

    def byte(self, value):
        self.tail.append(value & 0xFF)

    def boolean(self, value):
        self.byte(1 if value else 0)

    def in_range(self, low, high, value):
        span, offset, taken = high - low, 0, []
        while offset < 64 and (span >> offset) > 0:
            taken.append(None)
            offset += 8
        result = value - low
        # The first byte taken becomes the most significant one.
        for k in range(len(taken)):
            self.byte(result >> (8 * (len(taken) - 1 - k)))

    def pick(self, count, index):
        self.in_range(0, count - 1, index)

    def int64(self, value):
        self.in_range(-(2**63), 2**63 - 1, value)

    def string(self, text):
        # A backslash followed by anything else ends a string.
        self.front += text.encode("utf-8").replace(b"\\", b"\\\\") + b"\\|"

    def data(self):
        return self.front + bytes(reversed(self.tail))


def settings_store():
    program = {
        "originalDock.saved": True,
        "originalDock.autohideDelay": 0.5,
        "originalDock.autohide": False,
        "swipeRevealEnabled": True,
        "menuBarBoot.loginRegistered": True,
        "NSStatusItem Preferred Position Velmoryn": 300,
    }
    write("settings_store", "program_keys.xml", plistlib.dumps(program, fmt=plistlib.FMT_XML))
    write("settings_store", "program_keys.bplist", plistlib.dumps(program, fmt=plistlib.FMT_BINARY))
    foreign = {"negative": -5, "big": 2**63 - 1, "text": "日本語", "list": [1, 2.5, False],
               "nested": {"a": b"\x00\x01"}, "nan": float("nan"), "tiny": 5e-324}
    write("settings_store", "foreign_types.xml", plistlib.dumps(foreign, fmt=plistlib.FMT_XML))
    write("settings_store", "foreign_types.bplist", plistlib.dumps(foreign, fmt=plistlib.FMT_BINARY))
    extremes = {"big": -(2**63), "negative": float("-inf"), "tiny": 0.0, "text": 1 / 3,
                "a": float("inf"), "k": False, "s": 0}
    write("settings_store", "extremes.xml", plistlib.dumps(extremes, fmt=plistlib.FMT_XML))
    write("settings_store", "empty_dict.xml", plistlib.dumps({}, fmt=plistlib.FMT_XML))
    write("settings_store", "array_at_top.xml", plistlib.dumps([1, 2], fmt=plistlib.FMT_XML))
    whole = plistlib.dumps(program, fmt=plistlib.FMT_XML)
    write("settings_store", "cut_short.xml", whole[: len(whole) // 2])
    write("settings_store", "empty_file", b"")


def control_command():
    for name, line in [
        ("screen_add", "screen add -800 0.5 800 600 -800 0 800 575"),
        ("screen_set", "screen set 1 0 0 800 600 0 70 800 505"),
        ("screen_remove", "screen remove 3"),
        ("dock_edge", "dock edge left 64"),
        ("pointer", "pointer -3 +4"),
        ("scroll", "scroll line -1 0.5 inverted"),
        ("click", "click control"),
        ("choose", "choose 7"),
        ("wait", "wait 0.5"),
        ("icon_quoted", 'icon "/tmp/my \\"icons\\"/a.png" 16'),
        ("comment", "# a comment"),
        ("unknown", "jump 3"),
        ("unterminated", 'icon "a.png'),
        # Just past each bound: the checks on what a command carries must refuse them.
        ("frame_empty", "screen add 0 0 0 600"),
        ("visible_empty", "screen add 0 0 8 6 0 0 8 0"),
        ("frame_infinite", "screen add 0 0 1e999 600"),
        ("screen_zero", "screen remove 0"),
        ("reserved_negative", "dock edge left -1"),
        ("pointer_nan", "pointer nan 3"),
        ("choose_zero", "choose 0"),
        ("wait_over", "wait 3600.5"),
        ("wait_negative", "wait -0.1"),
        ("scale_over", "icon a.png 16.01"),
        ("scale_zero", "icon a.png 0"),
        ("file_empty", 'icon ""'),
        ("overlong", "# " + "x" * 4095),
        # Words echoed in error lines: bytes that are not UTF-8 and control
        # characters come out escaped, Japanese as it is.
        ("unknown_latin1", b"j\xe9t 3"),
        ("unknown_japanese", "ジャンプ"),
        ("number_cut_sequence", b"pointer 1\xe3\x81 2"),
        ("number_surrogate", b"wait \xed\xa0\x80"),
        ("index_escape_sequence", "choose \x1b[2J"),
        ("bare_overlong_slash", b"show \xc0\xaf"),
    ]:
        write("control_command", name, line)


LOGIN_WORDS = ["--login", "on", "off", "status", "--register-login", "--unregister-login",
               "--Login", "ON", "Off", "STATUS", "--register-login=1", " --login", "--login ", "",
               "-", "--", "--unregister-Login", "on ", "--version", "-v", "-V", "--v",
               "--register-login\n", "--Version", "--hide", "--show", "--toggle", "--status",
               "--Hide"]
OUTCOMES = ["done", "alreadyAsAsked", "needsApproval", "failed"]


def command_line(name, current=0, after=1, register_answer=None, unregister_answer=None,
                 marker=None, words=()):
    p = Provider()
    for value in (current, after):
        if 0 <= value <= 3:
            p.boolean(True)
            p.in_range(0, 3, value)
        else:
            p.boolean(False)
            p.int64(value)
    for answer in (register_answer, unregister_answer):
        p.boolean(answer is not None)
        if answer is not None:
            p.pick(len(OUTCOMES), OUTCOMES.index(answer[0]))
            p.string(answer[1])
            p.string(answer[2])
    p.boolean(marker is not None)
    if marker is not None:
        p.boolean(marker)
    p.in_range(0, 6, len(words))
    for word in words:
        if word in LOGIN_WORDS:
            p.boolean(True)
            p.pick(len(LOGIN_WORDS), LOGIN_WORDS.index(word))
        else:
            p.boolean(False)
            p.string(word)
    write("command_line", name, p.data())


DENIED = ("failed", "Not permitted", "Error Domain=SMAppServiceErrorDomain Code=1")
ALREADY = ("alreadyAsAsked", "Not found", "Error Domain=SMAppServiceErrorDomain Code=6")


def command_lines():
    command_line("status_enabled", current=1, words=["--login", "status"])
    command_line("login_last_means_status", current=2, words=["--login"])
    command_line("on_needs_approval", after=2, words=["--login", "on"])
    command_line("on_fails", register_answer=DENIED, words=["--login", "on"])
    command_line("off_fails", current=1, unregister_answer=DENIED, marker=True,
                 words=["--login", "off"])
    command_line("off_twice", unregister_answer=ALREADY, marker=False, words=["--login", "off"])
    command_line("off_yet_enabled", current=1, unregister_answer=ALREADY,
                 words=["--unregister-login"])
    command_line("on_switched_off", current=2, register_answer=("needsApproval", "Denied", "x"),
                 words=["--login", "on"])
    command_line("login_twice_is_usage", words=["--login", "--login", "on"])
    command_line("unknown_status", current=-7, words=["--login", "status"])
    command_line("register_option", after=2,
                 words=["--register-login", "--login", "off"])
    command_line("both_options_unregister", unregister_answer=DENIED,
                 words=["--register-login", "--unregister-login"])
    command_line("normal_start", words=["--Register-login"])
    command_line("version_before_everything", words=["--login", "on", "--version"])
    command_line("look_alikes_then_status", current=1,
                 words=["--REGISTER-LOGIN", "--register-login=1", "--unregister-Login", "--login",
                        "status"])
    command_line("script_verb_status", words=["--Hide", "--status"])
    command_line("two_verbs_launch", words=["--hide", "--show"])
    command_line("login_wins_over_verb", current=1, words=["--toggle", "--login"])


def main():
    settings_store()
    control_command()
    command_lines()
    return 0


if __name__ == "__main__":
    sys.exit(main())
