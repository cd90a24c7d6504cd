# The Windows build (MinGW-w64; toolchains cmake/mingw-i686.cmake and cmake/mingw-x86_64.cmake): the parts
# that build without Qt, on the real Windows facilities, with their tests, which run under wine64.

# The framework modules that already build with MinGW.
add_library(pluginframework_mingw STATIC PluginAPI/SysUtils.cpp PluginAPI/CRC16.cpp)
target_link_libraries(pluginframework_mingw PUBLIC platform_win32)

add_subdirectory(Platform/win32)

# The plug-in's export table: exactly the two names the host looks up.
set(ZARBEX_EXPORTS_DEF ${CMAKE_SOURCE_DIR}/Plugins/Zarbex/Zarbex.def)

if(ZARBEX_TESTS)
  enable_testing()
  # GoogleTest from Debian's source package, built with this compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
  add_subdirectory(tests/windows)
endif()
