// Inside the UnRAR binding: the library's own header and the parts that differ by system. The shared
// binding is UnRAR.cpp; the loaders are posix/UnRAR.cpp (dlopen) and win32/UnRAR.cpp (LoadLibraryExW).
#pragma once

#include "Includes/UnRAR.h"

#include <string>
#include <type_traits>

#if defined(_WIN32)
#include <windows.h>
// The library's published header declares its functions with a visibility attribute that PE ignores.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
#include <unrar/dll.hpp>
#pragma GCC diagnostic pop
#else
// The library's header last: it defines HANDLE, LONG, UINT and LPARAM as macros, which would clash with
// the framework's types of those names. CALLBACK and PASCAL stay: empty here, the calling conventions on
// Windows.
#include <unrar/dll.hpp>
#undef HANDLE
#undef LONG
#undef UINT
#undef LPARAM
#endif

#if defined(_WIN32)
// Paths go to the library through its wide fields and calls: wchar_t is UTF-16 here, so a UTF-8 path
// becomes UTF-16 and nothing depends on a code page.
using TRarPathChar = wchar_t;
#else
// Paths go to the library as bytes through its char fields; names come back through its wide fields.
// On this platform the library turns a wide path into bytes with the process locale, which fails for
// non-ASCII paths in the "C" locale, while it carries a byte path through losslessly in every locale.
// Entry names are the other way round: the wide name is exact, the char one is cut short in the "C"
// locale. So nothing here depends on the locale, and nothing here calls setlocale.
using TRarPathChar = char;
#endif
using TRarPath = std::basic_string<TRarPathChar>;

// A UTF-8 path as the library takes it on this system.
TRarPath RarPath(const std::string& path);

inline void SetArchiveName(RAROpenArchiveDataEx& data, char* name) {
    data.ArcName = name;
}
inline void SetArchiveName(RAROpenArchiveDataEx& data, wchar_t* name) {
    data.ArcNameW = name;
}

// The functions the binding calls. The pointer types come from the header's declarations, so they carry
// the library's calling convention: PASCAL, which is __stdcall on 32-bit Windows.
struct TUnRARLibrary::TFunctions {
    decltype(&::RAROpenArchiveEx) OpenArchiveEx;
    decltype(&::RARReadHeaderEx) ReadHeaderEx;
    // RARProcessFile with byte paths, RARProcessFileW with wide ones.
    std::conditional_t<sizeof(TRarPathChar) == 1, decltype(&::RARProcessFile), decltype(&::RARProcessFileW)>
        ProcessFile;
    decltype(&::RARCloseArchive) CloseArchive;
};

// The loaders' failures, in the same words on every system.
[[noreturn]] void RaiseLibraryLoadError(const std::string& path, const UnicodeString& reason,
                                        std::uint32_t errorCode);
[[noreturn]] void RaiseMissingFunction(const std::string& path, const char* name);
