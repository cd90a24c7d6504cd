#include "Platform/Environment.h"

#include "Platform/Unicode.h"
#include "Platform/win32/ModuleFile.h"
#include "Platform/win32/WideChar.h"

#include <windows.h>

std::string GetEnvironmentText(const char* name) {
    const std::u16string wideName = Utf8ToUtf16(name);
    std::u16string value(64, u'\0');
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(WidePtr(wideName), WidePtr(value.data()),
                                                     static_cast<DWORD>(value.size()));
        if (length == 0)
            return {}; // unset (ERROR_ENVVAR_NOT_FOUND) or empty
        if (length < value.size()) {
            value.resize(length);
            return Utf16ToUtf8(value);
        }
        // Too small: length is the size needed, its terminating null included. The variable may grow
        // between the two calls, hence the loop.
        value.resize(length);
    }
}

namespace {

std::string ModuleFile(HMODULE module) {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, WidePtr(path.data()), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return Utf16ToUtf8(path);
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

std::string ExecutableFile() {
    return ModuleFile(nullptr);
}

std::string OwnModuleFile() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnModuleFile), &module))
        return {};
    return ModuleFile(module);
}
