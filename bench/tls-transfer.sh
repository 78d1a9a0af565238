#!/usr/bin/env bash
# TLS download benchmark: starts vsftpd on loopback with ssl_enable (a self-signed certificate
# made here, TLS forced for logon and data, session reuse required) and downloads one SIZE_MIB
# file in passive mode with FtpClient (kevra_ftp_bench ... tls) and with curl --ssl-reqd -k.
# The runs are interleaved: every round measures both clients, in an order that alternates from
# round to round. Before each run pending writes are flushed (and the page cache dropped where
# permitted); after it the result is checked by SHA-256, and a failure stops the benchmark.
# Prints each client's median throughput with min-max over the rounds (MB = 10^6 bytes), and as
# its last line the ratio of FtpClient's median to curl's (higher is better).
# Usage: bash bench/tls-transfer.sh <builddir>    (environment: SIZE_MIB=1024 ROUNDS=5)
set -euo pipefail

builddir=${1:?usage: bench/tls-transfer.sh <builddir>}
size_mib=${SIZE_MIB:-1024}
rounds=${ROUNDS:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_ftp_bench
bench="$builddir/bench/kevra_ftp_bench"


certificate="$work/server.pem"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$certificate" -out "$certificate" 2>/dev/null
server_extra="ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
ssl_ciphers=HIGH
rsa_cert_file=$certificate
rsa_private_key_file=$certificate"

clients=(kevra curl)
download_kevra() { "$bench" download 127.0.0.1 "$port" pub/source.bin "$1" passive tls; }
download_curl() { curl -sS --ssl-reqd -k -o "$1" "ftp://127.0.0.1:$port/pub/source.bin"; }

# One download; appends "client MB/s" to the results, or stops the benchmark.
run_one() {
  local client=$1 round=$2
  local result="$work/local/$client-$round.bin" started ended digest
  settle "$work/root/pub/source.bin"
  started=$(now)
  if ! "download_$client" "$result" >"$work/run.log" 2>&1; then
    echo "FAILED: download with $client, round $round:" >&2
    cat "$work/run.log" >&2
    exit 1
  fi
  ended=$(now)
  digest=$(sha256sum "$result" | cut -d' ' -f1)
  if [ "$digest" != "$source_digest" ]; then
    echo "FAILED: download with $client, round $round: SHA-256 $digest, expected" \
      "$source_digest ($(stat -c %s "$result") of $bytes bytes)" >&2
    exit 1
  fi
  rm -f "$result"
  echo "$client $started $ended" |
    awk -v bytes="$bytes" '{ printf "%s %.1f\n", $1, bytes / ($3 - $2) / 1e6 }' >>"$work/results"
}

start_server
bytes=$((size_mib * 1024 * 1024))
head -c "$bytes" /dev/urandom >"$work/root/pub/source.bin"
source_digest=$(sha256sum "$work/root/pub/source.bin" | cut -d' ' -f1)

: >"$work/results"
for round in $(seq 1 "$rounds"); do
  for i in 0 1; do
    run_one "${clients[$(((i + round) % 2))]}" "$round"
  done
done

echo "TLS download: $size_mib MiB over loopback, passive, $rounds interleaved rounds," \
  "MB/s (10^6 bytes/s): median (min-max)"
declare -A medians
for client in "${clients[@]}"; do
  read -r median low high < <(awk -v c="$client" '$1 == c { print $2 }' "$work/results" | summary)
  medians[$client]=$median
  printf "  %s %.1f (%.1f-%.1f)\n" "$client" "$median" "$low" "$high"
done
awk -v k="${medians[kevra]}" -v c="${medians[curl]}" 'BEGIN { printf "ratio kevra/curl %.2f\n", k / c }'
