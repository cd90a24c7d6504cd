// Binding of the UnRAR library: the library file "UnRAR.dll" is loaded at run time from a given folder,
// so the file whose presence is checked is the file that runs. The library's own header stays inside
// UnRAR.cpp: its records are packed and its macros (HANDLE, LONG, UINT...) would clash with ours.
//
// The library keeps global state: use it from one thread.
#pragma once

#include "PluginAPI/SysUtils.h"

#include <cstdint>
#include <memory>
#include <string>

// The library's result codes that callers act on (the same values as its ERAR_... constants).
namespace RarResult {
inline constexpr int Success = 0;
inline constexpr int EndOfArchive = 10;
inline constexpr int BadData = 12;
inline constexpr int BadArchive = 13;
inline constexpr int UnknownFormat = 14;
inline constexpr int OpenError = 15;
inline constexpr int CreateError = 16;
inline constexpr int Unknown = 21;
} // namespace RarResult

// What one header read yields about the current entry.
struct TRarEntry {
    UnicodeString Name; // the stored name, folders separated by '/'
    std::uint64_t UnpackedSize = 0;
    bool IsDirectory = false;
    bool IsLink = false; // a symbolic link, hard link or file copy: it has no data of its own

    // Only plain files carry data worth extracting.
    bool IsFile() const { return !IsDirectory && !IsLink; }
};

class TUnRARLibrary;

// One archive opened for extraction; closed when the object goes. A failed open keeps no handle, and such
// an archive behaves as one without entries: the first header read reports the end.
class TRarArchive {
public:
    TRarArchive(TRarArchive&& other) noexcept;
    TRarArchive& operator=(TRarArchive&& other) noexcept;
    TRarArchive(const TRarArchive&) = delete;
    TRarArchive& operator=(const TRarArchive&) = delete;
    ~TRarArchive();

    bool IsOpen() const { return handle_ != nullptr; }
    // The library's open result: 0 when the archive opened, otherwise why not (13 not an archive,
    // 15 file cannot be opened...).
    int OpenResult() const { return openResult_; }

    // Reads the next header: 0 for an entry, 10 at the end, anything else is an error. An entry that was
    // neither extracted nor skipped is skipped first. The entry keeps its last values when a read
    // fails, as the library's header record does.
    int ReadHeader();
    const TRarEntry& Entry() const { return entry_; }

    // Writes the current entry's data to exactly destPath (the stored name plays no part, so a name
    // holding "../" cannot lead outside the caller's folder); missing parent folders are created.
    // Returns the library's result, 0 on success; 21 (unknown error) without a current entry, that is
    // when the last header read failed or the entry was already extracted or skipped.
    int Extract(const std::string& destPath);
    // Passes over the current entry's data. Returns as Extract does.
    int Skip();

    // Closes the handle now; later header reads report the end.
    void Close();

private:
    friend class TUnRARLibrary;
    struct THeaderRecord;
    TRarArchive(const TUnRARLibrary& library, const std::string& path);
    int Process(int operation, const std::string* destPath);

    const TUnRARLibrary* library_;
    void* handle_ = nullptr;
    int openResult_ = 0;
    bool entryPending_ = false;
    // The library's header record, large and reused for every entry.
    std::unique_ptr<THeaderRecord> header_;
    TRarEntry entry_;
};

// The loaded library with the functions the binding calls. Loading fails with EOSError when the file is
// missing or is not a loadable library, or when it lacks one of the functions. It must outlive every
// archive opened through it.
class TUnRARLibrary {
public:
    static constexpr const char* FileName = "UnRAR.dll";
    // The full path of the library file in folder.
    static std::string PathIn(const std::string& folder);

    explicit TUnRARLibrary(const std::string& folder);
    TUnRARLibrary(const TUnRARLibrary&) = delete;
    TUnRARLibrary& operator=(const TUnRARLibrary&) = delete;
    ~TUnRARLibrary();

    const std::string& Path() const { return path_; }
    // Opens archivePath for extraction. Never raises for a bad archive: see TRarArchive.
    TRarArchive OpenArchive(const std::string& archivePath) const;

private:
    friend class TRarArchive;
    struct TFunctions;
    std::string path_;
    void* module_ = nullptr;
    std::unique_ptr<TFunctions> functions_;
};

// Converts an entry name from the OEM to the ANSI code page, up to its first zero byte. Both code pages
// are UTF-8 on this platform, so the name is copied.
std::string OemToAnsiName(const std::string& name);
