#include "Includes/TempFileName.h"

#include "Platform/TempFile.h"
#include "PluginAPI/SysUtils.h"

#include <cerrno>
#include <cstring>

std::u16string MakeTempFileName(const std::u16string& folder, const std::u16string& prefix) {
    char16_t name[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0) {
        const int error = errno;
        throw EFCreateError(Format(u"Cannot create a temporary file in folder \"%s\". %s", folder,
                                   Utf8ToString(std::strerror(error))));
    }
    return name;
}
