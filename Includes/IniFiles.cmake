# The settings store on INI files (the host's settings file).
add_library(inifiles STATIC IniFiles.cpp ${ZARBEX_OS}/IniFiles.cpp)
target_link_libraries(inifiles PUBLIC pluginframework PRIVATE textencoding commfunc)
if(WIN32)
  target_link_libraries(inifiles PRIVATE win32io)
endif()
