#!/usr/bin/env bash
# Transfer benchmark: starts vsftpd on loopback and moves one SIZE_MIB file with FtpClient
# (kevra_ftp_bench), curl and lftp, each in active and passive mode, downloads and uploads.
# The runs are interleaved: every round measures every client and mode once per direction, in
# an order that rotates from round to round, so that no client always runs first or right
# after another's writes. Before each run pending writes are flushed (sync, and the page cache
# dropped where permitted, then the source read back in), and after it the result is checked
# by SHA-256; a failed transfer or a wrong result stops the benchmark with an error.
# Prints, per direction, client and mode, the median throughput with min-max over the rounds
# (MB = 10^6 bytes), and the ratios of FtpClient's medians to curl's and lftp's.
# Usage: bash bench/run.sh <builddir>    (environment: SIZE_MIB=1024 ROUNDS=5)
set -euo pipefail

builddir=${1:?usage: bench/run.sh <builddir>}
size_mib=${SIZE_MIB:-1024}
rounds=${ROUNDS:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_ftp_bench
bench="$builddir/bench/kevra_ftp_bench"


clients=(kevra curl lftp)
modes=(active passive)
url() { echo "ftp://127.0.0.1:$port/$1"; }
lftp_mode() { [ "$1" = passive ] && echo on || echo off; }

# Each transfer command: $1 the mode, $2 the local file (download) or remote name (upload).
download_kevra() { "$bench" download 127.0.0.1 "$port" pub/source.bin "$2" "$1"; }
download_curl() {
  if [ "$1" = active ]; then
    curl -sS -P - -o "$2" "$(url pub/source.bin)"
  else
    curl -sS -o "$2" "$(url pub/source.bin)"
  fi
}
lftp_run() {
  lftp -e "set cmd:fail-exit yes; set ftp:passive-mode $(lftp_mode "$1"); $2; quit" \
    "ftp://anonymous:@127.0.0.1:$port"
}
download_lftp() { lftp_run "$1" "set xfer:clobber on; get pub/source.bin -o $2"; }
upload_kevra() { "$bench" upload 127.0.0.1 "$port" "pub/$2" "$work/local/source.bin" "$1"; }
upload_curl() {
  if [ "$1" = active ]; then
    curl -sS -P - -T "$work/local/source.bin" "$(url "pub/$2")"
  else
    curl -sS -T "$work/local/source.bin" "$(url "pub/$2")"
  fi
}
upload_lftp() { lftp_run "$1" "put $work/local/source.bin -o pub/$2"; }

# One transfer; appends "direction client mode MB/s" to the results, or stops the benchmark.
run_one() {
  local direction=$1 client=$2 mode=$3 round=$4
  local name="$client-$mode-$round.bin" result started ended
  if [ "$direction" = download ]; then result="$work/local/$name"; else result="$work/root/pub/$name"; fi
  local target=$name
  [ "$direction" = download ] && target=$result
  settle "$work/root/pub/source.bin" "$work/local/source.bin"
  started=$(now)
  if ! "${direction}_$client" "$mode" "$target" >"$work/run.log" 2>&1; then
    echo "FAILED: $direction with $client ($mode), round $round:" >&2
    cat "$work/run.log" >&2
    exit 1
  fi
  ended=$(now)
  local digest
  digest=$(sha256sum "$result" | cut -d' ' -f1)
  if [ "$digest" != "$source_digest" ]; then
    echo "FAILED: $direction with $client ($mode), round $round: SHA-256 $digest," \
      "expected $source_digest ($(stat -c %s "$result") of $bytes bytes)" >&2
    exit 1
  fi
  rm -f "$result"
  echo "$direction $client $mode $started $ended" |
    awk -v bytes="$bytes" '{ printf "%s %s %s %.1f\n", $1, $2, $3, bytes / ($5 - $4) / 1e6 }' \
      >>"$work/results"
}

start_server
bytes=$((size_mib * 1024 * 1024))
head -c "$bytes" /dev/urandom >"$work/root/pub/source.bin"
cp "$work/root/pub/source.bin" "$work/local/source.bin"
source_digest=$(sha256sum "$work/local/source.bin" | cut -d' ' -f1)

entries=()
for client in "${clients[@]}"; do
  for mode in "${modes[@]}"; do entries+=("$client $mode"); done
done
: >"$work/results"
for round in $(seq 1 "$rounds"); do
  for direction in download upload; do
    count=${#entries[@]}
    for i in $(seq 0 $((count - 1))); do
      # shellcheck disable=SC2086
      run_one "$direction" ${entries[$(((i + round) % count))]} "$round"
    done
  done
done

echo "file: $size_mib MiB over loopback, $rounds interleaved rounds, MB/s (10^6 bytes/s):" \
  "median (min-max)"
declare -A medians
for direction in download upload; do
  line="$direction:"
  for mode in "${modes[@]}"; do
    for client in "${clients[@]}"; do
      read -r median low high < <(awk -v d="$direction" -v c="$client" -v m="$mode" \
        '$1 == d && $2 == c && $3 == m { print $4 }' "$work/results" | summary)
      medians[$client.$mode]=$median
      line+=$(printf "  %s %s %.1f (%.1f-%.1f)" "$client" "$mode" "$median" "$low" "$high")
    done
  done
  echo "$line"
  for mode in "${modes[@]}"; do
    awk -v d="$direction" -v m="$mode" -v k="${medians[kevra.$mode]}" \
      -v c="${medians[curl.$mode]}" -v l="${medians[lftp.$mode]}" \
      'BEGIN { printf "%s %s: ratio FtpClient/curl %.2f  FtpClient/lftp %.2f\n", d, m, k / c, k / l }'
  done
done
