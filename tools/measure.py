#!/usr/bin/env python3
"""Resource figures of the release build of velmoryn on the simulated desktop.

    tools/measure.py [--no-build] [--build-dir DIR] [--runs N] [--idle SECONDS]

1. Idle: after a launch, a toggle and one reveal that has ended, the program
   must sleep. Counts the voluntary and involuntary context switches of every
   thread (/proc/PID/task/*/status) over the idle period; the aim is zero.
2. Start-up and memory, beside a trivial C++ program built with the same
   compiler and flags and started the same way (a pipe on stdin and stdout,
   one line printed, then waiting on stdin): the time from exec to the status
   item being shown (the first `icon:` line and the `ready` line) and the peak
   resident memory (VmHWM), for a first launch in fresh folders and for a
   relaunch.

Builds build/release first (the linux-release preset, only velmoryn and
velmoryn-simtool) unless --no-build is given; --build-dir measures another
optimised build instead (with --no-build). Prints a report; the exit status
is 1 when the program woke while idle.
"""

import argparse
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import velmoryn_driver

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "release")  # the linux-release preset's folder
TIMEOUT = 20.0
build_dir = BUILD

HELLO = r"""
#include <iostream>
#include <string>

// The smallest program started the way velmoryn is: one line out, then it
// waits on standard input until it closes.
int main() {
  std::cout << "ready" << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
"""


def run(command, **kwargs):
    subprocess.run(command, check=True, cwd=ROOT, **kwargs)


def build():
    run(["cmake", "--preset", "linux-release"], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", "--preset", "linux-release", "-j", "2", "--target", "velmoryn",
         "velmoryn-simtool"])


def cache_value(name):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def build_hello(folder):
    """Compiles the trivial program with the release build's compiler and flags."""
    source = os.path.join(folder, "hello.cc")
    with open(source, "w", encoding="utf-8") as file:
        file.write(HELLO)
    binary = os.path.join(folder, "hello")
    command = [cache_value("CMAKE_CXX_COMPILER") or "c++",
               *shlex.split(cache_value("CMAKE_CXX_FLAGS")),
               *shlex.split(cache_value("CMAKE_CXX_FLAGS_RELEASE")),
               "-std=c++20", "-Wall", "-Wextra", "-Wpedantic", "-Werror",
               *shlex.split(cache_value("CMAKE_EXE_LINKER_FLAGS")), source, "-o", binary]
    subprocess.run(command, check=True)
    return binary, " ".join(command[:-3])


class Started:
    """A launched program, read line by line with each line's time from exec."""

    def __init__(self, binary, folders):
        self.run = folders.launch(binary, timeout=TIMEOUT)
        self.process = self.run.process
        self.cursor = 0

    def line(self):
        """The next line and the seconds from exec to its arrival."""
        found = self.run.wait_for(lambda line: True, start=self.cursor)
        if found is None:
            raise RuntimeError("no line in time, or the program ended")
        self.cursor = found + 1
        return self.run.lines[found], self.run.arrivals[found]

    def until(self, wanted):
        while True:
            text, at = self.line()
            if wanted(text):
                return text, at

    def send(self, *lines):
        self.run.send(*lines)

    def status(self, field):
        with open(f"/proc/{self.process.pid}/status", encoding="utf-8") as status:
            for line in status:
                if line.startswith(field + ":"):
                    return line.split(":", 1)[1].strip()
        return ""

    def kb(self, field):
        return int(self.status(field).split()[0])


def switches(pid):
    """Context switches so far, per thread: tid -> (name, voluntary, involuntary)."""
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm", encoding="utf-8") as comm:
                name = comm.read().strip()
            voluntary = involuntary = 0
            with open(f"/proc/{pid}/task/{tid}/status", encoding="utf-8") as status:
                for line in status:
                    if line.startswith("voluntary_ctxt_switches:"):
                        voluntary = int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        involuntary = int(line.split()[1])
            result[int(tid)] = (name, voluntary, involuntary)
        except FileNotFoundError:
            continue
    return result


def thread_places(pid):
    """Where each thread waits: its kernel wait channel and current syscall."""
    places = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/wchan", encoding="utf-8") as wchan:
                channel = wchan.read().strip()
            with open(f"/proc/{pid}/task/{tid}/syscall", encoding="utf-8") as syscall:
                number = syscall.read().split()[0]
        except (FileNotFoundError, PermissionError, IndexError):
            continue
        places[int(tid)] = f"{channel or '-'} (syscall {number})"
    return places


