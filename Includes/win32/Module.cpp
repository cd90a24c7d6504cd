#include "Includes/win32/Module.h"

#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"

TModule::TModule(const std::u16string& path)
    : FPath(path), FModule(LoadLibraryExW(WidePtr(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
    if (FModule == nullptr) {
        const DWORD error = GetLastError();
        EOSError e(Format(u"Cannot load library \"%s\". %s", path, SysErrorMessage(error)));
        e.ErrorCode = error;
        throw e;
    }
}

TModule::~TModule() {
    FreeLibrary(FModule);
}
