#!/usr/bin/env bash
# Replays the fuzzers' seed corpus and every input that ever found a fault,
# under AddressSanitizer and UBSan: seconds, no fuzzing. Run by the tests.
#   bash fuzz/replay.sh [BUILD_FOLDER]     (default build/fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
export LSAN_OPTIONS=suppressions=$(pwd)/fuzz/lsan-suppressions.txt:print_suppressions=0
build=${1:-build/fuzz}
corpus=$build/seed-corpus
rm -rf "$corpus"
mkdir -p "$corpus/image" "$corpus/host"
"$build/make_seed_corpus" "$corpus/image" "$corpus/host" >/dev/null
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
"$build/host_fuzzer" -runs=0 "$corpus/host" fuzz/regressions/host
"$build/image_fuzzer" -runs=0 "$corpus/image" fuzz/regressions/image
echo "fuzz replay: ok"
