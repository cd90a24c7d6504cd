// Folders of the Windows tests: a fresh scratch folder, and the folder of the running program, where the
// build puts the test files; the files themselves are read and written with tests/support/Files.h.
#pragma once

#include "Platform/win32/WideChar.h"
#include "tests/support/Files.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TTestFolder {
public:
    TTestFolder() {
        static unsigned counter = 0;
        const std::wstring name =
            L"zarbex-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        FPath = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(FPath);
        if (!std::filesystem::create_directory(FPath))
            throw std::runtime_error("cannot create a scratch folder");
    }
    ~TTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // The folder's path, without a closing backslash.
    std::u16string Path() const { return Utf16String(FPath.c_str()); }
    // The path of an entry of the folder.
    std::u16string operator/(const std::u16string& name) const { return Path() + u"\\" + name; }

private:
    std::filesystem::path FPath;
};

inline std::u16string ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string folder(Utf16Ptr(path), length);
    return folder.substr(0, folder.rfind(u'\\'));
}

inline bool FileExists(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WidePtr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
