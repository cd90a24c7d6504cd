// An owned Win32 file handle, closed when it goes, and the ways the plug-in opens files: always by their
// wide paths, so that no name depends on the ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

class TFileHandle {
public:
    explicit TFileHandle(HANDLE handle) : handle_(handle) {}
    TFileHandle(TFileHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HANDLE Get() const { return handle_; }

    // The rest of the file from the current position. Raises EReadError naming the file.
    std::string ReadToEnd(const std::u16string& path) const;
    // Raises EWriteError naming the file when not every byte could be written.
    void WriteAll(std::string_view bytes, const std::u16string& path) const;

private:
    HANDLE handle_;
};

// An existing file, for reading, with other writers shut out while it is open (other readers may share
// it). Raises EFOpenError naming the file and the system's reason.
TFileHandle OpenFileForReading(const std::u16string& path);
// A new, empty file for writing, replacing any file of that name, shared with nobody while it is open.
// Raises EFCreateError naming the file and the system's reason.
TFileHandle CreateFileForWriting(const std::u16string& path);
