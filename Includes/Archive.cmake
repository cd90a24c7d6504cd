# The archive reader binding, the PDF-to-text converter and the text-file reading rule.

# UnRAR.dll is opened at run time (dlopen; LoadLibraryExW on Windows), never linked. On Linux its header
# needs _UNIX; on Windows it is the copy cmake/Windows.cmake makes.
add_library(unrarbinding STATIC UnRAR.cpp ${ZARBEX_OS}/UnRAR.cpp)
target_link_libraries(unrarbinding PUBLIC pluginframework)
if(WIN32)
  target_include_directories(unrarbinding PRIVATE ${ZARBEX_UNRAR_INCLUDE_DIR})
  target_link_libraries(unrarbinding PRIVATE win32io)
else()
  target_compile_definitions(unrarbinding PRIVATE _UNIX)
  target_link_libraries(unrarbinding PRIVATE ${CMAKE_DL_LIBS})
endif()

# The PDF converter: pdftotext as a child process (pdftotext.exe in a job object on Windows).
add_library(pdftotext STATIC PdfToText.cpp)
target_link_libraries(pdftotext PUBLIC pluginframework)

add_library(textfile STATIC TextFile.cpp ${ZARBEX_OS}/TextFile.cpp)
target_link_libraries(textfile PUBLIC pluginframework PRIVATE textencoding)
if(WIN32)
  target_link_libraries(textfile PRIVATE win32io)
endif()
