// GetTempFileNameW is the system's own here; this file gives it the project's UTF-16 text and the
// wrapper that raises.
//
// Platform/TempFile.h comes before windows.h: it declares MAX_PATH as a constant, windows.h as a macro.
#include "Platform/TempFile.h"

#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"

#include <windows.h>

// The reason for a failure is in GetLastError, as for every Windows call.
std::uint32_t GetTempFileNameW(const char16_t* pathName, const char16_t* prefix, std::uint32_t unique,
                               char16_t* tempFileName) {
    return ::GetTempFileNameW(WidePtr(pathName), WidePtr(prefix), unique, WidePtr(tempFileName));
}

std::u16string MakeTempFileName(const std::u16string& folder, const std::u16string& prefix) {
    char16_t name[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0) {
        const DWORD error = GetLastError();
        throw EFCreateError(
            Format(u"Cannot create a temporary file in folder \"%s\". %s", folder, SysErrorMessage(error)));
    }
    return name;
}
