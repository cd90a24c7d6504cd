#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian 12 machine (as root).
set -euo pipefail

sources=/etc/apt/sources.list.d/debian.sources
# UnRAR and rar live in Debian's non-free component, which a fresh machine does not list.
if [ -f "$sources" ] && ! grep -q 'non-free' "$sources"; then
  sed -i -E 's/^(Components:.*\bmain\b)(.*)$/\1 non-free\2/' "$sources"
fi

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev libssl-dev openssl
  libsqlite3-dev sqlite3
  libunrar5 libunrar-headers unrar rar
  poppler-utils python3 unicode-data
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
