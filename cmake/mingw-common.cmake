# What both MinGW-w64 toolchains share; the including file sets ZARBEX_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix variants: the -win32 ones lack std::mutex and std::thread.
set(CMAKE_C_COMPILER ${ZARBEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZARBEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZARBEX_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${ZARBEX_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARBEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wide Windows calls by default; windows.h must not define min and max over the standard library's;
# nothing newer than Windows 7 is called.
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601")
set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601")
# The compiler's own libraries (libstdc++, libgcc, winpthreads) are linked in, so every program and DLL
# imports system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
