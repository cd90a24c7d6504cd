#include "Platform/FileSystem.h"

#include "Platform/Calendar.h"
#include "Platform/Unicode.h"
#include "Platform/win32/WideChar.h"

#include <windows.h>

namespace {

std::u16string Wide(const std::string& path) {
    return Utf8ToUtf16(path);
}

} // namespace

bool IsFile(const std::string& path) {
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(WidePtr(Wide(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DeleteFileQuietly(const std::string& path) {
    return !path.empty() && DeleteFileW(WidePtr(Wide(path))) != 0;
}

bool RenameFileReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(WidePtr(Wide(from)), WidePtr(Wide(to)), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool CreateParentFolders(const std::string& path) {
    const std::u16string wide = Wide(path);
    // Each folder from the top down, past a drive ("C:") or a share ("\\server\share"), which
    // CreateDirectoryW does not make; one that is there already is fine.
    auto next = [&](std::size_t from) { return wide.find_first_of(PathDelimiters, from); };
    std::size_t at = next(1);
    if (wide.starts_with(u"\\\\") || wide.starts_with(u"//")) {
        at = next(2);
        for (int part = 0; part < 2 && at != std::u16string::npos; ++part)
            at = next(at + 1);
    }
    for (; at != std::u16string::npos; at = next(at + 1)) {
        const std::u16string folder = wide.substr(0, at);
        if (folder.back() == u':')
            continue;
        if (!CreateDirectoryW(WidePtr(folder), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

std::optional<std::uint64_t> FreeDiskSpace(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(WidePtr(Wide(folder)), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

std::optional<std::int64_t> FileModifiedTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(WidePtr(Wide(path)), GetFileExInfoStandard, &data))
        return std::nullopt;
    const std::uint64_t written =
        (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return UnixTimeOfFileTime(written);
}
