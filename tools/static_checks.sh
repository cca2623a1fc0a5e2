#!/usr/bin/env bash
# Static checks of the project's own C++:
#   1. clang-tidy (.clang-tidy) over the program's sources, the fakes, the fuzz
#      targets, the benchmarks and the stand-in tools, from the compile database
#      of a debug build it configures in build/tidy (clang); the macOS stub SDK
#      and the .mm adapters are not compiled on Linux and so are not in it;
#   2. cppcheck over src/, suppressions only inline, each with its reason;
#   3. clang-format --dry-run --Werror over every C++ and Objective-C++ file;
#   4. the include rules (tools/check_includes.py), and that they reject each
#      fault in tools/include_faults;
#   5. the tests' share of the code, fuzz targets included, at most 50%
#      (tools/test_share.sh);
#   6. that every action the core names is a method of the macOS adapter's
#      action target: AppKit sends it there by name, and a name the target
#      lacks does nothing on a Mac, which nothing here can run.
# Runs them all and exits non-zero if any of them found something.
#
#   tools/static_checks.sh
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/bootstrap.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
build=build/tidy
failed=()

echo "== clang-tidy"
mkdir -p "$build"
if ! cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DBUILD_TESTING=ON -DVELMORYN_BENCHMARKS=ON \
  -DVELMORYN_FUZZERS=ON >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  failed+=(configure)
else
  # The test files are left out to keep the run within a few minutes on two
  # cores: the gtest macros make each one several times slower to analyse.
  log=$(mktemp)
  if run-clang-tidy -p "$build" -j "$jobs" -quiet \
    "^$root/(src|tools|bench|fuzz|tests/fakes)/.*\.cc\$" >"$log" 2>&1; then
    grep -E '(warning|error):' "$log" || true
  else
    grep -E '(warning|error):' -A3 "$log" || cat "$log"
    failed+=(clang-tidy)
  fi
  rm -f "$log"
fi

echo "== cppcheck"
if ! cppcheck --enable=warning,performance,portability --error-exitcode=1 --inline-suppr \
  --std=c++20 --language=c++ --platform=unix64 -I src --quiet -j "$jobs" src/; then
  failed+=(cppcheck)
fi

echo "== clang-format"
mapfile -t formatted < <(git ls-files '*.cc' '*.h' '*.mm' '*.cpp' '*.hpp')
if ! clang-format --dry-run --Werror "${formatted[@]}"; then
  failed+=(clang-format)
fi

echo "== includes"
if ! python3 -B tools/check_includes.py || ! python3 -B tools/check_includes.py --faults; then
  failed+=(includes)
fi

echo "== test share"
tools/test_share.sh || failed+=(test-share)

echo "== action selectors"
named=$(grep -ohE '(Action\{|action\()"\w+"' src/app/*.cc | cut -d'"' -f2 | sort -u)
implemented=$(sed -n -E 's/^- \(void\)(\w+) \{$/\1/p' src/platform/macos/status_bar_mac.mm | sort -u)
missing=$(comm -23 <(echo "$named") <(echo "$implemented"))
if [[ -z $named || -n $missing ]]; then
  echo "actions the macOS action target lacks: ${missing:-(no actions found)}"
  failed+=(action-selectors)
fi

if ((${#failed[@]})); then
  echo "static checks failed: ${failed[*]}"
  exit 1
fi
echo "static checks passed"
