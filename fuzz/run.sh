#!/usr/bin/env bash
# Fuzzes both targets for a while, each on one core, keeping what they find:
#   bash fuzz/run.sh MINUTES [BUILD_FOLDER]
# New corpus entries go to build/fuzz/corpus/; inputs that crash go to
# build/fuzz/findings/ (copy each into fuzz/regressions/ once it is fixed).
set -euo pipefail
cd "$(dirname "$0")/.."
export LSAN_OPTIONS=suppressions=$(pwd)/fuzz/lsan-suppressions.txt:print_suppressions=0
minutes=${1:?minutes}
build=${2:-build/fuzz}
mkdir -p "$build/corpus/host" "$build/corpus/image" "$build/findings"
bash fuzz/replay.sh "$build" >/dev/null
cp -n "$build"/seed-corpus/host/* "$build/corpus/host/" 2>/dev/null || true
cp -n "$build"/seed-corpus/image/* "$build/corpus/image/" 2>/dev/null || true
for target in host image; do
  "$build/${target}_fuzzer" "$build/corpus/$target" -max_total_time=$((minutes * 60)) -rss_limit_mb=4096 \
    -artifact_prefix="$build/findings/$target-" -print_final_stats=1 >"$build/$target-fuzz.log" 2>&1 &
done
wait
for target in host image; do
  echo "== $target"; grep -E "stat::number_of_executed_units|cov:" "$build/$target-fuzz.log" | tail -2
done
ls "$build/findings"
