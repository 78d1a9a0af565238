#!/usr/bin/env bash
# Builds the listing-parser fuzzer with clang in build-fuzz and runs it for a bounded time over a
# seed corpus made of the stored listing lines (one line per seed file). New inputs the fuzzer
# finds are kept in build-fuzz/corpus/listing for the next run; a crash leaves its input in
# build-fuzz/findings.
#
# Usage: scripts/fuzz.sh [seconds]    (default 60; FUZZ_JOBS runs that many fuzzers in parallel)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-60}
jobs=${FUZZ_JOBS:-1}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEVRA_FUZZ=ON -DKEVRA_TESTS=OFF > /dev/null
cmake --build "$build" --target fuzz_listing

seeds=$build/seeds/listing
corpus=$build/corpus/listing
findings=$build/findings
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$findings"
count=0
for data in "$root"/tests/view/data/*.txt; do
    while IFS= read -r line || [ -n "$line" ]; do
        count=$((count + 1))
        printf '%s' "$line" > "$seeds/line-$count"
    done < "$data"
done
echo "seed corpus: $count lines"

cd "$findings"
"$build/tests/fuzz/fuzz_listing" -max_len=4096 -max_total_time="$seconds" -timeout=10 \
    -dict="$root/tests/fuzz/listing.dict" -jobs="$jobs" -workers="$jobs" -print_final_stats=1 \
    "$corpus" "$seeds"
