#!/usr/bin/env bash
# Installs the Debian packages KEVRA needs to build, run and test; does nothing when all are present.
# `install-deps.sh fuzz` also installs what the fuzzers need (clang and its libFuzzer runtime).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-translations-l10n
  libminizip-dev zlib1g-dev libcurl4-openssl-dev libssl-dev openssl
  googletest libgtest-dev libgmock-dev
  vsftpd python3-pyftpdlib
  libssh-dev openssh-server openssh-client
  xvfb xauth imagemagick fonts-wqy-microhei
  curl lftp desktop-file-utils
)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
