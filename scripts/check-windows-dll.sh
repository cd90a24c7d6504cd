#!/usr/bin/env bash
# Checks a Windows build of the plug-in library with objdump: it exports exactly the entry and its _done
# companion under the names the host looks up, and imports system DLLs only (the compiler's libstdc++,
# libgcc and winpthreads are linked in, never loaded beside it).
#
# Usage: check-windows-dll.sh OBJDUMP LIBRARY
set -euo pipefail
objdump=$1
library=$2

headers=$("$objdump" -p "$library")

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
expected=$(printf '%s\n' 983BEDA12B2347028D99FF042C551640 983BEDA12B2347028D99FF042C551640_done)
if [ "$exports" != "$expected" ]; then
  echo "$library exports:"
  echo "${exports:-(nothing)}"
  echo "expected exactly:"
  echo "$expected"
  exit 1
fi

# The DLLs every supported Windows has; the C runtime of MinGW is the system's msvcrt.dll.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|ole32|oleaut32|winhttp|msvcrt)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
foreign=$(grep -Eiv "$system_dlls" <<<"$imports" || true)
if [ -n "$foreign" ]; then
  echo "$library imports DLLs that are not part of Windows:"
  echo "$foreign"
  exit 1
fi
echo "$library: exports $(tr '\n' ' ' <<<"$exports"); imports $(tr '\n' ' ' <<<"$imports")"
