#!/usr/bin/env python3
"""Checks that every quoted include in src/ and tools/sim follows the layering.

The core decides and reaches the system only through the interfaces in
src/platform/*.h; adapters and the simulation translate and never include the
core; macOS and Linux never include each other. Each folder below lists the
folders it may include (a folder's own files are always allowed); a rule ending
in "*.h" allows only the headers directly in that folder.

  tools/check_includes.py                  the whole tree
  tools/check_includes.py --as PATH FILE   FILE as if it lived at PATH
  tools/check_includes.py --faults         proves each file in tools/include_faults,
                                           checked as the path its first line names,
                                           is rejected

Prints each forbidden include and exits 1 if there is one.
"""
import pathlib
import re
import sys

CORE = ["src/app", "src/boot", "src/dock", "src/reveal", "src/hotkey"]
PORTS = "src/platform/*.h"
# The texts a person sees, which every core folder may include; they include nothing.
TEXT = "src/text"

# Folder -> what its files may include besides their own folder.
RULES = {
    **{folder: CORE + [PORTS, TEXT] for folder in CORE},
    TEXT: [],
    "src/platform": [],
    "src/platform/posix": [PORTS],
    "src/platform/linux": [PORTS, "src/platform/posix"],
    "src/platform/macos": [PORTS, "src/platform/posix"],
    # The simulation and the Linux program's composition root, which joins the
    # real adapters and the simulation behind the platform factory.
    "src/sim": [PORTS, "src/platform/linux", "src/platform/posix"],
    "tools/sim": [PORTS, "src/platform/linux", "src/sim"],
}

INCLUDE = re.compile(r'^\s*#\s*(?:include|import)\s*"([^"]+)"', re.MULTILINE)
SOURCES = ("*.h", "*.cc", "*.mm")


def allowed(source: str, included: str) -> bool:
    """Whether `source` (a path from the root) may include `included` (relative to src/)."""
    folder = str(pathlib.PurePosixPath(source).parent)
    rules = RULES.get(folder)
    if rules is None:
        return False
    target = pathlib.PurePosixPath("src") / included
    target_folder = str(target.parent)
    if target_folder == folder:
        return True
    for rule in rules:
        if rule.endswith("/*.h"):
            if target_folder == rule[: -len("/*.h")] and target.suffix == ".h":
                return True
        elif target_folder == rule or target_folder.startswith(rule + "/"):
            return True
    return False


def check(source: str, text: str) -> list[str]:
    faults = []
    for match in INCLUDE.finditer(text):
        included = match.group(1)
        # A source next to its own header in tools/ names it relative to itself.
        if "/" not in included:
            continue
        if not allowed(source, included):
            line = text.count("\n", 0, match.start()) + 1
            faults.append(f"{source}:{line}: forbidden include \"{included}\"")
    return faults


def tree_sources(root: pathlib.Path):
    for top in ["src", "tools/sim"]:
        for pattern in SOURCES:
            for path in sorted((root / top).rglob(pattern)):
                yield path.relative_to(root).as_posix(), path


def faults_are_rejected(folder: pathlib.Path) -> int:
    missed = []
    files = sorted(folder.iterdir())
    for path in files:
        text = path.read_text(encoding="utf-8")
        source = text.splitlines()[0].removeprefix("// checked as: ")
        if not check(source, text):
            missed.append(path.name)
    for name in missed:
        print(f"{name}: a forbidden include went through")
    if missed or not files:
        return 1
    print(f"includes: all {len(files)} faults rejected")
    return 0


def main(argv: list[str]) -> int:
    root = pathlib.Path(__file__).resolve().parent.parent
    if argv == ["--faults"]:
        return faults_are_rejected(root / "tools" / "include_faults")
    if len(argv) == 3 and argv[0] == "--as":
        pairs = [(argv[1], pathlib.Path(argv[2]))]
    elif not argv:
        pairs = list(tree_sources(root))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    faults = []
    for source, path in pairs:
        if str(pathlib.PurePosixPath(source).parent) not in RULES:
            faults.append(f"{source}: no include rule for this folder")
            continue
        faults += check(source, path.read_text(encoding="utf-8"))
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"includes: {len(pairs)} files follow the layering")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
