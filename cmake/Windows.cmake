# What only the Windows build (MinGW-w64; toolchains cmake/mingw-i686.cmake and cmake/mingw-x86_64.cmake)
# needs besides the targets, which every folder's CMakeLists builds for both systems: the compiler's
# settings, the dialogs' resource compiler, the UnRAR header, the third-party programs beside the plug-in
# and GoogleTest for the tests, which run under Wine.

# GCC 12 at -O3 (the Release build) takes u"text" + a string for an overlapping copy and warns with
# -Wrestrict: a false positive of that compiler, fixed in GCC 13.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

# The dialogs' resources are compiled by windres.
enable_language(RC)

# UnRAR.dll is loaded at run time, never linked. Its header is the one the Linux build uses (Debian's
# libunrar-headers, the same source as the DLL); it is copied alone into the build tree, as the MinGW
# compiler must not search the Linux headers' folder. The UnRAR binding (Includes/) compiles with
# ZARBEX_UNRAR_INCLUDE_DIR.
set(ZARBEX_UNRAR_HEADER /usr/include/unrar/dll.hpp)
if(NOT EXISTS ${ZARBEX_UNRAR_HEADER})
  message(FATAL_ERROR "${ZARBEX_UNRAR_HEADER} is missing: install libunrar-headers (bash scripts/setup.sh)")
endif()
set(ZARBEX_UNRAR_INCLUDE_DIR ${CMAKE_BINARY_DIR}/unrar-headers)
configure_file(${ZARBEX_UNRAR_HEADER} ${ZARBEX_UNRAR_INCLUDE_DIR}/unrar/dll.hpp COPYONLY)

include(${CMAKE_CURRENT_LIST_DIR}/WindowsComponents.cmake)

if(ZARBEX_TESTS)
  # GoogleTest from Debian's source package, built with this compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
