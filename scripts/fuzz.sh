#!/usr/bin/env bash
# Builds the fuzzers with clang in build-fuzz and runs each for a bounded time: the listing
# parser over a seed corpus made of the stored listing lines (one line per seed file), the server
# address parser over a few addresses of every form. New inputs a fuzzer finds are kept in
# build-fuzz/corpus/<name> for the next run; a crash leaves its input in build-fuzz/findings.
#
# Usage: scripts/fuzz.sh [seconds]    (default 60 each; FUZZ_JOBS runs that many in parallel)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-60}
jobs=${FUZZ_JOBS:-1}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEVRA_FUZZ=ON -DKEVRA_TESTS=OFF > /dev/null
cmake --build "$build" --target fuzz_listing fuzz_server_address

seeds=$build/seeds/listing
corpus=$build/corpus/listing
findings=$build/findings
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$findings"
count=0
for data in "$root"/tests/listing/data/*.txt; do
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

address_seeds=$build/seeds/address
address_corpus=$build/corpus/address
rm -rf "$address_seeds"
mkdir -p "$address_seeds" "$address_corpus"
count=0
for address in example.com ftp://example.com ftpes://h:990 "[::1]:2121" "ftpes://[2001:db8::7]/" \
    FTPES://Example.com ::1 h:0 ftp://文件.中国; do
    count=$((count + 1))
    printf '%s' "$address" > "$address_seeds/address-$count"
done
"$build/tests/fuzz/fuzz_server_address" -max_len=512 -max_total_time="$seconds" -timeout=10 \
    -jobs="$jobs" -workers="$jobs" -print_final_stats=1 "$address_corpus" "$address_seeds"
