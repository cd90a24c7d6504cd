#!/usr/bin/env bash
# Builds UnRAR.dll for Windows with MinGW from Debian's unrar-nonfree source package (its patches
# applied), in a work folder of the build tree. UnRAR.dll is the third-party library the plug-in
# loads at run time; its source never enters this repository.
#
# Usage: build-unrar-dll.sh WORK_DIR OUTPUT_DLL COMPILER
# Leaves the library's published header, dll.hpp, beside OUTPUT_DLL. Does nothing when OUTPUT_DLL is
# already there.
set -euo pipefail

work=$1
output=$2
cxx=$3
[ -f "$output" ] && exit 0

mkdir -p "$work"
cd "$work"
if ! compgen -G 'unrar-nonfree-*/dll.cpp' >/dev/null; then
  # Needs a deb-src line for the non-free component (scripts/setup.sh adds one).
  if ! apt-get source -qq unrar-nonfree >source.log 2>&1; then
    cat source.log >&2
    echo "Cannot fetch the source of unrar-nonfree: is a deb-src line for non-free listed? (bash scripts/setup.sh)" >&2
    exit 1
  fi
fi
src=$(cd unrar-nonfree-*/ && pwd)

# The sources the library's own Windows project compiles, minus the precompiled-header stub.
sources=$(grep -o 'ClCompile Include="[^"]*"' "$src/UnRARDll.vcxproj" | sed 's/.*="\(.*\)"/\1/' | grep -v rarpch.cpp)
objects=$(for s in $sources; do printf 'obj/%s ' "${s%.cpp}.o"; done)

# The sources name two Windows SDK headers in mixed case; MinGW's are lower case.
mkdir -p obj shim
echo '#include <powrprof.h>' >shim/PowrProf.h
echo '#include <wbemidl.h>' >shim/Wbemidl.h
# The _bstr_t conversions of MSVC's comsupp library, which MinGW does not ship.
cat >shim/comsupp.cpp <<'CPP'
#include <comutil.h>
#include <windows.h>
BSTR WINAPI _com_util::ConvertStringToBSTR(const char* source) {
    if (source == nullptr)
        return nullptr;
    const int length = MultiByteToWideChar(CP_ACP, 0, source, -1, nullptr, 0);
    BSTR result = length > 0 ? SysAllocStringLen(nullptr, length - 1) : nullptr;
    if (result != nullptr)
        MultiByteToWideChar(CP_ACP, 0, source, -1, result, length);
    return result;
}
char* WINAPI _com_util::ConvertBSTRToString(BSTR source) {
    if (source == nullptr)
        return nullptr;
    const int length = WideCharToMultiByte(CP_ACP, 0, source, -1, nullptr, 0, nullptr, nullptr);
    char* result = length > 0 ? new char[length] : nullptr;
    if (result != nullptr)
        WideCharToMultiByte(CP_ACP, 0, source, -1, result, length, nullptr, nullptr);
    return result;
}
CPP

cat >Makefile <<MAKE
CXX := $cxx
CXXFLAGS := -O2 -std=c++11 -w -DRARDLL -DUNRAR -DSILENT -DUNICODE -D_UNICODE -Ishim
obj/comsupp.o: shim/comsupp.cpp
	\$(CXX) \$(CXXFLAGS) -c \$< -o \$@
obj/%.o: $src/%.cpp
	\$(CXX) \$(CXXFLAGS) -c \$< -o \$@
UnRAR.dll: $objects obj/comsupp.o
	\$(CXX) -shared -static -s -o \$@ \$^ $src/dll.def -lwbemuuid -lpowrprof -lole32 -loleaut32 -lshell32 -ladvapi32 -luser32
MAKE
make -s -j"${JOBS:-2}" UnRAR.dll
mkdir -p "$(dirname "$output")"
cp "$src/dll.hpp" "$(dirname "$output")/dll.hpp"
cp UnRAR.dll "$output"
