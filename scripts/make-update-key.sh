#!/usr/bin/env bash
# Makes the key pair that signs KEVRA's updates. The private key goes to the file named (readable
# by its owner only, never overwritten): keep it off the update server. The public key is
# printed as the cmake argument that builds it into the program.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 PRIVATE_KEY_FILE" >&2
  exit 2
fi
key=$1
if [ -e "$key" ]; then
  echo "$0: $key exists; not overwritten" >&2
  exit 1
fi

(umask 077 && openssl genpkey -algorithm ed25519 -out "$key")
public=$(openssl pkey -in "$key" -pubout -outform DER | base64 -w0)
echo "-DKEVRA_UPDATE_KEY=$public"
echo "build with: cmake ... -DKEVRA_UPDATE_KEY=$public" >&2
