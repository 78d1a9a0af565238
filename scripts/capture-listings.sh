#!/usr/bin/env bash
# Captures the raw LIST output of real FTP servers over one prepared folder, as test data for the
# listing parser (tests/listing/data/list-<server>.txt). Servers: vsftpd (installed), pyftpdlib, and
# proftpd and pure-ftpd unpacked from their Debian packages, since installing them would remove
# vsftpd. Needs root (chown, the servers' privilege handling). Only loopback ports are used and
# every server started here is stopped again.
#
# The recent entries are dated yesterday 10:22, so a new capture changes their date text: update
# the recent dates in tests/listing/ListingCorpusTest.cpp together with the data.
#
# Usage: scripts/capture-listings.sh [output folder]
set -euo pipefail

root_dir=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root_dir/tests/listing/data}
scratch=$(mktemp -d /tmp/kevra-listings.XXXXXX)
chmod 755 "$scratch"
pids=()

cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The served folder: sizes around the unit boundaries, a sparse file of 5 GiB, blanks at the
# start, inside and end of names, Chinese names, links to a file and to folders, an old entry
# that shows a year, a foreign owner id, and names that look like list syntax.
make_tree() {
    local tree=$1
    mkdir -p "$tree"
    cd "$tree"
    mkdir folder "folder with spaces" "中文目录" " leading space dir"
    : > empty.txt
    head -c 1023 /dev/zero > b1023.bin
    head -c 1024 /dev/zero > b1024.bin
    head -c 1048576 /dev/zero > mib1.bin
    truncate -s 5368709120 big.iso
    for name in "name with  two spaces.txt" " leading space.txt" "trailing space.txt " \
                "中文文件.txt" "arrow -> inside.txt" "at 12:00 noon.txt"; do
        echo x > "$name"
    done
    echo old > old.txt
    ln -s b1024.bin link.bin
    ln -s folder dirlink
    ln -s "folder with spaces" "link with spaces"
    chown 1234567:7654321 b1023.bin
    for name in * .[!.]*; do
        [ -e "$name" ] || [ -L "$name" ] || continue
        touch -h -d 'yesterday 10:22' "$name"
    done
    touch -h -d '2013-03-05 14:22' old.txt dirlink
    cd - > /dev/null
}

cat > "$scratch/rawlist.py" <<'EOF'
# Writes the exact bytes of one LIST data connection to stdout.
import ftplib, sys
host, port, path, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
ftp = ftplib.FTP()
ftp.encoding = "latin-1"
ftp.connect(host, port, timeout=10)
ftp.login(user, password)
ftp.cwd(path)
conn = ftp.transfercmd("LIST")
data = b""
while True:
    chunk = conn.recv(65536)
    if not chunk:
        break
    data += chunk
conn.close()
ftp.voidresp()
ftp.quit()
sys.stdout.buffer.write(data)
EOF

cat > "$scratch/wait220.py" <<'EOF'
# Waits (at most 10 s) until the server on the port sends its 220 greeting.
import socket, sys, time
deadline = time.time() + 10
while time.time() < deadline:
    try:
        with socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=2) as s:
            if s.recv(4).startswith(b"220"):
                sys.exit(0)
    except OSError:
        pass
    time.sleep(0.1)
sys.exit(1)
EOF

# Starts a server command in the background, waits for its greeting, captures /tree into the
# named output file and stops the server again.
capture() {
    local label=$1 port=$2 user=$3 password=$4
    shift 4
    "$@" > "$scratch/$label.log" 2>&1 0>> "$scratch/$label.log" &
    local pid=$!
    pids+=("$pid")
    if ! /usr/bin/python3 "$scratch/wait220.py" "$port"; then
        echo "$label did not start:" >&2
        cat "$scratch/$label.log" >&2
        exit 1
    fi
    /usr/bin/python3 "$scratch/rawlist.py" 127.0.0.1 "$port" /tree "$user" "$password" \
        > "$out/list-$label.txt"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "captured $out/list-$label.txt ($(wc -l < "$out/list-$label.txt") lines)"
}

unpack_servers() {
    mkdir -p "$scratch/debs" "$scratch/x"
    (cd "$scratch/debs" && apt-get download -q proftpd-core pure-ftpd libhiredis0.14 \
        libmemcached11 libmemcachedutil2 libhashkit2 libpcre2-posix3 2>&1 | grep -v unsandboxed)
    for deb in "$scratch"/debs/*.deb; do
        dpkg -x "$deb" "$scratch/x"
    done
}

proftpd_conf() {
    local port=$1 passive=$2 extra=$3
    cat <<EOF
ServerName "listing capture"
ServerType standalone
DefaultServer on
DefaultAddress 127.0.0.1
Port $port
PassivePorts $passive $((passive + 20))
UseIPv6 off
User nobody
Group nogroup
WtmpLog off
UseReverseDNS off
ScoreboardFile $scratch/proftpd-$port.scoreboard
PidFile $scratch/proftpd-$port.pid
DelayTable none
RequireValidShell off
AuthOrder mod_auth_unix.c
<Anonymous $scratch/root>
  User ftp
  Group nogroup
  UserAlias anonymous ftp
  RequireValidShell off
$extra
  <Limit WRITE>
    DenyAll
  </Limit>
</Anonymous>
EOF
}

mkdir -p "$scratch/root" "$scratch/empty" "$out"
make_tree "$scratch/root/tree"
unpack_servers
libs="$scratch/x/usr/lib/x86_64-linux-gnu"

port=$(free_port)
passive=$(free_port)
cat > "$scratch/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$scratch/root
write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$passive
pasv_max_port=$passive
connect_from_port_20=NO
secure_chroot_dir=$scratch/empty
seccomp_sandbox=NO
xferlog_enable=NO
EOF
capture vsftpd "$port" anonymous guest@ vsftpd "$scratch/vsftpd.conf"

port=$(free_port)
capture pyftpdlib "$port" anonymous guest@ \
    /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$scratch/root"

port=$(free_port)
proftpd_conf "$port" "$(free_port)" "" > "$scratch/proftpd.conf"
capture proftpd "$port" anonymous guest@ \
    env LD_LIBRARY_PATH="$libs" "$scratch/x/usr/sbin/proftpd" -n -c "$scratch/proftpd.conf"

# Owner and group names with ":" and a blank, which real servers print as they are.
port=$(free_port)
proftpd_conf "$port" "$(free_port)" '  DirFakeUser on "web:admin"
  DirFakeGroup on "dev team:12"' > "$scratch/proftpd-fake-owner.conf"
capture proftpd-fake-owner "$port" anonymous guest@ \
    env LD_LIBRARY_PATH="$libs" "$scratch/x/usr/sbin/proftpd" -n -c "$scratch/proftpd-fake-owner.conf"

port=$(free_port)
passive=$(free_port)
printf 'secret\nsecret\n' | "$scratch/x/usr/bin/pure-pw" useradd lister -u ftp -g nogroup \
    -d "$scratch/root" -f "$scratch/pureftpd.passwd" -m -F "$scratch/pureftpd.pdb" > /dev/null
capture pure-ftpd "$port" lister secret "$scratch/x/usr/sbin/pure-ftpd" -S "127.0.0.1,$port" \
    -l "puredb:$scratch/pureftpd.pdb" -E -p "$passive:$passive" -P 127.0.0.1 -A
