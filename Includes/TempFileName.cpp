#include "Includes/TempFileName.h"

#include "Platform/TempFile.h"
#include "PluginAPI/SysUtils.h"

#if defined(_WIN32)
#include "Platform/win32/SystemError.h"
#else
#include <cerrno>
#include <cstring>
#endif

namespace {
// Why the last GetTempFileNameW failed, in the system's words.
UnicodeString LastReason() {
#if defined(_WIN32)
    return SysErrorMessage(GetLastError());
#else
    return Utf8ToString(std::strerror(errno));
#endif
}
} // namespace

std::u16string MakeTempFileName(const std::u16string& folder, const std::u16string& prefix) {
    char16_t name[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0)
        throw EFCreateError(
            Format(u"Cannot create a temporary file in folder \"%s\". %s", folder, LastReason()));
    return name;
}
