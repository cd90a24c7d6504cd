// Folders of the Windows tests: a fresh scratch folder, and the folder of the running program, where the
// build puts the test files.
#pragma once

#include "Platform/win32/WideChar.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TTestFolder {
public:
    TTestFolder() {
        static unsigned counter = 0;
        const std::wstring name =
            L"zarbex-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        if (!std::filesystem::create_directory(path_))
            throw std::runtime_error("cannot create a scratch folder");
    }
    ~TTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // The folder's path, without a closing backslash.
    std::u16string Path() const { return Utf16String(path_.c_str()); }
    // The path of an entry of the folder.
    std::u16string operator/(const std::u16string& name) const { return Path() + u"\\" + name; }

private:
    std::filesystem::path path_;
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

inline std::string ReadBytes(const std::u16string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read a test file");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write a test file");
}
