#!/usr/bin/env bash
# SFTP benchmark: starts OpenSSH's sshd on loopback with a configuration, host key and
# authorized_keys of its own (nothing of the machine's ssh set-up is used or changed), and
# moves one SIZE_MIB file down and then up with SftpClient (kevra_sftp_bench), with OpenSSH's
# sftp in batch mode and, when Debian's curl speaks SFTP, with curl. The runs are interleaved:
# every round measures every client, in an order that rotates from round to round. Before each
# run pending writes are flushed (and the page cache dropped where permitted); after it the
# result is checked by SHA-256, and a failure stops the benchmark.
# Prints each client's median throughput with min-max over the rounds (MB = 10^6 bytes) for
# each direction, and as its last line the ratio of sftp's median time to SftpClient's, over
# both directions (higher is better for KEVRA; 1.00 means as fast as sftp).
# Usage: bash bench/sftp-transfer.sh <builddir>    (environment: SIZE_MIB=1024 ROUNDS=5)
set -euo pipefail

builddir=${1:?usage: bench/sftp-transfer.sh <builddir>}
size_mib=${SIZE_MIB:-1024}
rounds=${ROUNDS:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

source "$source_dir/bench/lib.sh"
build_bench "$builddir" kevra_sftp_bench
bench="$(cd "$builddir" && pwd)/bench/kevra_sftp_bench"

home="$work/home"
files="$work/files"
mkdir -p "$home/.ssh" "$files" "$work/local" /run/sshd
chmod 700 "$home/.ssh"
# ECDSA: a key type that sftp, curl's libssh2 and libssh all read.
key="$home/.ssh/id_ecdsa"
ssh-keygen -q -t ecdsa -N "" -f "$key"
ssh-keygen -q -t ed25519 -N "" -f "$work/host_key"
cp "$key.pub" "$work/authorized_keys"
port=$(free_port)
cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile none
AuthorizedKeysFile $work/authorized_keys
StrictModes no
UsePAM no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
LogLevel ERROR
Subsystem sftp internal-sftp
EOF
/usr/sbin/sshd -D -e -f "$work/sshd_config" >>"$work/sshd.log" 2>&1 &
server_pid=$!
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/host_key.pub")" >"$home/.ssh/known_hosts"
for _ in $(seq 1 250); do
  if /usr/bin/python3 - "$port" <<'EOF' 2>/dev/null; then break; fi
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1)
sys.exit(0 if s.makefile("rb").readline().startswith(b"SSH-") else 1)
EOF
  sleep 0.02
done
user=$(id -un)

clients=(kevra sftp)
if curl -V | grep -qw sftp; then
  clients+=(curl)
fi
ssh_options=(-o "UserKnownHostsFile=$home/.ssh/known_hosts" -o StrictHostKeyChecking=yes
  -o BatchMode=yes -i "$key" -P "$port")
# Each function moves between remote ($2) and local ($3); $1 is the direction.
move_kevra() {
  if [ "$1" = down ]; then
    HOME="$home" "$bench" download 127.0.0.1 "$port" "$user" "$2" "$3"
  else
    HOME="$home" "$bench" upload 127.0.0.1 "$port" "$user" "$2" "$3"
  fi
}
move_sftp() {
  if [ "$1" = down ]; then
    echo "get \"$2\" \"$3\"" >"$work/batch"
  else
    echo "put \"$3\" \"$2\"" >"$work/batch"
  fi
  sftp -q -b "$work/batch" "${ssh_options[@]}" "$user@127.0.0.1" >/dev/null
}
move_curl() {
  local common=(-sS --key "$key" --pubkey "$key.pub" -u "$user:" --insecure)
  if [ "$1" = down ]; then
    HOME="$home" curl "${common[@]}" -o "$3" "sftp://127.0.0.1:$port$2"
  else
    HOME="$home" curl "${common[@]}" -T "$3" "sftp://127.0.0.1:$port$2"
  fi
}

# One transfer; appends "direction client MB/s seconds" to the results, or stops the benchmark.
run_one() {
  local direction=$1 client=$2 round=$3 remote local_file checked started ended digest
  if [ "$direction" = down ]; then
    remote="$files/source.bin"
    local_file="$work/local/$client-$round.bin"
    checked=$local_file
    settle "$remote"
  else
    remote="$files/up-$client-$round.bin"
    local_file="$work/local/source.bin"
    checked=$remote
    settle "$local_file"
  fi
  started=$(now)
  if ! "move_$client" "$direction" "$remote" "$local_file" >"$work/run.log" 2>&1; then
    echo "FAILED: $direction with $client, round $round:" >&2
    cat "$work/run.log" >&2
    exit 1
  fi
  ended=$(now)
  digest=$(sha256sum "$checked" | cut -d' ' -f1)
  if [ "$digest" != "$source_digest" ]; then
    echo "FAILED: $direction with $client, round $round: SHA-256 $digest, expected" \
      "$source_digest ($(stat -c %s "$checked") of $bytes bytes)" >&2
    exit 1
  fi
  rm -f "$checked"
  echo "$direction $client $started $ended" | awk -v bytes="$bytes" \
    '{ printf "%s %s %.1f %.6f\n", $1, $2, bytes / ($4 - $3) / 1e6, $4 - $3 }' >>"$work/results"
}

bytes=$((size_mib * 1024 * 1024))
head -c "$bytes" /dev/urandom >"$files/source.bin"
cp "$files/source.bin" "$work/local/source.bin"
source_digest=$(sha256sum "$files/source.bin" | cut -d' ' -f1)

: >"$work/results"
count=${#clients[@]}
for round in $(seq 1 "$rounds"); do
  for direction in down up; do
    for i in $(seq 0 $((count - 1))); do
      run_one "$direction" "${clients[$(((i + round) % count))]}" "$round"
    done
  done
done

echo "SFTP: $size_mib MiB over loopback, $rounds interleaved rounds," \
  "MB/s (10^6 bytes/s): median (min-max)"
for direction in down up; do
  for client in "${clients[@]}"; do
    read -r median low high < <(awk -v d="$direction" -v c="$client" \
      '$1 == d && $2 == c { print $3 }' "$work/results" | summary)
    printf "  %-4s %-5s %.1f (%.1f-%.1f)\n" "$direction" "$client" "$median" "$low" "$high"
  done
done
time_of() { awk -v c="$1" '$2 == c { print $4 }' "$work/results" | median; }
awk -v k="$(time_of kevra)" -v s="$(time_of sftp)" \
  'BEGIN { printf "ratio kevra/sftp %.2f (sftp median time / kevra median time)\n", s / k }'
