#!/usr/bin/env bash
# Listing benchmark: a remote folder of ENTRIES files listed, parsed and shown in the main view's
# remote list (from the refresh request to the last row), beside curl and lftp listing the same
# folder in the same run. Prints the median times and the ratios.
# Usage: bash bench/listing.sh <builddir>    (environment: ENTRIES=20000 REPS=5)
set -euo pipefail

builddir=${1:?usage: bench/listing.sh <builddir>}
entries=${ENTRIES:-20000}
reps=${REPS:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$source_dir" -B "$builddir" -G Ninja -DKEVRA_BENCH=ON >/dev/null
cmake --build "$builddir" --target kevra_listing_bench >/dev/null
bench="$builddir/bench/kevra_listing_bench"

source "$source_dir/bench/lib.sh"

start_server
mkdir -p "$work/root/pub/many"
(cd "$work/root/pub/many" && seq -f "file-%06g.dat" 1 "$entries" | xargs touch)

# Prints the milliseconds one listing command takes.
timed_ms() {
  local started ended
  started=$(now)
  "$@" >/dev/null
  ended=$(now)
  echo "$started $ended" | awk '{ printf "%.1f\n", ($2 - $1) * 1000 }'
}
list_curl() { curl -sS "ftp://127.0.0.1:$port/pub/many/"; }
list_lftp() { lftp -e "set cmd:fail-exit yes; ls pub/many; quit" "ftp://anonymous:@127.0.0.1:$port"; }
repeat() { for _ in $(seq 1 "$reps"); do "$@"; done | median; }

kevra=$(QT_QPA_PLATFORM=offscreen "$bench" 127.0.0.1 "$port" /pub/many "$entries" "$reps")
curl_ms=$(repeat timed_ms list_curl)
lftp_ms=$(repeat timed_ms list_lftp)
awk -v n="$entries" -v k="$kevra" -v c="$curl_ms" -v l="$lftp_ms" 'BEGIN {
  printf "LIST of %d entries, median ms: KEVRA (request to last row shown) %.1f  curl %.1f  lftp %.1f\n", n, k, c, l
  printf "ratio KEVRA/curl %.2f  KEVRA/lftp %.2f\n", k / c, k / l
}'