def measure_idle(binary, seconds):
    with tempfile.TemporaryDirectory(prefix="velmoryn-measure-") as folder:
        program = Started(binary, velmoryn_driver.Folders(folder))
        try:
            program.until(lambda line: line == "ready")
            # A little life first: a toggle and a reveal that has ended, so that
            # its timer must have gone.
            program.send("click left", "pointer 700 3", "scroll line 1 0", "pointer 700 400")
            program.until(lambda line: line == "dock: autohide off")
            program.until(lambda line: line == "dock: autohide on")
            time.sleep(1.0)
            before = switches(program.process.pid)
            time.sleep(seconds)
            after = switches(program.process.pid)
            places = thread_places(program.process.pid)
        finally:
            program.process.terminate()
            program.process.wait(timeout=TIMEOUT)
    rows = []
    for tid, (name, voluntary, involuntary) in sorted(after.items()):
        _, v0, i0 = before.get(tid, (name, 0, 0))
        rows.append((tid, name, voluntary - v0, involuntary - i0, places.get(tid, "?")))
    return rows


def launch_figures(binary, folders, is_velmoryn):
    """Seconds from exec to the first icon line and to ready, and VmHWM in kB."""
    program = Started(binary, folders)
    try:
        if is_velmoryn:
            _, icon_at = program.until(lambda line: line.startswith("icon: "))
            _, ready_at = program.until(lambda line: line == "ready")
        else:
            _, ready_at = program.until(lambda line: line == "ready")
            icon_at = ready_at
        hwm = program.kb("VmHWM")
        threads = int(program.status("Threads"))
    finally:
        if is_velmoryn:
            program.process.terminate()  # SIGTERM: the orderly end, with the restore
        else:
            program.process.stdin.close()
        program.process.wait(timeout=TIMEOUT)
    return icon_at, ready_at, hwm, threads


def launch_timeline(binary):
    """Each line of one first launch with its time from exec, to show where
    the start-up time goes."""
    with tempfile.TemporaryDirectory(prefix="velmoryn-measure-") as folder:
        program = Started(binary, velmoryn_driver.Folders(folder))
        timeline = []
        try:
            while True:
                text, at = program.line()
                timeline.append((at, text))
                if text == "ready":
                    break
        finally:
            program.process.terminate()
            program.process.wait(timeout=TIMEOUT)
    return timeline


def summary(values, unit, scale=1.0, digits=1):
    values = [v * scale for v in values]
    return (f"median {statistics.median(values):.{digits}f} {unit} "
            f"(min {min(values):.{digits}f}, max {max(values):.{digits}f})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("--build-dir", default=BUILD)
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--idle", type=float, default=10.0)
    options = parser.parse_args()

    global build_dir
    build_dir = os.path.abspath(options.build_dir)
    if not options.no_build:
        if build_dir != BUILD:
            sys.exit("--build-dir goes with --no-build")
        build()
    binary = os.path.join(build_dir, "velmoryn")
    if not os.access(binary, os.X_OK):
        sys.exit(f"{binary} is missing: run without --no-build")

    work = tempfile.mkdtemp(prefix="velmoryn-measure-")
    try:
        hello, compile_line = build_hello(work)
        print(f"velmoryn: {binary}")
        print(f"trivial program: {compile_line}")
        print(f"machine: {os.cpu_count()} CPUs, load average "
              f"{' '.join(f'{x:.2f}' for x in os.getloadavg())}")

        print(f"\n1. Idle for {options.idle:g} s after a toggle and an ended reveal:")
        rows = measure_idle(binary, options.idle)
        total_v = sum(row[2] for row in rows)
        total_i = sum(row[3] for row in rows)
        for tid, name, voluntary, involuntary, place in rows:
            print(f"   thread {tid} {name!r}: {voluntary} voluntary, {involuntary} involuntary "
                  f"switches; waits in {place}")
        print(f"   total: {total_v} voluntary, {total_i} involuntary context switches")

        print(f"\n2. Start-up and peak memory, {options.runs} runs each, started with pipes "
              "and measured from before exec:")
        results = {}
        kinds = (("velmoryn, first launch (fresh folders)", "first"),
                 ("velmoryn, relaunch (same folders)", "again"),
                 ("trivial C++ program", "hello"))
        for _, kind in kinds:
            results[kind] = []
        again = os.path.join(work, "again")
        for _ in range(options.runs):
            first = tempfile.mkdtemp(dir=work)
            results["first"].append(launch_figures(binary, velmoryn_driver.Folders(first), True))
            shutil.rmtree(first)
            results["again"].append(launch_figures(binary, velmoryn_driver.Folders(again), True))
            results["hello"].append(launch_figures(hello, velmoryn_driver.Folders(again), False))
        for label, kind in kinds:
            icon = [r[0] for r in results[kind]]
            ready = [r[1] for r in results[kind]]
            hwm = [r[2] for r in results[kind]]
            print(f"   {label}:")
            if kind != "hello":
                print(f"      exec to first icon line: {summary(icon, 'ms', 1000)}")
            print(f"      exec to ready line:      {summary(ready, 'ms', 1000)}")
            print(f"      peak resident (VmHWM):   {summary(hwm, 'MiB', 1 / 1024, 2)}; "
                  f"threads {results[kind][0][3]}")
        print("\n   One first launch, line by line (ms from exec):")
        for at, text in launch_timeline(binary):
            print(f"      {at * 1000:7.1f}  {text}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if total_v or total_i else 0


if __name__ == "__main__":
    sys.exit(main())
