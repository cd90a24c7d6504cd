# 32-bit Windows with MinGW-w64: the DLL the real host loads, and the one shipped. Its tests run under Wine
# (wine64's loader with Wine's 32-bit half, the package wine32:i386) in this build tree's own prefix
# wherever a probe finds that a 32-bit Windows program starts here; a machine whose kernel or Wine cannot
# start one only builds the tree and inspects the library, and configuring says so.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZARBEX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

get_property(zarbex_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT zarbex_in_try_compile)
  set(zarbex_wine ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64.sh)
  if(NOT DEFINED CACHE{ZARBEX_RUNS_32BIT})
    # The probe: a 32-bit program that prints its pointer size, started as the tests will be.
    set(probe_dir ${CMAKE_BINARY_DIR}/wine-probe)
    file(MAKE_DIRECTORY ${probe_dir})
    file(WRITE ${probe_dir}/probe.c "#include <stdio.h>\nint main(void) { printf(\"%u\\n\", (unsigned)sizeof(void*)); return 0; }\n")
    execute_process(COMMAND ${ZARBEX_MINGW_TRIPLET}-gcc-posix -static -o ${probe_dir}/probe.exe ${probe_dir}/probe.c
                    RESULT_VARIABLE probe_built OUTPUT_QUIET ERROR_QUIET)
    set(probe_output "")
    if(probe_built EQUAL 0 AND EXISTS /usr/lib/wine/wine64)
      execute_process(COMMAND bash ${zarbex_wine} ${CMAKE_BINARY_DIR}/wine ${probe_dir}/probe.exe
                      OUTPUT_VARIABLE probe_output ERROR_VARIABLE probe_error TIMEOUT 300)
      # The prefix stays for the tests; its server and display are started again when they run.
      execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-prefix.sh stop ${CMAKE_BINARY_DIR}/wine
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    string(STRIP "${probe_output}" probe_output)
    if(probe_output STREQUAL "4")
      set(ZARBEX_RUNS_32BIT ON CACHE BOOL "A 32-bit Windows program starts under Wine here")
    else()
      set(ZARBEX_RUNS_32BIT OFF CACHE BOOL "A 32-bit Windows program starts under Wine here")
      message(WARNING "No 32-bit Windows program starts under Wine here (is wine32:i386 installed?): the 32-bit "
                      "plug-in, its converter and its tests are built but not run; only the library's tables are inspected. "
                      "The probe printed: \"${probe_output}\" ${probe_error} (the prefix's log: ${CMAKE_BINARY_DIR}/wine/wine.log)")
    endif()
  endif()
  if(ZARBEX_RUNS_32BIT)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${zarbex_wine} ${CMAKE_BINARY_DIR}/wine)
  endif()
endif()
