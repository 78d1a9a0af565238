#!/usr/bin/env bash
# Prints the lines of the version page (/updata/updata.html, section [updata]) that vouch for a
# program built for release: its version as the program states it, its SHA-256 (which older
# KEVRA versions check) and its Ed25519 signature, made with the private key of
# make-update-key.sh. Add the URL line for where the program is published.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 PRIVATE_KEY PROGRAM" >&2
  exit 2
fi
key=$1
program=$2
if [ ! -f "$program" ]; then
  echo "$0: $program is not a file" >&2
  exit 1
fi

sha256=$(sha256sum "$program" | cut -d ' ' -f 1)
signature=$(openssl pkeyutl -sign -rawin -inkey "$key" -in "$program" | base64 -w0)
# KEVRA installs a program only when it answers --version with the page's Version.
if version=$(timeout 5 env QT_QPA_PLATFORM=offscreen "$program" --version 2>/dev/null |
               head -n 1 | awk '{ print $NF }') && [ -n "$version" ]; then
  echo "Version=$version"
else
  echo "$0: warning: $program does not answer --version here; write the Version line by hand" >&2
fi
echo "SHA256=$sha256"
echo "Signature=$signature"
