// The UnRAR binding's loader on Windows: UnRAR.dll loaded from its exact file with TModule, paths passed
// to the wide calls as UTF-16.
#include "Includes/UnRARLibrary.h"

#include "Includes/win32/Module.h"
#include "Platform/CodePage.h"
#include "Platform/win32/SystemError.h"

#include <type_traits>

struct TUnRARLibrary::TModuleHandle {
    explicit TModuleHandle(const std::u16string& path) : module(path) {}
    TModule module;
};

namespace {

template <class Fn> Fn Resolve(const TModule& module, const char* name, const std::string& path) {
    const Fn address = module.Function<Fn>(name);
    if (address == nullptr)
        RaiseMissingFunction(path, name);
    return address;
}

} // namespace

TRarPath RarPath(const std::string& path) {
    const UnicodeString wide = Utf8ToString(path);
    return TRarPath(wide.begin(), wide.end());
}

TUnRARLibrary::TUnRARLibrary(const std::string& folder) : FPath(PathIn(folder)) {
    // The library's functions are __stdcall (PASCAL) on 32-bit Windows: a pointer without it would
    // unbalance the stack at every call.
    static_assert(
        std::is_same_v<decltype(TFunctions::OpenArchiveEx), HANDLE(PASCAL*)(RAROpenArchiveDataEx*)>);
    static_assert(std::is_same_v<decltype(TFunctions::ReadHeaderEx), int(PASCAL*)(HANDLE, RARHeaderDataEx*)>);
    static_assert(
        std::is_same_v<decltype(TFunctions::ProcessFile), int(PASCAL*)(HANDLE, int, wchar_t*, wchar_t*)>);
    static_assert(std::is_same_v<decltype(TFunctions::CloseArchive), int(PASCAL*)(HANDLE)>);
    try {
        FModule = std::make_unique<TModuleHandle>(Utf8ToString(FPath));
    } catch (const EOSError& e) {
        // The binding's own words, with the system's reason.
        RaiseLibraryLoadError(FPath, SysErrorMessage(e.ErrorCode), e.ErrorCode);
    }
    const TModule& module = FModule->module;
    FFunctions = std::make_unique<TFunctions>(TFunctions{
        Resolve<decltype(TFunctions::OpenArchiveEx)>(module, "RAROpenArchiveEx", FPath),
        Resolve<decltype(TFunctions::ReadHeaderEx)>(module, "RARReadHeaderEx", FPath),
        Resolve<decltype(TFunctions::ProcessFile)>(module, "RARProcessFileW", FPath),
        Resolve<decltype(TFunctions::CloseArchive)>(module, "RARCloseArchive", FPath),
    });
}

TUnRARLibrary::~TUnRARLibrary() = default;

std::string OemToAnsiName(const std::string& name) {
    return UnicodeToAnsi(OemToUnicode(name.substr(0, name.find('\0'))));
}
