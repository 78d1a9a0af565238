#!/usr/bin/env bash
# Transfer benchmark: starts vsftpd on loopback, downloads and uploads a 1 GiB file with
# FtpClient (kevra_ftp_bench), curl and lftp in the same run, and prints each throughput and the
# ratios FtpClient/curl and FtpClient/lftp (median of REPS runs each, MB = 10^6 bytes).
# Usage: bash bench/run.sh <builddir>    (environment: SIZE_MIB=1024 REPS=3)
set -euo pipefail

builddir=${1:?usage: bench/run.sh <builddir>}
size_mib=${SIZE_MIB:-1024}
reps=${REPS:-3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

cmake -S "$source_dir" -B "$builddir" -G Ninja -DKEVRA_BENCH=ON >/dev/null
cmake --build "$builddir" --target kevra_ftp_bench >/dev/null
bench="$builddir/bench/kevra_ftp_bench"

source "$source_dir/bench/lib.sh"

# Runs one transfer command and prints its throughput in MB/s.
timed() {
  local started ended
  started=$(now)
  "$@" >/dev/null
  ended=$(now)
  echo "$started $ended" | awk -v bytes="$bytes" '{ printf "%.1f\n", bytes / ($2 - $1) / 1e6 }'
}

url() { echo "ftp://127.0.0.1:$port/$1"; }

download_kevra() { "$bench" download 127.0.0.1 "$port" pub/source.bin "$1" "${2:-}"; }
download_curl() { curl -sS -o "$1" "$(url pub/source.bin)"; }
download_lftp() {
  lftp -e "set cmd:fail-exit yes; set xfer:clobber on; get pub/source.bin -o $1; quit" \
    "ftp://anonymous:@127.0.0.1:$port"
}
upload_kevra() { "$bench" upload 127.0.0.1 "$port" "pub/$1" "$work/local/source.bin" "${2:-}"; }
upload_curl() { curl -sS -T "$work/local/source.bin" "$(url "pub/$1")"; }
upload_lftp() {
  lftp -e "set cmd:fail-exit yes; put $work/local/source.bin -o pub/$1; quit" \
    "ftp://anonymous:@127.0.0.1:$port"
}

# Measures one client REPS times for one direction; each run starts from an empty target.
measure() {
  local direction=$1 client=$2 mode=${3:-}
  for rep in $(seq 1 "$reps"); do
    local target="$client-$mode-$rep.bin"
    if [ "$direction" = download ]; then
      timed "download_$client" "$work/local/$target" "$mode"
      rm -f "$work/local/$target"
    else
      timed "upload_$client" "$target" "$mode"
      rm -f "$work/root/pub/$target"
    fi
  done | median
}

start_server
bytes=$((size_mib * 1024 * 1024))
head -c "$bytes" /dev/urandom >"$work/root/pub/source.bin"
cp "$work/root/pub/source.bin" "$work/local/source.bin"

echo "file: $size_mib MiB over loopback, median of $reps runs, MB/s (10^6 bytes/s)"
for direction in download upload; do
  kevra=$(measure "$direction" kevra)
  kevra_passive=$(measure "$direction" kevra passive)
  curl_speed=$(measure "$direction" curl)
  lftp_speed=$(measure "$direction" lftp)
  awk -v d="$direction" -v k="$kevra" -v kp="$kevra_passive" -v c="$curl_speed" -v l="$lftp_speed" \
    'BEGIN {
       printf "%-8s FtpClient active %7.1f  passive %7.1f  curl %7.1f  lftp %7.1f", d, k, kp, c, l
       printf "  ratio FtpClient/curl %.2f  FtpClient/lftp %.2f\n", k / c, k / l
     }'
done
