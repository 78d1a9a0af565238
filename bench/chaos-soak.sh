#!/usr/bin/env bash
# Chaos soak: N seeded transfers (default 200) through the transfer queue of the main view, half
# against vsftpd and half against pyftpdlib, each through bench/chaos-relay.py, which resets,
# stalls and half-closes data connections, refuses data ports, resets control connections and
# holds replies back. Sizes 1 KiB to MAX_KIB (log-uniform), downloads and uploads alternating;
# every result is checked by SHA-256. Runs once per data connection mode (MODES, default
# "auto active passive"); prints one line per mode and last the totals:
#   chaos: N transfers, I identical, W shown complete but not identical
# The same SEED gives the same files and the same faults.
# Usage: bash bench/chaos-soak.sh <builddir> [N]   (environment: SEED=1 RATE=0.15 MAX_KIB=20480)
set -euo pipefail

builddir=${1:?usage: bench/chaos-soak.sh <builddir> [N]}
count=${2:-200}
seed=${SEED:-1}
rate=${RATE:-0.15}
max_kib=${MAX_KIB:-20480}
modes=${MODES:-auto active passive}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_chaos_soak
soak="$builddir/bench/kevra_chaos_soak"
pids=()
stop_helpers() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  cleanup
}
trap stop_helpers EXIT

start_server
mkdir -p "$work/py/pub"
pyport=$(free_port)
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$pyport" -w -d "$work/py" >"$work/pyftpd.log" 2>&1 &
pids+=($!)

# Starts a relay in front of 127.0.0.1:port (first argument) seeded for one run (second
# argument); prints its port.
start_relay() {
  local out="$work/relay-$2.out"
  /usr/bin/python3 "$source_dir/bench/chaos-relay.py" --target "127.0.0.1:$1" --seed "$seed-$2" \
    --rate "$rate" --log "$work/faults.log" >"$out" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 300); do
    if grep -q '^PORT ' "$out" 2>/dev/null; then
      awk '{ print $2 }' "$out"
      return
    fi
    sleep 0.1
  done
  echo "relay did not start" >&2
  exit 1
}
for _ in $(seq 1 100); do
  /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $pyport), 1)" \
    2>/dev/null && break
  sleep 0.1
done

# The size of transfer i of a run: log-uniform from 1 KiB to max_kib KiB, fixed by the seed.
sizes() {
  /usr/bin/python3 - "$seed" "$1" "$max_kib" <<'PY'
import math, random, sys
rng = random.Random(sys.argv[1])
for _ in range(int(sys.argv[2])):
    print(int(1024 * math.exp(rng.uniform(0, math.log(int(sys.argv[3]))))))
PY
}

total=0
identical=0
wrong=0
for mode in $modes; do
  rm -rf "$work/root/pub/"* "$work/py/pub/"* "$work/local"
  mkdir -p "$work/local"
  : >"$work/vsftpd.manifest"
  : >"$work/py.manifest"
  i=0
  while read -r size; do
    i=$((i + 1))
    name="$mode-$i.bin"
    if [ $((i % 2)) -eq 0 ]; then tree="$work/root/pub"; list="$work/vsftpd.manifest"
    else tree="$work/py/pub"; list="$work/py.manifest"; fi
    if [ $(((i / 2) % 2)) -eq 0 ]; then
      head -c "$size" /dev/urandom >"$tree/$name"
      echo "D /pub/$name $work/local/$name" >>"$list"
    else
      head -c "$size" /dev/urandom >"$work/local/$name"
      echo "U $work/local/$name /pub/$name" >>"$list"
    fi
  done < <(sizes "$count")
  chmod 644 "$work/root/pub/"* 2>/dev/null || true
  started=$(now)
  for server in vsftpd py; do
    if [ "$server" = vsftpd ]; then target=$port; tree="$work/root/pub"; else target=$pyport; tree="$work/py/pub"; fi
    relay=$(start_relay "$target" "$mode-$server")
    QT_QPA_PLATFORM=offscreen "$soak" 127.0.0.1 "$relay" "$work/$server.manifest" "$mode" \
      >"$work/$server.result" || true
    while IFS=$'\t' read -r state src dst; do
      [ -z "$src" ] && continue
      remote_side=$tree/${src#/pub/}
      [ "${src#/pub/}" = "$src" ] && remote_side=$tree/${dst#/pub/}
      local_side=$work/local/$(basename "$src")
      # A missing file is a result to count, not a reason to stop.
      want=$( (sha256sum "$local_side" "$remote_side" 2>/dev/null || true) | cut -d' ' -f1 | sort -u | wc -l)
      both=0
      [ -f "$local_side" ] && [ -f "$remote_side" ] && both=2
      run_total=$((${run_total:-0} + 1))
      if [ "$state" = "下载完成" ] || [ "$state" = "上传完成" ]; then
        if [ "$both" -eq 2 ] && [ "$want" -eq 1 ]; then run_identical=$((${run_identical:-0} + 1))
        else run_wrong=$((${run_wrong:-0} + 1)); echo "shown complete but not identical: $src" >&2; fi
      else
        echo "ended $state: $src" >&2
      fi
    done <"$work/$server.result"
  done
  ended=$(now)
  seconds=$(echo "$started $ended" | awk '{ printf "%.0f", $2 - $1 }')
  echo "mode $mode: ${run_total:-0} transfers, ${run_identical:-0} identical, ${run_wrong:-0} shown complete but not identical ($seconds s, $(grep -c . "$work/faults.log" || true) faults injected so far)"
  total=$((total + ${run_total:-0}))
  identical=$((identical + ${run_identical:-0}))
  wrong=$((wrong + ${run_wrong:-0}))
  run_total=0; run_identical=0; run_wrong=0
done
echo "chaos: $total transfers, $identical identical, $wrong shown complete but not identical"
