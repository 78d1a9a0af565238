#!/usr/bin/env bash
# Shared by the benchmark scripts: a scratch folder, a vsftpd on loopback serving it, timing.
# Sourcing scripts call start_server; files under $work/root/pub are served as /pub. Lines in
# $server_extra are added to the server's configuration.

work=$(mktemp -d /tmp/kevra-bench-XXXXXX)
server_pid=""
server_extra=${server_extra:-}
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Configures the build folder with the benchmarks and builds the given targets.
build_bench() {
  local builddir=$1
  shift
  cmake -S "$source_dir" -B "$builddir" -G Ninja -DKEVRA_BENCH=ON >/dev/null
  cmake --build "$builddir" --target "$@" >/dev/null
}

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# The anonymous, writable loopback set-up of the test fixture (vsftpd refuses a writable root,
# so uploads go to pub/, owned by the server's user).
start_server() {
  mkdir -p "$work/root/pub" "$work/empty" "$work/local"
  chmod 755 "$work" "$work/root" "$work/root/pub" "$work/empty"
  chown ftp:ftp "$work/root/pub"
  port=$(free_port)
  local pasv=$((20000 + RANDOM % 10000))
  cat >"$work/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$work/root
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$pasv
pasv_max_port=$((pasv + 20))
port_enable=YES
connect_from_port_20=NO
secure_chroot_dir=$work/empty
seccomp_sandbox=NO
xferlog_enable=NO
$server_extra
EOF
  chmod 600 "$work/vsftpd.conf"
  /usr/sbin/vsftpd "$work/vsftpd.conf" 0>>"$work/vsftpd.log" >>"$work/vsftpd.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 250); do
    if /usr/bin/python3 - "$port" <<'EOF' 2>/dev/null; then return 0; fi
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1)
sys.exit(0 if s.makefile("rb").readline().startswith(b"220") else 1)
EOF
    sleep 0.02
  done
  echo "vsftpd did not start:" >&2
  cat "$work/vsftpd.log" >&2
  exit 1
}

now() { date +%s.%N; }

# Flushes pending writes (a whole file of them must not slow the next run) and, where
# permitted, drops the page cache and reads the given files back in.
settle() {
  sync
  if echo 3 2>/dev/null >/proc/sys/vm/drop_caches; then
    cat "$@" >/dev/null
  fi
}

# Median, minimum and maximum of the numbers on standard input, one line "median min max".
summary() {
  sort -n | awk '{ v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR] }'
}
median() { summary | cut -d' ' -f1; }

# SHA-256 over every file's path and content, so a missing, extra or damaged file shows.
tree_sum() {
  (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-64)
}

# Runs one client once in one direction into a fresh target ($work/local/NAME for a download,
# $work/root/pub/NAME for an upload, through the script's download_CLIENT / upload_CLIENT),
# checks the copy against $expected, removes it and prints the seconds taken.
run_tree_once() {
  local direction=$1 client=$2 round=$3 name="$2-$3" target started ended
  if [ "$direction" = download ]; then target="$work/local/$name"; else target="$work/root/pub/$name"; fi
  started=$(now)
  if [ "$direction" = download ]; then "download_$client" "$target" >/dev/null; else "upload_$client" "$name" >/dev/null; fi
  ended=$(now)
  if [ "$(tree_sum "$target")" != "$expected" ]; then
    echo "$client $direction round $round: the copy differs from the source" >&2
    exit 1
  fi
  rm -rf "$target"
  echo "$started $ended" | awk '{ printf "%.3f\n", $2 - $1 }'
}

# Fails loudly unless every downloaded $work/local/PREFIX<i>.bin (i = 1..$count) has the
# SHA-256 in sums[i]; then removes them.
check_and_clear() {
  local prefix=$1
  for i in $(seq 1 "$count"); do
    local got
    got=$(sha256sum "$work/local/$prefix$i.bin" | cut -d' ' -f1)
    if [ "$got" != "${sums[$i]}" ]; then
      echo "file $prefix$i.bin differs from its source" >&2
      exit 1
    fi
  done
  rm -f "$work/local/"*.bin
  sync
}

# The same tree of FILES files of 4 KiB in FOLDERS sub-folders in $work/local/tree and in the
# server's /pub/tree.
make_tree() { # files folders
  mkdir -p "$work/local/tree"
  for i in $(seq 1 "$1"); do
    mkdir -p "$work/local/tree/d$((i % $2))"
    head -c 4096 /dev/urandom >"$work/local/tree/d$((i % $2))/f$i.dat"
  done
  cp -r "$work/local/tree" "$work/root/pub/tree"
}
