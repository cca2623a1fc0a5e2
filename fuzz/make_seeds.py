#!/usr/bin/env python3
"""Writes the seed corpus under fuzz/corpus/<target>/.

The targets get real inputs: property lists as the store writes them and
control lines. The URL target's seeds are kept as they were found.
"""
import os
import plistlib
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


def main():
    settings_store()
    control_command()
    return 0


if __name__ == "__main__":
    sys.exit(main())
