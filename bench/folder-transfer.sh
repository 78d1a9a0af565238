#!/usr/bin/env bash
# Folder benchmark: a tree of FILES files of 4 KiB (in FOLDERS sub-folders) downloaded and
# uploaded as one folder entry of the queue does it (kevra_folder_bench: measure, then walk,
# each file through a ".td" name and a rename), beside lftp's mirror with one connection, in
# interleaved rounds. Every copy is checked by the SHA-256 of the whole tree. Prints the median
# and min-max seconds per client and direction; the last line is the ratio of KEVRA's median
# time to lftp's over both directions (lower is better).
# Usage: bash bench/folder-transfer.sh <builddir>    (environment: FILES=2000 FOLDERS=10 ROUNDS=5)
set -euo pipefail

builddir=${1:?usage: bench/folder-transfer.sh <builddir>}
files=${FILES:-2000}
folders=${FOLDERS:-10}
rounds=${ROUNDS:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_folder_bench
bench="$builddir/bench/kevra_folder_bench"

download_kevra() { "$bench" download 127.0.0.1 "$port" /pub/tree "$1"; }
download_lftp() {
  lftp -e "set cmd:fail-exit yes; mirror --parallel=1 pub/tree $1; quit" "ftp://anonymous:@127.0.0.1:$port"
}
upload_kevra() { "$bench" upload 127.0.0.1 "$port" "/pub/$1" "$work/local/tree"; }
upload_lftp() {
  lftp -e "set cmd:fail-exit yes; mirror -R --parallel=1 $work/local/tree pub/$1; quit" \
    "ftp://anonymous:@127.0.0.1:$port"
}

summary() { sort -n "$1" | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'; }

start_server
make_tree "$files" "$folders"
chmod -R a+rX "$work/root/pub/tree"
expected=$(tree_sum "$work/local/tree")

# Each round runs all four in turn, the order alternating, so drift in the machine's load
# falls on both clients alike.
for round in $(seq 1 "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then order="kevra lftp"; else order="lftp kevra"; fi
  for direction in download upload; do
    for client in $order; do
      run_tree_once "$direction" "$client" "$round" >>"$work/$direction-$client.times"
    done
  done
done

echo "folder of $files files of 4 KiB in $folders sub-folders over loopback, $rounds interleaved rounds, seconds: median (min-max)"
for direction in download upload; do
  read -r km kmin kmax < <(summary "$work/$direction-kevra.times")
  read -r lm lmin lmax < <(summary "$work/$direction-lftp.times")
  awk -v d="$direction" -v km="$km" -v kmin="$kmin" -v kmax="$kmax" -v lm="$lm" -v lmin="$lmin" -v lmax="$lmax" \
    'BEGIN { printf "%-8s KEVRA %.3f (%.3f-%.3f)  lftp %.3f (%.3f-%.3f)  ratio of medians %.2f, of minimums %.2f\n", d, km, kmin, kmax, lm, lmin, lmax, km / lm, kmin / lmin }'
  echo "$km $lm" >>"$work/medians"
done
awk '{ k += $1; l += $2 } END { printf "ratio kevra/lftp %.2f\n", k / l }' "$work/medians"
