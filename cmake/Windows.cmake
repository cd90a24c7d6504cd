# The Windows build (MinGW-w64; toolchains cmake/mingw-i686.cmake and cmake/mingw-x86_64.cmake): the parts
# that build without Qt, on the real Windows facilities, with their tests, which run under wine64.

# The plug-in framework: boundary declarations, error transport, checked objects, menu item; COM strings
# and error records are oleaut32's, the system interfaces' identifiers uuid's.
add_library(pluginframework_mingw STATIC PluginAPI/SysUtils.cpp PluginAPI/CRC16.cpp PluginAPI/BStr.cpp
                                         PluginAPI/Helpers.cpp PluginAPI/Plugins/PluginSupport.cpp)
target_link_libraries(pluginframework_mingw PUBLIC platform_win32 oleaut32 uuid)

add_subdirectory(Platform/win32)
# The Windows file and library layers, which raise the class library's exceptions.
target_sources(platform_win32_io PRIVATE ${CMAKE_SOURCE_DIR}/Includes/win32/FileHandle.cpp
                                         ${CMAKE_SOURCE_DIR}/Includes/win32/Module.cpp)

# The class library's parts over the Windows facilities.
add_library(includes_mingw STATIC Includes/TempFileName.cpp)
target_link_libraries(includes_mingw PUBLIC platform_win32_io pluginframework_mingw)

# The PDF converter: pdftotext.exe as a child process in a job object.
add_library(pdftotext_mingw STATIC Includes/PdfToText.cpp)
target_link_libraries(pdftotext_mingw PUBLIC pluginframework_mingw platform_win32)

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
