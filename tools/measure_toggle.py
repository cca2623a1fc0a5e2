#!/usr/bin/env python3
"""How long a scripted toggle takes, on the simulated desktop.

    tools/measure_toggle.py [--build-dir DIR] [--runs N]

Starts velmoryn in fresh folders, then alternates two ways of toggling the
running program and times each from its start to the program's next `icon:`
line (the status icon changed):
  - the command line: `velmoryn --toggle`, from just before the process is
    started (exec, the platform set-up, the socket exchange, the exit);
  - a click on the control channel: `click left` sent over a fresh connection
    to the control socket, from just before the connection is made.
Prints the median and the 90th percentile of each and their ratio. Measures
the build in --build-dir as it is (default build/release; build it first with
the linux-release preset).
"""

import argparse
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time

import velmoryn_driver

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TIMEOUT = 20.0


def next_icon_line(program, start):
    """The perf_counter() time at which the first `icon:` line from `start` on arrived."""
    index = program.wait_for(lambda line: line.startswith("icon: "), TIMEOUT, start)
    if index is None:
        sys.exit("no icon line came:\n" + program.transcript())
    with program.changed:
        return index + 1, program.started + program.arrivals[index]


def toggle_by_command_line(binary, folders):
    began = time.perf_counter()
    done = subprocess.run([binary, "--toggle"], env=folders.env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=TIMEOUT, check=False)
    if done.returncode != 0:
        sys.exit(f"velmoryn --toggle failed ({done.returncode}): {done.stdout!r}")
    return began


def toggle_by_click(folders):
    began = time.perf_counter()
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        client.connect(folders.socket_path)
        client.sendall(b"click left\n")
        client.shutdown(socket.SHUT_WR)
        while client.recv(65536):
            pass
    return began


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--runs", type=int, default=30)
    options = parser.parse_args()
    binary = os.path.abspath(os.path.join(options.build_dir, "velmoryn"))
    if not os.access(binary, os.X_OK):
        sys.exit(f"no {binary}: build it first (cmake --preset linux-release && "
                 "cmake --build --preset linux-release --target velmoryn velmoryn-simtool)")

    with tempfile.TemporaryDirectory(prefix="velmoryn-toggle-") as base:
        folders = velmoryn_driver.Folders(base)
        program = folders.launch(binary, timeout=TIMEOUT)
        try:
            cursor = program.wait_line("ready")
            if cursor is None:
                sys.exit("velmoryn did not start:\n" + program.transcript())
            cursor += 1
            figures = {"velmoryn --toggle": [], "click on the control channel": []}
            for _ in range(options.runs):
                for name, toggle in (("velmoryn --toggle", lambda: toggle_by_command_line(
                        binary, folders)), ("click on the control channel",
                                            lambda: toggle_by_click(folders))):
                    began = toggle()
                    cursor, changed = next_icon_line(program, cursor)
                    figures[name].append(changed - began)
        finally:
            program.kill()

    print(f"{options.runs} toggles each, {binary}")
    medians = {}
    for name, values in figures.items():
        medians[name] = statistics.median(values)
        print(f"  {name:30} median {1000 * medians[name]:6.2f} ms, "
              f"90th percentile {1000 * percentile(values, 0.9):6.2f} ms")
    ratio = medians["velmoryn --toggle"] / medians["click on the control channel"]
    print(f"  ratio of the medians: {ratio:.1f}")


if __name__ == "__main__":
    main()
