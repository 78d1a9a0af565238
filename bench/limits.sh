#!/usr/bin/env bash
# Speed-limit benchmark: COUNT downloads at once under one total download limit of LIMIT_KB
# kB/s (1024 bytes), by KEVRA's engine (kevra_limits_bench: one connection per file, all
# sharing the program's limit), by lftp (mget -P COUNT under net:limit-total-rate) and by COUNT
# curl processes each limited to an equal share (--limit-rate). ROUNDS interleaved rounds, every
# file checked by SHA-256. Prints per client the achieved total (all bytes over the time to the
# last finished file) as median and min-max, its ratio to the limit, and the spread between the
# transfers: the time from the first to the last finished file, as a share of the whole run
# (0 % when all five finish together; lftp gives no per-file times). "queue" is the same five
# downloads through the main view's transfer queue (kevra_queue_bench, the limit in ftp.ini),
# which also gives the GUI thread's longest event-loop stall during the run.
# Usage: bash bench/limits.sh <builddir>   (environment: LIMIT_KB=20480 SIZE_MIB=40 COUNT=5 ROUNDS=3)
set -euo pipefail

builddir=${1:?usage: bench/limits.sh <builddir>}
limit_kb=${LIMIT_KB:-20480}
size_mib=${SIZE_MIB:-40}
count=${COUNT:-5}
rounds=${ROUNDS:-3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_limits_bench kevra_queue_bench
bench="$builddir/bench/kevra_limits_bench"
queue_bench="$builddir/bench/kevra_queue_bench"

start_server
declare -a sums
for i in $(seq 1 "$count"); do
  head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/root/pub/file-$i.bin"
  sums[$i]=$(sha256sum "$work/root/pub/file-$i.bin" | cut -d' ' -f1)
done
total_bytes=$((count * size_mib * 1024 * 1024))


# Each run prints "<seconds to the first finished file> <seconds to the last>".
run_kevra() {
  local result
  result=$("$bench" 127.0.0.1 "$port" "$work/local" "$count" "$limit_kb")
  check_and_clear file-
  echo "$result"
}

# The queue gives no per-file times; its stall goes to $work/stalls.
run_queue() {
  local result
  result=$(QT_QPA_PLATFORM=offscreen "$queue_bench" 127.0.0.1 "$port" "$work/local" "$count" \
    "$limit_kb")
  check_and_clear file-
  echo "${result#* }" >>"$work/stalls"
  echo "${result% *} ${result% *}"
}

run_curl() {
  local started pids=() share=$((limit_kb / count))
  started=$(now)
  for i in $(seq 1 "$count"); do
    (curl -sS --limit-rate "${share}K" -o "$work/local/file-$i.bin" \
      "ftp://127.0.0.1:$port/pub/file-$i.bin" && now >"$work/curl-end-$i") &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  cat "$work"/curl-end-* | awk -v s="$started" 'NR == 1 { lo = hi = $1 }
    { if ($1 < lo) lo = $1; if ($1 > hi) hi = $1 } END { printf "%.3f %.3f\n", lo - s, hi - s }'
  rm -f "$work"/curl-end-*
  check_and_clear file-
}

run_lftp() {
  local started ended
  started=$(now)
  (cd "$work/local" && lftp -c "set net:limit-total-rate $((limit_kb * 1024)); \
    open -p $port 127.0.0.1; user anonymous x; cd pub; mget -P $count file-*.bin") >/dev/null
  ended=$(now)
  check_and_clear file-
  echo "$started $ended" | awk '{ printf "%.3f %.3f\n", $2 - $1, $2 - $1 }'
}

clients=(kevra queue lftp curl)
for client in "${clients[@]}" stalls; do : >"$work/$client"; done
sync
for round in $(seq 1 "$rounds"); do
  for step in 0 1 2 3; do
    client=${clients[$(((round + step) % 4))]}
    "run_$client" >>"$work/$client"
  done
done

# Median and min-max of a column computed from each line.
summary() { awk "{ print $2 }" "$1" | sort -n | awk '{ v[NR] = $1 } END {
  m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.2f %.2f %.2f\n", m, v[1], v[NR] }'; }
limit_mb=$(awk -v k="$limit_kb" 'BEGIN { printf "%.2f", k * 1024 / 1e6 }')
echo "$count downloads of $size_mib MiB at once, total limit $limit_kb kB/s ($limit_mb MB/s)," \
  "$rounds interleaved rounds, all SHA-256 checked (MB = 10^6 bytes)"
for client in "${clients[@]}"; do
  read -r r_med r_min r_max <<<"$(summary "$work/$client" "$total_bytes / \$2 / 1e6")"
  read -r s_med s_min s_max <<<"$(summary "$work/$client" "100 * (\$2 - \$1) / \$2")"
  ratio=$(awk -v r="$r_med" -v l="$limit_mb" 'BEGIN { printf "%.3f", r / l }')
  spread="spread median ${s_med} % (${s_min}-${s_max})"
  case $client in lftp | queue) spread="spread not measured" ;; esac
  printf "%-6s total median %s MB/s (%s-%s), ratio to the limit %s, %s\n" \
    "$client" "$r_med" "$r_min" "$r_max" "$ratio" "$spread"
done
read -r g_med g_min g_max <<<"$(summary "$work/stalls" "\$1")"
echo "GUI thread longest stall during the queue's runs: median ${g_med%.*} ms (${g_min%.*}-${g_max%.*})"
