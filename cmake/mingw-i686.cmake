# 32-bit Windows with MinGW-w64: the DLL the real host loads. Built and inspected here, never run
# (this machine's kernel refuses 32-bit programs, so Wine cannot start them).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZARBEX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
