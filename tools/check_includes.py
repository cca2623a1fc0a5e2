#!/usr/bin/env python3
"""Checks that every include of the program, its tests, fuzz targets,
benchmarks and tools follows the layering.

The core decides and reaches the system only through the interfaces in
src/platform/*.h (the ports); within the core each folder includes only the
folders below it. Adapters and the simulation translate and never include the
core; macOS and Linux never include each other. Each folder below has one rule
in two parts, with the reason for it:
  - project: what its quoted includes may name besides its own folder's files:
    a folder (and the folders in it), "FOLDER/*.h" for the headers directly in
    that folder only, or one header by its path;
  - system: the families of system headers (SYSTEM below) its angle-bracket
    includes may name. A system header that belongs to no family is refused
    everywhere, so that a new library is given a place before it is used.
The macOS stub SDK (tests/macos/sdk) copies Apple's headers and is not walked.

  tools/check_includes.py                  the whole tree
  tools/check_includes.py --as PATH FILE   FILE as if it lived at PATH
  tools/check_includes.py --faults         proves each file in tools/include_faults,
                                           checked as the path its first line names,
                                           is rejected

Prints each forbidden include and exits 1 if there is one.
"""
import dataclasses
import fnmatch
import pathlib
import re
import sys

# The C++ standard library, with the C headers it carries as <cxxx>.
STANDARD = """
    algorithm any array atomic barrier bit bitset charconv chrono compare complex
    concepts condition_variable coroutine deque exception execution expected filesystem
    format forward_list fstream functional future initializer_list iomanip ios iosfwd
    iostream istream iterator latch limits list locale map memory memory_resource mutex
    new numbers numeric optional ostream queue random ranges ratio regex
    scoped_allocator semaphore set shared_mutex source_location span sstream stack
    stdexcept stop_token streambuf string string_view syncstream system_error thread
    tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray
    variant vector version
    cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal
    cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
""".split()

# System headers by family, as fnmatch patterns.
SYSTEM = {
    "std": STANDARD,
    # The C library and POSIX, on both systems.
    "posix": ["dirent.h", "fcntl.h", "fnmatch.h", "poll.h", "pthread.h", "pwd.h", "signal.h",
              "spawn.h", "stdio.h", "stdlib.h", "unistd.h", "sys/*.h"],
    "apple": ["AppKit/*", "Carbon/*", "CoreFoundation/*", "CoreGraphics/*", "Foundation/*",
              "ServiceManagement/*", "dispatch/*", "objc/*"],
    "asio": ["asio.hpp", "asio/*"],
    "libplist": ["plist/*"],
    "cairo": ["cairo.h"],
    "glib": ["glib.h", "glib/*"],
    "gtest": ["gtest/*", "gmock/*"],
    "benchmark": ["benchmark/*"],
    "libfuzzer": ["fuzzer/*"],
}

CORE = ["src/app", "src/boot", "src/dock", "src/reveal", "src/hotkey", "src/text"]
PORTS = "src/platform/*.h"
LINUX = ["src/platform/linux", "src/platform/posix"]
LINUX_SYSTEM = ["std", "posix", "asio", "libplist", "cairo", "glib"]


@dataclasses.dataclass
class Rule:
    project: list
    system: list
    why: str


RULES = {
    # The core, from the top down.
    "src/app": Rule(["src/boot", "src/dock", "src/reveal", "src/hotkey", "src/text", PORTS],
                    ["std"], "the entry point and the delegate join the rest of the core"),
    "src/reveal": Rule(["src/dock", "src/text", PORTS], ["std"],
                       "the edge gesture reads the Dock's edge and mode, and knows no one above"),
    "src/boot": Rule(["src/text", PORTS], ["std"],
                     "start-up chores reach the system only: they never include the app"),
    "src/hotkey": Rule(["src/text", PORTS], ["std"],
                       "the shortcut knows its action only, not the Dock nor the app"),
    "src/dock": Rule(["src/text", PORTS], ["std"],
                     "the Dock operations are the floor of the core: nothing of it above"),
    "src/text": Rule([], ["std"], "the program's texts, which every core folder may include"),
    # The ports: plain C++, what every system can implement.
    "src/platform": Rule([], ["std"], "the interfaces include only each other"),
    # The adapters and the simulation: their own system, never the core.
    "src/platform/posix": Rule([PORTS], ["std", "posix"], "what is real on both systems"),
    "src/platform/linux": Rule([PORTS, "src/platform/posix"], LINUX_SYSTEM,
                               "the real Linux adapters and their libraries"),
    "src/platform/macos": Rule([PORTS, "src/platform/posix"], ["std", "posix", "apple"],
                               "the macOS adapters and Apple's frameworks"),
    "src/sim": Rule([PORTS] + LINUX, ["std", "posix", "asio"],
                    "the simulation and the Linux composition root, on the real Linux "
                    "adapters; property lists only through the Linux adapter"),
    "tools/sim": Rule([PORTS, "src/sim"] + LINUX, ["std", "posix"],
                      "the stand-in tools and the runner's probe, on the simulation"),
    "tools/app_icon": Rule(["src/app/icon.h", PORTS, "src/platform/linux"], ["std", "cairo"],
                           "the app icon: the program's icon drawn by the Linux renderer"),
    # Tests, fuzz targets and benchmarks.
    "tests/unit": Rule(CORE + [PORTS, "tests/fakes"], ["std", "gtest"],
                       "the core on the fakes, never an adapter"),
    "tests/fakes": Rule(CORE + [PORTS], ["std"], "in-memory stand-ins for every port"),
    "tests/integration": Rule(LINUX + ["src/sim", PORTS, "tests/fakes", "src/app/icon.h"],
                              ["std", "posix", "asio", "cairo", "gtest"],
                              "the real Linux adapters and the simulation; the icon renderer "
                              "is tested on the program's own icon"),
    "tests/macos": Rule(["src/platform/macos/path_translation.h", PORTS], ["std", "gtest"],
                        "the plain C++ of the macOS adapters, tested natively"),
    "tests/macos/faults": Rule([PORTS], ["std", "apple"],
                               "code that a Mac rejects, for the Darwin type check"),
    "fuzz": Rule(CORE + [PORTS, "tests/fakes", "src/sim", "src/platform/linux"],
                 ["std", "posix", "libplist", "libfuzzer"],
                 "the core on the fakes, the control language and the settings file; "
                 "libplist reads the settings file independently of the store"),
    "bench": Rule(CORE + [PORTS, "tests/fakes", "src/sim", "src/platform/posix"],
                  ["std", "posix", "benchmark"],
                  "the edge gesture on the fakes and the runner on the stand-in tools"),
}

