#!/usr/bin/env bash
# Builds and runs the whole test suite: the plain debug build, then again under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer. Installs what it needs first on a fresh Debian machine.
#
#   tools/test.sh          everything
#   tools/test.sh quick    the debug build only
set -euo pipefail
cd "$(dirname "$0")/.."

tools/bootstrap.sh

jobs=$(nproc 2>/dev/null || echo 2)
presets=(linux-debug linux-asan linux-tsan)
[ "${1:-}" = quick ] && presets=(linux-debug)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

for preset in "${presets[@]}"; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
