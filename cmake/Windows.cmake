# The Windows build (MinGW-w64; toolchains cmake/mingw-i686.cmake and cmake/mingw-x86_64.cmake): the parts
# that build without Qt, on the real Windows facilities, with their tests, which run under wine64.

# The dialogs' resources are compiled by windres.
enable_language(RC)

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

# The plug-in's export table: exactly the two names the host looks up.
set(ZARBEX_EXPORTS_DEF ${CMAKE_SOURCE_DIR}/Plugins/Zarbex/Zarbex.def)

# The dialog base on the system's dialog manager, with the host's side it shares with the Qt one.
add_library(pluginform_mingw STATIC PluginAPI/Plugins/FormHost.cpp PluginAPI/Plugins/win32/PluginForm.cpp)
target_link_libraries(pluginform_mingw PUBLIC pluginframework_mingw user32)

# The plug-in object, its menu command and the native update dialog (its resource goes into the library
# itself: a resource object in a static library would never be linked).
add_library(zarbexcore_mingw STATIC Plugins/Zarbex/Zarbex.cpp Plugins/Zarbex/ZarbexCommand.cpp
                                    Plugins/Zarbex/win32/uZarbex.cpp Plugins/Zarbex/win32/ZarbexLogo.cpp)
target_link_libraries(zarbexcore_mingw PUBLIC pluginform_mingw comctl32 comdlg32 gdi32)

# Zarbex.ext: the plug-in library, over the update run and the class library built for Windows (the
# dialog's settings store and text helpers among them), with the download client the run uses.
if(TARGET zarbexrun_mingw)
  target_link_libraries(zarbexcore_mingw PUBLIC inifiles_mingw commfunc_mingw)
  add_library(Zarbex MODULE Plugins/Zarbex/Exports.cpp Plugins/Zarbex/win32/uZarbex.rc)
  target_link_libraries(Zarbex PRIVATE zarbexcore_mingw zarbexrun_mingw platform_win32_net)
  set_target_properties(Zarbex PROPERTIES PREFIX "" OUTPUT_NAME "Zarbex" SUFFIX ".ext"
                                          LINK_DEPENDS ${ZARBEX_EXPORTS_DEF})
  target_link_options(Zarbex PRIVATE ${ZARBEX_EXPORTS_DEF} -Wl,--enable-stdcall-fixup)
endif()

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
