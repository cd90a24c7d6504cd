// Reading a text file on Windows: by its wide path, with other writers shut out by the sharing mode.
#include "Includes/TextFile.h"

#include "Includes/win32/FileHandle.h"
#include "Platform/win32/SystemError.h"
#include "PluginAPI/SysUtils.h"

#include <algorithm>

struct TextFileDetail::TSharedFile::TImpl {
    UnicodeString name;
    TFileHandle file;

    [[noreturn]] void RaiseReadError() const {
        throw EInOutError(Format(u"Cannot read file \"%s\". %s", name, SysErrorMessage(GetLastError())));
    }
};

TextFileDetail::TSharedFile::TSharedFile(const std::string& path)
    : FImpl(std::make_unique<TImpl>(TImpl{Utf8ToString(path), OpenFileForReading(Utf8ToString(path))})) {}

TextFileDetail::TSharedFile::~TSharedFile() = default;

std::size_t TextFileDetail::TSharedFile::Read(char* buffer, std::size_t size) {
    DWORD read = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
    if (!ReadFile(FImpl->file.Get(), buffer, piece, &read, nullptr))
        FImpl->RaiseReadError();
    return read;
}

void TextFileDetail::TSharedFile::Rewind() {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(FImpl->file.Get(), start, nullptr, FILE_BEGIN))
        FImpl->RaiseReadError();
}
