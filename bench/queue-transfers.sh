#!/usr/bin/env bash
# Queue benchmark: COUNT files of SIZE_MIB MiB downloaded at once through the transfer queue of
# the main view (kevra_queue_bench: from queuing to the last "下载完成"), beside COUNT curl
# processes at once on the same files, in ROUNDS interleaved rounds (the order alternates), every
# result checked by SHA-256. Prints median and min-max seconds of both, the GUI thread's longest
# event-loop stall during the queue's runs, and last the throughput ratio queue/curl (higher is
# better).
# Usage: bash bench/queue-transfers.sh <builddir>    (environment: SIZE_MIB=200 COUNT=5 ROUNDS=3)
set -euo pipefail

builddir=${1:?usage: bench/queue-transfers.sh <builddir>}
size_mib=${SIZE_MIB:-200}
count=${COUNT:-5}
rounds=${ROUNDS:-3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_queue_bench
bench="$builddir/bench/kevra_queue_bench"


start_server
declare -a sums
for i in $(seq 1 "$count"); do
  head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/root/pub/file-$i.bin"
  sums[$i]=$(sha256sum "$work/root/pub/file-$i.bin" | cut -d' ' -f1)
done


# Prints the seconds of one queue run; its stall goes to $work/stalls.
run_queue() {
  local result
  result=$(QT_QPA_PLATFORM=offscreen "$bench" 127.0.0.1 "$port" "$work/local" "$count")
  check_and_clear file-
  echo "${result#* }" >>"$work/stalls"
  echo "${result% *}"
}

run_curl() {
  local started ended pids=()
  started=$(now)
  for i in $(seq 1 "$count"); do
    curl -sS -o "$work/local/curl-$i.bin" "ftp://127.0.0.1:$port/pub/file-$i.bin" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  ended=$(now)
  check_and_clear curl-
  echo "$started $ended" | awk '{ printf "%.3f\n", $2 - $1 }'
}

: >"$work/queue"
: >"$work/curl"
: >"$work/stalls"
sync
for round in $(seq 1 "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then
    run_queue >>"$work/queue"
    run_curl >>"$work/curl"
  else
    run_curl >>"$work/curl"
    run_queue >>"$work/queue"
  fi
done

summary() { sort -n "$1" | awk '{ v[NR] = $1 } END {
  m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'; }
read -r q_med q_min q_max <<<"$(summary "$work/queue")"
read -r c_med c_min c_max <<<"$(summary "$work/curl")"
read -r s_med s_min s_max <<<"$(summary "$work/stalls")"
echo "$count downloads of $size_mib MiB at once over loopback, $rounds interleaved rounds, all SHA-256 checked"
echo "queue (KEVRA)  median ${q_med} s  (${q_min}-${q_max})"
echo "curl x$count      median ${c_med} s  (${c_min}-${c_max})"
echo "GUI thread longest stall during the queue's runs: median ${s_med%.*} ms  (${s_min%.*}-${s_max%.*})"
awk -v q="$q_med" -v c="$c_med" 'BEGIN { printf "ratio queue/curl %.2f\n", c / q }'
