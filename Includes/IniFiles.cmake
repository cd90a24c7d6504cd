# The settings store on INI files (the host's settings file).
add_library(inifiles STATIC IniFiles.cpp posix/IniFiles.cpp)
target_link_libraries(inifiles PUBLIC pluginframework PRIVATE textencoding commfunc)