WALKED = ["src", "tools/sim", "tools/app_icon", "tests", "fuzz", "bench"]
NOT_WALKED = ["tests/macos/sdk"]
# Where a quoted include is looked for, in order, as the build's include folders.
INCLUDE_FOLDERS = ["src", "tests"]

INCLUDE = re.compile(r'^\s*#\s*(?:include|import)\s*([<"])([^>"]+)[>"]', re.MULTILINE)
SOURCES = ("*.h", "*.cc", "*.mm")
ROOT = pathlib.Path(__file__).resolve().parent.parent


def family(header: str):
    for name, patterns in SYSTEM.items():
        if any(fnmatch.fnmatchcase(header, pattern) for pattern in patterns):
            return name
    return None


def resolve(source_folder: str, included: str) -> pathlib.PurePosixPath:
    """The path from the root of a quoted include, as the compiler finds it."""
    if "/" not in included:
        return pathlib.PurePosixPath(source_folder) / included
    for folder in INCLUDE_FOLDERS:
        if (ROOT / folder / included).exists():
            return pathlib.PurePosixPath(folder) / included
    return pathlib.PurePosixPath(INCLUDE_FOLDERS[0]) / included


def project_allowed(folder: str, rule: Rule, target: pathlib.PurePosixPath) -> bool:
    target_folder = str(target.parent)
    if target_folder == folder:
        return True
    for allowed in rule.project:
        if allowed.endswith("/*.h"):
            if target_folder == allowed[: -len("/*.h")] and target.suffix == ".h":
                return True
        elif str(target) == allowed:
            return True
        elif target_folder == allowed or target_folder.startswith(allowed + "/"):
            return True
    return False


def check(source: str, text: str) -> list:
    folder = str(pathlib.PurePosixPath(source).parent)
    rule = RULES.get(folder)
    if rule is None:
        return [f"{source}: no include rule for this folder"]
    faults = []
    for match in INCLUDE.finditer(text):
        kind, included = match.groups()
        line = text.count("\n", 0, match.start()) + 1
        if kind == "<":
            found = family(included)
            if found is None:
                faults.append(f"{source}:{line}: <{included}> belongs to no family of "
                              "system headers")
            elif found not in rule.system:
                faults.append(f"{source}:{line}: forbidden include <{included}> ({found}); "
                              f"{folder}: {rule.why}")
        elif not project_allowed(folder, rule, resolve(folder, included)):
            faults.append(f"{source}:{line}: forbidden include \"{included}\"; "
                          f"{folder}: {rule.why}")
    return faults


def tree_sources():
    for top in WALKED:
        for pattern in SOURCES:
            for path in sorted((ROOT / top).rglob(pattern)):
                name = path.relative_to(ROOT).as_posix()
                if not any(name.startswith(skipped + "/") for skipped in NOT_WALKED):
                    yield name, path


def faults_are_rejected(folder: pathlib.Path) -> int:
    missed = []
    files = sorted(folder.iterdir())
    for path in files:
        text = path.read_text(encoding="utf-8")
        source = text.splitlines()[0].removeprefix("// checked as: ")
        # The rest of the file is allowed where it claims to live: only the
        # fault itself may be what the check rejects.
        faults = check(source, text)
        if len(faults) != 1 or "no include rule" in faults[0]:
            missed.append(f"{path.name}: {len(faults)} faults found, not the one it holds")
    for line in missed:
        print(line)
    if missed or not files:
        return 1
    print(f"includes: all {len(files)} faults rejected")
    return 0


def main(argv: list) -> int:
    if argv == ["--faults"]:
        return faults_are_rejected(ROOT / "tools" / "include_faults")
    if len(argv) == 3 and argv[0] == "--as":
        pairs = [(argv[1], pathlib.Path(argv[2]))]
    elif not argv:
        pairs = list(tree_sources())
    else:
        print(__doc__, file=sys.stderr)
        return 2
    faults = []
    for source, path in pairs:
        faults += check(source, path.read_text(encoding="utf-8"))
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"includes: {len(pairs)} files follow the layering")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
