#!/usr/bin/env bash
# Runs a client beside the demo FTP server: starts scripts/demo-server.py over TREE, runs CLIENT
# with the server's ftp:// address as its last argument, and stops the server when the client
# ends (or when this script is interrupted, which ends the client too).
# usage: run-demo.sh TREE CLIENT [ARGUMENTS...]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 TREE CLIENT [ARGUMENTS...]" >&2; exit 2; }
tree=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kevra-demo.XXXXXX")
server_pid=""
client_pid=""

stop() {
  set +e # a server ended by its signal is no failure of the client
  for pid in "$client_pid" "$server_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

/usr/bin/python3 "$here/demo-server.py" "$tree" "$work/port" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/port" ]; then
  echo "the demo FTP server did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
url="ftp://127.0.0.1:$(cat "$work/port")/"
echo "demo FTP server: $url (anonymous, writable, serving $tree)"

# In the background so that a signal to this script is handled at once, not after the client.
"$@" "$url" &
client_pid=$!
status=0
wait "$client_pid" || status=$?
client_pid=""
exit "$status"
