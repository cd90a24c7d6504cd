// The UnRAR binding's loader on Linux: the library file opened with dlopen, paths passed as bytes.
#include "Includes/UnRARLibrary.h"

#include <dlfcn.h>

struct TUnRARLibrary::TModuleHandle {
    explicit TModuleHandle(void* h) : handle(h) {}
    TModuleHandle(const TModuleHandle&) = delete;
    TModuleHandle& operator=(const TModuleHandle&) = delete;
    ~TModuleHandle() { dlclose(handle); }
    void* handle;
};

namespace {

template <class Fn> Fn Resolve(void* module, const char* name, const std::string& path) {
    dlerror();
    void* address = dlsym(module, name);
    if (address == nullptr)
        RaiseMissingFunction(path, name);
    return reinterpret_cast<Fn>(address);
}

} // namespace

TRarPath RarPath(const std::string& path) {
    return path;
}

TUnRARLibrary::TUnRARLibrary(const std::string& folder) : FPath(PathIn(folder)) {
    void* handle = dlopen(FPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        RaiseLibraryLoadError(FPath, Utf8ToString(reason != nullptr ? reason : "unknown error"), 0);
    }
    FModule = std::make_unique<TModuleHandle>(handle);
    FFunctions = std::make_unique<TFunctions>(TFunctions{
        Resolve<decltype(TFunctions::OpenArchiveEx)>(handle, "RAROpenArchiveEx", FPath),
        Resolve<decltype(TFunctions::ReadHeaderEx)>(handle, "RARReadHeaderEx", FPath),
        Resolve<decltype(TFunctions::ProcessFile)>(handle, "RARProcessFile", FPath),
        Resolve<decltype(TFunctions::CloseArchive)>(handle, "RARCloseArchive", FPath),
    });
}

TUnRARLibrary::~TUnRARLibrary() = default;

std::string OemToAnsiName(const std::string& name) {
    // Windows converts with OemToCharA; here OEM and ANSI are both UTF-8, so only the cut remains.
    return name.substr(0, name.find('\0'));
}
