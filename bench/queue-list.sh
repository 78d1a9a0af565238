#!/usr/bin/env bash
# Queue benchmark: ROWS queue rows added, saved to WFL.dat and loaded again (every loaded row
# compared with the saved one), and the GUI thread's longest stall while UPDATED rows change
# every 100 ms, with the queue list's own model beside a baseline model that re-reads every row
# on each change. Rounds interleave the three runs; prints median and min-max of each figure.
# Usage: bash bench/queue-list.sh <builddir>    (environment: ROWS=10000 UPDATED=1000 ROUNDS=5
#        SECONDS_PER_RUN=5)
set -euo pipefail

builddir=${1:?usage: bench/queue-list.sh <builddir>}
rows=${ROWS:-10000}
updated=${UPDATED:-1000}
rounds=${ROUNDS:-5}
seconds=${SECONDS_PER_RUN:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$source_dir" -B "$builddir" -G Ninja -DKEVRA_BENCH=ON >/dev/null
cmake --build "$builddir" --target kevra_queue_list_bench >/dev/null
bench="$builddir/bench/kevra_queue_list_bench"
export QT_QPA_PLATFORM=offscreen

results=$(mktemp /tmp/kevra-queue-bench-XXXXXX)
trap 'rm -f "$results"' EXIT

for round in $(seq "$rounds"); do
  "$bench" store "$rows" 1 2>/dev/null |
    awk '{ print "add", $2; print "save", $4; print "load", $6; print "save+load", $4 + $6 }' >>"$results"
  "$bench" stream "$rows" "$updated" "$seconds" rows 2>/dev/null | awk '{ print "stall-rows", $3 }' >>"$results"
  "$bench" stream "$rows" "$updated" "$seconds" reread 2>/dev/null | awk '{ print "stall-reread", $3 }' >>"$results"
  echo "round $round done" >&2
done

summary() {
  grep "^$1 " "$results" | awk '{ print $2 }' | sort -n |
    awk -v name="$1" '{ v[NR] = $1 } END {
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%-13s median %7.1f ms   min-max %.1f-%.1f ms   (%d runs)\n", name, m, v[1], v[NR], NR }'
}

echo "queue of $rows rows, $updated rows changing every 100 ms, $rounds rounds"
for figure in add save load save+load stall-rows stall-reread; do
  summary "$figure"
done
median() { grep "^$1 " "$results" | awk '{ print $2 }' | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
awk -v a="$(median stall-rows)" -v b="$(median stall-reread)" \
  'BEGIN { if (b > 0) printf "longest stall, row updates / re-read: %.2f\n", a / b }'
