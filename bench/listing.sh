#!/usr/bin/env bash
# Listing benchmark: a remote folder of ENTRIES files listed, parsed and shown in the main view's
# remote list (from the refresh request to the last row), beside curl and lftp listing the same
# folder, in interleaved rounds so that a busy machine weighs on all three alike. Every result is
# checked: KEVRA must show every row, curl and lftp must print every name. Prints the medians,
# the min–max ranges and the ratios of the medians.
# Usage: bash bench/listing.sh <builddir>    (environment: ENTRIES=20000 REPS=5)
set -euo pipefail

builddir=${1:?usage: bench/listing.sh <builddir>}
entries=${ENTRIES:-20000}
reps=${REPS:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_listing_bench
bench="$builddir/bench/kevra_listing_bench"


start_server
mkdir -p "$work/root/pub/many"
(cd "$work/root/pub/many" && seq -f "file-%06g.dat" 1 "$entries" | xargs touch)

# Runs a listing command, checks that it names every file, and prints its milliseconds.
timed_listing_ms() {
  local started ended names
  started=$(now)
  "$@" >"$work/listing.txt"
  ended=$(now)
  names=$(grep -c 'file-[0-9]*\.dat' "$work/listing.txt" || true)
  if [ "$names" -ne "$entries" ]; then
    echo "$1 listed $names of $entries names" >&2
    exit 1
  fi
  echo "$started $ended" | awk '{ printf "%.1f\n", ($2 - $1) * 1000 }'
}
list_curl() { curl -sS "ftp://127.0.0.1:$port/pub/many/"; }
list_lftp() { lftp -e "set cmd:fail-exit yes; ls pub/many; quit" "ftp://anonymous:@127.0.0.1:$port"; }
# One timed refresh after the connection and a first listing; the program checks the row count.
list_kevra() { QT_QPA_PLATFORM=offscreen "$bench" 127.0.0.1 "$port" /pub/many "$entries" 1; }

: >"$work/kevra.ms"
: >"$work/curl.ms"
: >"$work/lftp.ms"
for _ in $(seq 1 "$reps"); do
  list_kevra >>"$work/kevra.ms"
  timed_listing_ms list_curl >>"$work/curl.ms"
  timed_listing_ms list_lftp >>"$work/lftp.ms"
done
read -r k kmin kmax < <(summary <"$work/kevra.ms")
read -r c cmin cmax < <(summary <"$work/curl.ms")
read -r l lmin lmax < <(summary <"$work/lftp.ms")
awk -v n="$entries" -v r="$reps" -v k="$k" -v kmin="$kmin" -v kmax="$kmax" \
  -v c="$c" -v cmin="$cmin" -v cmax="$cmax" -v l="$l" -v lmin="$lmin" -v lmax="$lmax" 'BEGIN {
  printf "LIST of %d entries, %d interleaved rounds, median ms (min-max):\n", n, r
  printf "  KEVRA (request to last row shown) %.1f (%.1f-%.1f)\n", k, kmin, kmax
  printf "  curl %.1f (%.1f-%.1f)  lftp %.1f (%.1f-%.1f)\n", c, cmin, cmax, l, lmin, lmax
  printf "ratio KEVRA/curl %.2f  KEVRA/lftp %.2f\n", k / c, k / l
}'
