# The Windows build (MinGW-w64; toolchains cmake/mingw-i686.cmake and cmake/mingw-x86_64.cmake): the plug-in
# library on the real Windows facilities, its native dialog instead of Qt, with the tests, which run under wine64.

# GCC 12 at -O3 (the Release build) takes u"text" + a string for an overlapping copy and warns with
# -Wrestrict: a false positive of that compiler, fixed in GCC 13.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

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

# The class library's parts over the Windows facilities, one target for each of Includes/ (the names of
# the Linux build with _mingw); where a part differs by system, its Windows half is in Includes/win32.
add_library(commfunc_mingw STATIC Includes/uCommFunc.cpp Includes/UnicodeCategoryTable.cpp)
target_link_libraries(commfunc_mingw PUBLIC pluginframework_mingw)

add_library(textencoding_mingw STATIC Includes/TextEncoding.cpp)
target_link_libraries(textencoding_mingw PUBLIC pluginframework_mingw)

add_library(tempfile_mingw STATIC Includes/TempFileName.cpp)
target_link_libraries(tempfile_mingw PUBLIC platform_win32_io pluginframework_mingw)

add_library(inifiles_mingw STATIC Includes/IniFiles.cpp Includes/win32/IniFiles.cpp)
target_link_libraries(inifiles_mingw PUBLIC platform_win32_io pluginframework_mingw PRIVATE textencoding_mingw
                                                                                           commfunc_mingw)

# UnRAR.dll is loaded at run time, never linked. Its header is the one the Linux build uses (Debian's
# libunrar-headers, the same source as the DLL); it is copied alone into the build tree, as the MinGW
# compiler must not search the Linux headers' folder.
set(ZARBEX_UNRAR_HEADER /usr/include/unrar/dll.hpp)
if(NOT EXISTS ${ZARBEX_UNRAR_HEADER})
  message(FATAL_ERROR "${ZARBEX_UNRAR_HEADER} is missing: install libunrar-headers (bash scripts/setup.sh)")
endif()
configure_file(${ZARBEX_UNRAR_HEADER} ${CMAKE_BINARY_DIR}/unrar-headers/unrar/dll.hpp COPYONLY)
add_library(unrarbinding_mingw STATIC Includes/UnRAR.cpp Includes/win32/UnRAR.cpp)
target_include_directories(unrarbinding_mingw PRIVATE ${CMAKE_BINARY_DIR}/unrar-headers)
target_link_libraries(unrarbinding_mingw PUBLIC platform_win32_io pluginframework_mingw)

add_library(textfile_mingw STATIC Includes/TextFile.cpp Includes/win32/TextFile.cpp)
target_link_libraries(textfile_mingw PUBLIC platform_win32_io pluginframework_mingw PRIVATE textencoding_mingw)

# The PDF converter: pdftotext.exe as a child process in a job object.
add_library(pdftotext_mingw STATIC Includes/PdfToText.cpp)
target_link_libraries(pdftotext_mingw PUBLIC pluginframework_mingw platform_win32)

# The update run, without a window: the native dialog and the tests drive it. The child process and the
# HTTP client it uses are Platform/win32's.
add_library(zarbexrun_mingw STATIC Plugins/Zarbex/uZarbexSource.cpp Plugins/Zarbex/uZarbexUpdate.cpp
                                   Plugins/Zarbex/uZarbexEntries.cpp)
target_link_libraries(zarbexrun_mingw PUBLIC pluginframework_mingw commfunc_mingw tempfile_mingw unrarbinding_mingw
                                             pdftotext_mingw textfile_mingw platform_win32_net)

include(cmake/WindowsComponents.cmake)

# The plug-in's export table: exactly the two names the host looks up.
set(ZARBEX_EXPORTS_DEF ${CMAKE_SOURCE_DIR}/Plugins/Zarbex/Zarbex.def)

# The dialog base on the system's dialog manager, with the host's side it shares with the Qt one.
add_library(pluginform_mingw STATIC PluginAPI/Plugins/FormHost.cpp PluginAPI/Plugins/win32/PluginForm.cpp)
target_link_libraries(pluginform_mingw PUBLIC pluginframework_mingw user32)

# The plug-in object, its menu command and the native update dialog, with the settings store and the text
# helpers the dialog uses (its resource goes into the library itself: a resource object in a static
# library would never be linked).
add_library(zarbexcore_mingw STATIC Plugins/Zarbex/Zarbex.cpp Plugins/Zarbex/ZarbexCommand.cpp Plugins/Zarbex/GuardHandler.cpp
                                    Plugins/Zarbex/uZarbexPresenter.cpp
                                    Plugins/Zarbex/win32/uZarbex.cpp Plugins/Zarbex/win32/ZarbexLogo.cpp)
target_link_libraries(zarbexcore_mingw PUBLIC pluginform_mingw inifiles_mingw commfunc_mingw comctl32 comdlg32 gdi32)

# Zarbex.ext: the plug-in library, over the update run.
add_library(Zarbex MODULE Plugins/Zarbex/Exports.cpp Plugins/Zarbex/win32/uZarbex.rc)
target_link_libraries(Zarbex PRIVATE zarbexcore_mingw zarbexrun_mingw)
set_target_properties(Zarbex PROPERTIES PREFIX "" OUTPUT_NAME "Zarbex" SUFFIX ".ext" LINK_DEPENDS ${ZARBEX_EXPORTS_DEF})
target_link_options(Zarbex PRIVATE ${ZARBEX_EXPORTS_DEF} -Wl,--enable-stdcall-fixup)

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
