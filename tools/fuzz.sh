#!/usr/bin/env bash
# Builds the libFuzzer targets (preset linux-fuzz) and runs each one for a
# bounded time over a copy of its seed corpus in fuzz/corpus/. Prints the
# executions of each target and any finding; exits non-zero on a finding.
#
#   tools/fuzz.sh          20 seconds per target
#   tools/fuzz.sh 300      a long run: 5 minutes per target
#   tools/fuzz.sh 60 url_command_fuzz settings_store_fuzz    only these targets
#
# Findings (the crashing input and the log) are kept in build/fuzz/findings/;
# add a fixed one's input to the target's corpus folder.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
case "$seconds" in
  '' | *[!0-9]*) echo "usage: tools/fuzz.sh [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

tools/bootstrap.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz -j "$jobs"

bin=build/fuzz/fuzz
run=build/fuzz/run
findings=build/fuzz/findings
rm -rf "$run"
mkdir -p "$run" "$findings"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for path in "$bin"/*_fuzz; do targets+=("$(basename "$path")"); done
fi

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
printf '%-22s %12s  %s\n' target executions finding
for target in "${targets[@]}"; do
  name=${target%_fuzz}
  corpus="$run/$name/corpus"
  artifacts="$run/$name/artifacts"
  mkdir -p "$corpus" "$artifacts"
  [ -d "fuzz/corpus/$name" ] && cp -R "fuzz/corpus/$name/." "$corpus/"
  log="$run/$name/log"
  status=0
  "$bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  finding=$(find "$artifacts" -type f | head -n 1)
  if [ -n "$finding" ] || [ "$status" -ne 0 ]; then
    failed=1
    kept="$findings/$name-$(date +%Y%m%d-%H%M%S)"
    mkdir -p "$kept"
    cp "$log" "$kept/log"
    [ -n "$finding" ] && cp "$finding" "$kept/"
    reason=$(grep -m1 -E 'invariant broken|ERROR: (Address|Undefined|LeakSanitizer|libFuzzer)|runtime error' \
      "$log" || echo "exit status $status")
    printf '%-22s %12s  %s\n' "$name" "${executions:-?}" "FOUND: $reason"
    printf '%-22s %12s  input and log in %s\n' "" "" "$kept"
  else
    printf '%-22s %12s  none\n' "$name" "${executions:-?}"
  fi
done
exit "$failed"
