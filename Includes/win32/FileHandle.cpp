#include "Includes/win32/FileHandle.h"

#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"

#include <algorithm>

namespace {

UnicodeString Reason() {
    return SysErrorMessage(GetLastError());
}

// ReadFile and WriteFile move at most 4 GiB - 1 per call; smaller pieces keep the loops simple.
constexpr DWORD kChunk = 1 << 20;

} // namespace

std::string TFileHandle::ReadToEnd(const std::u16string& path) const {
    std::string bytes;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(Get(), buffer, sizeof buffer, &read, nullptr))
            throw EReadError(Format(u"Cannot read file \"%s\". %s", path, Reason()));
        if (read == 0)
            return bytes;
        bytes.append(buffer, read);
    }
}

void TFileHandle::WriteAll(std::string_view bytes, const std::u16string& path) const {
    while (!bytes.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
        DWORD written = 0;
        if (!WriteFile(Get(), bytes.data(), piece, &written, nullptr) || written == 0)
            throw EWriteError(Format(u"Cannot write file \"%s\". %s", path, Reason()));
        bytes.remove_prefix(written);
    }
}

TFileHandle OpenFileForReading(const std::u16string& path) {
    // FILE_SHARE_READ only: while the file is read, nobody can open it for writing.
    TFileHandle file(CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EFOpenError(Format(u"Cannot open file \"%s\". %s", path, Reason()));
    return file;
}

TFileHandle CreateFileForWriting(const std::u16string& path) {
    TFileHandle file(
        CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EFCreateError(Format(u"Cannot create file \"%s\". %s", path, Reason()));
    return file;
}
