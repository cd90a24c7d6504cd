// A DLL loaded from one exact file, freed when it goes: the file whose presence is checked is the file
// that runs, and the search path plays no part.
#pragma once

#include <windows.h>

#include <string>

class TModule {
public:
    // path is a full path. The DLL's own dependencies are looked for in its folder first. Raises EOSError
    // naming the file and the system's reason when it is missing or cannot be loaded.
    explicit TModule(const std::u16string& path);
    TModule(const TModule&) = delete;
    TModule& operator=(const TModule&) = delete;
    ~TModule();

    const std::u16string& Path() const { return FPath; }
    // The exported function of that name, null when the DLL has none.
    template <class F> F Function(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(FModule, name)));
    }

private:
    std::u16string FPath;
    HMODULE FModule;
};
