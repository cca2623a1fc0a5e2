#!/usr/bin/env bash
# Prints the tests' share of the code: non-blank lines of everything tracked
# under tests/ (the stub SDK headers, which mirror Apple's declarations, aside)
# and under fuzz/ (the targets, whose corpora every test run replays, and the
# seed generator) against non-blank lines of the product, src/ and the
# stand-in tools. Exits non-zero above the limit (percent, default 50).
#
#   tools/test_share.sh [LIMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-50}

count() { xargs -r cat | grep -c -v -E '^\s*$' || true; }
source_files='\.(c|cc|cpp|h|hpp|mm|m|py|rb|sh)$'

code=$(git ls-files -- src tools/sim | grep -E "$source_files" | count)
tests=$(git ls-files -- tests fuzz | grep -v '^tests/macos/sdk/' | grep -E "$source_files" | count)
tenths=$((1000 * tests / code))

echo "tests: $tests non-blank lines, code: $code, share: $((tenths / 10)).$((tenths % 10))% (limit $limit%)"
if ((tenths > 10 * limit)); then
  echo "the tests are over $limit% of the code: remove what two levels check twice" >&2
  exit 1
fi
