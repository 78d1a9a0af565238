#!/usr/bin/env bash
# Queue benchmark, in interleaved rounds:
#  - the queue file: ROWS rows added, saved to WFL.dat and loaded again (every loaded row compared
#    with the saved one), by this tree and by the BASELINE commit built from the same benchmark
#    source (wall times, and the processor time of save + load, which a busy machine disturbs
#    less);
#  - the GUI thread's longest stall while UPDATED of ROWS rows change every 100 ms, with the queue
#    list's own model beside a model that re-reads every row on each change.
# Prints median and min-max of each figure and the ratios.
# Usage: bash bench/queue-list.sh <builddir>    (environment: ROWS=10000 UPDATED=1000 ROUNDS=5
#        SECONDS_PER_RUN=5 BASELINE=efc4b7a)
set -euo pipefail

builddir=${1:?usage: bench/queue-list.sh <builddir>}
rows=${ROWS:-10000}
updated=${UPDATED:-1000}
rounds=${ROUNDS:-5}
seconds=${SECONDS_PER_RUN:-5}
baseline=${BASELINE:-efc4b7a}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/kevra-queue-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

cmake -S "$source_dir" -B "$builddir" -G Ninja -DKEVRA_BENCH=ON >/dev/null
cmake --build "$builddir" --target kevra_queue_store_bench kevra_queue_list_bench >/dev/null
store="$builddir/bench/kevra_queue_store_bench"
list="$builddir/bench/kevra_queue_list_bench"

# The baseline's own queue code with this tree's store benchmark on top.
git -C "$source_dir" archive "$baseline" CMakeLists.txt src | tar -x -C "$work"
mkdir -p "$work/bench"
cp "$source_dir/bench/QueueStoreBench.cpp" "$source_dir/bench/QueueBenchRows.h" "$work/bench/"
cat >"$work/bench/CMakeLists.txt" <<'CMAKE'
add_executable(kevra_queue_store_bench QueueStoreBench.cpp)
target_link_libraries(kevra_queue_store_bench PRIVATE kevra_queue)
CMAKE
cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEVRA_BENCH=ON \
  -DKEVRA_TESTS=OFF >/dev/null
cmake --build "$work/build" --target kevra_queue_store_bench >/dev/null
baseline_store="$work/build/bench/kevra_queue_store_bench"

export QT_QPA_PLATFORM=offscreen
results="$work/results"
store_figures() {
  awk -v who="$1" '{ print who "-save+load", $4 + $6; print who "-cpu", $8 }'
}
for round in $(seq "$rounds"); do
  "$store" "$rows" 1 2>/dev/null | store_figures now >>"$results"
  "$baseline_store" "$rows" 1 2>/dev/null | store_figures baseline >>"$results"
  "$list" "$rows" "$updated" "$seconds" rows 2>/dev/null | awk '{ print "stall-rows", $3 }' >>"$results"
  "$list" "$rows" "$updated" "$seconds" reread 2>/dev/null | awk '{ print "stall-reread", $3 }' >>"$results"
  echo "round $round done" >&2
done

values() { grep "^$1 " "$results" | awk '{ print $2 }' | sort -n; }
median() { values "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
summary() {
  values "$1" | awk -v name="$1" -v m="$(median "$1")" '{ v[NR] = $1 } END {
    printf "%-22s median %7.1f ms   min-max %.1f-%.1f ms   (%d runs)\n", name, m, v[1], v[NR], NR }'
}
ratio() { awk -v a="$(median "$2")" -v b="$(median "$3")" -v text="$1" 'BEGIN { if (b > 0) printf "%s: %.2f\n", text, a / b }'; }

echo "queue of $rows rows; $updated rows changing every 100 ms; $rounds rounds; baseline $baseline"
for figure in now-save+load baseline-save+load now-cpu baseline-cpu stall-rows stall-reread; do
  summary "$figure"
done
ratio "save + load, this tree / baseline (wall)" now-save+load baseline-save+load
ratio "save + load, this tree / baseline (processor)" now-cpu baseline-cpu
ratio "longest stall, row updates / re-read" stall-rows stall-reread
