#!/usr/bin/env bash
# Folder benchmark over a slow link: a tree of FILES files of 4 KiB in FOLDERS sub-folders,
# downloaded and uploaded through bench/latency-relay.py (DELAY_MS one way, so 2 x DELAY_MS per
# round trip) by
#   kevra    one folder entry of the queue, started as a user starts it (kevra_queue_folder_bench),
#            with the queue's five slots free
#   kevra1   the same with the other four slots taken, so the entry has one connection
#   lftp1    lftp mirror --parallel=1
#   lftp5    lftp mirror --parallel=5
# in interleaved rounds (the order turns each round), every copy checked by the SHA-256 of the
# whole tree. Then one file of BIG_MIB MiB through the relay (KEVRA's engine and curl) beside curl
# without it, so the relay's own cost is visible. Prints median and min-max seconds; the last
# line is the ratio of KEVRA's median time to lftp --parallel=5's over both directions.
# Usage: bash bench/wan-folder.sh <builddir>
#        (environment: FILES=300 FOLDERS=5 ROUNDS=3 DELAY_MS=10 BIG_MIB=200)
set -euo pipefail

builddir=${1:?usage: bench/wan-folder.sh <builddir>}
files=${FILES:-300}
folders=${FOLDERS:-5}
rounds=${ROUNDS:-3}
delay=${DELAY_MS:-10}
big_mib=${BIG_MIB:-200}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_queue_folder_bench kevra_ftp_bench
bench="$builddir/bench/kevra_queue_folder_bench"
engine="$builddir/bench/kevra_ftp_bench"
clients="kevra kevra1 lftp1 lftp5"

relay_pid=""
stop_relay() {
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
  cleanup
}
trap stop_relay EXIT

mirror() { # parallel, then mirror's own arguments
  local parallel=$1
  shift
  lftp -e "set cmd:fail-exit yes; mirror --parallel=$parallel $*; quit" "ftp://anonymous:@127.0.0.1:$relay"
}
download_kevra() { QT_QPA_PLATFORM=offscreen "$bench" download 127.0.0.1 "$relay" /pub/tree "$1"; }
download_kevra1() { QT_QPA_PLATFORM=offscreen "$bench" download 127.0.0.1 "$relay" /pub/tree "$1" one; }
download_lftp1() { mirror 1 pub/tree "$1"; }
download_lftp5() { mirror 5 pub/tree "$1"; }
upload_kevra() { QT_QPA_PLATFORM=offscreen "$bench" upload 127.0.0.1 "$relay" "/pub/$1" "$work/local/tree"; }
upload_kevra1() { QT_QPA_PLATFORM=offscreen "$bench" upload 127.0.0.1 "$relay" "/pub/$1" "$work/local/tree" one; }
upload_lftp1() { mirror 1 -R "$work/local/tree" "pub/$1"; }
upload_lftp5() { mirror 5 -R "$work/local/tree" "pub/$1"; }

seconds_of() { # command...
  local started ended
  started=$(now)
  "$@" >/dev/null
  ended=$(now)
  echo "$started $ended" | awk '{ printf "%.3f\n", $2 - $1 }'
}

start_server
make_tree "$files" "$folders"
head -c "$((big_mib * 1024 * 1024))" /dev/urandom >"$work/root/pub/big.bin"
chmod -R a+rX "$work/root/pub/tree" "$work/root/pub/big.bin"
expected=$(tree_sum "$work/local/tree")
big_sum=$(sha256sum "$work/root/pub/big.bin" | cut -c1-64)

/usr/bin/python3 "$source_dir/bench/latency-relay.py" --target "127.0.0.1:$port" --delay-ms "$delay" >"$work/relay.out" &
relay_pid=$!
for _ in $(seq 1 200); do grep -q '^PORT' "$work/relay.out" 2>/dev/null && break; sleep 0.05; done
relay=$(awk '/^PORT/ { print $2 }' "$work/relay.out")

for round in $(seq 1 "$rounds"); do
  order=$(echo $clients | tr ' ' '\n' | awk -v r="$round" '{ a[NR] = $0 } END { for (i = 0; i < NR; i++) print a[(i + r - 1) % NR + 1] }')
  for direction in download upload; do
    for client in $order; do
      run_tree_once "$direction" "$client" "$round" >>"$work/$direction-$client.times"
    done
  done
done

big_check() {
  if [ "$(sha256sum "$1" | cut -c1-64)" != "$big_sum" ]; then
    echo "the $big_mib MiB copy $1 differs from the source" >&2
    exit 1
  fi
  rm -f "$1"
}
for round in $(seq 1 "$rounds"); do
  seconds_of curl -sS -o "$work/big-direct" "ftp://127.0.0.1:$port/pub/big.bin" >>"$work/big-curl-direct.times"
  big_check "$work/big-direct"
  seconds_of curl -sS -o "$work/big-relay" "ftp://127.0.0.1:$relay/pub/big.bin" >>"$work/big-curl-relay.times"
  big_check "$work/big-relay"
  seconds_of "$engine" download 127.0.0.1 "$relay" /pub/big.bin "$work/big-kevra" passive >>"$work/big-kevra-relay.times"
  big_check "$work/big-kevra"
done

row() { # label file
  read -r m lo hi < <(summary <"$2")
  printf "  %-30s %7.3f (%.3f-%.3f)\n" "$1" "$m" "$lo" "$hi"
}
echo "folder of $files files of 4 KiB in $folders sub-folders, round trip $((2 * delay)) ms through the relay, $rounds interleaved rounds, seconds: median (min-max)"
for direction in download upload; do
  echo "$direction"
  row "KEVRA folder entry" "$work/$direction-kevra.times"
  row "KEVRA folder entry, 1 conn." "$work/$direction-kevra1.times"
  row "lftp mirror --parallel=1" "$work/$direction-lftp1.times"
  row "lftp mirror --parallel=5" "$work/$direction-lftp5.times"
  for client in $clients; do median <"$work/$direction-$client.times" >"$work/$direction-$client.median"; done
  awk -v k="$(cat "$work/$direction-kevra.median")" -v k1="$(cat "$work/$direction-kevra1.median")" \
    -v l1="$(cat "$work/$direction-lftp1.median")" -v l5="$(cat "$work/$direction-lftp5.median")" \
    'BEGIN { printf "  ratio kevra/lftp5 %.2f, kevra1/lftp1 %.2f\n", k / l5, k1 / l1 }'
done
echo "one file of $big_mib MiB, download, seconds: median (min-max)"
row "curl, no relay" "$work/big-curl-direct.times"
row "curl through the relay" "$work/big-curl-relay.times"
row "KEVRA engine through the relay" "$work/big-kevra-relay.times"
awk -v kd="$(median <"$work/download-kevra.times")" -v ku="$(median <"$work/upload-kevra.times")" \
  -v ld="$(median <"$work/download-lftp5.times")" -v lu="$(median <"$work/upload-lftp5.times")" \
  'BEGIN { printf "ratio kevra/lftp5 %.2f\n", (kd + ku) / (ld + lu) }'
