// GetTempFileNameW is the system's own here; this file gives it the project's UTF-16 text.
#include "Platform/TempFile.h"

#include "Platform/win32/WideChar.h"

#include <windows.h>

// The reason for a failure is in GetLastError, as for every Windows call.
std::uint32_t GetTempFileNameW(const char16_t* pathName, const char16_t* prefix, std::uint32_t unique,
                               char16_t* tempFileName) {
    return ::GetTempFileNameW(WidePtr(pathName), WidePtr(prefix), unique, WidePtr(tempFileName));
}
