// An open file of the class library, and the ways the plug-in opens files: always by their wide paths, so
// that no name depends on the ANSI code page.
#pragma once

#include "Platform/win32/OwnedHandle.h"

#include <string>
#include <string_view>

// The handle is owned as every kernel handle is (TOwnedHandle); this adds the reads and writes that raise
// the class library's exceptions.
class TFileHandle : public TOwnedHandle {
public:
    explicit TFileHandle(HANDLE handle) : TOwnedHandle(handle) {}

    // The rest of the file from the current position. Raises EReadError naming the file.
    std::string ReadToEnd(const std::u16string& path) const;
    // Raises EWriteError naming the file when not every byte could be written.
    void WriteAll(std::string_view bytes, const std::u16string& path) const;
};

// An existing file, for reading, with other writers shut out while it is open (other readers may share
// it). Raises EFOpenError naming the file and the system's reason.
TFileHandle OpenFileForReading(const std::u16string& path);
// A new, empty file for writing, replacing any file of that name, shared with nobody while it is open.
// Raises EFCreateError naming the file and the system's reason.
TFileHandle CreateFileForWriting(const std::u16string& path);
