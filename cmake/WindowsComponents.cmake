# The third-party programs the Windows plug-in runs beside itself, built with this tree's compiler from
# Debian's source packages, once per build tree (a second build finds them made): UnRAR.dll from
# unrar-nonfree, and pdftotext.exe from poppler and freetype. Neither is built by default: the tests whose
# programs run here depend on them, and scripts/package-windows.sh builds them for the zip.
set(ZARBEX_UNRAR_DLL ${CMAKE_BINARY_DIR}/unrar/UnRAR.dll)
add_custom_command(
  OUTPUT ${ZARBEX_UNRAR_DLL} ${CMAKE_BINARY_DIR}/unrar/dll.hpp
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-unrar-dll.sh ${CMAKE_BINARY_DIR}/unrar/work ${ZARBEX_UNRAR_DLL}
          ${CMAKE_CXX_COMPILER}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/build-unrar-dll.sh
  COMMENT "Building UnRAR.dll from Debian's unrar-nonfree source"
  USES_TERMINAL)
add_custom_target(unrar_dll DEPENDS ${ZARBEX_UNRAR_DLL})

set(ZARBEX_PDFTOTEXT_EXE ${CMAKE_BINARY_DIR}/pdftotext/pdftotext.exe)
add_custom_command(
  OUTPUT ${ZARBEX_PDFTOTEXT_EXE}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-pdftotext-exe.sh ${CMAKE_BINARY_DIR}/pdftotext/work
          ${ZARBEX_PDFTOTEXT_EXE} ${ZARBEX_MINGW_TRIPLET}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/build-pdftotext-exe.sh
  COMMENT "Building pdftotext.exe from Debian's poppler and freetype sources"
  USES_TERMINAL)
add_custom_target(pdftotext_exe DEPENDS ${ZARBEX_PDFTOTEXT_EXE})
