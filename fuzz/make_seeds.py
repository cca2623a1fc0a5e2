#!/usr/bin/env python3
"""Writes the seed corpus under fuzz/corpus/<target>/.

The text targets get real inputs: property lists as the store writes them,
what the preference tools print, control lines. The targets that read their
input through FuzzedDataProvider (command_line, edge_reveal) get inputs
encoded for it, each one a scenario named by its file: the provider takes
numbers and choices from the end of the data and strings from the front.
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


def tool_output():
    for name, text in [
        ("left", b"left\n"),
        ("one", b"1\n"),
        ("delay", b"1000\n"),
        ("blanks_around", b"  \tbottom \r\n"),
        ("inner_blank", b" not a number \n"),
        ("ideographic_space", "\u3000right\u2028\u0085".encode("utf-8")),
        ("no_break_space_only", "\u00a0\u202f".encode("utf-8")),
        ("latin1", b"caf\xe9\n"),
        ("surrogate", b"\xed\xa0\x80x"),
        ("overlong", b"\xc0\xaf"),
        ("cut_sequence", b"ok\xe3\x80"),
        ("first_of_each_length", "\u0080\u0800\U00010000".encode("utf-8")),
        ("zero_width_space", "\u200bx\u200b".encode("utf-8")),
        ("beyond_unicode", b"\xf4\x90\x80\x80"),
    ]:
        write("tool_output", name, text)


def whole_number():
    for name, text in [
        ("delay", "1000"),
        ("fraction", "99.9"),
        ("exponent", "1e3"),
        ("hex", "0x1.f4p9"),
        ("infinity", "-INFINITY"),
        ("nan_payload", "nan(0x7)"),
        ("leading_blank", " 100"),
        ("trailing_blank", "100 "),
        ("plus", "+5"),
        ("largest", "1.7976931348623157e308"),
        ("smallest", "4.9e-324"),
        ("letters", "abc"),
        ("newline_first", "\n5"),
        ("half", "0.5"),
        ("thousandth", "0.001"),
        ("shorter_with_exponent", "1e-4"),
        ("small_negative", "-2.5e-7"),
        ("large_with_exponent", "1e22"),
        ("past_two_to_the_53", "0x1p60"),
        ("six_digits", "123456"),
    ]:
        write("whole_number", name, text)


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
        ("overlong", "# " + "x" * 4095),
        # Words echoed in error lines: bytes that are not UTF-8 and control
        # characters come out escaped, Japanese as it is.
        ("unknown_latin1", b"j\xe9t 3"),
        ("unknown_japanese", "ジャンプ"),
        ("number_cut_sequence", b"pointer 1\xe3\x81 2"),
        ("number_surrogate", b"wait \xed\xa0\x80"),
        ("index_escape_sequence", "choose \x1b[2J"),
        ("index_overlong_slash", b"choose \xc0\xaf"),
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


# Step numbers of the edge_reveal target.
SCROLL, ADVANCE, POINTER, SCREENS, EDGE, CANCEL, STOP, START, FLAGS, ON_REVEAL, DRAIN = (
    0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)
INTERESTING = [0.0, -0.0, 0.5, 1.0, -1.0, 4.0, 5.0, 5.01, 12.0, 20.0, 70.0, 82.0, 82.5, 90.0,
               102.0, 600.0, 723.5, 724.0, 736.0, 800.0, 795.0, -800]
FRAMES = [(0, 0, 800, 600), (800, 0, 800, 600), (0, 70, 800, 505), (0, 0, 800, 575),
          (0, 0, 736, 575), (64, 0, 736, 575), (-1440, 0, 1440, 900), (0, 600, 800, 600)]
ORIENTATIONS = ["bottom", "left", "right", "", "Left", "top"]
INTERESTING_COUNT = 27


class Reveal:
    def __init__(self, start=True):
        self.p = Provider()
        self.p.boolean(start)

    def number(self, value):
        if value in INTERESTING:
            self.p.in_range(0, 2, 0)
            self.p.pick(INTERESTING_COUNT, INTERESTING.index(value))
        else:
            self.p.in_range(0, 2, 1)
            self.p.in_range(-4000, 8000, int(value * 4))

    def step(self, kind):
        self.p.in_range(0, 11, kind)
        return self

    def scroll(self, dy, dx=0.0, precise=True, inverted=False):
        self.step(SCROLL)
        self.p.boolean(precise)
        self.p.boolean(inverted)
        self.number(dy)
        self.number(dx)
        return self

    def advance(self, hundredths):
        self.step(ADVANCE)
        self.p.boolean(True)
        self.p.in_range(0, 300, hundredths)
        return self

    def pointer(self, x, y):
        self.step(POINTER)
        self.number(x)
        self.number(y)
        return self

    def screens(self, *pairs):
        self.step(SCREENS)
        self.p.in_range(0, 3, len(pairs))
        for frame, visible in pairs:
            for rect in (frame, visible):
                self.p.boolean(True)
                self.p.pick(len(FRAMES), FRAMES.index(rect))
        return self

    def edge(self, orientation):
        self.step(EDGE)
        self.p.pick(len(ORIENTATIONS), ORIENTATIONS.index(orientation))
        return self

    def start(self, refused=False):
        self.step(START)
        self.p.boolean(refused)
        return self

    def flags(self, enabled, hidden):
        self.step(FLAGS)
        self.p.boolean(enabled)
        self.p.boolean(hidden)
        return self

    def on_reveal(self, action):
        self.step(ON_REVEAL)
        self.p.in_range(0, 3, action)
        return self

    def save(self, name):
        write("edge_reveal", name, self.p.data())


def edge_reveals():
    bottom = ((0, 0, 800, 600), (0, 70, 800, 505))
    (Reveal().pointer(400, 5.0).scroll(4).scroll(4).scroll(4).pointer(400, 82.5)
     .advance(48).advance(12).save("three_precise_events_then_leave"))
    (Reveal().pointer(400, 0.0).scroll(1, precise=False).advance(60).pointer(400, 600)
     .advance(12).save("one_line_reveals_then_pointer_leaves_screen"))
    (Reveal().pointer(400, 0.0).scroll(4).advance(60).scroll(4).scroll(4)
     .save("pause_restarts_the_sum"))
    (Reveal().edge("right").screens(((0, 0, 800, 600), (0, 0, 736, 575)))
     .pointer(795, 300).scroll(0, -1, precise=False).pointer(723.5, 300).advance(60)
     .save("right_edge_band"))
    (Reveal().edge("left").screens(((0, 0, 800, 600), (64, 0, 736, 575)))
     .pointer(0, 300).scroll(0, 20).advance(12).step(CANCEL).advance(100)
     .save("left_edge_cancelled"))
    (Reveal().pointer(400, 0.0).on_reveal(2).scroll(20).advance(100)
     .save("stop_inside_on_reveal"))
    (Reveal().screens(bottom, ((800, 0, 800, 600), (800, 0, 800, 600))).pointer(400, 1.0)
     .scroll(20).pointer(900, 1.0).advance(60).save("two_screens_move_across"))
    (Reveal().pointer(400, 0.0).scroll(20).screens().advance(60)
     .save("screen_removed_during_reveal"))
    (Reveal().pointer(400, 0.0).scroll(4).step(CANCEL).save("cancel_after_four_points"))
    (Reveal().pointer(400, 0.0).on_reveal(1).scroll(20).advance(100)
     .save("cancel_inside_on_reveal"))
    (Reveal().pointer(400, 0.0).start().scroll(4).step(STOP).scroll(20)
     .save("started_twice_then_stopped"))
    (Reveal(start=False).start(refused=True).start().save("refused_start_retried"))
    (Reveal().pointer(400, 0.0).flags(False, True).scroll(20).flags(True, True).scroll(20)
     .scroll(20).save("events_while_off_and_during_a_reveal"))


def main():
    settings_store()
    tool_output()
    whole_number()
    control_command()
    command_lines()
    edge_reveals()
    return 0


if __name__ == "__main__":
    sys.exit(main())
