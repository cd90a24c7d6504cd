# The archive reader binding, the PDF-to-text converter and the text-file reading rule.

# UnRAR.dll is opened with dlopen at run time, never linked; its header needs _UNIX.
add_library(unrarbinding STATIC UnRAR.cpp posix/UnRAR.cpp)
target_compile_definitions(unrarbinding PRIVATE _UNIX)
target_link_libraries(unrarbinding PUBLIC pluginframework PRIVATE ${CMAKE_DL_LIBS})

add_library(pdftotext STATIC PdfToText.cpp)
target_link_libraries(pdftotext PUBLIC pluginframework)

add_library(textfile STATIC TextFile.cpp posix/TextFile.cpp)
target_link_libraries(textfile PUBLIC pluginframework PRIVATE textencoding)
