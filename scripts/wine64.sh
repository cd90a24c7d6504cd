#!/usr/bin/env bash
# The cross-compiling emulator of the x86_64 Windows build: runs a Windows program under wine64 in the
# Wine set-up kept in DIR (see windows-prefix.sh), preparing it first when needed.
#
# Usage: wine64.sh DIR PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
dir=$1
shift
# Taken apart from eval, whose own status would hide a set-up that failed: the program would then run in
# whatever prefix the caller's environment names.
environment=$(bash "$(dirname "$0")/windows-prefix.sh" start "$dir")
set -a
eval "$environment"
set +a
exec /usr/lib/wine/wine64 "$@"
