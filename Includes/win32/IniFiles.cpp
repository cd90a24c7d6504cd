// The settings file on Windows, by its wide path: read through the file layer, replaced with ReplaceFileW,
// which keeps the old file's attributes and security, or moved in place when it is new.
#include "Includes/IniFiles.h"

#include "Includes/win32/FileHandle.h"
#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/ScopeExit.h"

#include <windows.h>

#include <random>

namespace {

[[noreturn]] void RaiseCreateError(const UnicodeString& fileName, DWORD error) {
    throw EFCreateError(Format(u"Cannot create file \"%s\". %s", fileName, SysErrorMessage(error)));
}

// A new file beside target, created exclusively, and shared with nobody while it is written; its name is
// returned in tempPath. Raises EFCreateError naming fileName when none can be made.
TFileHandle CreateTempBeside(const std::u16string& target, std::u16string& tempPath,
                             const UnicodeString& fileName) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        static constexpr char16_t digits[] = u"0123456789abcdef";
        std::u16string suffix = u".~";
        for (unsigned value = random(), i = 0; i < 8; ++i, value >>= 4)
            suffix += digits[value & 0xF];
        tempPath = target + suffix;
        if (TFileHandle file(CreateFileW(WidePtr(tempPath), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
            file)
            return file;
        if (const DWORD error = GetLastError(); error != ERROR_FILE_EXISTS)
            RaiseCreateError(fileName, error);
    }
    RaiseCreateError(fileName, ERROR_FILE_EXISTS);
}

} // namespace

// The file layer names the file by its path, which is fileName.
std::optional<std::string> IniFileDetail::ReadFileBytes(const std::string& path, const UnicodeString&) {
    const std::u16string wide = Utf8ToString(path);
    if (GetFileAttributesW(WidePtr(wide)) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
    }
    const TFileHandle file = OpenFileForReading(wide);
    try {
        return file.ReadToEnd(wide);
    } catch (const EReadError& e) {
        throw EFOpenError(e.Message());
    }
}

void IniFileDetail::ReplaceFileBytes(const std::string& path, const UnicodeString& fileName,
                                     const std::string& bytes,
                                     const std::function<void(const std::string& tempPath)>& beforeReplace) {
    if (path.empty())
        RaiseCreateError(fileName, ERROR_PATH_NOT_FOUND);
    const std::u16string target = Utf8ToString(path);
    const DWORD attributes = GetFileAttributesW(WidePtr(target));
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    // Replacing the file would need only the folder's permission: the read-only attribute would go
    // with the old file.
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        RaiseReadOnly(fileName);

    std::u16string tempPath;
    // Until it has become the settings file, the temporary file goes when this write does.
    TScopeExit removeTemp([&tempPath] { DeleteFileW(WidePtr(tempPath)); });
    {
        const TFileHandle file = CreateTempBeside(target, tempPath, fileName);
        try {
            file.WriteAll(bytes, tempPath);
        } catch (const EWriteError& e) {
            // The temporary file's name shows the folder and the file it was to become.
            throw EFCreateError(e.Message());
        }
        if (!FlushFileBuffers(file.Get()))
            RaiseCreateError(fileName, GetLastError());
    }

    beforeReplace(StringToUtf8(tempPath));

    const bool replaced = existed ? ReplaceFileW(WidePtr(target), WidePtr(tempPath), nullptr,
                                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                                  : MoveFileExW(WidePtr(tempPath), WidePtr(target),
                                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!replaced)
        RaiseCreateError(fileName, GetLastError());
    removeTemp.Dismiss();
}
