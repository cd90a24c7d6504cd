#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian 12 machine (as root).
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
sources=/etc/apt/sources.list.d/debian.sources
# UnRAR and rar live in Debian's non-free component, which a fresh machine does not list.
if [ -f "$sources" ] && ! grep -q 'non-free' "$sources"; then
  sed -i -E 's/^(Components:.*\bmain\b)(.*)$/\1 non-free\2/' "$sources"
fi

# The Windows build compiles UnRAR.dll (unrar-nonfree, non-free) and pdftotext.exe (poppler and freetype,
# main) from Debian's source packages: apt-get source needs deb-src lines for both components, which a
# fresh machine does not list either. Their address is the one the machine's own sources use for the
# Debian archive; a machine whose sources name none cannot fetch the sources, and says so.
src_list=/etc/apt/sources.list.d/zarbex-src.sources
rm -f /etc/apt/sources.list.d/zarbex-non-free-src.sources
refresh=0
have_source() {
  apt-cache showsrc "$1" 2>/dev/null | grep -q '^Package:'
}
if [ ! -f "$src_list" ] && ! { have_source unrar-nonfree && have_source poppler && have_source freetype; }; then
  # The first entry of the main archive (not the security archive): deb822 files first, then one-line lists.
  uri="" suite="" keyring=""
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    entry=$(awk -v RS='' '/(^|\n)Types:([^\n]* )?deb( |\n|$)/ && /(^|\n)Components:([^\n]* )?main( |\n|$)/ &&
      !/(^|\n)Suites:[^\n]*-security/ { print; exit }' "$file")
    uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' <<<"$entry" | head -1)
    suite=$(sed -n 's/^Suites: *\([^ ]*\).*/\1/p' <<<"$entry" | head -1)
    keyring=$(sed -n 's/^Signed-By: *\([^ ]*\).*/\1/p' <<<"$entry" | head -1)
    [ -n "$uri" ] && [ -n "$suite" ] && break
    uri="" suite=""
  done
  if [ -z "$uri" ]; then
    read -r uri suite < <(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk '$1 == "deb" && $0 ~ / main/ && $0 !~ /-security/ { i = 2; if ($2 ~ /^\[/) while ($i !~ /\]$/) i++; if ($2 ~ /^\[/) i++; print $i, $(i + 1); exit }') || true
  fi
  if [ -z "$uri" ] || [ -z "$suite" ]; then
    echo "setup: the machine's apt sources name no Debian archive (a 'deb' entry with the main component)," >&2
    echo "setup: so the source packages of the Windows build cannot be fetched; add one, then run this again." >&2
    exit 1
  fi
  cat >"$src_list" <<SOURCES
Types: deb-src
URIs: $uri
Suites: $suite
Components: main non-free
Signed-By: ${keyring:-/usr/share/keyrings/debian-archive-keyring.gpg}
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
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine's 32-bit half, so that the 32-bit plug-in, the one users load, runs in its tests. A machine that
# cannot have it still builds and inspects the 32-bit tree: its configuration says what goes untested.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  if dpkg --add-architecture i386 && apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends wine32:i386; then
    :
  else
    echo "setup: wine32:i386 could not be installed; the 32-bit Windows tests will not run here" >&2
  fi
fi
