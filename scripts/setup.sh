#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian 12 machine (as root).
set -euo pipefail

sources=/etc/apt/sources.list.d/debian.sources
# UnRAR and rar live in Debian's non-free component, which a fresh machine does not list.
if [ -f "$sources" ] && ! grep -q 'non-free' "$sources"; then
  sed -i -E 's/^(Components:.*\bmain\b)(.*)$/\1 non-free\2/' "$sources"
fi

# The Windows build makes UnRAR.dll from the source package of unrar-nonfree: it needs a deb-src line for
# non-free, which a fresh machine does not list either.
src_list=/etc/apt/sources.list.d/zarbex-non-free-src.sources
refresh=0
if [ ! -f "$src_list" ] && ! apt-cache showsrc unrar-nonfree 2>/dev/null | grep -q '^Package:'; then
  uri=$(sed -n 's/^URIs: *//p' "$sources" 2>/dev/null | head -1)
  suite=$(sed -n 's/^Suites: *\([^ ]*\).*/\1/p' "$sources" 2>/dev/null | head -1)
  cat >"$src_list" <<SOURCES
Types: deb-src
URIs: ${uri:-http://deb.debian.org/debian}
Suites: ${suite:-bookworm}
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  refresh=1
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
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix dpkg-dev
  wine64 xvfb xauth zip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$refresh" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
