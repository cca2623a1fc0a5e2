#!/usr/bin/env bash
# A guided demonstration of Velmoryn on the simulated desktop.
#
#   tools/demo.sh                          build if needed, then the guided run in
#                                          demo-out/ (about 5 seconds)
#   tools/demo.sh --interactive            the program for you to drive, in your own
#                                          per-user folders
#   tools/demo.sh --interactive --fresh    the same in a fresh demo-out/interactive/
#
# The guided run checks every line it expects and exits non-zero when the
# program does not do what it says. It never touches your own folders: HOME
# and the XDG folders point into demo-out/.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/bootstrap.sh

# Only the program and its stand-in tools: after a test run this builds nothing.
[ -f build/debug/CMakeCache.txt ] || cmake --preset linux-debug >/dev/null
cmake --build --preset linux-debug --target velmoryn velmoryn-simtool

exec python3 tools/demo.py build/debug/velmoryn "$@"
