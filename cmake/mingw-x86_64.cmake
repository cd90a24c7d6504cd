# 64-bit Windows with MinGW-w64: the same sources as the shipped 32-bit DLL, built so that the tests also
# run where only wine64 does. ctest starts every Windows program through the emulator, which runs it in
# this build tree's own Wine prefix (scripts/windows-prefix.sh prepares it on first use).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZARBEX_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64.sh ${CMAKE_BINARY_DIR}/wine)
